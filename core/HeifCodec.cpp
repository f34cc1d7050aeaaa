#include "core/HeifCodec.h"

#include "core/HevcSize.h"
#include "core/ModuleLoader.h"
#include "core/heif/HeifModule.h"

#include <QtEndian>
#include <cmath>
#include <cstring>
#include <memory>

namespace kx {

namespace {

// libheif and its codecs are mapped only once a HEIC file is read or written.
HeifModule* heifModule()
{
    static HeifModule* module = [] {
        QString error;
        auto entry =
            reinterpret_cast<HeifModule* (*)()>(moduleEntry("kaptorix-heif", KX_HEIF_MODULE_ENTRY, &error));
        if (!entry) {
            qWarning("HEIC unavailable: %s", qPrintable(error));
            return static_cast<HeifModule*>(nullptr);
        }
        return entry();
    }();
    return module;
}

void put16(QByteArray& b, int at, quint16 v)
{
    qToLittleEndian(v, b.data() + at);
}
void put32(QByteArray& b, int at, quint32 v)
{
    qToLittleEndian(v, b.data() + at);
}

}  // namespace

QByteArray exifWithResolution(double dpi)
{
    // "II*\0", IFD0 at 8 with XResolution, YResolution, ResolutionUnit=inch, then two rationals.
    QByteArray b(66, '\0');
    b[0] = 'I';
    b[1] = 'I';
    put16(b, 2, 42);
    put32(b, 4, 8);
    put16(b, 8, 3);
    auto entry = [&](int i, quint16 tag, quint16 type, quint32 count, quint32 value) {
        const int at = 10 + i * 12;
        put16(b, at, tag);
        put16(b, at + 2, type);
        put32(b, at + 4, count);
        if (type == 3)
            put16(b, at + 8, quint16(value));
        else
            put32(b, at + 8, value);
    };
    entry(0, 0x011A, 5, 1, 50);
    entry(1, 0x011B, 5, 1, 58);
    entry(2, 0x0128, 3, 1, 2);
    put32(b, 46, 0);
    const quint32 num = quint32(std::lround(dpi * 1000.0));
    put32(b, 50, num);
    put32(b, 54, 1000);
    put32(b, 58, num);
    put32(b, 62, 1000);
    return b;
}

double resolutionFromExif(const QByteArray& tiff)
{
    if (tiff.size() < 8)
        return 0;
    const bool little = tiff.startsWith("II");
    if (!little && !tiff.startsWith("MM"))
        return 0;
    auto rd16 = [&](qsizetype at) -> quint32 {
        if (at < 0 || at + 2 > tiff.size())
            return 0;
        return little ? qFromLittleEndian<quint16>(tiff.constData() + at)
                      : qFromBigEndian<quint16>(tiff.constData() + at);
    };
    auto rd32 = [&](qsizetype at) -> quint32 {
        if (at < 0 || at + 4 > tiff.size())
            return 0;
        return little ? qFromLittleEndian<quint32>(tiff.constData() + at)
                      : qFromBigEndian<quint32>(tiff.constData() + at);
    };
    const quint32 ifd = rd32(4);
    const quint32 n = rd16(ifd);
    double res = 0;
    int unit = 2;
    for (quint32 i = 0; i < n && i < 512; ++i) {
        const qsizetype at = qsizetype(ifd) + 2 + qsizetype(i) * 12;
        const quint32 tag = rd16(at);
        if (tag == 0x011A) {
            const quint32 off = rd32(at + 8);
            const quint32 num = rd32(off), den = rd32(off + 4);
            if (den != 0)
                res = double(num) / double(den);
        } else if (tag == 0x0128) {
            unit = int(rd16(at + 8));
        }
    }
    if (unit == 3)  // centimetres
        res *= 2.54;
    return res;
}

bool looksLikeHeif(const QByteArray& bytes)
{
    if (bytes.size() < 12 || bytes.mid(4, 4) != "ftyp")
        return false;
    const QByteArray brand = bytes.mid(8, 4);
    return brand == "heic" || brand == "heix" || brand == "mif1" || brand == "msf1" || brand == "heim" ||
           brand == "heis" || brand == "hevc";
}

std::optional<QByteArray> encodeHeic(const QImage& source, double quality, double dpi)
{
    if (source.isNull())
        return std::nullopt;
    HeifModule* codec = heifModule();
    if (!codec)
        return std::nullopt;
    return codec->encode(source, quality, dpi > 0 ? exifWithResolution(dpi) : QByteArray());
}

std::optional<HeicDecoded> decodeHeic(const QByteArray& bytes, qint64 maxPixels, QSize* refused)
{
    // A few hundred bytes can code a picture of gigabytes whatever the `ispe` box declares: the
    // decoder would allocate it before anything could look at the result.
    const auto coded = heifCodedSizes(bytes);
    if (!coded)
        return std::nullopt;
    for (const QSize& size : *coded) {
        if (qint64(size.width()) * size.height() > maxPixels) {
            if (refused)
                *refused = size;
            return std::nullopt;
        }
    }
    HeifModule* codec = heifModule();
    if (!codec)
        return std::nullopt;
    QList<QByteArray> exif;
    std::optional<QImage> image = codec->decode(bytes, &exif, maxPixels, refused);
    if (!image)
        return std::nullopt;
    HeicDecoded out;
    out.image = std::move(*image);
    for (const QByteArray& tiff : exif) {
        if (out.dpi <= 0)
            out.dpi = resolutionFromExif(tiff);
    }
    return out;
}

}  // namespace kx
