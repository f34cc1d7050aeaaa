#include "capture/scroll/StitchSignature.h"

#include "capture/scroll/RowDistance.h"

#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kx {

namespace {

// Grey levels of n pixels; the same integer arithmetic as greyOf, four pixels at a time.
void greyRow(const QRgb* in, std::uint8_t* out, int n)
{
    int i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i weights = _mm_setr_epi16(29, 150, 77, 0, 29, 150, 77, 0);  // B, G, R, A
    const __m128i half = _mm_set1_epi32(128);
    for (; i + 4 <= n; i += 4) {
        const __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        const __m128i lo = _mm_madd_epi16(_mm_unpacklo_epi8(px, zero), weights);
        const __m128i hi = _mm_madd_epi16(_mm_unpackhi_epi8(px, zero), weights);
        const __m128 l = _mm_castsi128_ps(lo);
        const __m128 h = _mm_castsi128_ps(hi);
        const __m128i blueGreen = _mm_castps_si128(_mm_shuffle_ps(l, h, _MM_SHUFFLE(2, 0, 2, 0)));
        const __m128i red = _mm_castps_si128(_mm_shuffle_ps(l, h, _MM_SHUFFLE(3, 1, 3, 1)));
        const __m128i grey = _mm_srli_epi32(_mm_add_epi32(_mm_add_epi32(blueGreen, red), half), 8);
        const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(grey, zero), zero);
        const int four = _mm_cvtsi128_si32(bytes);
        std::memcpy(out + i, &four, 4);
    }
#endif
    for (; i < n; ++i)
        out[i] = greyOf(in[i]);
}

bool isPlain32(QImage::Format f)
{
    return f == QImage::Format_RGB32 || f == QImage::Format_ARGB32 ||
           f == QImage::Format_ARGB32_Premultiplied;
}

}  // namespace

StitchSignature StitchSignature::of(const QImage& source)
{
    StitchSignature sig;
    compute(source, sig);
    return sig;
}

void StitchSignature::compute(const QImage& source, StitchSignature& sig)
{
    sig.height = 0;
    sig.rows.clear();
    sig.coarse.clear();
    if (source.isNull())
        return;
    const QImage image = isPlain32(source.format()) ? source : source.convertToFormat(QImage::Format_RGB32);
    const int w = image.width();
    const int h = image.height();
    sig.height = h;
    sig.rows.assign(std::size_t(h) * kSignatureSamples, 0);

    if (w >= kSignatureSamples) {
        const int step = w / kSignatureSamples;
        const int offset = (w - kSignatureSamples * step) / 2;
        std::vector<std::uint8_t> grey(std::size_t(kSignatureSamples) * std::size_t(step));
        for (int y = 0; y < h; ++y) {
            greyRow(reinterpret_cast<const QRgb*>(image.constScanLine(y)) + offset, grey.data(),
                    kSignatureSamples * step);
            const std::uint8_t* g = grey.data();
            std::uint8_t* out = sig.rows.data() + std::size_t(y) * kSignatureSamples;
            for (int s = 0; s < kSignatureSamples; ++s) {
                unsigned sum = 0;
                for (int i = 0; i < step; ++i)
                    sum += g[i];
                g += step;
                out[s] = std::uint8_t(sum / unsigned(step));
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

    const int hc = h / 2;
    sig.coarse.assign(std::size_t(hc) * kSignatureSamples, 0);
    for (int i = 0; i < hc; ++i) {
        const std::uint8_t* a = sig.row(2 * i);
        const std::uint8_t* b = sig.row(2 * i + 1);
        std::uint8_t* out = sig.coarse.data() + std::size_t(i) * kSignatureSamples;
        for (int s = 0; s < kSignatureSamples; ++s)
            out[s] = std::uint8_t((unsigned(a[s]) + b[s] + 1) / 2);
    }
}

}  // namespace kx
