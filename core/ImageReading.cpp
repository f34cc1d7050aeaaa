#include "core/ImageReading.h"

#include "core/HeifCodec.h"
#include "core/Localisation.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QtEndian>

namespace kx {

namespace {

const QByteArray kPngSignature("\x89PNG\r\n\x1a\n", 8);

// The ancillary chunks that change how the pixels look; each is a few bytes but an ICC profile.
bool keptAncillary(const char type[4], quint32 length)
{
    static const char* const kept[] = {"tRNS", "gAMA", "cHRM", "sRGB", "iCCP", "pHYs", "sBIT", "bKGD"};
    if (length > 1024 * 1024)
        return false;
    for (const char* k : kept)
        if (std::equal(type, type + 4, k))
            return true;
    return false;
}

// A PNG stream without the chunks the picture does not need. Qt keeps every text chunk as image
// text (a 500 MB tEXt chunk took six times its size), and the decoder buffers eXIf and sPLT whole;
// nothing here reads them. Critical chunks pass as they are, so a broken file stays broken.
class PngPixelsOnly : public QIODevice {
public:
    explicit PngPixelsOnly(QIODevice& in) : in_(in) { open(QIODevice::ReadOnly); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 max) override
    {
        qint64 got = 0;
        while (got < max) {
            if (!pending_.isEmpty()) {
                const qint64 n = std::min<qint64>(max - got, pending_.size());
                std::copy_n(pending_.constData(), n, data + got);
                pending_.remove(0, n);
                got += n;
                continue;
            }
            if (pass_ > 0) {
                const qint64 n = in_.read(data + got, std::min(max - got, pass_));
                if (n <= 0)
                    break;
                pass_ -= n;
                got += n;
                continue;
            }
            const QByteArray header = in_.read(8);
            if (header.size() < 8) {
                pending_ = header;  // a cut file: the decoder sees where it ends
                if (header.isEmpty())
                    break;
                continue;
            }
            const quint32 length = qFromBigEndian<quint32>(header.constData());
            const char* type = header.constData() + 4;
            const bool critical = (type[0] & 0x20) == 0;
            const qint64 body = qint64(length) + 4;  // data and CRC
            if (critical || keptAncillary(type, length)) {
                pending_ = header;
                pass_ = body;
            } else if (!skip(body)) {
                break;
            }
        }
        return got == 0 && max > 0 ? -1 : got;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    bool skip(qint64 n)
    {
        if (!in_.isSequential())
            return in_.seek(std::min(in_.pos() + n, in_.size()));
        char sink[64 * 1024];
        while (n > 0) {
            const qint64 r = in_.read(sink, std::min<qint64>(n, sizeof sink));
            if (r <= 0)
                return false;
            n -= r;
        }
        return true;
    }

    QIODevice& in_;
    QByteArray pending_;
    qint64 pass_ = 8;  // the signature
};

// Pixels plus what a file may fairly carry beside them (an uncompressed 16-bit TIFF with alpha
// is 8 bytes a pixel): a file far beyond that is mostly metadata, which decoders keep whole.
constexpr qint64 fileBytesAllowed(qint64 pixels)
{
    return pixels * 16 + qint64(64) * 1024 * 1024;
}

// The frame size of a JPEG from its segment headers alone: Qt's reader keeps every comment and
// application segment it passes on the way to the frame header, so a file padded with them would
// fill memory before its size is known. Invalid when the device cannot seek or no frame is found.
QSize jpegFrameSize(QIODevice& device)
{
    if (device.isSequential() || !device.peek(2).startsWith("\xff\xd8"))
        return {};
    const qint64 start = device.pos();
    QSize size;
    qint64 at = start + 2;
    for (int segments = 0; segments < 100000 && device.seek(at); ++segments) {
        const QByteArray head = device.read(9);
        if (head.size() < 4 || quint8(head[0]) != 0xff)
            break;
        const quint8 marker = quint8(head[1]);
        const bool frame =
            marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc;
        if (frame && head.size() == 9) {
            size = QSize(qFromBigEndian<quint16>(head.constData() + 7),
                         qFromBigEndian<quint16>(head.constData() + 5));
            break;
        }
        if (marker == 0xda || marker == 0xd9)
            break;
        at += 2 + qFromBigEndian<quint16>(head.constData() + 2);
    }
    device.seek(start);
    return size;
}

ImageRead refused(QSize size)
{
    ImageRead out;
    out.tooLarge = true;
    out.size = size;
    return out;
}

// A file whose size its pixels do not explain.
ImageRead mostlyMetadata(QSize size)
{
    ImageRead out = refused(size);
    out.mostlyMetadata = true;
    return out;
}

ImageRead fromHeic(const QByteArray& bytes, qint64 maxPixels)
{
    QSize tooLarge;
    const auto heic = decodeHeic(bytes, maxPixels, &tooLarge);
    if (!heic)
        return tooLarge.isValid() ? refused(tooLarge.isEmpty() ? QSize() : tooLarge) : ImageRead{};
    return ImageRead{DecodedImage{toCanonical(heic->image), scaleFromDpi(heic->dpi)}, false, {}};
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
    const QSize frame = jpegFrameSize(device);
    if (frame.isValid() && device.size() > fileBytesAllowed(qint64(frame.width()) * frame.height()))
        return mostlyMetadata(frame);
    std::optional<PngPixelsOnly> png;
    if (device.peek(8) == kPngSignature)
        png.emplace(device);
    QImageReader reader(png ? static_cast<QIODevice*>(&*png) : &device);
    if (!reader.canRead())
        return {};
    const QSize size = reader.size();
    const qint64 pixels = size.isValid() ? qint64(size.width()) * size.height() : 0;
    if (pixels > maxPixels)
        return refused(size);
    if (const int bits = QImage::toPixelFormat(reader.imageFormat()).bitsPerPixel();
        size.isValid() && pixels > maxPixelsAtDepth(bits, maxPixels)) {
        ImageRead out = refused(size);
        out.bitsPerPixel = bits;
        return out;
    }
    if (!png && size.isValid() && !device.isSequential() && device.size() > fileBytesAllowed(pixels))
        return mostlyMetadata(size);
    // Qt refuses to allocate beyond its process-wide limit (128 MB) but fills an image that
    // already has the right size and format: the pixel bound above is the one that applies.
    QImage image;
    if (size.isValid() && reader.imageFormat() != QImage::Format_Invalid)
        image = QImage(size, reader.imageFormat());
    if (!reader.read(&image) || image.isNull())
        return {};
    const double scale = scaleFromDotsPerMeter(image.dotsPerMeterX());
    return ImageRead{DecodedImage{toCanonical(std::move(image)), scale}, false, {}};
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

QString mostlyMetadataLine(const QString& name, QSize size)
{
    const QString dims = QStringLiteral("%1 × %2").arg(size.width()).arg(size.height());
    if (name.isEmpty())
        return kx::tr(
                   "The clipboard image holds far more data than its %1 pixels need (mostly metadata), so "
                   "Kaptorix does not open it.",
                   "A vágólap képe sokkal több adatot tartalmaz, mint amennyit %1 képpontja igényel (főleg "
                   "metaadat), ezért a Kaptorix nem nyitja meg.",
                   "Das Bild in der Zwischenablage enthält weit mehr Daten, als seine %1 Pixel brauchen (vor "
                   "allem Metadaten); Kaptorix öffnet es nicht.")
            .arg(dims);
    return kx::
        tr("%1 holds far more data than its %2 pixels need (mostly metadata), so Kaptorix does not open "
           "it.",
           "%1: sokkal több adat, mint amennyi %2 képponthoz kell (főleg metaadat), nem nyílik meg.",
           "%1 enthält weit mehr Daten, als %2 Pixel brauchen (meist Metadaten); Kaptorix öffnet die Datei "
           "nicht.")
            .arg(name, dims);
}

}  // namespace kx
