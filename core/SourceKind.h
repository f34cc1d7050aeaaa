#pragma once
#include "core/RawEnum.h"

namespace kx {

// Where an image came from. Stored as its raw value in the history index.
enum class SourceKind { area, fullscreen, window, scrolling, clipboard, file, color };

template <>
struct RawNames<SourceKind> {
    static constexpr std::array<std::string_view, 7> names{"area",      "fullscreen", "window", "scrolling",
                                                           "clipboard", "file",       "color"};
};

inline std::optional<SourceKind> sourceKindFromRaw(const QString& text)
{
    return fromRaw<SourceKind>(text);
}

// Localised name of the source, in the current interface language.
QString label(SourceKind kind);
// The same in a given language ("en", "hu", "de").
QString labelIn(SourceKind kind, const QString& lang);

}  // namespace kx
