#include "core/HeifCodec.h"

#include <libheif/heif.h>

#include <QImageReader>
#include <QtEndian>
#include <cmath>
#include <cstring>
#include <memory>

namespace kx {

namespace {

struct HeifInit {
    HeifInit() { heif_init(nullptr); }
};
void ensureInit()
{
    static HeifInit once;
}

template <auto F>
struct Deleter {
    template <typename T>
    void operator()(T* p) const
    {
        if (p)
            F(p);
    }
};
using Context = std::unique_ptr<heif_context, Deleter<heif_context_free>>;
using Encoder = std::unique_ptr<heif_encoder, Deleter<heif_encoder_release>>;
using Image = std::unique_ptr<heif_image, Deleter<heif_image_release>>;
using Handle = std::unique_ptr<heif_image_handle, Deleter<heif_image_handle_release>>;

heif_error appendToBuffer(heif_context*, const void* data, size_t size, void* userdata)
{
    static_cast<QByteArray*>(userdata)->append(static_cast<const char*>(data), qsizetype(size));
    return heif_error{heif_error_Ok, heif_suberror_Unspecified, "ok"};
}

bool ok(const heif_error& e)
{
    return e.code == heif_error_Ok;
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
    ensureInit();
    const bool alpha = source.hasAlphaChannel();
    const QImage img = source.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    if (img.isNull())
        return std::nullopt;

    Context ctx(heif_context_alloc());
    heif_encoder* rawEnc = nullptr;
    if (!ctx || !ok(heif_context_get_encoder_for_format(ctx.get(), heif_compression_HEVC, &rawEnc)))
        return std::nullopt;
    Encoder enc(rawEnc);
    const int q = std::clamp(int(std::lround(quality * 100.0)), 0, 100);
    if (!ok(heif_encoder_set_lossy_quality(enc.get(), q)))
        return std::nullopt;

    heif_image* rawImg = nullptr;
    const heif_chroma chroma = alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB;
    if (!ok(heif_image_create(img.width(), img.height(), heif_colorspace_RGB, chroma, &rawImg)))
        return std::nullopt;
    Image himg(rawImg);
    if (!ok(heif_image_add_plane(himg.get(), heif_channel_interleaved, img.width(), img.height(), 8)))
        return std::nullopt;
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(himg.get(), heif_channel_interleaved, &stride);
    if (!plane)
        return std::nullopt;
    const int rowBytes = img.width() * (alpha ? 4 : 3);
    for (int y = 0; y < img.height(); ++y)
        std::memcpy(plane + qsizetype(y) * stride, img.constScanLine(y), size_t(rowBytes));

    heif_encoding_options* opt = heif_encoding_options_alloc();
    heif_image_handle* rawHandle = nullptr;
    const heif_error e = heif_context_encode_image(ctx.get(), himg.get(), enc.get(), opt, &rawHandle);
    heif_encoding_options_free(opt);
    if (!ok(e))
        return std::nullopt;
    Handle handle(rawHandle);
    if (dpi > 0) {
        const QByteArray exif = exifWithResolution(dpi);
        heif_context_add_exif_metadata(ctx.get(), handle.get(), exif.constData(), int(exif.size()));
    }
    QByteArray out;
    heif_writer writer{1, appendToBuffer};
    if (!ok(heif_context_write(ctx.get(), &writer, &out)) || out.isEmpty())
        return std::nullopt;
    return out;
}

std::optional<HeicDecoded> decodeHeic(const QByteArray& bytes)
{
    ensureInit();
    Context ctx(heif_context_alloc());
    if (!ctx || !ok(heif_context_read_from_memory_without_copy(ctx.get(), bytes.constData(),
                                                               size_t(bytes.size()), nullptr)))
        return std::nullopt;
    heif_image_handle* rawHandle = nullptr;
    if (!ok(heif_context_get_primary_image_handle(ctx.get(), &rawHandle)))
        return std::nullopt;
    Handle handle(rawHandle);
    // The declared size first, with the limit Qt applies to every other format: a few hundred
    // bytes can declare an image of gigabytes.
    const qint64 declared = qint64(heif_image_handle_get_width(handle.get())) *
                            qint64(heif_image_handle_get_height(handle.get())) * 4;
    const int limitMB = QImageReader::allocationLimit();
    if (declared <= 0 || (limitMB > 0 && declared > qint64(limitMB) * 1024 * 1024))
        return std::nullopt;
    const bool alpha = heif_image_handle_has_alpha_channel(handle.get());
    heif_image* rawImg = nullptr;
    if (!ok(heif_decode_image(handle.get(), &rawImg, heif_colorspace_RGB,
                              alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, nullptr)))
        return std::nullopt;
    Image img(rawImg);
    int stride = 0;
    const uint8_t* plane = heif_image_get_plane_readonly(img.get(), heif_channel_interleaved, &stride);
    const int w = heif_image_get_width(img.get(), heif_channel_interleaved);
    const int h = heif_image_get_height(img.get(), heif_channel_interleaved);
    if (!plane || w <= 0 || h <= 0)
        return std::nullopt;
    HeicDecoded out;
    out.image = QImage(plane, w, h, stride, alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888)
                    .convertToFormat(alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);

    heif_item_id ids[4];
    const int n = heif_image_handle_get_list_of_metadata_block_IDs(handle.get(), "Exif", ids, 4);
    for (int i = 0; i < n && out.dpi <= 0; ++i) {
        const size_t size = heif_image_handle_get_metadata_size(handle.get(), ids[i]);
        if (size < 4)
            continue;
        QByteArray block(qsizetype(size), '\0');
        if (!ok(heif_image_handle_get_metadata(handle.get(), ids[i], block.data())))
            continue;
        // The block starts with the big-endian offset of the TIFF header.
        const quint32 skip = qFromBigEndian<quint32>(block.constData());
        if (4 + qsizetype(skip) < block.size())
            out.dpi = resolutionFromExif(block.mid(4 + skip));
    }
    return out;
}

}  // namespace kx
