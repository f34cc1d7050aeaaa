#pragma once
// Compact grey-level fingerprint of a frame for the stitcher: 128 samples per pixel row.

#include <QImage>
#include <cstdint>
#include <vector>

namespace kx {

struct StitchSignature {
    int height = 0;
    std::vector<std::uint8_t> rows;  // height x 128

    const std::uint8_t* row(int r) const { return rows.data() + std::size_t(r) * 128; }

    // Rows at least 128 pixels wide: the grey of the mean colour of 128 blocks of width/128
    // pixels centred in the row. Narrower rows: sample s reads column s * width / 128, so
    // nothing is read outside the row and the per-sample thresholds keep their meaning.
    static StitchSignature of(const QImage& image);
    // The same into `out`, reusing its memory (fresh blocks of this size cost page faults).
    static void compute(const QImage& image, StitchSignature& out);
};

// Grey level of one pixel, the weights of Rec. 601 in 8-bit fixed point.
inline std::uint8_t greyOf(QRgb p)
{
    return std::uint8_t((77u * qRed(p) + 150u * qGreen(p) + 29u * qBlue(p) + 128u) >> 8);
}

}  // namespace kx
