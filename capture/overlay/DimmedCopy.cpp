#include "capture/overlay/DimmedCopy.h"

#include "core/Parallel.h"

#include <algorithm>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <cstdint>

namespace kx {

namespace {

// x * a / 255 on each byte, rounded as the raster engine does, so both paths agree exactly.
inline uint32_t byteMul(uint32_t x, uint32_t a)
{
    uint32_t t = (x & 0xff00ff) * a;
    t = (t + ((t >> 8) & 0xff00ff) + 0x800080) >> 8;
    t &= 0xff00ff;
    x = ((x >> 8) & 0xff00ff) * a;
    x = x + ((x >> 8) & 0xff00ff) + 0x800080;
    x &= 0xff00ff00;
    return x | t;
}

// Source over destination for premultiplied pixels.
inline uint32_t over(uint32_t src, uint32_t dst)
{
    const uint32_t alpha = src >> 24;
    if (alpha == 255)
        return src;
    if (alpha == 0)
        return dst;
    return src + byteMul(dst, 255 - alpha);
}

#if defined(__SSE2__)
// Four pixels at a time; a group with any see-through source pixel goes the long way.
bool allOpaque(__m128i src)
{
    const __m128i alpha = _mm_and_si128(src, _mm_set1_epi32(int(0xff000000u)));
    return _mm_movemask_epi8(_mm_cmpeq_epi32(alpha, _mm_set1_epi32(int(0xff000000u)))) == 0xffff;
}

// byteMul() on four pixels: each byte widened to 16 bits, where x * a + (x * a >> 8) + 0x80
// stays below 65536.
__m128i byteMul4(__m128i x, __m128i a16)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i half = _mm_set1_epi16(0x80);
    __m128i lo = _mm_mullo_epi16(_mm_unpacklo_epi8(x, zero), a16);
    __m128i hi = _mm_mullo_epi16(_mm_unpackhi_epi8(x, zero), a16);
    lo = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(lo, _mm_srli_epi16(lo, 8)), half), 8);
    hi = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(hi, _mm_srli_epi16(hi, 8)), half), 8);
    return _mm_packus_epi16(lo, hi);
}
#endif

void copyRun(uint32_t* dst, const uint32_t* src, int n)
{
    int i = 0;
#if defined(__SSE2__)
    for (; i + 4 <= n; i += 4) {
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        if (allOpaque(s))
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), s);
        else
            for (int k = i; k < i + 4; ++k)
                dst[k] = over(src[k], dst[k]);
    }
#endif
    for (; i < n; ++i)
        dst[i] = over(src[i], dst[i]);
}

void dimRun(uint32_t* dst, const uint32_t* src, int n, uint32_t black, uint32_t keep)
{
    int i = 0;
#if defined(__SSE2__)
    const __m128i black4 = _mm_set1_epi32(int(black));
    const __m128i keep16 = _mm_set1_epi16(short(keep));
    for (; i + 4 <= n; i += 4) {
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        if (allOpaque(s))
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_add_epi32(black4, byteMul4(s, keep16)));
        else
            for (int k = i; k < i + 4; ++k)
                dst[k] = black + byteMul(over(src[k], dst[k]), keep);
    }
#endif
    for (; i < n; ++i)
        dst[i] = black + byteMul(over(src[i], dst[i]), keep);
}

}  // namespace

bool drawDimmed(QImage& target, const QRect& area, const QImage& source, QPoint origin,
                const std::optional<QRect>& clear, int dimAlpha)
{
    const bool targetFits =
        target.format() == QImage::Format_ARGB32_Premultiplied || target.format() == QImage::Format_RGB32;
    // A target shared with another image would be copied by bits(), and the painter would
    // never see what is written.
    if (!targetFits || !target.isDetached() || source.format() != QImage::Format_ARGB32_Premultiplied ||
        area.isEmpty() || !target.rect().contains(area) || !source.rect().translated(origin).contains(area))
        return false;
    const int alpha = std::clamp(dimAlpha, 0, 255);
    const uint32_t black = uint32_t(alpha) << 24;
    const uint32_t keep = uint32_t(255 - alpha);
    // What stays undimmed: where a row crosses the clear rectangle, or all of it with no dimming.
    const QRect inside = alpha == 0 ? area : clear ? clear->intersected(area) : QRect();
    uchar* const targetBits = target.bits();
    const qsizetype targetStride = target.bytesPerLine();
    const uchar* const sourceBits = source.constBits();
    const qsizetype sourceStride = source.bytesPerLine();

    // Bands of at least 64 K pixels: a thin strip (the crosshair's column) is not worth a thread.
    const int minRows = std::max(1, (64 << 10) / area.width());
    parallelFor(area.height(), minRows, [&](int begin, int end) {
        for (int row = begin; row < end; ++row) {
            const int y = area.top() + row;
            auto* dst = reinterpret_cast<uint32_t*>(targetBits + y * targetStride) + area.left();
            const auto* src =
                reinterpret_cast<const uint32_t*>(sourceBits + (y - origin.y()) * sourceStride) +
                (area.left() - origin.x());
            const int width = area.width();
            if (inside.isEmpty() || y < inside.top() || y > inside.bottom()) {
                dimRun(dst, src, width, black, keep);
                continue;
            }
            const int left = inside.left() - area.left();
            const int middle = inside.width();
            dimRun(dst, src, left, black, keep);
            copyRun(dst + left, src + left, middle);
            dimRun(dst + left + middle, src + left + middle, width - left - middle, black, keep);
        }
    });
    return true;
}

}  // namespace kx
