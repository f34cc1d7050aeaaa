#include "platform/Clipboard.h"

#include "core/ImageReading.h"
#include "core/ImageUtils.h"
#include "platform/ClipboardOwner.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImageWriter>
#include <QMimeData>
#include <QtConcurrent>
#include <cmath>

namespace kx {

namespace {

const QString kPng = QStringLiteral("image/png");
const QString kTiff = QStringLiteral("image/tiff");

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

// The offered forms the rule reads, fetched on the GUI thread: PNG, TIFF and the first other
// image type, each still encoded; Qt's own image form only when none of those is there.
struct Offered {
    struct Form {
        QByteArray bytes;
        bool resolution = true;  // PNG and TIFF carry the scale
    };
    QList<Form> encoded;
    QImage image;
};

Offered offered(const QMimeData& data)
{
    Offered out;
    if (data.hasFormat(kPng))
        out.encoded.append({data.data(kPng), true});
    if (data.hasFormat(kTiff))
        out.encoded.append({data.data(kTiff), true});
    for (const QString& format : data.formats()) {
        if (format.startsWith(QLatin1String("image/")) && format != kPng && format != kTiff) {
            out.encoded.append({data.data(format), false});
            break;
        }
    }
    if (out.encoded.isEmpty() && data.hasImage())
        out.image = qvariant_cast<QImage>(data.imageData());
    return out;
}

ClipboardRead decodeOffered(const Offered& offer)
{
    ClipboardRead out;
    for (const Offered::Form& form : offer.encoded) {
        // A PNG that does not decode must not hide a good TIFF beside it.
        const ImageRead read = readImageData(form.bytes);
        if (read.image) {
            const QImage& img = read.image->image;
            return ClipboardRead{
                ClipboardImage{img, form.resolution ? Clipboard::scaleOf(img) : 1.0}, false, {}};
        }
        if (read.tooLarge)
            out = ClipboardRead{std::nullopt, true, read.size, read.mostlyMetadata, read.bitsPerPixel};
    }
    if (!out.tooLarge && !offer.image.isNull())
        out.image = ClipboardImage{toCanonical(offer.image), 1.0};
    return out;
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
    return decodeOffered(offered(data)).image;
}

void Clipboard::copy(const QImage& image, double scale)
{
    if (QGuiApplication::clipboard())
        ClipboardOwner::claim([image, scale] { return mimeDataFor(image, scale); });
}

std::optional<ClipboardImage> Clipboard::readImage()
{
    QClipboard* cb = QGuiApplication::clipboard();
    const QMimeData* data = cb ? cb->mimeData() : nullptr;
    if (!data)
        return std::nullopt;
    return imageFrom(*data);
}

QFuture<ClipboardRead> Clipboard::readImageAsync()
{
    QClipboard* cb = QGuiApplication::clipboard();
    const QMimeData* data = cb ? cb->mimeData() : nullptr;
    if (!data)
        return QtFuture::makeReadyFuture(ClipboardRead{});
    return QtConcurrent::run([offer = offered(*data)] { return decodeOffered(offer); });
}

}  // namespace kx
