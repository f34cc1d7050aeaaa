#include "core/heif/HeifModule.h"

#include <libheif/heif.h>

#include <QtEndian>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <memory>

namespace kx {

namespace {

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

void releaseImage(void* image)
{
    heif_image_release(static_cast<heif_image*>(image));
}

// RGBA bytes turned into premultiplied ARGB32 words where they lie: the decoded plane becomes the
// image itself, with no second copy of a picture that may be a gigabyte.
void toPremultipliedArgb(uint8_t* plane, int width, int height, int stride)
{
    for (int y = 0; y < height; ++y) {
        uint8_t* p = plane + qsizetype(y) * stride;
        auto* word = reinterpret_cast<QRgb*>(p);
        for (int x = 0; x < width; ++x, p += 4)
            word[x] = qPremultiply(qRgba(p[0], p[1], p[2], p[3]));
    }
}

class LibHeif final : public HeifModule {
public:
    LibHeif() { heif_init(nullptr); }

    std::optional<QByteArray> encode(const QImage& source, double quality, const QByteArray& exif) override
    {
        if (source.isNull())
            return std::nullopt;
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
        if (!exif.isEmpty()) {
            heif_context_add_exif_metadata(ctx.get(), handle.get(), exif.constData(), int(exif.size()));
        }
        QByteArray out;
        heif_writer writer{1, appendToBuffer};
        if (!ok(heif_context_write(ctx.get(), &writer, &out)) || out.isEmpty())
            return std::nullopt;
        return out;
    }

    std::optional<QImage> decode(const QByteArray& bytes, QList<QByteArray>* exif, qint64 maxPixels,
                                 QSize* refused) override
    {
        auto refuse = [refused](int w, int h) {
            if (refused)
                *refused = QSize(w, h);
            return std::nullopt;
        };
        Context ctx(heif_context_alloc());
        if (!ctx)
            return std::nullopt;
        // libheif's own bound on declared sizes (a side length; the area check follows).
        heif_context_set_maximum_image_size_limit(
            ctx.get(), int(std::min<double>(std::ceil(std::sqrt(double(maxPixels))), INT_MAX)));
        const heif_error read = heif_context_read_from_memory_without_copy(ctx.get(), bytes.constData(),
                                                                           size_t(bytes.size()), nullptr);
        if (read.code != heif_error_Ok && read.subcode == heif_suberror_Security_limit_exceeded)
            return refuse(0, 0);
        if (!ok(read))
            return std::nullopt;
        heif_image_handle* rawHandle = nullptr;
        if (!ok(heif_context_get_primary_image_handle(ctx.get(), &rawHandle)))
            return std::nullopt;
        Handle handle(rawHandle);
        const int declaredW = heif_image_handle_get_width(handle.get());
        const int declaredH = heif_image_handle_get_height(handle.get());
        if (declaredW <= 0 || declaredH <= 0)
            return std::nullopt;
        if (qint64(declaredW) * declaredH > maxPixels)
            return refuse(declaredW, declaredH);
        // RGBA also without alpha (255 then): four bytes a pixel, as the image will hold them.
        heif_image* rawImg = nullptr;
        const heif_error decoded = heif_decode_image(handle.get(), &rawImg, heif_colorspace_RGB,
                                                     heif_chroma_interleaved_RGBA, nullptr);
        // libheif's own limit also stops a coded stream larger than declared; its size is not told.
        if (decoded.code != heif_error_Ok && decoded.subcode == heif_suberror_Security_limit_exceeded)
            return refuse(0, 0);
        if (!ok(decoded))
            return std::nullopt;
        Image img(rawImg);
        int stride = 0;
        uint8_t* plane = heif_image_get_plane(img.get(), heif_channel_interleaved, &stride);
        const int w = heif_image_get_width(img.get(), heif_channel_interleaved);
        const int h = heif_image_get_height(img.get(), heif_channel_interleaved);
        if (!plane || w <= 0 || h <= 0 || stride < w * 4 || stride % 4 != 0)
            return std::nullopt;
        // What the decoder made, checked before it is used: never more than was declared.
        if (w > declaredW || h > declaredH || qint64(w) * h > maxPixels)
            return refuse(w, h);
        toPremultipliedArgb(plane, w, h, stride);
        QImage out(plane, w, h, stride, QImage::Format_ARGB32_Premultiplied, releaseImage, img.get());
        if (out.isNull())
            return std::nullopt;
        img.release();  // the image's now

        heif_item_id ids[4];
        const int n = heif_image_handle_get_list_of_metadata_block_IDs(handle.get(), "Exif", ids, 4);
        for (int i = 0; i < n && exif; ++i) {
            const size_t size = heif_image_handle_get_metadata_size(handle.get(), ids[i]);
            if (size < 4)
                continue;
            QByteArray block(qsizetype(size), '\0');
            if (!ok(heif_image_handle_get_metadata(handle.get(), ids[i], block.data())))
                continue;
            // The block starts with the big-endian offset of the TIFF header.
            const quint32 skip = qFromBigEndian<quint32>(block.constData());
            if (4 + qsizetype(skip) < block.size())
                exif->append(block.mid(4 + skip));
        }
        return out;
    }
};

}  // namespace

}  // namespace kx

extern "C" __attribute__((visibility("default"))) kx::HeifModule* kx_heif_module()
{
    static kx::LibHeif module;
    return &module;
}
