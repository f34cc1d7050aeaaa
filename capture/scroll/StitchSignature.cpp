#include "capture/scroll/StitchSignature.h"

#include "capture/scroll/RowDistance.h"

#include <array>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kx {

namespace {

bool isPlain32(QImage::Format f)
{
    return f == QImage::Format_RGB32 || f == QImage::Format_ARGB32 ||
           f == QImage::Format_ARGB32_Premultiplied;
}

// Blocks wider than this could overflow the 16-bit channel sums (no screen is that wide).
constexpr int kMaxStep = 256;

// Sums of the blue, green and red bytes of n pixels; the vector loop keeps the sums of
// pixel pairs in 16-bit lanes, which n <= kMaxStep keeps from overflowing.
inline void channelSums(const QRgb* px, int n, unsigned sums[3])
{
    unsigned b = 0, g = 0, r = 0;
    int i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    __m128i acc = zero;
    auto add = [&](__m128i v) {
        acc = _mm_add_epi16(acc, _mm_add_epi16(_mm_unpacklo_epi8(v, zero), _mm_unpackhi_epi8(v, zero)));
    };
    for (; i + 4 <= n; i += 4)
        add(_mm_loadu_si128(reinterpret_cast<const __m128i*>(px + i)));
    if (i < n && n >= 4) {
        // The last four pixels of the block, without those already summed.
        const __m128i last = _mm_loadu_si128(reinterpret_cast<const __m128i*>(px + n - 4));
        alignas(16) static constexpr std::uint32_t keep[4][4] = {
            {0, 0, 0, 0}, {0, 0, 0, ~0u}, {0, 0, ~0u, ~0u}, {0, ~0u, ~0u, ~0u}};
        add(_mm_and_si128(last, _mm_load_si128(reinterpret_cast<const __m128i*>(keep[n - i]))));
        i = n;
    }
    acc = _mm_add_epi16(acc, _mm_srli_si128(acc, 8));  // lanes 0..2: blue, green, red
    b = unsigned(_mm_extract_epi16(acc, 0));
    g = unsigned(_mm_extract_epi16(acc, 1));
    r = unsigned(_mm_extract_epi16(acc, 2));
#endif
    for (; i < n; ++i) {
        b += qBlue(px[i]);
        g += qGreen(px[i]);
        r += qRed(px[i]);
    }
    sums[0] = b;
    sums[1] = g;
    sums[2] = r;
}

}  // namespace

StitchSignature StitchSignature::of(const QImage& source, int columns)
{
    StitchSignature sig;
    compute(source, sig, columns);
    return sig;
}

void StitchSignature::compute(const QImage& source, StitchSignature& sig, int columns)
{
    sig.height = 0;
    sig.rows.clear();
    sig.edge.clear();
    if (source.isNull())
        return;
    const QImage image = isPlain32(source.format()) ? source : source.convertToFormat(QImage::Format_RGB32);
    const int full = image.width();
    const int w = columns > 0 && columns < full ? columns : full;
    const int h = image.height();
    sig.height = h;
    sig.rows.resize(std::size_t(h) * kSignatureSamples);
    if (w < full && full - w <= kMaxStep) {
        sig.edge.resize(std::size_t(h));
        for (int y = 0; y < h; ++y) {
            unsigned sums[3];
            channelSums(reinterpret_cast<const QRgb*>(image.constScanLine(y)) + w, full - w, sums);
            const unsigned n = unsigned(full - w);
            sig.edge[std::size_t(y)] =
                std::uint8_t((29u * sums[0] + 150u * sums[1] + 77u * sums[2] + 128u * n) / (256u * n));
        }
    }

    if (w >= kSignatureSamples && w / kSignatureSamples < kMaxStep) {
        // Blocks of width / 128 or one pixel more, side by side over the whole row: text
        // that hugs an edge (a terminal's short lines) must move the signature too.
        const int step = w / kSignatureSamples;
        std::array<int, kSignatureSamples + 1> bound{};
        for (int s = 0; s <= kSignatureSamples; ++s)
            bound[std::size_t(s)] = s * w / kSignatureSamples;
        // The grey of the block's mean colour, rounded: (sum + 128 * n) / (256 * n), the
        // division by n done as a multiplication (exact: the dividend stays < 2^16).
        std::uint64_t reciprocal[2];
        for (int i = 0; i < 2; ++i)
            reciprocal[i] = ((std::uint64_t(1) << 32) + unsigned(step + i) - 1) / unsigned(step + i);
        for (int y = 0; y < h; ++y) {
            const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            std::uint8_t* out = sig.rows.data() + std::size_t(y) * kSignatureSamples;
            for (int s = 0; s < kSignatureSamples; ++s) {
                const int from = bound[std::size_t(s)];
                const int n = bound[std::size_t(s) + 1] - from;
                unsigned sums[3];
                channelSums(line + from, n, sums);
                const unsigned scaled =
                    (29u * sums[0] + 150u * sums[1] + 77u * sums[2] + 128u * unsigned(n)) >> 8;
                out[s] = std::uint8_t((scaled * reciprocal[n - step]) >> 32);
            }
        }
    } else {
        for (int y = 0; y < h; ++y) {
            const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            std::uint8_t* out = sig.rows.data() + std::size_t(y) * kSignatureSamples;
            for (int s = 0; s < kSignatureSamples; ++s)
                out[s] = greyOf(line[s * w / kSignatureSamples]);
        }
    }
}

}  // namespace kx
