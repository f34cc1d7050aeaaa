#pragma once
// Masks of frame rows the scrolling capture keeps out of the match: rows that change in
// place (an animation) and the rows around the pointer.
#include "capture/scroll/VerticalStitcher.h"

#include <QImage>
#include <optional>

namespace kx::rowmask {

constexpr int kSpread = 3;         // rows an animation's changed rows are widened by
constexpr int kAnimationSpan = 4;  // an animation fixed on screen is less than 1/4 of the view

// Sets the `by` rows above and below every set row.
void widen(VerticalStitcher::RowMask& mask, int by);
// Rows set to 1 (changed).
int count(const VerticalStitcher::RowMask& mask);
// Whether `now` (rows that changed between two grabs) shows an animation in place: not most
// of the frame, and within the rows that changed the time before. Then both, widened.
std::optional<VerticalStitcher::RowMask> inPlace(const VerticalStitcher::RowMask& before,
                                                 const VerticalStitcher::RowMask& now);
// Whether the rows that changed between two grabs (`changed`) are rows of `before` moved up
// or down by one distance: content still scrolling. The last pixels of a smooth scroll change
// only the rows where lines of text begin and end, fewer than half of the frame and the same
// ones each time, as an animation in place would.
bool scrolled(const QImage& before, const QImage& after, const VerticalStitcher::RowMask& changed);
// Whether `now` and `before` (rows that changed between two pairs of grabs) are the same rows,
// but for kSpread rows at most; false when either is empty. A glide's last pixels change the
// rows where lines of text begin, which move with the lines from one pair to the next.
bool sameRows(const VerticalStitcher::RowMask& before, const VerticalStitcher::RowMask& now);
// Calls `f(from, to)` for each run [from, to) of set rows in `mask`, top down.
template <typename F>
void forEachRun(const VerticalStitcher::RowMask& mask, F&& f)
{
    const int n = int(mask.size());
    for (int r = 0; r < n;) {
        if (!mask[std::size_t(r)]) {
            ++r;
            continue;
        }
        const int from = r;
        while (r < n && mask[std::size_t(r)])
            ++r;
        f(from, r);
    }
}
// Runs of set rows in `mask` no taller than `rows`; the taller ones cleared.
VerticalStitcher::RowMask smallParts(VerticalStitcher::RowMask mask, int rows);
// Whether two images of one size show one picture, whatever its levels: a banner whose
// background pulses keeps its picture; two photos, or one photo at two places, do not.
bool samePicture(const QImage& a, const QImage& b);
// Whether rows [from, to) of `frame` hold a block of one flat colour with something else on
// either side, at least kFlatRows rows tall and a sixth of the width wide, not at the top edge
// (a bar fixed there, or a block already scrolling out): a placeholder where a photo has yet
// to load.
constexpr int kFlatRows = 64;
bool flatBlock(const QImage& frame, int from, int to);
// `mask` with the pointer's rows added where it has none.
VerticalStitcher::RowMask withPointer(VerticalStitcher::RowMask mask,
                                      const VerticalStitcher::RowMask& pointer);

}  // namespace kx::rowmask
