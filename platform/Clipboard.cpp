#include "platform/Clipboard.h"

#include "core/ImageUtils.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImageReader>
#include <QImageWriter>
#include <QMimeData>
#include <cmath>

namespace kx {

namespace {

const QString kPng = QStringLiteral("image/png");
const QString kTiff = QStringLiteral("image/tiff");

QImage decode(const QByteArray& bytes, const char* format)
{
    QImage img;
    if (!bytes.isEmpty())
        img.loadFromData(bytes, format);
    return img;
}

std::optional<QByteArray> tiffBytes(const QImage& image, double scale)
{
    QImage img = image;
    const int dpm = dotsPerMeterForScale(scale > 0 ? scale : 1.0);
    img.setDotsPerMeterX(dpm);
    img.setDotsPerMeterY(dpm);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "tiff");
    if (!writer.write(img) || bytes.isEmpty())
        return std::nullopt;
    return bytes;
}

}  // namespace

double Clipboard::scaleOf(const QImage& image)
{
    if (image.isNull() || image.width() <= 0 || image.dotsPerMeterX() <= 0)
        return 1.0;
    // Files keep whole DPI values; 144 dpi comes back as 5669 dots per metre.
    const double dpi = std::round(image.dotsPerMeterX() * 0.0254);
    if (dpi <= 0)
        return 1.0;
    const double pointWidth = image.width() * 72.0 / dpi;
    return std::max(1.0, std::round(image.width() / pointWidth));
}

QMimeData* Clipboard::mimeDataFor(const QImage& image, double scale)
{
    auto* mime = new QMimeData;
    if (image.isNull())
        return mime;
    if (const auto png = encoded(image, ImageFormat::png, 0.9, scale))
        mime->setData(kPng, *png);
    if (const auto tiff = tiffBytes(image, scale))
        mime->setData(kTiff, *tiff);
    mime->setImageData(image);
    return mime;
}

std::optional<ClipboardImage> Clipboard::imageFrom(const QMimeData& data)
{
    // A PNG that does not decode must not hide a good TIFF beside it.
    if (data.hasFormat(kPng)) {
        const QImage img = decode(data.data(kPng), "PNG");
        if (!img.isNull())
            return ClipboardImage{img, scaleOf(img)};
    }
    if (data.hasFormat(kTiff)) {
        const QImage img = decode(data.data(kTiff), "TIFF");
        if (!img.isNull())
            return ClipboardImage{img, scaleOf(img)};
    }
    if (data.hasImage()) {
        const QImage img = qvariant_cast<QImage>(data.imageData());
        if (!img.isNull())
            return ClipboardImage{img, 1.0};
    }
    for (const QString& format : data.formats()) {
        if (!format.startsWith(QLatin1String("image/")) || format == kPng || format == kTiff)
            continue;
        const QImage img = decode(data.data(format), nullptr);
        if (!img.isNull())
            return ClipboardImage{img, 1.0};
    }
    return std::nullopt;
}

void Clipboard::copy(const QImage& image, double scale)
{
    if (QClipboard* cb = QGuiApplication::clipboard())
        cb->setMimeData(mimeDataFor(image, scale));
}

std::optional<ClipboardImage> Clipboard::readImage()
{
    QClipboard* cb = QGuiApplication::clipboard();
    const QMimeData* data = cb ? cb->mimeData() : nullptr;
    if (!data)
        return std::nullopt;
    return imageFrom(*data);
}

}  // namespace kx
