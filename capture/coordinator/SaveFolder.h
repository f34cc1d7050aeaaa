#pragma once
// Writes a capture into the save folder under the file-name pattern, on one serial worker
// so that two saves never pick the same free name.
#include "core/SourceKind.h"

#include <QDateTime>
#include <QFuture>
#include <QImage>
#include <QString>
#include <optional>

namespace kx {

struct SaveOutcome {
    bool ok = false;
    QString path;   // the file written (or the one attempted)
    QString error;  // localised reason when !ok
};

class SaveFolder {
public:
    // Encodes by the image settings and writes `<base>.<ext>`, or `<base> 2.<ext>`,
    // `<base> 3.<ext>`, ... when taken.
    static QFuture<SaveOutcome> save(const QImage& image, double scale, const QDateTime& date,
                                     const std::optional<QString>& title, SourceKind kind);
    // The same, synchronous, into an explicit folder with an explicit base name.
    static SaveOutcome write(const QImage& image, double scale, const QString& folder, const QString& base);
    // The first free name in `folder` for `base` and `ext`.
    static QString freeName(const QString& folder, const QString& base, const QString& ext);
};

}  // namespace kx
