#include "capture/scroll/RowDistance.h"

#include <algorithm>
#include <cstdlib>

#if defined(__SSE2__)
#include <emmintrin.h>
#elif defined(__aarch64__)
#include <arm_neon.h>
#endif

namespace kx {

std::uint64_t rowsDistanceScalar(const std::uint8_t* a, const std::uint8_t* b, std::size_t rows)
{
    std::uint64_t sum = 0;
    const std::size_t n = rows * kSignatureSamples;
    for (std::size_t i = 0; i < n; ++i)
        sum += a[i] > b[i] ? a[i] - b[i] : b[i] - a[i];
    return sum;
}

namespace {

// One 128-byte row. Per lane |a - b| = max - min; SSE2's SAD instruction does that and
// the horizontal add into two 64-bit lanes in one step.
inline std::uint64_t oneRow(const std::uint8_t* a, const std::uint8_t* b)
{
#if defined(__SSE2__)
    __m128i acc = _mm_setzero_si128();
    for (int i = 0; i < kSignatureSamples; i += 16) {
        const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
        const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
        acc = _mm_add_epi64(acc, _mm_sad_epu8(va, vb));
    }
    return std::uint64_t(_mm_cvtsi128_si64(acc)) +
           std::uint64_t(_mm_cvtsi128_si64(_mm_unpackhi_epi64(acc, acc)));
#elif defined(__aarch64__)
    // Differences accumulated in 16-bit lanes: 8 additions of at most 255 each per lane.
    uint16x8_t acc = vdupq_n_u16(0);
    for (int i = 0; i < kSignatureSamples; i += 16)
        acc = vpadalq_u8(acc, vabdq_u8(vld1q_u8(a + i), vld1q_u8(b + i)));
    return vaddlvq_u16(acc);
#else
    return rowsDistanceScalar(a, b, 1);
#endif
}

inline std::uint64_t oneRowClipped(const std::uint8_t* a, const std::uint8_t* b)
{
#if defined(__SSE2__)
    const __m128i cap = _mm_set1_epi8(char(kSampleCap));
    const __m128i zero = _mm_setzero_si128();
    __m128i acc = _mm_setzero_si128();
    for (int i = 0; i < kSignatureSamples; i += 16) {
        const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
        const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
        const __m128i diff = _mm_or_si128(_mm_subs_epu8(va, vb), _mm_subs_epu8(vb, va));
        acc = _mm_add_epi64(acc, _mm_sad_epu8(_mm_min_epu8(diff, cap), zero));
    }
    return std::uint64_t(_mm_cvtsi128_si64(acc)) +
           std::uint64_t(_mm_cvtsi128_si64(_mm_unpackhi_epi64(acc, acc)));
#elif defined(__aarch64__)
    const uint8x16_t cap = vdupq_n_u8(kSampleCap);
    uint16x8_t acc = vdupq_n_u16(0);
    for (int i = 0; i < kSignatureSamples; i += 16)
        acc = vpadalq_u8(acc, vminq_u8(vabdq_u8(vld1q_u8(a + i), vld1q_u8(b + i)), cap));
    return vaddlvq_u16(acc);
#else
    return rowsClippedScalar(a, b, 1);
#endif
}

using RowKernel = std::uint64_t (*)(const std::uint8_t*, const std::uint8_t*);

// Sums `Row` over `rows` rows taken every `stride` rows.
template <RowKernel Row>
std::uint64_t summed(const std::uint8_t* a, const std::uint8_t* b, std::size_t rows, std::size_t stride)
{
    std::uint64_t sum = 0;
    const std::size_t step = stride * kSignatureSamples;
    for (std::size_t r = 0; r < rows; ++r)
        sum += Row(a + r * step, b + r * step);
    return sum;
}

}  // namespace

std::uint64_t rowsClippedScalar(const std::uint8_t* a, const std::uint8_t* b, std::size_t rows)
{
    std::uint64_t sum = 0;
    const std::size_t n = rows * kSignatureSamples;
    for (std::size_t i = 0; i < n; ++i) {
        const int d = a[i] > b[i] ? a[i] - b[i] : b[i] - a[i];
        sum += std::uint64_t(d < kSampleCap ? d : kSampleCap);
    }
    return sum;
}

std::uint64_t rowsClipped(const std::uint8_t* a, const std::uint8_t* b, std::size_t rows)
{
    return summed<oneRowClipped>(a, b, rows, 1);
}

std::uint64_t rowsClippedStrided(const std::uint8_t* a, const std::uint8_t* b, std::size_t rows,
                                 std::size_t stride)
{
    return summed<oneRowClipped>(a, b, rows, stride);
}

int rowMaxDifference(const std::uint8_t* a, const std::uint8_t* b)
{
    int i = 0;
    int most = 0;
#if defined(__SSE2__)
    __m128i acc = _mm_setzero_si128();
    for (; i < kSignatureSamples; i += 16) {
        const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
        const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
        acc = _mm_max_epu8(acc, _mm_or_si128(_mm_subs_epu8(va, vb), _mm_subs_epu8(vb, va)));
    }
    alignas(16) std::uint8_t lanes[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), acc);
    for (const std::uint8_t v : lanes)
        most = std::max(most, int(v));
#endif
    for (; i < kSignatureSamples; ++i)
        most = std::max(most, std::abs(int(a[i]) - int(b[i])));
    return most;
}

std::uint64_t rowsDistance(const std::uint8_t* a, const std::uint8_t* b, std::size_t rows)
{
    return summed<oneRow>(a, b, rows, 1);
}

}  // namespace kx
