#include "capture/scroll/StitchSignature.h"

#include "capture/scroll/RowDistance.h"

namespace kx {

namespace {

bool isPlain32(QImage::Format f)
{
    return f == QImage::Format_RGB32 || f == QImage::Format_ARGB32 ||
           f == QImage::Format_ARGB32_Premultiplied;
}

}  // namespace

StitchSignature StitchSignature::of(const QImage& source)
{
    StitchSignature sig;
    if (source.isNull())
        return sig;
    const QImage image = isPlain32(source.format()) ? source
                                                    : source.convertToFormat(QImage::Format_RGB32);
    const int w = image.width();
    const int h = image.height();
    sig.height = h;
    sig.rows.assign(std::size_t(h) * kSignatureSamples, 0);

    if (w >= kSignatureSamples) {
        const int step = w / kSignatureSamples;
        const int offset = (w - kSignatureSamples * step) / 2;
        for (int y = 0; y < h; ++y) {
            const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y)) + offset;
            std::uint8_t* out = sig.rows.data() + std::size_t(y) * kSignatureSamples;
            for (int s = 0; s < kSignatureSamples; ++s) {
                unsigned sum = 0;
                for (int i = 0; i < step; ++i)
                    sum += greyOf(line[i]);
                line += step;
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
    return sig;
}

}  // namespace kx
