#include "core/ImageReading.h"

#include "core/HeifCodec.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

namespace kx {

namespace {

ImageRead refused(QSize size)
{
    ImageRead out;
    out.tooLarge = true;
    out.size = size;
    return out;
}

ImageRead fromHeic(const QByteArray& bytes, qint64 maxPixels)
{
    QSize tooLarge;
    const auto heic = decodeHeic(bytes, maxPixels, &tooLarge);
    if (!heic)
        return tooLarge.isValid() ? refused(tooLarge.isEmpty() ? QSize() : tooLarge) : ImageRead{};
    return ImageRead{DecodedImage{heic->image, scaleFromDpi(heic->dpi)}, false, {}};
}

}  // namespace

ImageRead readImage(QIODevice& device, qint64 maxPixels)
{
    if (looksLikeHeif(device.peek(12))) {
        if (!device.isSequential() && device.size() - device.pos() > maxHeicFileBytes)
            return refused({});
        const QByteArray bytes = device.read(maxHeicFileBytes + 1);
        if (bytes.size() > maxHeicFileBytes)
            return refused({});
        return fromHeic(bytes, maxPixels);
    }
    QImageReader reader(&device);
    if (!reader.canRead())
        return {};
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > maxPixels)
        return refused(size);
    // Qt refuses to allocate beyond its process-wide limit (128 MB) but fills an image that
    // already has the right size and format: the pixel bound above is the one that applies.
    QImage image;
    if (size.isValid() && reader.imageFormat() != QImage::Format_Invalid)
        image = QImage(size, reader.imageFormat());
    if (!reader.read(&image) || image.isNull())
        return {};
    return ImageRead{DecodedImage{image, scaleFromDotsPerMeter(image.dotsPerMeterX())}, false, {}};
}

ImageRead readImageFile(const QString& path, qint64 maxPixels)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return {};
    return readImage(file, maxPixels);
}

ImageRead readImageData(const QByteArray& bytes, qint64 maxPixels)
{
    if (bytes.isEmpty())
        return {};
    if (looksLikeHeif(bytes))
        return fromHeic(bytes, maxPixels);
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return readImage(buffer, maxPixels);
}

}  // namespace kx
