#pragma once
// The ready-made questions of the AI panel: a localised title and a fixed English prompt each.

#include "core/RawEnum.h"

#include <QList>
#include <QString>
#include <array>
#include <string_view>

namespace kx {

enum class AIPreset { describe, uiux, issues, extract, seo, custom };
template <>
struct RawNames<AIPreset> {
    static constexpr std::array<std::string_view, 6> names{"describe", "uiux", "issues",
                                                           "extract",  "seo",  "custom"};
};

// The title in the interface language.
QString title(AIPreset preset);
// The English prompt followed by "Answer in <language>."; empty for `custom`.
QString prompt(AIPreset preset, const QString& language);
// Whether an answer of this preset becomes the capture's AI summary.
bool keepsSummary(AIPreset preset);

}  // namespace kx
