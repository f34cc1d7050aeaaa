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
    : m_png(std::move(png)), m_image(std::move(image)), m_scale(scale > 0 ? scale : 1.0)
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
        return m_png;
    if (mimeType == kTiff) {
        if (m_tiff.isEmpty()) {
            QImage img = m_image;
            const int dpm = dotsPerMeterForScale(m_scale);
            img.setDotsPerMeterX(dpm);
            img.setDotsPerMeterY(dpm);
            QBuffer buffer(&m_tiff);
            buffer.open(QIODevice::WriteOnly);
            QImageWriter(&buffer, "tiff").write(img);
        }
        return m_tiff;
    }
    return QMimeData::retrieveData(mimeType, type);
}

}  // namespace kx
