#include "core/PngEncoder.h"

#include <png.h>
#include <QBuffer>
#include <QImageWriter>
#include <csetjmp>

namespace kx {

namespace {

enum class Layout { rgb32, argb32, grey8 };

void appendBytes(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<QByteArray*>(png_get_io_ptr(png));
    out->append(reinterpret_cast<const char*>(data), qsizetype(length));
}

void flushNothing(png_structp)
{
}

int pngFilters(PngSettings::Filter filter)
{
    switch (filter) {
        case PngSettings::Filter::none:
            return PNG_FILTER_NONE;
        case PngSettings::Filter::sub:
            return PNG_FILTER_SUB;
        case PngSettings::Filter::up:
            return PNG_FILTER_UP;
        case PngSettings::Filter::paeth:
            return PNG_FILTER_PAETH;
        case PngSettings::Filter::adaptive:
            return PNG_ALL_FILTERS;
    }
    return PNG_FILTER_UP;
}

// Only plain data lives in this frame: libpng reports errors by longjmp, which must not skip
// the destructor of any C++ object.
bool writePng(png_structp png, png_infop info, const QImage& image, Layout layout, int dotsPerMeter,
              PngSettings settings)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    const int colourType = layout == Layout::grey8    ? PNG_COLOR_TYPE_GRAY
                           : layout == Layout::argb32 ? PNG_COLOR_TYPE_RGB_ALPHA
                                                      : PNG_COLOR_TYPE_RGB;
    png_set_IHDR(png, info, png_uint_32(image.width()), png_uint_32(image.height()), 8, colourType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (dotsPerMeter > 0)
        png_set_pHYs(png, info, png_uint_32(dotsPerMeter), png_uint_32(dotsPerMeter), PNG_RESOLUTION_METER);
    png_set_compression_level(png, std::clamp(settings.level, 0, 9));
    png_set_filter(png, PNG_FILTER_TYPE_BASE, pngFilters(settings.filter));
    png_write_info(png, info);
    if (layout != Layout::grey8) {
        // 0xAARRGGBB words are B, G, R, A bytes in memory on little-endian machines.
        if (QSysInfo::ByteOrder == QSysInfo::LittleEndian) {
            png_set_bgr(png);
            if (layout == Layout::rgb32)
                png_set_filler(png, 0, PNG_FILLER_AFTER);
        } else {
            png_set_swap_alpha(png);
            if (layout == Layout::rgb32)
                png_set_filler(png, 0, PNG_FILLER_BEFORE);
        }
    }
    for (int y = 0; y < image.height(); ++y)
        png_write_row(png, const_cast<png_bytep>(image.constScanLine(y)));
    png_write_end(png, info);
    return true;
}

std::optional<QByteArray> writeWithQt(const QImage& image, int dotsPerMeter, int level)
{
    QImage img = image;
    if (dotsPerMeter > 0) {
        img.setDotsPerMeterX(dotsPerMeter);
        img.setDotsPerMeterY(dotsPerMeter);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly))
        return std::nullopt;
    QImageWriter writer(&buffer, "png");
    // Qt's PNG writer reads "quality" as 100 - 11 × zlib level.
    writer.setQuality(100 - 11 * std::clamp(level, 0, 9));
    if (!writer.write(img) || bytes.isEmpty())
        return std::nullopt;
    return bytes;
}

}  // namespace

PngSettings defaultPngSettings()
{
    return {};
}

std::optional<QByteArray> encodePng(const QImage& image, int dotsPerMeter, PngSettings settings)
{
    if (image.isNull())
        return std::nullopt;
    QImage source;
    Layout layout = Layout::rgb32;
    switch (image.format()) {
        case QImage::Format_RGB32:
            source = image;
            break;
        case QImage::Format_ARGB32:
            source = image;
            layout = Layout::argb32;
            break;
        case QImage::Format_Grayscale8:
            source = image;
            layout = Layout::grey8;
            break;
        case QImage::Format_Mono:
        case QImage::Format_MonoLSB:
        case QImage::Format_Indexed8:
        case QImage::Format_Grayscale16:
        case QImage::Format_RGBX64:
        case QImage::Format_RGBA64:
        case QImage::Format_RGBA64_Premultiplied:
        case QImage::Format_RGBX16FPx4:
        case QImage::Format_RGBA16FPx4:
        case QImage::Format_RGBA16FPx4_Premultiplied:
        case QImage::Format_RGBX32FPx4:
        case QImage::Format_RGBA32FPx4:
        case QImage::Format_RGBA32FPx4_Premultiplied:
            return writeWithQt(image, dotsPerMeter, settings.level);
        default:
            // PNG stores straight alpha; everything else is written as 8-bit RGB.
            layout = image.hasAlphaChannel() ? Layout::argb32 : Layout::rgb32;
            source = image.convertToFormat(layout == Layout::argb32 ? QImage::Format_ARGB32
                                                                    : QImage::Format_RGB32);
            break;
    }
    if (source.isNull())
        return std::nullopt;

    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
        return std::nullopt;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return std::nullopt;
    }
    QByteArray bytes;
    // Screenshots compress to roughly a tenth of their raw size.
    bytes.reserve(qsizetype(source.sizeInBytes() / 8));
    png_set_write_fn(png, &bytes, appendBytes, flushNothing);
    const bool ok = writePng(png, info, source, layout, dotsPerMeter, settings);
    png_destroy_write_struct(&png, &info);
    if (!ok || bytes.isEmpty())
        return std::nullopt;
    return bytes;
}

}  // namespace kx
