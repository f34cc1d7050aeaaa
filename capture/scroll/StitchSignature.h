#pragma once
// Compact grey-level fingerprint of a frame for the stitcher: 128 samples per pixel row.

#include <QImage>
#include <cstdint>
#include <vector>

namespace kx {

struct StitchSignature {
    int height = 0;
    std::vector<std::uint8_t> rows;  // height x 128
    // Grey of the mean colour of the columns right of those the rows sample, one per row
    // (empty when the rows sample the whole width): where an overlay scroll bar's thumb runs.
    std::vector<std::uint8_t> edge;

    const std::uint8_t* row(int r) const { return rows.data() + std::size_t(r) * 128; }

    // Rows at least 128 pixels wide: the grey of the mean colour of 128 blocks that cover
    // the whole row, sample s columns [s * width / 128, (s + 1) * width / 128). Narrower rows: sample s reads
    // column s * width / 128, so nothing is read outside the row and the per-sample thresholds keep their
    // meaning. `columns` (0: all) limits the rows to the leftmost columns; the rest go to `edge`.
    static StitchSignature of(const QImage& image, int columns = 0);
    // The same into `out`, reusing its memory (fresh blocks of this size cost page faults).
    static void compute(const QImage& image, StitchSignature& out, int columns = 0);
};

// Grey level of one pixel, the weights of Rec. 601 in 8-bit fixed point.
inline std::uint8_t greyOf(QRgb p)
{
    return std::uint8_t((77u * qRed(p) + 150u * qGreen(p) + 29u * qBlue(p) + 128u) >> 8);
}

}  // namespace kx
