#pragma once
// Turns an edited document into image data: flatten, frame, encode, save.

#include "core/Enums.h"
#include "core/SourceKind.h"
#include "editor/Annotation.h"
#include "editor/BeautifySettings.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>
#include <optional>

class QWidget;

namespace kx {

class EffectCache;

class Exporter {
public:
    Exporter() = delete;

    struct Encoded {
        QByteArray data;
        QString ext;  // "png", "jpg" or "heic"
    };

    struct SaveOutcome {
        enum class Status { saved, cancelled, failed };
        Status status = Status::cancelled;
        QString path;     // the file written (or attempted)
        QString message;  // localised text for a failure, empty otherwise
    };

    // The base with all annotations drawn over it, same pixel size; a null image when no
    // bitmap can be made (callers report the copy or save as failed).
    static QImage flatten(const QImage& base, const QList<Annotation>& annotations, EffectCache& effects);

    // The image in the configured format (settings imageFormat, jpegQuality, downscaleRetina).
    static std::optional<Encoded> data(const QImage& image, double scale);

    // Encodes in an explicit format at the given quality (0...1) and scale; JPEG gets a
    // white background, since it has no alpha.
    static std::optional<QByteArray> encode(const QImage& image, ImageFormat format, double quality,
                                            double scale);

    // The image framed on its backdrop; the input itself when disabled or on failure.
    static QImage beautify(const QImage& image, const BeautifySettings& settings, double scale);

    // Asks for a file with a save dialog and writes the image there.
    static SaveOutcome saveWithPanel(const QImage& image, double scale, SourceKind kind,
                                     const std::optional<QString>& title, QWidget* parent = nullptr);

    // The format a chosen file name asks for: png, jpg/jpeg or heic in any case. A name
    // with any other extension gets the selected format's extension appended.
    static std::pair<QString, ImageFormat> resolveSavePath(const QString& path, ImageFormat selected);

    // Encodes and writes atomically; the outcome tells saved or failed with its message.
    static SaveOutcome saveTo(const QImage& image, double scale, const QString& path, ImageFormat selected);
};

}  // namespace kx
