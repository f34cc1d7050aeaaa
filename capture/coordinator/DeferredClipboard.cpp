#include "capture/coordinator/DeferredClipboard.h"

#include "capture/coordinator/Notices.h"
#include "core/ImageUtils.h"
#include "core/Localisation.h"
#include "platform/ClipboardOwner.h"
#include "ui/Symbols.h"

#include <QBuffer>
#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QImageWriter>
#include <QtConcurrent>

namespace kx {

namespace {
const QString kPng = QStringLiteral("image/png");
const QString kTiff = QStringLiteral("image/tiff");
const QString kQtImage = QStringLiteral("application/x-qt-image");
}  // namespace

DeferredImageMime::DeferredImageMime(const QImage& image, double scale, QFuture<QByteArray> png)
    : image_(image), scale_(scale), png_(std::move(png))
{
}

QStringList DeferredImageMime::formats() const
{
    return {kPng, kTiff, kQtImage};
}

bool DeferredImageMime::hasFormat(const QString& mimeType) const
{
    return formats().contains(mimeType);
}

QVariant DeferredImageMime::retrieveData(const QString& mimeType, QMetaType type) const
{
    if (mimeType == kPng) {
        // Served when ready: the encode started when the clipboard was claimed.
        return png_.result();
    }
    if (mimeType == kTiff) {
        if (tiff_.isEmpty()) {
            QImage img = image_;
            const int dpm = dotsPerMeterForScale(scale_ > 0 ? scale_ : 1.0);
            img.setDotsPerMeterX(dpm);
            img.setDotsPerMeterY(dpm);
            QBuffer buffer(&tiff_);
            buffer.open(QIODevice::WriteOnly);
            QImageWriter(&buffer, "tiff").write(img);
        }
        return tiff_;
    }
    if (mimeType == kQtImage || type.id() == QMetaType::QImage)
        return image_;
    return QMimeData::retrieveData(mimeType, type);
}

QFuture<QByteArray> DeferredClipboard::encodePng(const QImage& image, double scale)
{
    return QtConcurrent::run(
        [image, scale] { return encoded(image, ImageFormat::png, 0.9, scale).value_or(QByteArray()); });
}

QFuture<QByteArray> DeferredClipboard::copy(const QImage& image, double scale, QFuture<QByteArray> png)
{
    if (png.isCanceled())
        png = encodePng(image, scale);
    ClipboardOwner::claim([image, scale, png] {
        return new DeferredImageMime(image, scale, png);
    }).then(QCoreApplication::instance(), [](bool held) {
        if (!held)
            Notices::show(
                kx::tr("The capture did not reach the clipboard", "A felvétel nem került a vágólapra",
                       "Die Aufnahme kam nicht in die Zwischenablage"),
                kx::tr("Another application kept the clipboard. Copy the capture again.",
                       "Egy másik alkalmazás megtartotta a vágólapot. Másold újra a felvételt.",
                       "Eine andere Anwendung hat die Zwischenablage behalten. Kopiere die Aufnahme "
                       "erneut."),
                "exclamationmark.triangle.fill"_sym, 5);
    });
    return png;
}

}  // namespace kx
