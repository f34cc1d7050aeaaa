#include "capture/scroll/VerticalStitcher.h"
// Rows that stay put at the frame's edges (a sticky header, a footer and its shadow), rows
// disturbed near the bottom, and the rows masked because they change in place.

#include "capture/scroll/RowDistance.h"
#include "capture/scroll/StitchCheck.h"
#include "capture/scroll/StitcherInternals.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace kx {

using namespace stitch;

int VerticalStitcher::fixedRowsFromTop(const StitchSignature& next, int shadow) const
{
    const int R = height_;
    if (R * 4 < 10)
        return 0;
    const int limit = R * 8 / 10;  // a tall static band above a small scrolling part
    int n = 0;
    while (n < limit && rowMaxDifference(next.row(n), reference_.row(n)) <= kExactLevels)
        ++n;
    return shaded(n, shadow, limit);
}

int VerticalStitcher::fixedRowsFromBottom(const StitchSignature& next, int shadow) const
{
    const int R = height_;
    if (R * 4 < 10)
        return 0;
    const int limit = R * 4 / 10;
    int n = 0;
    while (n < limit && rowMaxDifference(next.row(R - 1 - n), reference_.row(R - 1 - n)) <= kExactLevels)
        ++n;
    return shaded(n, shadow, limit);
}

// A pager's status line, a footer whose text changes, a fixed band's shadow over the content:
// from the edge inwards, rows that are not the content that moved there, as far as no row
// shows that content. Masks do not count: a pointer resting on a status line masks it, and
// then nothing else would keep it out of the page; only where the content is in the other
// frame must nothing animate.
int VerticalStitcher::changingEdge(const StitchSignature& next, const RowMask& mask, int dy, bool atTop,
                                   bool* beforeContent) const
{
    const int R = height_;
    const int bg = backgroundLevel(reference_);
    int band = 0;
    for (int n = 0; n < R * 4 / 10; ++n) {
        const int r = atTop ? n : R - 1 - n;
        const int other = atTop ? r + dy : r - dy;  // the same content in the other frame
        const bool inView = other >= 0 && other < R;
        const char animates = !inView ? 0
                              : atTop ? referenceMask_[std::size_t(other)]
                                      : mask[std::size_t(other)];
        // Whether the content there moved cannot be told.
        if (animates == kAnimated || animates == kCarried)
            break;
        const bool inPlace = rowMaxDifference(next.row(r), reference_.row(r)) <= kExactLevels;
        const bool moved = inView && rowMaxDifference(atTop ? next.row(r) : reference_.row(r),
                                                      atTop ? reference_.row(other) : next.row(other)) == 0;
        if (moved && !inPlace) {
            if (beforeContent)
                *beforeContent = true;
            break;  // the content, moved on
        }
        // A line whose text changes is a line or two; further from the edge only rows that stay
        // are a band. Neither moved nor in place there is a part of the page that changed (a
        // photo that loaded over its placeholder).
        if (!inPlace && n >= 2 * kEdgeLineRows)
            break;
        // A blank or plain row (a photo's flat placeholder) may be either: it joins the band
        // only beyond one that is not.
        if (!moved && !(plainRow(next.row(r), bg) && plainRow(reference_.row(r), bg)))
            band = n + 1;
    }
    return band;
}

bool VerticalStitcher::edgeLineInPlace(const StitchSignature& next, int from, int to, int bg) const
{
    return edgeLineInPlace(next, from, to, bg, reference_.rows);
}

bool VerticalStitcher::edgeLineInPlace(const StitchSignature& next, int from, int to, int bg,
                                       const std::vector<std::uint8_t>& before) const
{
    to = std::min({to, height_, int(before.size() / S)});
    for (int r = std::max(0, from); r < to; ++r) {
        const std::uint8_t* was = before.data() + std::size_t(r) * S;
        if (rowMaxDifference(next.row(r), was) <= kExactLevels)
            continue;
        for (int s = 0, run = 0; s < S; ++s) {
            const bool same = !close(next.row(r)[s], std::uint8_t(bg)) && close(next.row(r)[s], was[s]);
            if ((run = same ? run + 1 : 0) >= kEdgeLineSamples)
                return true;
        }
    }
    return false;
}

bool VerticalStitcher::changedInPlace(const StitchSignature& next, int rows, int dy) const
{
    for (int r = 0; r < std::min(rows, height_); ++r) {
        if (rowMaxDifference(next.row(r), reference_.row(r)) <= kExactLevels)
            continue;
        bool changed = false;
        for (int s = 0; s < S && !changed; ++s)
            changed = !close(next.row(r)[s], reference_.row(r)[s]) &&
                      (r + dy >= height_ || !close(next.row(r)[s], reference_.row(r + dy)[s]));
        if (!changed)
            return false;
    }
    return true;
}

// Rows at the bottom of the last frame that did not move with the content (a floating
// button, a footer that differs a little, an animation fixed on screen): from the highest
// such row in the lowest 30 % down to the frame's end. What floats in `boxes` is not
// compared: a box higher up meets these rows where a large step moved them to.
int VerticalStitcher::disturbedBottom(const StitchSignature& next, const RowMask& mask, int dy, int top,
                                      const std::vector<Box>& boxes) const
{
    const int R = height_;
    if (R * 4 < 10)
        return 0;
    const int low = R - R * 3 / 10;
    const std::vector<char> fixed = fixedOnScreen(mask);
    for (int r = low; r < R; ++r) {
        if (fixed[std::size_t(r)])
            return R - r;  // animated at the same place in both frames
        if (r - dy < top || mask[std::size_t(r - dy)] || referenceMask_[std::size_t(r)])
            continue;
        Samples out;
        for (const Box& box : boxes)
            if ((r >= box.top && r < box.bottom) || (r - dy >= box.top && r - dy < box.bottom))
                out.add(Samples::range(box.left, box.right));
        std::uint64_t distance = 0;
        if (!out.any()) {
            distance = rowsClipped(reference_.row(r), next.row(r - dy), 1);
        } else {
            for (int s = 0; s < S; ++s)
                if (!out.test(s))
                    distance += std::uint64_t(
                        std::min(std::abs(int(reference_.row(r)[s]) - int(next.row(r - dy)[s])), kSampleCap));
        }
        if (distance > kDisturbedRow)
            return R - r;
    }
    return 0;
}

// Nothing moved but what is known to change in place.
bool VerticalStitcher::stillApartFromMask(const StitchSignature& next, const RowMask& mask) const
{
    int stable = 0;
    for (int r = 0; r < height_; ++r) {
        const char was = referenceMask_[std::size_t(r)];
        if (mask[std::size_t(r)] || was == kAnimated || was == kPointer)
            continue;
        if (rowMaxDifference(next.row(r), reference_.row(r)) > kExactLevels)
            return false;
        ++stable;
    }
    return stable >= height_ / 3;
}

std::vector<char> VerticalStitcher::fixedOnScreen(const RowMask& mask) const
{
    const int R = height_;
    std::vector<char> out(std::size_t(std::max(R, 0)), 0);
    // Where each run of animated rows of `m` begins and ends, for every row of it.
    auto runs = [R](const RowMask& m) {
        std::vector<std::pair<int, int>> at(std::size_t(R), {-1, -1});
        for (int r = 0; r < R;) {
            if (m[std::size_t(r)] != kAnimated) {
                ++r;
                continue;
            }
            const int from = r;
            while (r < R && m[std::size_t(r)] == kAnimated)
                ++r;
            std::fill(at.begin() + from, at.begin() + r, std::pair<int, int>{from, r});
        }
        return at;
    };
    const auto now = runs(mask), before = runs(referenceMask_);
    for (std::size_t r = 0; r < out.size(); ++r)
        out[r] = now[r].first >= 0 && before[r].first >= 0 &&
                 std::abs(now[r].first - before[r].first) <= kFixedSlack &&
                 std::abs(now[r].second - before[r].second) <= kFixedSlack;
    return out;
}

namespace {

// How well rows [a, a + n) of `x` and [b, b + n) of `y` agree in their pattern, whatever each
// one's levels: a banner's background that pulses changes the levels and keeps the picture.
// Below -1 when either is flat.
double likeness(const StitchSignature& x, int a, const StitchSignature& y, int b, int n)
{
    double sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
    for (int r = 0; r < n; ++r)
        for (int s = 0; s < S; ++s) {
            const double u = x.row(a + r)[s], v = y.row(b + r)[s];
            sx += u;
            sy += v;
            sxx += u * u;
            syy += v * v;
            sxy += u * v;
        }
    const double count = double(n) * S;
    const double vx = sxx - sx * sx / count, vy = syy - sy * sy / count;
    if (vx < count || vy < count)  // less than a level of spread
        return -2;
    return (sxy - sx * sy / count) / std::sqrt(vx * vy);
}

// The level most samples of rows [a, a + n) have: their background.
int commonLevel(const StitchSignature& x, int a, int n)
{
    int count[256] = {};
    for (int r = a; r < a + n; ++r)
        for (int s = 0; s < S; ++s)
            ++count[x.row(r)[s]];
    return int(std::max_element(count, count + 256) - count);
}

constexpr double kSamePicture = 0.9;  // likeness of one picture in two states, at least
constexpr double kClearly = 0.2;      // how much better the picture must fit moved than in place

}  // namespace

VerticalStitcher::RowMask VerticalStitcher::movedWithThePage(const StitchSignature& next, const RowMask& mask,
                                                             int dy) const
{
    const int R = height_;
    int page = -1;  // the page's background, once needed
    RowMask out;
    for (int r = 0; r < R;) {
        auto both = [&](int k) {
            return mask[std::size_t(k)] == kAnimated && referenceMask_[std::size_t(k)] == kAnimated;
        };
        if (!both(r)) {
            ++r;
            continue;
        }
        const int from = r;
        while (r < R && both(r))
            ++r;
        // Where the page took them, as far as the last frame shows it.
        const int n = std::min(r, R - dy) - from;
        if (n < 1)
            continue;
        const double moved = likeness(next, from, reference_, from + dy, n);
        const double inPlace = likeness(next, from, reference_, from, n);
        // A tint fixed over the moving content keeps its own ground at its place, a level that
        // is not the page's background; rows whose ground is the page's show the page.
        const int ground = commonLevel(next, from, r - from);
        if (page < 0)
            page = backgroundLevel(reference_);
        const bool sameGround = std::abs(ground - commonLevel(reference_, from, r - from)) <= kExactLevels &&
                                std::abs(ground - page) > kExactLevels;
        if (moved >= kSamePicture && moved > inPlace + kClearly && !sameGround) {
            if (out.empty())
                out = referenceMask_;
            std::fill(out.begin() + from, out.begin() + r, kCarried);
        }
    }
    return out;
}

void VerticalStitcher::maskAnimated(const RowMask& rows)
{
    for (std::size_t r = 0; r < std::min(rows.size(), referenceMask_.size()); ++r)
        if (rows[r] && !referenceMask_[r])
            referenceMask_[r] = kAnimated;
}

bool VerticalStitcher::maskAnimationIn(const QImage& frame)
{
    if (frame.isNull() || frame.width() != width_ || frame.height() != height_ || height_ < 1)
        return false;
    StitchSignature& next = scratch_;
    StitchSignature::compute(frame, next, columns_);
    int n = 0, first = height_, last = -1;
    for (int r = 0; r < height_; ++r)
        if (!referenceMask_[std::size_t(r)] &&
            rowMaxDifference(next.row(r), reference_.row(r)) > kExactLevels) {
            ++n;
            first = std::min(first, r);
            last = std::max(last, r);
        }
    if (n == 0)
        return false;
    // A view that moved, even by a row, changes rows all over it; an animation is one spot.
    if (last - first >= height_ / kAnimationSpan) {
        // Parts of the page that changed at their place while the wheel went forth and back
        // (a photo that loaded) are taken again from here, so that the next step is matched
        // against the page as it is now.
        return changedInPlaceOnly(frame, RowMask(std::size_t(height_), 0), true);
    }
    for (int r = std::max(0, first - kAnimationSpread); r <= std::min(height_ - 1, last + kAnimationSpread);
         ++r)
        if (!referenceMask_[std::size_t(r)])
            referenceMask_[std::size_t(r)] = kAnimated;
    return true;
}

}  // namespace kx
