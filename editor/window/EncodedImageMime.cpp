#include "editor/window/EncodedImageMime.h"

#include "core/ImageUtils.h"

#include <QBuffer>
#include <QImageWriter>

namespace kx {

namespace {
const QString kPng = QStringLiteral("image/png");
const QString kTiff = QStringLiteral("image/tiff");
}  // namespace

EncodedImageMime::EncodedImageMime(QByteArray png, QImage image, double scale)
    : png_(std::move(png)), image_(std::move(image)), scale_(scale > 0 ? scale : 1.0)
{
}

QStringList EncodedImageMime::formats() const
{
    return {kPng, kTiff};
}

bool EncodedImageMime::hasFormat(const QString& mimeType) const
{
    return mimeType == kPng || mimeType == kTiff;
}

QVariant EncodedImageMime::retrieveData(const QString& mimeType, QMetaType type) const
{
    if (mimeType == kPng)
        return png_;
    if (mimeType == kTiff) {
        if (tiff_.isEmpty()) {
            QImage img = image_;
            const int dpm = dotsPerMeterForScale(scale_);
            img.setDotsPerMeterX(dpm);
            img.setDotsPerMeterY(dpm);
            QBuffer buffer(&tiff_);
            buffer.open(QIODevice::WriteOnly);
            QImageWriter(&buffer, "tiff").write(img);
        }
        return tiff_;
    }
    return QMimeData::retrieveData(mimeType, type);
}

}  // namespace kx
