#include "core/PngEncoder.h"

#include <png.h>
#include <zlib.h>
#include <QBuffer>
#include <QImageWriter>
#include <QThreadPool>
#include <QtEndian>
#include <algorithm>
#include <csetjmp>
#include <latch>
#include <vector>

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

// --- Bands: the filtered rows are cut into bands, each deflated on its own core as raw deflate
// ending on a byte boundary (a sync flush), and the pieces joined into one zlib stream, with
// their Adler-32 sums combined. Decoders see one ordinary IDAT stream.

int bytesPerPixel(Layout layout)
{
    return layout == Layout::grey8 ? 1 : layout == Layout::argb32 ? 4 : 3;
}

// One row in PNG byte order (R, G, B[, A] or grey).
void pngRow(const QImage& image, Layout layout, int y, unsigned char* out)
{
    const int w = image.width();
    if (layout == Layout::grey8) {
        std::copy_n(image.constScanLine(y), w, out);
        return;
    }
    const auto* px = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    if (layout == Layout::argb32) {
        for (int x = 0; x < w; ++x, out += 4) {
            out[0] = uchar(qRed(px[x]));
            out[1] = uchar(qGreen(px[x]));
            out[2] = uchar(qBlue(px[x]));
            out[3] = uchar(qAlpha(px[x]));
        }
    } else {
        for (int x = 0; x < w; ++x, out += 3) {
            out[0] = uchar(qRed(px[x]));
            out[1] = uchar(qGreen(px[x]));
            out[2] = uchar(qBlue(px[x]));
        }
    }
}

struct Band {
    int first = 0;
    int end = 0;
    bool last = false;
    QByteArray deflated;
    uLong adler = 1;
    qsizetype rawLength = 0;
    bool ok = false;
};

// Filters rows [first, end) with "up" (each byte minus the one above) and deflates them.
void deflateBand(const QImage& image, Layout layout, int level, Band& band)
{
    const size_t rowBytes = size_t(image.width()) * size_t(bytesPerPixel(layout));
    std::vector<unsigned char> above(rowBytes, 0), row(rowBytes), filtered(rowBytes + 1);
    if (band.first > 0)
        pngRow(image, layout, band.first - 1, above.data());
    z_stream z{};
    if (deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return;
    const size_t raw = (rowBytes + 1) * size_t(band.end - band.first);
    band.deflated.resize(qsizetype(deflateBound(&z, uLong(raw)) + 16));
    z.next_out = reinterpret_cast<Bytef*>(band.deflated.data());
    z.avail_out = uInt(band.deflated.size());
    bool ok = true;
    for (int y = band.first; y < band.end && ok; ++y) {
        pngRow(image, layout, y, row.data());
        filtered[0] = 2;  // up
        for (size_t i = 0; i < rowBytes; ++i)
            filtered[i + 1] = uchar(row[i] - above[i]);
        band.adler = adler32(band.adler, filtered.data(), uInt(filtered.size()));
        z.next_in = filtered.data();
        z.avail_in = uInt(filtered.size());
        const bool lastRow = y + 1 == band.end;
        const int flush = lastRow ? (band.last ? Z_FINISH : Z_SYNC_FLUSH) : Z_NO_FLUSH;
        const int r = deflate(&z, flush);
        ok = (r == Z_OK || r == Z_STREAM_END || r == Z_BUF_ERROR) && z.avail_in == 0;
        row.swap(above);
    }
    band.deflated.resize(qsizetype(z.total_out));
    band.rawLength = qsizetype(raw);
    deflateEnd(&z);
    band.ok = ok;
}

void appendChunk(QByteArray& out, const char type[4], const QByteArray& data)
{
    char length[4];
    qToBigEndian(quint32(data.size()), length);
    out.append(length, 4);
    const qsizetype start = out.size();
    out.append(type, 4);
    out.append(data);
    const uLong crc =
        crc32(0, reinterpret_cast<const Bytef*>(out.constData() + start), uInt(data.size() + 4));
    char sum[4];
    qToBigEndian(quint32(crc), sum);
    out.append(sum, 4);
}

QThreadPool& bandPool()
{
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(std::max(1, QThread::idealThreadCount()));
        return p;
    }();
    return *pool;
}

std::optional<QByteArray> writeBanded(const QImage& image, Layout layout, int dotsPerMeter, int level,
                                      int count)
{
    std::vector<Band> bands(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        bands[size_t(i)].first = int(qint64(image.height()) * i / count);
        bands[size_t(i)].end = int(qint64(image.height()) * (i + 1) / count);
        bands[size_t(i)].last = i + 1 == count;
    }
    // The calling thread deflates the first band itself, so a busy pool only slows, never blocks.
    std::latch done(count - 1);
    for (int i = 1; i < count; ++i)
        bandPool().start([&, i] {
            deflateBand(image, layout, level, bands[size_t(i)]);
            done.count_down();
        });
    deflateBand(image, layout, level, bands[0]);
    done.wait();

    QByteArray stream;
    stream.append(char(0x78));
    stream.append(char(0x01));
    uLong adler = 1;
    for (const Band& b : bands) {
        if (!b.ok)
            return std::nullopt;
        stream.append(b.deflated);
        adler = adler32_combine(adler, b.adler, z_off_t(b.rawLength));
    }
    char sum[4];
    qToBigEndian(quint32(adler), sum);
    stream.append(sum, 4);

    QByteArray out("\x89PNG\r\n\x1a\n", 8);
    QByteArray header(13, '\0');
    qToBigEndian(quint32(image.width()), header.data());
    qToBigEndian(quint32(image.height()), header.data() + 4);
    header[8] = 8;
    header[9] = char(layout == Layout::grey8 ? 0 : layout == Layout::argb32 ? 6 : 2);
    appendChunk(out, "IHDR", header);
    if (dotsPerMeter > 0) {
        QByteArray phys(9, '\0');
        qToBigEndian(quint32(dotsPerMeter), phys.data());
        qToBigEndian(quint32(dotsPerMeter), phys.data() + 4);
        phys[8] = 1;  // metres
        appendChunk(out, "pHYs", phys);
    }
    appendChunk(out, "IDAT", stream);
    appendChunk(out, "IEND", QByteArray());
    return out;
}

int bandCount(const QImage& image, PngSettings settings)
{
    if (settings.filter != PngSettings::Filter::up)
        return 1;
    if (settings.bands > 0)
        return std::clamp(settings.bands, 1, std::max(1, image.height()));
    // Below about a megabyte of pixels one stream is quick enough; bands of at least 64 rows.
    if (image.sizeInBytes() < (1 << 20))
        return 1;
    return std::clamp(std::min(QThread::idealThreadCount(), image.height() / 64), 1, 16);
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
    if (const int bands = bandCount(source, settings); bands > 1 || settings.bands == 1)
        if (settings.filter == PngSettings::Filter::up)
            return writeBanded(source, layout, dotsPerMeter, std::clamp(settings.level, 0, 9), bands);

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
