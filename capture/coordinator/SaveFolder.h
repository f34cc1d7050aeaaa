#pragma once
// Writes a capture into the save folder under the file-name pattern. Each file is written
// under a name nobody holds (never renamed over a file that appeared meanwhile), on one
// serial worker.
#include "core/SourceKind.h"

#include <QDateTime>
#include <QFuture>
#include <QImage>
#include <QString>
#include <optional>

namespace kx {

struct SaveOutcome {
    bool ok = false;
    QString path;   // the file written
    QString error;  // localised reason when !ok
};

class SaveFolder {
public:
    // Encodes by the image settings and writes `<base>.<ext>`, or `<base> 2.<ext>`,
    // `<base> 3.<ext>`, ... when taken. `png`, when valid, is the capture's PNG encoded
    // already (the one the clipboard and the history share): when the settings ask for the
    // same bytes, they are written instead of a second encode.
    static QFuture<SaveOutcome> save(const QImage& image, double scale, const QDateTime& date,
                                     const std::optional<QString>& title, SourceKind kind,
                                     QFuture<QByteArray> png = {});
    // The same, synchronous, into an explicit folder with an explicit base name.
    static SaveOutcome write(const QImage& image, double scale, const QString& folder, const QString& base,
                             QFuture<QByteArray> png = {});
};

}  // namespace kx
