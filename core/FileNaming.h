#pragma once
#include "core/SourceKind.h"

#include <QDateTime>
#include <QString>
#include <optional>

namespace kx {

struct FileNaming {
    // Base name (no folder, no extension) from the `filePattern` setting, safe as a file
    // name; never empty. Short enough that name + extension + a " 99" suffix fits 255 bytes.
    static QString baseName(const QDateTime& date, const std::optional<QString>& title, SourceKind kind);

    // The same from an explicit pattern and kind label.
    static QString fill(const QString& pattern, const QDateTime& date, const std::optional<QString>& title,
                        const QString& kindLabel);

    // Longest base name in UTF-8 bytes.
    static constexpr int kMaxBaseBytes = 255 - 5 /* ".heic" */ - 3 /* " 99" */;
};

}  // namespace kx
