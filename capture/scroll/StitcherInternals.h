#pragma once
// What the stitcher's match, its fixed bands and masks, and its assembly share.

#include "capture/scroll/StitchCheck.h"
#include "capture/scroll/VerticalStitcher.h"

#include <algorithm>
#include <cstdint>

namespace kx::stitch {

constexpr std::uint64_t kDisturbedRow = 3 * S;  // a row this far from its match moved not with the page
constexpr int kPartlyUsedFrames = 8;            // frames kept whole for less than half their rows
constexpr int kShadowRows = 32;                 // rows a fixed band's drop shadow may cover
constexpr int kMinShadowBand = 8;               // fixed rows that make a band casting one
constexpr int kEdgeLineRows = 32;               // rows a status line at an edge may take
constexpr int kEdgeLineSamples = 8;             // neighbouring samples of its bar that stay, at least
constexpr int kAnimationSpan = 4;               // an animation spans less than 1/4 of the view
constexpr int kAnimationSpread = 3;             // rows around its changed ones it may touch
constexpr int kRegionMargin = 4;                // rows above a changed part taken again with it
constexpr int kRegionGap = 16;                  // rows that agree between two changed parts, at least
constexpr int kChangedParts = 4;                // blocks of changed rows in a view that stayed, at most
constexpr int kFixedSlack = 8;                  // rows two frames' masks of one fixed animation differ by

// A fixed band of `rows` rows and the `shadow` rows its drop shadow may cover, within `limit`.
inline int shaded(int rows, int shadow, int limit)
{
    return rows >= kMinShadowBand ? std::max(rows, std::min(limit, rows + shadow)) : rows;
}

}  // namespace kx::stitch

namespace kx {

// The state a provisional step may have to be taken back to.
struct VerticalStitcher::Snapshot {
    QImage firstFrame, tail;
    StitchSignature reference;
    RowMask referenceMask;
    int stripRows, steps, bottomBand, contentEnd, lastDy, partlyUsed, topBand, rightCut, topLine;
    qint64 movedRows;
    std::size_t keptBoxes, patches;
    std::vector<VerticalStitcher::Box> lastBoxes;
};

}  // namespace kx
