#include "core/PngEncoder.h"

#include <png.h>
#include <zlib.h>
#include <QBuffer>
#include <QImageWriter>
#include <QThreadPool>
#include <QtEndian>
#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <latch>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// --- The project's own writer for the "up" filter: rows are filtered in blocks and deflated as
// raw deflate; large images are cut into bands deflated on several cores, each ending on a byte
// boundary (a sync flush), and joined into one zlib stream with their Adler-32 sums combined.
// Decoders see one ordinary IDAT stream.

int bytesPerPixel(Layout layout)
{
    return layout == Layout::grey8 ? 1 : layout == Layout::argb32 ? 4 : 3;
}

// Adler-32 as zlib computes it, 16 bytes per step: the system's zlib does it a byte at a time,
// which costs a tenth of the deflate itself at level 1.
uint32_t adlerOf(uint32_t adler, const uchar* p, size_t n)
{
#if defined(__SSE2__)
    constexpr uint32_t kMod = 65521;
    // 5552 bytes is the most the sums may take before they must be reduced (as in zlib).
    constexpr size_t kBlockChunks = 5552 / 16;
    uint32_t s1 = adler & 0xffff, s2 = adler >> 16;
    const __m128i zero = _mm_setzero_si128();
    const __m128i weightsLo = _mm_setr_epi16(16, 15, 14, 13, 12, 11, 10, 9);
    const __m128i weightsHi = _mm_setr_epi16(8, 7, 6, 5, 4, 3, 2, 1);
    auto sum = [](__m128i v) {
        alignas(16) uint32_t lanes[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes), v);
        return uint64_t(lanes[0]) + lanes[1] + lanes[2] + lanes[3];
    };
    while (n >= 16) {
        const size_t chunks = std::min(n / 16, kBlockChunks);
        __m128i bytes = zero, earlier = zero, weighted = zero;
        for (size_t i = 0; i < chunks; ++i, p += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            earlier = _mm_add_epi32(earlier, bytes);
            bytes = _mm_add_epi32(bytes, _mm_sad_epu8(v, zero));
            weighted = _mm_add_epi32(weighted, _mm_madd_epi16(_mm_unpacklo_epi8(v, zero), weightsLo));
            weighted = _mm_add_epi32(weighted, _mm_madd_epi16(_mm_unpackhi_epi8(v, zero), weightsHi));
        }
        // Each byte adds s1 (as it stood before the block) plus every byte up to itself to s2.
        const uint64_t t2 = s2 + uint64_t(chunks) * 16 * s1 + 16 * sum(earlier) + sum(weighted);
        s1 = uint32_t((s1 + sum(bytes)) % kMod);
        s2 = uint32_t(t2 % kMod);
        n -= chunks * 16;
    }
    for (size_t i = 0; i < n; ++i) {
        s1 += p[i];
        s2 += s1;
    }
    return (s2 % kMod) << 16 | (s1 % kMod);
#else
    return uint32_t(adler32(adler, p, uInt(n)));
#endif
}

// Row y in PNG byte order (R, G, B[, A] or grey) minus the row above, the "up" filter, after
// its filter-type byte. Byte differences of whole pixel words are the differences of their
// channels, so the subtraction runs before the channels are put in PNG order.
void upFilteredRow(const QImage& image, Layout layout, int y, uchar* out)
{
    const int w = image.width();
    const uchar* cur = image.constScanLine(y);
    static const QRgb kNoRow[4] = {};  // the row above the first: 16 bytes of zeros
    out[0] = 2;
    ++out;
    if (layout == Layout::grey8) {
        if (y == 0) {
            std::copy_n(cur, w, out);
            return;
        }
        const uchar* above = image.constScanLine(y - 1);
        for (int x = 0; x < w; ++x)
            out[x] = uchar(cur[x] - above[x]);
        return;
    }
    const auto* c = reinterpret_cast<const QRgb*>(cur);
    const auto* a = y > 0 ? reinterpret_cast<const QRgb*>(image.constScanLine(y - 1)) : kNoRow;
    const qsizetype step = y > 0 ? 1 : 0;
    auto diff = [](QRgb p, QRgb q) {
        // Per byte: no borrow crosses into the next channel.
        return ((p | 0x80808080u) - (q & 0x7f7f7f7fu)) ^ ((p ^ ~q) & 0x80808080u);
    };
    const int bpp = bytesPerPixel(layout);
    int x = 0;
    if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
        // 0xAARRGGBB words are B, G, R, A in memory: swapping B and R gives R, G, B, A.
        auto toPng = [](QRgb d) { return (d & 0xff00ff00u) | ((d >> 16) & 0xffu) | ((d & 0xffu) << 16); };
#if defined(__SSE2__)
        const __m128i mask = _mm_set1_epi32(0xff00ff00), low = _mm_set1_epi32(0xff);
        for (; x + 4 <= w; x += 4) {
            const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + x));
            const __m128i q = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + x * step));
            const __m128i d = step ? _mm_sub_epi8(p, q) : p;
            const __m128i swapped =
                _mm_or_si128(_mm_and_si128(d, mask), _mm_or_si128(_mm_and_si128(_mm_srli_epi32(d, 16), low),
                                                                  _mm_slli_epi32(_mm_and_si128(d, low), 16)));
            if (bpp == 4) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + qsizetype(x) * 4), swapped);
            } else {
                // Four bytes per pixel, each store overlapping the next pixel's first byte.
                alignas(16) uint32_t px[4];
                _mm_store_si128(reinterpret_cast<__m128i*>(px), swapped);
                uchar* o = out + qsizetype(x) * 3;
                if (x + 4 < w) {
                    std::memcpy(o, px, 4);
                    std::memcpy(o + 3, px + 1, 4);
                    std::memcpy(o + 6, px + 2, 4);
                    std::memcpy(o + 9, px + 3, 4);
                } else {
                    for (int i = 0; i < 4; ++i)
                        std::memcpy(o + 3 * i, px + i, 3);
                }
            }
        }
#endif
        for (; x < w; ++x) {
            const QRgb d = toPng(diff(c[x], a[x * step]));
            std::memcpy(out + qsizetype(x) * bpp, &d, size_t(bpp));
        }
    } else {
        for (; x < w; ++x) {
            const QRgb d = diff(c[x], a[x * step]);
            const uchar px[4] = {uchar(qRed(d)), uchar(qGreen(d)), uchar(qBlue(d)), uchar(qAlpha(d))};
            std::memcpy(out + qsizetype(x) * bpp, px, size_t(bpp));
        }
    }
}

// zlib's level 1 with a longer "good enough" match and no insertion of matched strings:
// measured on screenshots (bench/core/RESULTS.md) as fast or faster and 1-25 % smaller.
void tuneDeflate(z_stream& z, int level)
{
    if (level == 1)
        deflateTune(&z, 4, 2, 64, 4);
}

struct Band {
    int first = 0;
    int end = 0;
    bool last = false;
    QByteArray deflated;
    uint32_t adler = 1;
    qsizetype rawLength = 0;
    bool ok = false;
};

// Runs deflate with `flush` until all input is taken (and, for Z_FINISH, the stream ended),
// growing `out` as needed.
bool pump(z_stream& z, QByteArray& out, int flush)
{
    for (;;) {
        if (z.avail_out == 0) {
            const qsizetype used = reinterpret_cast<char*>(z.next_out) - out.data();
            out.resize(out.size() + std::max<qsizetype>(out.size() / 2, 1 << 16));
            z.next_out = reinterpret_cast<Bytef*>(out.data() + used);
            z.avail_out = uInt(out.size() - used);
        }
        const int r = deflate(&z, flush);
        if (r != Z_OK && r != Z_BUF_ERROR && r != Z_STREAM_END)
            return false;
        if (flush == Z_FINISH ? r == Z_STREAM_END : z.avail_in == 0 && z.avail_out > 0)
            return true;
        if (r == Z_BUF_ERROR && z.avail_out > 0)
            return false;  // no progress with room to write: never loop on it
    }
}

// Filters rows [first, end) with "up" in blocks that stay in the cache, and deflates them.
// Rows of a premultiplied image in straight alpha, a block at a time with the row above it,
// so that a large translucent image is never copied whole to be written.
class StraightRows {
public:
    StraightRows(const QImage& image, int blockRows)
        : image_(image), window_(image.width(), blockRows + 1, QImage::Format_ARGB32)
    {
    }
    bool ok() const { return !window_.isNull(); }
    // Unpremultiplies rows [y, y + rows) and the one above; returns the window and sets `top`
    // to the window row of row y (0 for the image's first row, which has none above).
    const QImage& load(int y, int rows, int* top)
    {
        const int first = y > 0 ? y - 1 : 0;
        *top = y - first;
        for (int r = first; r < y + rows; ++r) {
            const auto* in = reinterpret_cast<const QRgb*>(image_.constScanLine(r));
            auto* out = reinterpret_cast<QRgb*>(window_.scanLine(r - first));
            for (int x = 0; x < image_.width(); ++x)
                out[x] = qUnpremultiply(in[x]);
        }
        return window_;
    }

private:
    const QImage& image_;
    QImage window_;
};

void deflateBand(const QImage& image, Layout layout, int level, Band& band)
{
    const size_t rowBytes = size_t(image.width()) * size_t(bytesPerPixel(layout)) + 1;
    const int blockRows = int(std::clamp<size_t>((size_t(256) << 10) / rowBytes, 1, 64));
    std::vector<uchar> block(rowBytes * size_t(blockRows));
    z_stream z{};
    if (deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return;
    tuneDeflate(z, level);
    band.rawLength = qsizetype(rowBytes) * (band.end - band.first);
    // Screenshots deflate to roughly a tenth of their filtered size.
    band.deflated.resize(band.rawLength / 10 + (1 << 16));
    z.next_out = reinterpret_cast<Bytef*>(band.deflated.data());
    z.avail_out = uInt(band.deflated.size());
    bool ok = true;
    std::optional<StraightRows> straight;
    if (image.format() == QImage::Format_ARGB32_Premultiplied) {
        straight.emplace(image, blockRows);
        ok = straight->ok();
    }
    for (int y = band.first; y < band.end && ok; y += blockRows) {
        const int rows = std::min(blockRows, band.end - y);
        int top = 0;
        const QImage& rowsIn = straight ? straight->load(y, rows, &top) : image;
        const int at = straight ? top : y;
        for (int i = 0; i < rows; ++i)
            upFilteredRow(rowsIn, layout, at + i, block.data() + size_t(i) * rowBytes);
        const size_t bytes = size_t(rows) * rowBytes;
        band.adler = adlerOf(band.adler, block.data(), bytes);
        z.next_in = block.data();
        z.avail_in = uInt(bytes);
        const bool lastBlock = y + rows == band.end;
        ok = pump(z, band.deflated, lastBlock ? (band.last ? Z_FINISH : Z_SYNC_FLUSH) : Z_NO_FLUSH);
    }
    band.deflated.resize(qsizetype(z.total_out));
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

    // One IDAT chunk holding the zlib stream, written in place: header, the bands, Adler-32.
    qsizetype streamBytes = 2 + 4;
    uLong adler = 1;
    for (const Band& b : bands) {
        if (!b.ok)
            return std::nullopt;
        streamBytes += b.deflated.size();
        adler = adler32_combine(adler, b.adler, z_off_t(b.rawLength));
    }
    if (streamBytes > qsizetype(0x7fffffff))
        return std::nullopt;
    out.reserve(out.size() + streamBytes + 24);
    char word[4];
    qToBigEndian(quint32(streamBytes), word);
    out.append(word, 4);
    const qsizetype idat = out.size();
    out.append("IDAT\x78\x01", 6);  // deflate, 32 KB window, fastest
    for (const Band& b : bands)
        out.append(b.deflated);
    qToBigEndian(quint32(adler), word);
    out.append(word, 4);
    qToBigEndian(
        quint32(crc32(0, reinterpret_cast<const Bytef*>(out.constData() + idat), uInt(out.size() - idat))),
        word);
    out.append(word, 4);
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
        case QImage::Format_ARGB32_Premultiplied:
            // The "up" writer takes straight alpha a block of rows at a time; libpng needs a copy.
            layout = Layout::argb32;
            source = settings.filter == PngSettings::Filter::up
                         ? image
                         : image.convertToFormat(QImage::Format_ARGB32);
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
    if (settings.filter == PngSettings::Filter::up)
        return writeBanded(source, layout, dotsPerMeter, std::clamp(settings.level, 0, 9),
                           bandCount(source, settings));

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
