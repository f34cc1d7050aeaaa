#include "core/ImageUtils.h"

#include "core/HeifCodec.h"
#include "core/ImageReading.h"
#include "core/PngEncoder.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <cmath>

namespace kx {

namespace {

// A premultiplied image whose every pixel is opaque can go to PNG as RGB: a quarter less
// data to compress, and no conversion to straight alpha. Its pixels already are RGB32's, so the
// result only looks at them (no copy of a 1 GB image); it lives no longer than `image`.
QImage pngReady(const QImage& image)
{
    if (!image.hasAlphaChannel())
        return image;
    if (image.format() == QImage::Format_ARGB32_Premultiplied || image.format() == QImage::Format_ARGB32) {
        for (int y = 0; y < image.height(); ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                if (qAlpha(row[x]) != 255)
                    return image;
            }
        }
        return QImage(image.constBits(), image.width(), image.height(), image.bytesPerLine(),
                      QImage::Format_RGB32);
    }
    return image;
}

std::optional<QByteArray> writeWithQt(const QImage& image, const char* fmt, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly))
        return std::nullopt;
    QImageWriter writer(&buffer, fmt);
    if (quality >= 0)
        writer.setQuality(quality);
    if (!writer.write(image) || bytes.isEmpty())
        return std::nullopt;
    return bytes;
}

}  // namespace

int dotsPerMeterForScale(double scale)
{
    return int(std::lround(72.0 * scale / 0.0254));
}

double scaleFromDpi(double dpi)
{
    if (!(dpi > 0) || !std::isfinite(dpi))
        return 1.0;
    // Files store whole DPI values (144 comes back as 143.99 dots per inch). A resolution far
    // below any screen's (a few dots per metre) is junk, not a scale.
    const double scale = std::round(dpi) / 72.0;
    return std::isfinite(scale) && scale >= 0.5 ? scale : 1.0;
}

double scaleFromDotsPerMeter(int dotsPerMeter)
{
    if (dotsPerMeter <= 0)
        return 1.0;
    return scaleFromDpi(dotsPerMeter * 0.0254);
}

std::optional<QByteArray> encoded(const QImage& image, ImageFormat format, double quality, double scale)
{
    if (image.isNull())
        return std::nullopt;
    if (!(scale > 0) || !std::isfinite(scale))
        scale = 1.0;
    const int dpm = dotsPerMeterForScale(scale);
    switch (format) {
        case ImageFormat::png: {
            return encodePng(pngReady(image), dpm);
        }
        case ImageFormat::jpg: {
            QImage img(image.size(), QImage::Format_RGB32);
            if (img.isNull())
                return std::nullopt;
            // JPEG has no alpha: flatten over white so transparent margins do not turn black.
            img.fill(Qt::white);
            {
                QPainter p(&img);
                p.drawImage(0, 0, image);
            }
            img.setDotsPerMeterX(dpm);
            img.setDotsPerMeterY(dpm);
            const double q = std::isfinite(quality) ? std::clamp(quality, 0.0, 1.0) : 0.9;
            return writeWithQt(img, "jpeg", int(std::lround(q * 100.0)));
        }
        case ImageFormat::heic: {
            const double q = std::isfinite(quality) ? std::clamp(quality, 0.0, 1.0) : 0.9;
            return encodeHeic(image, q, 72.0 * scale);
        }
    }
    return std::nullopt;
}

std::optional<DecodedImage> decodeImage(const QByteArray& bytes)
{
    return readImageData(bytes).image;
}

QImage toCanonical(QImage image)
{
    if (image.isNull())
        return image;
    if (image.format() != QImage::Format_ARGB32_Premultiplied)
        image.convertTo(QImage::Format_ARGB32_Premultiplied);
    const QColorSpace space = image.colorSpace();
    if (space.isValid() && space != QColorSpace(QColorSpace::SRgb))
        image.convertToColorSpace(QColorSpace::SRgb);
    return image;
}

QImage makeBitmapContext(int width, int height)
{
    if (width <= 0 || height <= 0)
        return {};
    QImage img(width, height, QImage::Format_ARGB32_Premultiplied);
    if (img.isNull())
        return {};
    img.fill(Qt::transparent);
    return img;
}

QImage resized(const QImage& image, const QSizeF& size)
{
    if (image.isNull())
        return {};
    const double w = std::round(size.width()), h = std::round(size.height());
    if (!std::isfinite(w) || !std::isfinite(h) || w > 1e6 || h > 1e6)
        return {};
    const int tw = std::max(1, int(w)), th = std::max(1, int(h));
    return image.scaled(tw, th, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QImage fitted(const QImage& image, double maxEdge)
{
    const int longer = std::max(image.width(), image.height());
    if (image.isNull() || !(maxEdge < longer))
        return image;
    const double f = maxEdge / longer;
    QImage out = resized(image, QSizeF(image.width() * f, image.height() * f));
    return out.isNull() ? image : out;
}

}  // namespace kx
