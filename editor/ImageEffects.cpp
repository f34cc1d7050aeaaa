#include "editor/ImageEffects.h"

#include "core/Parallel.h"

#include <QtGlobal>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kx {

namespace {

// Division by the window size as a multiplication. Windows up to 256 pixels use 16-bit
// fractions, which stay in 32 bits and are exact for equal inputs; wider ones use 24 bits.
struct Divider {
    uint32_t inv;
    bool wide;
    explicit Divider(uint32_t n)
        : inv(n <= 256 ? uint32_t(((1u << 16) + n / 2) / n) : uint32_t(((uint64_t(1) << 24) + n / 2) / n)),
          wide(n > 256)
    {
    }
};

template <bool Wide>
inline uint8_t scaled(uint32_t acc, uint32_t inv)
{
    if constexpr (Wide)
        return uint8_t((uint64_t(acc) * inv + (uint64_t(1) << 23)) >> 24);
    else
        return uint8_t((acc * inv + (1u << 15)) >> 16);
}

// Read-only view of a byte image with C bytes per pixel.
struct View {
    const uchar* bits;
    qsizetype stride;
    int width;
    int height;
};

// Pixels x0 ... x0 + n - 1 of row y, with coordinates outside the image clamped to its edge.
template <int C>
void fetchClamped(const View& v, int y, int x0, int n, uchar* out)
{
    const uchar* row = v.bits + qsizetype(std::clamp(y, 0, v.height - 1)) * v.stride;
    int i = 0;
    for (; i < n && x0 + i < 0; ++i)
        std::memcpy(out + i * C, row, C);
    const int inStart = x0 + i;
    const int inCount = std::max(0, std::min(n - i, v.width - inStart));
    if (inCount > 0) {
        std::memcpy(out + i * C, row + qsizetype(inStart) * C, size_t(inCount) * C);
        i += inCount;
    }
    const uchar* last = row + qsizetype(v.width - 1) * C;
    for (; i < n; ++i)
        std::memcpy(out + i * C, last, C);
}

// Calls fn(row, multiplicity) for the rows y0 ... y1 - 1 clamped into 0 ... height - 1, so
// the rows beyond an edge are read once however many of them there are.
template <typename F>
void forClampedRows(int y0, int y1, int height, F fn)
{
    const int n = y1 - y0;
    const int above = std::clamp(-y0, 0, n);
    const int below = std::clamp(y1 - height, 0, n);
    if (above > 0)
        fn(0, above);
    for (int y = std::max(y0, 0); y < std::min(y1, height); ++y)
        fn(y, 1);
    if (below > 0)
        fn(height - 1, below);
}

// One box pass along a row in "valid" mode: nOut outputs from nOut + 2r inputs.
template <int C, bool Wide>
void boxRowWith(const uchar* in, uchar* out, int nOut, int win, uint32_t inv)
{
    uint32_t acc[C] = {};
    for (int i = 0; i < win; ++i)
        for (int c = 0; c < C; ++c)
            acc[c] += in[i * C + c];
    for (int i = 0; i < nOut; ++i) {
        for (int c = 0; c < C; ++c)
            out[i * C + c] = scaled<Wide>(acc[c], inv);
        if (i + 1 < nOut) {
            for (int c = 0; c < C; ++c)
                acc[c] += uint32_t(in[(i + win) * C + c]) - in[i * C + c];
        }
    }
}

#if defined(__SSE2__)
// Four channels of one pixel as four 16-bit lanes; sums stay below 65536 for windows up to
// 256, and the rounding equals the scalar ((acc * inv + 2^15) >> 16).
void boxRowPixels(const uchar* in, uchar* out, int nOut, int win, uint32_t inv)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i factor = _mm_set1_epi16(short(inv));
    auto load = [&](const uchar* p) {
        int v;
        std::memcpy(&v, p, 4);
        return _mm_unpacklo_epi8(_mm_cvtsi32_si128(v), zero);
    };
    __m128i acc = zero;
    for (int i = 0; i < win; ++i)
        acc = _mm_add_epi16(acc, load(in + i * 4));
    for (int i = 0; i < nOut; ++i) {
        const __m128i lo = _mm_mullo_epi16(acc, factor);
        const __m128i hi = _mm_mulhi_epu16(acc, factor);
        const __m128i q = _mm_add_epi16(hi, _mm_srli_epi16(lo, 15));
        const int v = _mm_cvtsi128_si32(_mm_packus_epi16(q, q));
        std::memcpy(out + i * 4, &v, 4);
        if (i + 1 < nOut)
            acc = _mm_sub_epi16(_mm_add_epi16(acc, load(in + (i + win) * 4)), load(in + i * 4));
    }
}
#endif

template <int C>
void boxRow(const uchar* in, uchar* out, int nOut, int r)
{
    if (r == 0) {
        std::memcpy(out, in, size_t(nOut) * C);
        return;
    }
    const Divider d(uint32_t(2 * r + 1));
#if defined(__SSE2__)
    if (C == 4 && !d.wide) {
        boxRowPixels(in, out, nOut, 2 * r + 1, d.inv);
        return;
    }
#endif
    if (d.wide)
        boxRowWith<C, true>(in, out, nOut, 2 * r + 1, d.inv);
    else
        boxRowWith<C, false>(in, out, nOut, 2 * r + 1, d.inv);
}

// One box pass down the columns: rowsOut rows of `bytes` bytes from rowsOut + 2r rows.
template <bool Wide>
void boxColumnsWith(const uchar* in, qsizetype inStride, uchar* out, qsizetype outStride, int rowsOut,
                    int bytes, int win, uint32_t inv, uint32_t* a)
{
    std::fill(a, a + bytes, 0u);
    for (int i = 0; i < win; ++i) {
        const uchar* row = in + i * inStride;
        for (int j = 0; j < bytes; ++j)
            a[j] += row[j];
    }
    for (int y = 0; y < rowsOut; ++y) {
        uchar* o = out + y * outStride;
        for (int j = 0; j < bytes; ++j)
            o[j] = scaled<Wide>(a[j], inv);
        if (y + 1 < rowsOut) {
            const uchar* add = in + (y + win) * inStride;
            const uchar* sub = in + y * inStride;
            for (int j = 0; j < bytes; ++j)
                a[j] += uint32_t(add[j]) - sub[j];
        }
    }
}

#if defined(__SSE2__)
// The same pass on V x 16 bytes of each row at once, down the whole column strip, the sums in
// 16-bit lanes (windows up to 256) rounded exactly as the scalar pass rounds.
template <int V>
void boxStripSse(const uchar* in, qsizetype inStride, uchar* out, qsizetype outStride, int rowsOut, int win,
                 uint32_t inv)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i factor = _mm_set1_epi16(short(inv));
    auto load = [](const uchar* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
    __m128i lo[V], hi[V];
    for (int k = 0; k < V; ++k)
        lo[k] = hi[k] = zero;
    for (int i = 0; i < win; ++i)
        for (int k = 0; k < V; ++k) {
            const __m128i v = load(in + i * inStride + 16 * k);
            lo[k] = _mm_add_epi16(lo[k], _mm_unpacklo_epi8(v, zero));
            hi[k] = _mm_add_epi16(hi[k], _mm_unpackhi_epi8(v, zero));
        }
    auto scale = [&](__m128i acc) {
        return _mm_add_epi16(_mm_mulhi_epu16(acc, factor), _mm_srli_epi16(_mm_mullo_epi16(acc, factor), 15));
    };
    for (int y = 0; y < rowsOut; ++y) {
        uchar* o = out + y * outStride;
        for (int k = 0; k < V; ++k)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 16 * k),
                             _mm_packus_epi16(scale(lo[k]), scale(hi[k])));
        if (y + 1 == rowsOut)
            break;
        const uchar* add = in + (y + win) * inStride;
        const uchar* sub = in + y * inStride;
        for (int k = 0; k < V; ++k) {
            const __m128i a = load(add + 16 * k), s = load(sub + 16 * k);
            lo[k] =
                _mm_sub_epi16(_mm_add_epi16(lo[k], _mm_unpacklo_epi8(a, zero)), _mm_unpacklo_epi8(s, zero));
            hi[k] =
                _mm_sub_epi16(_mm_add_epi16(hi[k], _mm_unpackhi_epi8(a, zero)), _mm_unpackhi_epi8(s, zero));
        }
    }
}
#endif

void boxColumns(const uchar* in, qsizetype inStride, uchar* out, qsizetype outStride, int rowsOut, int bytes,
                int r, uint32_t* acc)
{
    if (r == 0) {
        for (int y = 0; y < rowsOut; ++y)
            std::memcpy(out + y * outStride, in + y * inStride, size_t(bytes));
        return;
    }
    const Divider d(uint32_t(2 * r + 1));
    int done = 0;
#if defined(__SSE2__)
    if (!d.wide) {
        for (; done + 64 <= bytes; done += 64)
            boxStripSse<4>(in + done, inStride, out + done, outStride, rowsOut, 2 * r + 1, d.inv);
        for (; done + 16 <= bytes; done += 16)
            boxStripSse<1>(in + done, inStride, out + done, outStride, rowsOut, 2 * r + 1, d.inv);
    }
#endif
    if (done == bytes)
        return;
    if (d.wide)
        boxColumnsWith<true>(in + done, inStride, out + done, outStride, rowsOut, bytes - done, 2 * r + 1,
                             d.inv, acc);
    else
        boxColumnsWith<false>(in + done, inStride, out + done, outStride, rowsOut, bytes - done, 2 * r + 1,
                              d.inv, acc);
}

#if defined(__SSE2__)
// Pixels x0 ... x0 + n - 1 of four rows as n groups of 16 bytes (pixel x of rows 0, 1, 2, 3),
// and back: a row pass over the groups runs on four rows at once like a column pass.
void interleave4(const uchar* const rows[4], int n, uchar* groups)
{
    int x = 0;
    for (; x + 4 <= n; x += 4) {
        __m128i r[4];
        for (int i = 0; i < 4; ++i)
            r[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[i] + x * 4));
        const __m128i t0 = _mm_unpacklo_epi32(r[0], r[1]), t1 = _mm_unpacklo_epi32(r[2], r[3]);
        const __m128i t2 = _mm_unpackhi_epi32(r[0], r[1]), t3 = _mm_unpackhi_epi32(r[2], r[3]);
        auto* g = reinterpret_cast<__m128i*>(groups + x * 16);
        _mm_storeu_si128(g, _mm_unpacklo_epi64(t0, t1));
        _mm_storeu_si128(g + 1, _mm_unpackhi_epi64(t0, t1));
        _mm_storeu_si128(g + 2, _mm_unpacklo_epi64(t2, t3));
        _mm_storeu_si128(g + 3, _mm_unpackhi_epi64(t2, t3));
    }
    for (; x < n; ++x)
        for (int i = 0; i < 4; ++i)
            std::memcpy(groups + x * 16 + i * 4, rows[i] + x * 4, 4);
}

void deinterleave4(const uchar* groups, int n, uchar* const rows[4])
{
    int x = 0;
    for (; x + 4 <= n; x += 4) {
        const auto* g = reinterpret_cast<const __m128i*>(groups + x * 16);
        const __m128i g0 = _mm_loadu_si128(g), g1 = _mm_loadu_si128(g + 1);
        const __m128i g2 = _mm_loadu_si128(g + 2), g3 = _mm_loadu_si128(g + 3);
        const __m128i t0 = _mm_unpacklo_epi32(g0, g1), t1 = _mm_unpacklo_epi32(g2, g3);
        const __m128i t2 = _mm_unpackhi_epi32(g0, g1), t3 = _mm_unpackhi_epi32(g2, g3);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(rows[0] + x * 4), _mm_unpacklo_epi64(t0, t1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(rows[1] + x * 4), _mm_unpackhi_epi64(t0, t1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(rows[2] + x * 4), _mm_unpacklo_epi64(t2, t3));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(rows[3] + x * 4), _mm_unpackhi_epi64(t2, t3));
    }
    for (; x < n; ++x)
        for (int i = 0; i < 4; ++i)
            std::memcpy(rows[i] + x * 4, groups + x * 16 + i * 4, 4);
}
#endif

// Scratch memory reused per thread: at small strengths fresh buffers of a few megabytes per
// call cost more in page faults than the blur itself. Buffers beyond kKeepBytes are given
// back after the call, so that one huge blur does not pin its memory on every thread.
constexpr size_t kKeepBytes = size_t(16) << 20;

template <typename T>
class Scratch {
public:
    T* get(size_t n)
    {
        if (v_.size() < n)
            v_.resize(n);
        return v_.data();
    }
    void trim()
    {
        if (v_.capacity() * sizeof(T) > kKeepBytes)
            std::vector<T>().swap(v_);
    }

private:
    std::vector<T> v_;
};

// One field per role: a thread may hold several at once (the calling thread owns `horiz`
// while it runs bands with `rowA`, `rowB`…).
struct ThreadScratch {
    Scratch<uchar> horiz, rowA, rowB, col1, col2, reduceRow, pixelRow;
    Scratch<uint32_t> acc, reduceSums, pixelSums;
    Scratch<uint16_t> wide, reduceColumns, pixelColumns;
};

ThreadScratch& scratch()
{
    thread_local ThreadScratch s;
    return s;
}

// Three box passes each way over `area` of the view (edge-clamped) into `out`.
template <int C>
bool blurDirect(const View& src, const QRect& area, const int widths[3], QImage& out)
{
    const int r[3] = {widths[0] / 2, widths[1] / 2, widths[2] / 2};
    const int m = r[0] + r[1] + r[2];
    const int w = area.width(), h = area.height();
    const int rowsIn = h + 2 * m, colsIn = w + 2 * m;
    Scratch<uchar>& horizScratch = scratch().horiz;
    uchar* horiz = nullptr;
    try {
        horiz = horizScratch.get(size_t(rowsIn) * w * C);
    } catch (const std::bad_alloc&) {
        return false;
    }
    const qsizetype hStride = qsizetype(w) * C;

    auto rowPasses = [&](int j, uchar* a, uchar* b) {
        fetchClamped<C>(src, area.y() - m + j, area.x() - m, colsIn, a);
        boxRow<C>(a, b, colsIn - 2 * r[0], r[0]);
        boxRow<C>(b, a, colsIn - 2 * r[0] - 2 * r[1], r[1]);
        boxRow<C>(a, horiz + j * hStride, w, r[2]);
    };
#if defined(__SSE2__)
    // Pixels have four bytes: rows go in fours, interleaved so that the row passes run as
    // column passes over 16-byte groups (the same arithmetic, four rows per step).
    if constexpr (C == 4) {
        const int groups = rowsIn / 4;
        const bool inside = area.x() - m >= 0 && area.x() - m + colsIn <= src.width;
        parallelFor(groups, 8, [&](int begin, int end) {
            ThreadScratch& own = scratch();
            uchar* a = own.rowA.get(size_t(colsIn) * 16);
            uchar* b = own.rowB.get(size_t(colsIn) * 16);
            uchar* fetched = own.col1.get(size_t(colsIn) * 16);
            uint32_t* acc = own.acc.get(16);
            for (int g = begin; g < end; ++g) {
                const uchar* in[4];
                uchar* out[4];
                for (int i = 0; i < 4; ++i) {
                    const int y = area.y() - m + 4 * g + i;
                    if (inside) {
                        // Rows are read in place unless their ends must repeat edge pixels.
                        in[i] = src.bits + qsizetype(std::clamp(y, 0, src.height - 1)) * src.stride +
                                qsizetype(area.x() - m) * 4;
                    } else {
                        uchar* row = fetched + size_t(i) * colsIn * 4;
                        fetchClamped<C>(src, y, area.x() - m, colsIn, row);
                        in[i] = row;
                    }
                    out[i] = horiz + (4 * g + i) * hStride;
                }
                interleave4(in, colsIn, a);
                boxColumns(a, 16, b, 16, colsIn - 2 * r[0], 16, r[0], acc);
                boxColumns(b, 16, a, 16, colsIn - 2 * r[0] - 2 * r[1], 16, r[1], acc);
                boxColumns(a, 16, b, 16, w, 16, r[2], acc);
                deinterleave4(b, w, out);
            }
        });
        uchar* a = scratch().rowA.get(size_t(colsIn) * C);
        uchar* b = scratch().rowB.get(size_t(colsIn) * C);
        for (int j = groups * 4; j < rowsIn; ++j)
            rowPasses(j, a, b);
    } else
#endif
    {
        parallelFor(rowsIn, 32, [&](int begin, int end) {
            uchar* a = scratch().rowA.get(size_t(colsIn) * C);
            uchar* b = scratch().rowB.get(size_t(colsIn) * C);
            for (int j = begin; j < end; ++j)
                rowPasses(j, a, b);
        });
    }

    const int bandWidth = std::max(16, 256 / C);
    const int bands = (w + bandWidth - 1) / bandWidth;
    parallelFor(bands, 1, [&](int begin, int end) {
        ThreadScratch& own = scratch();
        uint32_t* acc = own.acc.get(size_t(bandWidth) * C);
        uchar* t1 = own.col1.get(size_t(rowsIn) * bandWidth * C);
        uchar* t2 = own.col2.get(size_t(rowsIn) * bandWidth * C);
        for (int band = begin; band < end; ++band) {
            const int cx = band * bandWidth;
            const int bw = std::min(bandWidth, w - cx);
            const int bytes = bw * C;
            const int rows1 = rowsIn - 2 * r[0], rows2 = rows1 - 2 * r[1];
            boxColumns(horiz + qsizetype(cx) * C, hStride, t1, bytes, rows1, bytes, r[0], acc);
            boxColumns(t1, bytes, t2, bytes, rows2, bytes, r[1], acc);
            boxColumns(t2, bytes, out.bits() + qsizetype(cx) * C, out.bytesPerLine(), h, bytes, r[2], acc);
        }
        own.col1.trim();
        own.col2.trim();
    });
    horizScratch.trim();
    return true;
}

// Adds `count` bytes times `times` to 16-bit sums.
void addBytes(uint16_t* sums, const uchar* p, int count, int times)
{
    int i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128(), factor = _mm_set1_epi16(short(times));
    for (; i + 16 <= count; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        auto* s = reinterpret_cast<__m128i*>(sums + i);
        __m128i lo = _mm_unpacklo_epi8(v, zero), hi = _mm_unpackhi_epi8(v, zero);
        if (times != 1) {
            lo = _mm_mullo_epi16(lo, factor);
            hi = _mm_mullo_epi16(hi, factor);
        }
        _mm_storeu_si128(s, _mm_add_epi16(_mm_loadu_si128(s), lo));
        _mm_storeu_si128(s + 1, _mm_add_epi16(_mm_loadu_si128(s + 1), hi));
    }
#endif
    for (; i < count; ++i)
        sums[i] = uint16_t(sums[i] + p[i] * times);
}

// Adds four rows of `count` bytes to 16-bit sums.
void addFourRows(uint16_t* sums, const uchar* const rows[4], int count)
{
    int i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= count; i += 16) {
        __m128i lo = zero, hi = zero;
        for (int r = 0; r < 4; ++r) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[r] + i));
            lo = _mm_add_epi16(lo, _mm_unpacklo_epi8(v, zero));
            hi = _mm_add_epi16(hi, _mm_unpackhi_epi8(v, zero));
        }
        auto* s = reinterpret_cast<__m128i*>(sums + i);
        _mm_storeu_si128(s, _mm_add_epi16(_mm_loadu_si128(s), lo));
        _mm_storeu_si128(s + 1, _mm_add_epi16(_mm_loadu_si128(s + 1), hi));
    }
#endif
    for (; i < count; ++i)
        sums[i] = uint16_t(sums[i] + rows[0][i] + rows[1][i] + rows[2][i] + rows[3][i]);
}

// Averages of k x k blocks of the view (edge-clamped), the block grid starting at (gx, gy).
template <int C>
void reduce(const View& src, int gx, int gy, int k, QImage& small)
{
    const int sw = small.width();
    const int n = sw * k;
    const uint32_t area = uint32_t(k) * uint32_t(k);
    // Columns [inside, insideEnd) of the grid lie in the image; the ones before and after
    // repeat its edge columns, so their sums are copies.
    const int inside = std::clamp(-gx, 0, n), insideEnd = std::clamp(src.width - gx, 0, n);
    // A column of k bytes sums to at most 255 k: 16 bits hold it up to k = 257.
    if (k <= 257 && inside < insideEnd) {
        parallelFor(small.height(), 8, [&](int begin, int end) {
            uint16_t* sums = scratch().reduceColumns.get(size_t(n) * C);
            for (int j = begin; j < end; ++j) {
                std::fill(sums + size_t(inside) * C, sums + size_t(insideEnd) * C, uint16_t(0));
                // Rows read once each go in fours: a quarter of the sums' loads and stores.
                const uchar* four[4];
                int pending = 0;
                const int bytes = (insideEnd - inside) * C;
                forClampedRows(gy + j * k, gy + j * k + k, src.height, [&](int y, int times) {
                    const uchar* row = src.bits + qsizetype(y) * src.stride + qsizetype(gx + inside) * C;
                    if (times > 1) {
                        addBytes(sums + size_t(inside) * C, row, bytes, times);
                        return;
                    }
                    four[pending++] = row;
                    if (pending == 4) {
                        addFourRows(sums + size_t(inside) * C, four, bytes);
                        pending = 0;
                    }
                });
                for (int i = 0; i < pending; ++i)
                    addBytes(sums + size_t(inside) * C, four[i], bytes, 1);
                for (int i = 0; i < inside; ++i)
                    std::copy_n(sums + size_t(inside) * C, C, sums + size_t(i) * C);
                for (int i = insideEnd; i < n; ++i)
                    std::copy_n(sums + size_t(insideEnd - 1) * C, C, sums + size_t(i) * C);
                uchar* out = small.scanLine(j);
                for (int i = 0; i < sw; ++i) {
                    uint32_t acc[C] = {};
                    const uint16_t* block = sums + size_t(i) * k * C;
                    for (int dx = 0; dx < k; ++dx)
                        for (int c = 0; c < C; ++c)
                            acc[c] += block[dx * C + c];
                    for (int c = 0; c < C; ++c)
                        out[i * C + c] = uchar((acc[c] + area / 2) / area);
                }
            }
        });
        return;
    }
    parallelFor(small.height(), 8, [&](int begin, int end) {
        uchar* row = scratch().reduceRow.get(size_t(n) * C);
        uint32_t* sums = scratch().reduceSums.get(size_t(n) * C);
        for (int j = begin; j < end; ++j) {
            std::fill(sums, sums + size_t(n) * C, 0u);
            forClampedRows(gy + j * k, gy + j * k + k, src.height, [&](int y, int times) {
                fetchClamped<C>(src, y, gx, n, row);
                for (int i = 0; i < n * C; ++i)
                    sums[size_t(i)] += uint32_t(row[size_t(i)]) * uint32_t(times);
            });
            uchar* out = small.scanLine(j);
            for (int i = 0; i < sw; ++i) {
                uint32_t acc[C] = {};
                for (int dx = 0; dx < k; ++dx)
                    for (int c = 0; c < C; ++c)
                        acc[c] += sums[size_t((i * k + dx) * C + c)];
                for (int c = 0; c < C; ++c)
                    out[i * C + c] = uchar((acc[c] + area / 2) / area);
            }
        }
    });
}

struct Tap {
    int index;
    uint32_t weight;  // of index + 1, in 1/256
};

// Bilinear enlargement of `small` (whose pixel 0 sits at `origin`, k original pixels per
// pixel) onto the output pixels.
template <int C>
void enlarge(const QImage& small, double originX, double originY, int k, const QRect& area, QImage& out)
{
    auto taps = [&](int count, int start, double origin, int limit) {
        std::vector<Tap> t(static_cast<size_t>(count), Tap{0, 0});
        for (int i = 0; i < count; ++i) {
            const double s = (start + i + 0.5 - origin) / k - 0.5;
            int i0 = int(std::floor(s));
            double f = s - i0;
            if (i0 < 0) {
                i0 = 0;
                f = 0;
            }
            if (i0 >= limit - 1) {
                i0 = limit - 2;
                f = 1;
            }
            t[size_t(i)] = Tap{i0, uint32_t(std::lround(f * 256))};
        }
        return t;
    };
    const int w = area.width();
    const std::vector<Tap> xs = taps(w, area.x(), originX, small.width());
    const std::vector<Tap> ys = taps(area.height(), area.y(), originY, small.height());
    // Widen the small rows that are needed once (16-bit, 8 fractional bits), then blend
    // pairs of wide rows: both steps run along contiguous memory.
    const int first = ys.front().index, last = ys.back().index + 1;
    const size_t rowLen = size_t(w) * C;
    Scratch<uint16_t>& wideScratch = scratch().wide;
    uint16_t* wide = wideScratch.get(size_t(last - first + 1) * rowLen);
    parallelFor(last - first + 1, 8, [&](int begin, int end) {
        for (int j = begin; j < end; ++j) {
            const uchar* src = small.constScanLine(first + j);
            uint16_t* dst = wide + size_t(j) * rowLen;
            for (int x = 0; x < w; ++x) {
                const Tap t = xs[size_t(x)];
                const uchar* a = src + t.index * C;
                for (int c = 0; c < C; ++c)
                    dst[x * C + c] = uint16_t(a[c] * (256 - t.weight) + a[C + c] * t.weight);
            }
        }
    });
    parallelFor(area.height(), 32, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            const Tap ty = ys[size_t(y)];
            const uint16_t* r0 = wide + size_t(ty.index - first) * rowLen;
            const uint16_t* r1 = r0 + rowLen;
            const uint32_t wy1 = ty.weight, wy0 = 256 - wy1;
            uchar* o = out.scanLine(y);
            size_t j = 0;
#if defined(__SSE2__)
            // The same sums in 32-bit lanes: 16-bit products split into low and high halves.
            const __m128i w0 = _mm_set1_epi16(short(wy0)), w1 = _mm_set1_epi16(short(wy1));
            const __m128i half = _mm_set1_epi32(32768);
            auto blend = [&](__m128i a, __m128i b) {
                const __m128i alo = _mm_mullo_epi16(a, w0), ahi = _mm_mulhi_epu16(a, w0);
                const __m128i blo = _mm_mullo_epi16(b, w1), bhi = _mm_mulhi_epu16(b, w1);
                const __m128i first = _mm_add_epi32(
                    _mm_add_epi32(_mm_unpacklo_epi16(alo, ahi), _mm_unpacklo_epi16(blo, bhi)), half);
                const __m128i second = _mm_add_epi32(
                    _mm_add_epi32(_mm_unpackhi_epi16(alo, ahi), _mm_unpackhi_epi16(blo, bhi)), half);
                return _mm_packs_epi32(_mm_srli_epi32(first, 16), _mm_srli_epi32(second, 16));
            };
            for (; j + 16 <= rowLen; j += 16) {
                auto at = [](const uint16_t* p) {
                    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
                };
                const __m128i lo = blend(at(r0 + j), at(r1 + j));
                const __m128i hi = blend(at(r0 + j + 8), at(r1 + j + 8));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(o + j), _mm_packus_epi16(lo, hi));
            }
#endif
            for (; j < rowLen; ++j)
                o[j] = uchar((r0[j] * wy0 + r1[j] * wy1 + 32768u) >> 16);
        }
    });
    wideScratch.trim();
}

template <int C>
QImage blurImpl(const View& src, const QRect& area, double sigma, QImage::Format format)
{
    QImage out(area.size(), format);
    if (out.isNull())
        return {};
    // Beyond a few pixels of sigma the work moves to a copy reduced by k, so the cost per
    // output pixel stays flat however strong the blur is.
    if (sigma < 8) {
        int widths[3];
        boxWidthsForSigma(sigma, widths);
        return blurDirect<C>(src, area, widths, out) ? out : QImage();
    }
    // Box widths are whole pixels of the reduced copy; of a few reductions, take the one
    // whose overall spread comes closest. The reduction and the bilinear enlargement blur
    // a little themselves.
    int k = 2;
    int widths[3] = {1, 1, 1};
    double bestError = -1;
    for (int candidate = std::max(2, int(sigma / 6)); candidate <= std::max(2, int(sigma / 3)); ++candidate) {
        const double kk = double(candidate) * candidate;
        const double rest = sigma * sigma - (kk - 1) / 12.0 - kk / 6.0;
        int w[3];
        boxWidthsForSigma(std::sqrt(std::max(rest, 0.25)) / candidate, w);
        double variance = (kk - 1) / 12.0 + kk / 6.0;
        for (int i = 0; i < 3; ++i)
            variance += kk * (double(w[i]) * w[i] - 1) / 12.0;
        const double error = std::abs(variance - sigma * sigma);
        if (bestError < 0 || error < bestError) {
            bestError = error;
            k = candidate;
            std::copy(w, w + 3, widths);
        }
    }
    const int ms = widths[0] / 2 + widths[1] / 2 + widths[2] / 2;
    const int apron = ms + 2;
    const int gx = area.x() - apron * k, gy = area.y() - apron * k;
    const int sw = (area.width() + k - 1) / k + 2 * apron + 1;
    const int sh = (area.height() + k - 1) / k + 2 * apron + 1;
    QImage small(sw, sh, format);
    if (small.isNull())
        return {};
    reduce<C>(src, gx, gy, k, small);
    QImage smallBlurred(sw - 2 * ms, sh - 2 * ms, format);
    if (smallBlurred.isNull())
        return {};
    const View sv{small.constBits(), small.bytesPerLine(), sw, sh};
    if (!blurDirect<C>(sv, QRect(ms, ms, sw - 2 * ms, sh - 2 * ms), widths, smallBlurred))
        return {};
    enlarge<C>(smallBlurred, gx + double(ms) * k, gy + double(ms) * k, k, area, out);
    return out;
}

template <int C>
void pixelateImpl(const View& src, const QRect& area, double b, const QPoint& grid, QImage& out)
{
    // Pixel x belongs to the block whose span holds its centre.
    auto blockOf = [&](int x, int origin) { return int(std::floor((x + 0.5 - origin) / b)); };
    auto blockStart = [&](int n, int origin) { return int(std::ceil(origin + n * b - 0.5)); };

    const int nx0 = blockOf(area.left(), grid.x()), nx1 = blockOf(area.right(), grid.x());
    const int ny0 = blockOf(area.top(), grid.y()), ny1 = blockOf(area.bottom(), grid.y());
    const int spanX0 = blockStart(nx0, grid.x()), spanX1 = blockStart(nx1 + 1, grid.x());
    const int spanW = spanX1 - spanX0;
    const int blockRows = ny1 - ny0 + 1;

    // scanLine() of a non-const image checks for sharing on every call: take the bits once.
    uchar* const outBits = out.bits();
    const qsizetype outStride = out.bytesPerLine();
    parallelFor(blockRows, 1, [&](int begin, int end) {
        ThreadScratch& own = scratch();
        uchar* row = own.pixelRow.get(size_t(spanW) * C);
        uint32_t* sums = own.pixelSums.get(size_t(spanW) * C);
        uint16_t* narrow = own.pixelColumns.get(size_t(spanW) * C);
        for (int by = begin; by < end; ++by) {
            const int n = ny0 + by;
            const int y0 = blockStart(n, grid.y()), y1 = blockStart(n + 1, grid.y());
            // Columns of up to 257 rows sum within 16 bits.
            const bool small = y1 - y0 <= 257;
            if (small)
                std::fill(narrow, narrow + size_t(spanW) * C, uint16_t(0));
            else
                std::fill(sums, sums + size_t(spanW) * C, 0u);
            forClampedRows(y0, y1, src.height, [&](int y, int times) {
                fetchClamped<C>(src, y, spanX0, spanW, row);
                if (small) {
                    addBytes(narrow, row, spanW * C, times);
                    return;
                }
                for (int i = 0; i < spanW * C; ++i)
                    sums[size_t(i)] += uint32_t(row[size_t(i)]) * uint32_t(times);
            });
            const int oy0 = std::max(y0, area.top()), oy1 = std::min(y1, area.bottom() + 1);
            if (oy0 >= oy1)
                continue;
            // The block row's first output line is written, the others are copies of it.
            uchar* first = outBits + (oy0 - area.top()) * outStride;
            for (int nx = nx0; nx <= nx1; ++nx) {
                const int x0 = blockStart(nx, grid.x()), x1 = blockStart(nx + 1, grid.x());
                const uint32_t count = uint32_t(x1 - x0) * uint32_t(y1 - y0);
                if (count == 0)
                    continue;
                uint64_t acc[C] = {};
                for (int x = x0; x < x1; ++x)
                    for (int c = 0; c < C; ++c) {
                        const size_t i = size_t((x - spanX0) * C + c);
                        acc[c] += small ? narrow[i] : sums[i];
                    }
                uchar colour[C];
                for (int c = 0; c < C; ++c)
                    colour[c] = uchar((acc[c] + count / 2) / count);
                const int ox0 = std::max(x0, area.left()), ox1 = std::min(x1, area.right() + 1);
                for (int x = ox0; x < ox1; ++x)
                    std::memcpy(first + (x - area.left()) * C, colour, C);
            }
            for (int y = oy0 + 1; y < oy1; ++y)
                std::memcpy(outBits + (y - area.top()) * outStride, first, size_t(area.width()) * C);
        }
    });
}

// The source in a format the kernels read: premultiplied 32-bit, or 8-bit alpha.
QImage readable(const QImage& source)
{
    if (source.format() == QImage::Format_ARGB32_Premultiplied || source.format() == QImage::Format_Alpha8)
        return source;
    return source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

}  // namespace

void boxWidthsForSigma(double sigma, int widths[3])
{
    const int n = 3;
    sigma = std::max(sigma, 0.0);
    const double ideal = std::sqrt(12.0 * sigma * sigma / n + 1.0);
    int wl = int(std::floor(ideal));
    if (wl % 2 == 0)
        --wl;
    wl = std::max(wl, 1);
    const int wu = wl + 2;
    const double mIdeal = (12.0 * sigma * sigma - n * wl * wl - 4.0 * n * wl - 3.0 * n) / (-4.0 * wl - 4.0);
    const int m = int(std::lround(mIdeal));
    for (int i = 0; i < n; ++i)
        widths[i] = i < m ? wl : wu;
}

QImage blurred(const QImage& source, const QRect& area, double sigma)
{
    if (area.isEmpty() || source.isNull() || !std::isfinite(sigma))
        return {};
    const QImage src = readable(source);
    if (src.isNull())
        return {};
    const View v{src.constBits(), src.bytesPerLine(), src.width(), src.height()};
    if (src.format() == QImage::Format_Alpha8)
        return blurImpl<1>(v, area, std::max(sigma, 0.0), QImage::Format_Alpha8);
    return blurImpl<4>(v, area, std::max(sigma, 0.0), QImage::Format_ARGB32_Premultiplied);
}

QImage pixelated(const QImage& source, const QRect& area, double blockSize, const QPoint& gridOrigin)
{
    if (area.isEmpty() || source.isNull() || !std::isfinite(blockSize))
        return {};
    const QImage src = readable(source);
    if (src.isNull())
        return {};
    const double b = std::max(blockSize, 1.0);
    const View v{src.constBits(), src.bytesPerLine(), src.width(), src.height()};
    QImage out(area.size(), src.format());
    if (out.isNull())
        return {};
    if (src.format() == QImage::Format_Alpha8)
        pixelateImpl<1>(v, area, b, gridOrigin, out);
    else
        pixelateImpl<4>(v, area, b, gridOrigin, out);
    return out;
}

}  // namespace kx
