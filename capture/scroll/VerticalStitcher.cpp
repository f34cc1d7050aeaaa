#include "capture/scroll/VerticalStitcher.h"

#include "capture/scroll/RowDistance.h"
#include "capture/scroll/StitchCheck.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <vector>

namespace kx {

using namespace stitch;

namespace {

constexpr double kHopeless = 8.0;               // clipped mean no accepted shift comes near
constexpr int kRoughStride = 8;                 // rows between the samples of the quick look, at least
constexpr int kRoughRows = 32;                  // rows the quick look samples, about
constexpr int kMinOverlap = 16;                 // rows both frames must show, at least
constexpr int kNeighbourhood = 2;               // shifts this close to the best are the same match
constexpr std::uint64_t kDisturbedRow = 3 * S;  // a row this far from its match moved not with the page
constexpr std::uint64_t kSearchRows = 1 << 18;  // rows the full pass may compare (about 1 ms)
constexpr int kBlockRows = 32;                  // rows compared between checks against the bound
constexpr int kPartlyUsedFrames = 8;            // frames kept whole for less than half their rows
constexpr int kMaxChecks = 1024;                // shifts checked sample for sample, at most
constexpr int kExpectedSlack = 2;               // rows an expected distance may be off by
constexpr int kShadowRows = 32;                 // rows a fixed band's drop shadow may cover
constexpr int kMinShadowBand = 8;               // fixed rows that make a band casting one
constexpr int kAnimationSpan = 4;               // an animation spans less than 1/4 of the view
constexpr int kAnimationSpread = 3;             // rows around its changed ones it may touch

// A fixed band of `rows` rows and the `shadow` rows its drop shadow may cover, within `limit`.
int shaded(int rows, int shadow, int limit)
{
    return rows >= kMinShadowBand ? std::max(rows, std::min(limit, rows + shadow)) : rows;
}

bool isPlain32(QImage::Format f)
{
    return f == QImage::Format_RGB32 || f == QImage::Format_ARGB32 ||
           f == QImage::Format_ARGB32_Premultiplied;
}

// Shifts whose mean is within this of the best fit as well as the best.
double margin(double best)
{
    return 0.5 + 0.25 * best;
}

// Two shifts whose means are this close cannot be told apart at all.
double tie(double best)
{
    return 0.02 + 0.02 * best;
}

struct Run {
    int from, to;
};

// Maximal runs of rows in [from, to) the mask leaves in.
std::vector<Run> unmaskedRuns(const VerticalStitcher::RowMask& mask, int from, int to)
{
    std::vector<Run> runs;
    for (int r = from; r < to;) {
        while (r < to && mask[std::size_t(r)])
            ++r;
        const int start = r;
        while (r < to && !mask[std::size_t(r)])
            ++r;
        if (r > start)
            runs.push_back({start, r});
    }
    return runs;
}

}  // namespace

struct VerticalStitcher::Snapshot {
    QImage firstFrame, tail;
    StitchSignature reference;
    RowMask referenceMask;
    int stripRows, steps, bottomBand, contentEnd, lastDy, partlyUsed, topBand, rightCut;
    qint64 movedRows;
};

int VerticalStitcher::matchedColumns(int width)
{
    // Overlay scroll bars are at most about 1/60 of a window wide, and never under 24 pixels
    // of strip are left out; narrow selections keep every column.
    return width >= 4 * kSignatureSamples ? width - std::max(24, width / 60) : width;
}

VerticalStitcher::VerticalStitcher(const QImage& first, RowMask unstable)
    : width_(first.width()),
      height_(first.height()),
      format_(isPlain32(first.format()) ? first.format() : QImage::Format_RGB32),
      colorSpace_(first.colorSpace()),
      firstFrame_(first),
      reference_(StitchSignature::of(first, matchedColumns(first.width()))),
      referenceMask_(std::move(unstable)),
      columns_(matchedColumns(first.width()))
{
    referenceMask_.resize(std::size_t(std::max(height_, 0)), 0);
    strips_.reset(width_, format_);
}

VerticalStitcher::~VerticalStitcher() = default;

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
    for (int r = low; r < R; ++r) {
        if (mask[std::size_t(r)] == kAnimated && referenceMask_[std::size_t(r)] == kAnimated)
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

VerticalStitcher::Outcome VerticalStitcher::add(const QImage& frame, int expectedDy, RowMask mask)
{
    Outcome out = match(frame, expectedDy, mask, 0);
    // A fixed header or footer may cast a drop shadow on the content scrolling past it: rows
    // that neither stay nor move with the page. When nothing fits, once more without them.
    if (out.kind == Outcome::Kind::noMatch)
        out = match(frame, expectedDy, std::move(mask), kShadowRows);
    return out;
}

VerticalStitcher::Outcome VerticalStitcher::match(const QImage& frame, int expectedDy, RowMask mask,
                                                  int shadow)
{
    if (frame.isNull() || frame.width() != width_ || frame.height() != height_ || height_ < 1)
        return Outcome::noMatch();
    StitchSignature& next = scratch_;
    StitchSignature::compute(frame, next, columns_);
    const int R = height_;
    mask.resize(std::size_t(R), 0);

    // Same picture as before, or the same apart from what changes in place? Any sample that
    // changed counts: a few changed digits at an edge are a scroll as much as a new page.
    auto unchanged = [&] {
        Outcome out = Outcome::noChange();
        out.blank = blank(next, mask);
        return out;
    };
    if (stillApartFromMask(next, mask))
        return unchanged();

    const int top = fixedRowsFromTop(next, shadow);
    // Once a step has measured the bottom band, rows that merely look alike at the bottom of
    // two frames (blank margins) stay in the match.
    const int bottom =
        steps_ == 0 ? fixedRowsFromBottom(next, shadow) : shaded(bottomBand_, shadow, R * 4 / 10);
    const int usable = R - top - bottom;
    const int minOverlap = std::max(kMinOverlap, usable * 15 / 100);
    if (usable < minOverlap)
        return Outcome::noMatch();
    const int maxDy = usable - minOverlap;

    // Every shift from "no move" up, the expected ones first so that the others can be
    // abandoned early. A shift is abandoned once it is sure to fit clearly worse than the
    // best so far; what is left is every shift that fits about as well as the best.
    constexpr double kNone = std::numeric_limits<double>::infinity();
    std::vector<double> mean(std::size_t(maxDy) + 1, kNone);
    std::vector<char> tried(std::size_t(maxDy) + 1, 0);
    double best = kNone;
    // Masked rows stay out: a shift is compared over the runs of rows unmasked in both frames.
    const std::vector<Run> freeNew = unmaskedRuns(mask, top, R);
    const std::vector<Run> freeRef = unmaskedRuns(referenceMask_, 0, R);
    std::vector<Run> segments;
    std::uint64_t work = 0;  // rows compared
    auto evaluate = [&](int d) {
        if (d < 0 || d > maxDy || tried[std::size_t(d)])
            return;
        tried[std::size_t(d)] = 1;
        const int end = top + usable - d;
        segments.clear();
        int rows = 0;
        for (const Run& b : freeNew)
            for (const Run& a : freeRef) {
                const int from = std::max({b.from, a.from - d, top});
                const int to = std::min({b.to, a.to - d, end});
                if (from < to) {
                    segments.push_back({from, to});
                    rows += to - from;
                }
            }
        if (rows < minOverlap / 2)
            return;
        const double samples = double(rows) * S;
        // A shift worse than kHopeless can never be accepted: no need to finish it.
        const double bound = (best == kNone ? kHopeless : std::min(best + margin(best), kHopeless)) * samples;
        const std::uint64_t limit = std::uint64_t(std::floor(bound));
        std::uint64_t sum = 0;
        for (const Run& g : segments)
            for (int k = g.from; k < g.to; k += kBlockRows) {
                const int n = std::min(kBlockRows, g.to - k);
                sum += rowsClipped(reference_.row(k + d), next.row(k), std::size_t(n));
                work += std::uint64_t(n);
                if (sum > limit)
                    return;
            }
        mean[std::size_t(d)] = double(sum) / samples;
        best = std::min(best, mean[std::size_t(d)]);
    };
    evaluate(expectedDy);
    evaluate(lastDy_);
    if (!(best <= margin(0))) {
        // No expected shift fits: a quick look at a few dozen rows finds the likely ones,
        // so that the full pass starts with a tight bound.
        std::vector<std::pair<std::uint64_t, int>> rough;
        rough.reserve(std::size_t(maxDy) + 1);
        for (int d = 0; d <= maxDy; ++d) {
            const int n = usable - d;
            const int stride = std::max(kRoughStride, n / kRoughRows);
            const int rows = (n + stride - 1) / stride;
            const std::uint64_t sum = rowsClippedStrided(reference_.row(top + d), next.row(top),
                                                         std::size_t(rows), std::size_t(stride));
            rough.emplace_back(sum * 1024 / std::uint64_t(std::max(rows, 1)), d);
        }
        const std::size_t seeds = std::min<std::size_t>(3, rough.size());
        std::partial_sort(rough.begin(), rough.begin() + std::ptrdiff_t(seeds), rough.end());
        for (std::size_t i = 0; i < seeds; ++i)
            evaluate(rough[i].second);
        // Without masked rows the quick look sees what the full pass would: when even its
        // best is far beyond any match, the frame is another picture.
        const bool unmasked = freeNew.size() <= 1 && freeRef.size() <= 1;
        if (unmasked && best == kNone && double(rough.front().first) / 1024 > 2 * kHopeless * S)
            return Outcome::noMatch();
    }
    // Every shift, within a bounded number of row comparisons. Content that fits many shifts
    // nearly alike (noise against other noise, rows repeating with small differences) would
    // otherwise compare most rows at most shifts. When half the budget is spent, the shifts
    // left are taken by how well a quick look at a few dozen rows says they fit; past the
    // budget, those the quick look cannot rule out stay unknown.
    const std::uint64_t budget = kSearchRows;
    auto roughMean = [&](int d) {
        const int n = usable - d;
        const int stride = std::max(1, n / kRoughRows);
        std::uint64_t sum = 0;
        int rows = 0;
        for (int k = top; k < top + n; k += stride)
            if (!mask[std::size_t(k)] && !referenceMask_[std::size_t(k + d)]) {
                sum += rowsClipped(reference_.row(k + d), next.row(k), 1);
                ++rows;
            }
        return rows ? double(sum) / (double(rows) * S) : 0.0;
    };
    int d = 0;
    for (; d <= maxDy && work <= budget / 2; ++d)
        evaluate(d);
    std::vector<std::pair<double, int>> left;
    for (; d <= maxDy; ++d)
        if (!tried[std::size_t(d)])
            left.emplace_back(roughMean(d), d);
    std::sort(left.begin(), left.end());
    std::vector<int> unknown;
    for (const auto& [rough, shift] : left) {
        if (work <= budget)
            evaluate(shift);
        else if (rough <= 2 * std::min(best + margin(best), kHopeless) + 2)
            unknown.push_back(shift);
    }
    if (best == kNone)
        return Outcome::noMatch();

    // The shifts that fit about as well as the best one, and those not looked at closely
    // enough to rule out; each is checked sample for sample, most likely first.
    const int bg = backgroundLevel(reference_);
    std::vector<std::pair<double, int>> candidates;
    for (int d = 0; d <= maxDy; ++d)
        if (mean[std::size_t(d)] <= best + margin(best))
            candidates.emplace_back(mean[std::size_t(d)], d);
    std::sort(candidates.begin(), candidates.end());
    for (const int d : unknown)
        candidates.emplace_back(kNone, d);
    const bool unchecked = candidates.size() > std::size_t(kMaxChecks);
    candidates.resize(std::min(candidates.size(), std::size_t(kMaxChecks)));
    std::vector<int> exact;
    // What floats in place at each exact shift, found by its check: the step is taken at
    // one of them.
    std::vector<std::pair<int, std::vector<Box>>> floating;
    bool stillFits = false;  // "no move" is among the shifts that fit
    for (const auto& [m, d] : candidates) {
        stillFits = stillFits || d == 0;
        std::vector<Box> found;
        if (check(next, mask, d, top, usable - d, bg, minOverlap / 2, &found).exact) {
            exact.push_back(d);
            floating.emplace_back(d, std::move(found));
        }
    }
    std::sort(exact.begin(), exact.end());
    // "No move" fits as well as any move: nothing can be said to have scrolled.
    if (stillFits && (exact.empty() || exact.front() == 0))
        return unchanged();
    if (exact.empty())
        return Outcome::noMatch();

    // Exact shifts next to each other are one match (rounding at block edges); its best
    // shift stands for it. A match smeared over many shifts (a smooth gradient) tells none.
    struct Cluster {
        int from, to, pick;
    };
    std::vector<Cluster> clusters;
    for (const int d : exact) {
        if (clusters.empty() || d - clusters.back().to > 2 * kNeighbourhood)
            clusters.push_back({d, d, d});
        Cluster& c = clusters.back();
        c.to = d;
        if (mean[std::size_t(d)] < mean[std::size_t(c.pick)])
            c.pick = d;
    }
    for (const Cluster& c : clusters)
        if (c.to - c.from > 2 * kNeighbourhood)
            return Outcome::noMatch();

    // What floats in place at the pick stays out of the look for repeats.
    std::vector<Box> pickBoxes;
    for (const auto& [d, found] : floating)
        if (d == clusters.front().pick)
            pickBoxes = found;
    int dy = 0;
    bool provisional = false;
    // One exact match over rows that repeat themselves is not one match: the other repeats
    // were only kept out of reach (by a floating box or a hover tint over them, or the
    // searched range), so the pixels cannot tell the distance there either.
    if (clusters.size() == 1 && !unchecked &&
        !repeating(next, mask, pickBoxes, top, top + usable - clusters.front().pick)) {
        // One exact match that no other shift reaches: what else fits is merely similar.
        dy = clusters.front().pick;
    } else {
        // Repeating content fits several shifts exactly: the pixels cannot tell the distance.
        // The caller's expected distance may pick one, if exactly one lies within its slack;
        // whether it held shows only when the content moves on after it.
        if (expectedDy < 1)
            return Outcome::noMatch();
        int picked = 0;
        for (const Cluster& c : clusters)
            if (std::abs(c.pick - expectedDy) <= kExpectedSlack) {
                if (picked)
                    return Outcome::noMatch();
                picked = c.pick;
            }
        if (!picked)
            return Outcome::noMatch();
        dy = picked;
        provisional = true;
    }
    // A best fit at the end of the searched range may be the near side of a larger step.
    if (dy < 1 || dy > maxDy - kNeighbourhood)
        return Outcome::noMatch();
    // Around the pick the shifts must still be told apart, or the pick is a guess.
    for (int d = std::max(1, dy - kNeighbourhood); d <= std::min(maxDy, dy + kNeighbourhood); ++d) {
        evaluate(d);
        if (d != dy && mean[std::size_t(d)] <= mean[std::size_t(dy)] + tie(mean[std::size_t(dy)]))
            return Outcome::noMatch();
    }

    // Boxes floating at one place on screen (a "back to top" button).
    std::vector<Box> boxes;
    for (auto& [d, found] : floating)
        if (d == dy)
            boxes = std::move(found);
    stillBoxes(next, mask, dy, top, bg, boxes);
    unseenBoxes(next, mask, dy, top, bg, boxes);
    int floatTop = R, floatBottom = 0;
    for (const Box& box : boxes) {
        floatTop = std::min(floatTop, box.top);
        floatBottom = std::max(floatBottom, box.bottom);
    }

    const int bandLimit = R * 4 / 10;
    int band = std::min(bandLimit, std::max(bottom, disturbedBottom(next, mask, dy, top, boxes)));
    if (floatTop < R) {
        if (floatTop >= R - bandLimit) {
            // Low on screen: it joins the bottom band, drawn once from the last frame.
            band = std::max(band, R - floatTop);
        } else {
            // Higher up it shows in the first frame only, unless this step's new rows reach it.
            const int newFrom = (steps_ == 0 ? R - band : contentEnd_) - dy;
            if (newFrom < floatBottom && R - band > floatTop)
                return Outcome::noMatch();
        }
    }
    if (steps_ == 0 && band > R - dy - top) {
        // The first frame must reach this frame's content; a floating box would repeat.
        if (floatTop < R)
            return Outcome::noMatch();
        band = R - dy - top;
    }
    if (columns_ < width_ && !rightCut_ && scrollBarMoves(next, mask, boxes, dy, top, usable - dy))
        rightCut_ = width_ - columns_;

    std::unique_ptr<Snapshot> undo;
    if (provisional)
        undo.reset(new Snapshot{firstFrame_, tail_, reference_, referenceMask_, strips_.rows(), steps_,
                                bottomBand_, contentEnd_, lastDy_, partlyUsed_, topBand_, rightCut_,
                                movedRows_});
    int added = 0;
    if (!keepRows(frame, dy, band, top, &added))
        return Outcome::noMatch();

    // What animates on the page moves with it: the rows of the last frame seen animating
    // stay masked for one step where the content took them, unless this frame shows them
    // animating at the same place (fixed on screen).
    const RowMask own = mask;
    for (int r = 0; r < R;) {
        if (referenceMask_[std::size_t(r)] != kAnimated) {
            ++r;
            continue;
        }
        const int from = r;
        int fixed = 0;
        for (; r < R && referenceMask_[std::size_t(r)] == kAnimated; ++r)
            fixed += own[std::size_t(r)] == kAnimated;
        if (2 * fixed > r - from)
            continue;
        for (int k = std::max(0, from - dy); k < r - dy; ++k)
            if (!mask[std::size_t(k)])
                mask[std::size_t(k)] = kCarried;
    }
    ++steps_;
    movedRows_ += dy;
    bottomBand_ = band;
    topBand_ = top;
    std::swap(reference_, scratch_);
    referenceMask_ = std::move(mask);
    lastDy_ = dy;
    undo_ = std::move(undo);  // a step that follows a provisional one confirms it
    Outcome out = Outcome::appended(dy);
    out.sure = !provisional;
    out.provisional = provisional;
    out.newRows = added;
    return out;
}

bool VerticalStitcher::repeating(const StitchSignature& next, const RowMask& mask,
                                 const std::vector<Box>& boxes, int from, int to) const
{
    // The samples of each row that a box covers.
    std::vector<Samples> covered(std::size_t(std::max(to - from, 0)));
    for (const Box& box : boxes)
        for (int r = std::max(box.top, from); r < std::min(box.bottom, to); ++r)
            covered[std::size_t(r - from)].add(Samples::range(box.left, box.right));
    const Samples all = Samples::range(0, S - 1);
    auto alike = [&](int a, int b) {
        Samples out = covered[std::size_t(a - from)];
        out.add(covered[std::size_t(b - from)]);
        if (!out.any())
            return rowMaxDifference(next.row(a), next.row(b)) <= kExactLevels;
        for (int s = 0; s < S; ++s)
            if (!out.test(s) && !close(next.row(a)[s], next.row(b)[s]))
                return false;
        return true;
    };
    auto hidden = [&](int r) {
        return mask[std::size_t(r)] || covered[std::size_t(r - from)].count() == all.count();
    };
    const int n = to - from;
    for (int period = 1; period <= n / 2; ++period) {
        int compared = 0;
        bool varied = false, same = true;
        int first = -1;
        for (int k = from; k + period < to && same; ++k) {
            if (hidden(k) || hidden(k + period))
                continue;
            same = alike(k, k + period);
            if (first < 0)
                first = k;
            else if (!varied)
                varied = !alike(first, k);
            ++compared;
        }
        if (same && varied && compared >= period)
            return true;
    }
    return false;
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
    // A view that moved, even by a row, changes rows all over it; an animation is one spot.
    if (n == 0 || last - first >= height_ / kAnimationSpan)
        return false;
    for (int r = std::max(0, first - kAnimationSpread); r <= std::min(height_ - 1, last + kAnimationSpread);
         ++r)
        if (!referenceMask_[std::size_t(r)])
            referenceMask_[std::size_t(r)] = kAnimated;
    return true;
}

// The kept rows end at contentEnd_ of the last frame, which is row contentEnd_ - dy of this
// one; what lies between there and this frame's bottom band is new.
bool VerticalStitcher::keepRows(const QImage& frame, int dy, int band, int top, int* added)
{
    const int body = height_ - band;
    const QImage source = frame.format() == format_ ? frame : frame.convertToFormat(format_);
    const int before = strips_.rows();
    int end = contentEnd_;
    if (steps_ == 0) {
        // The first frame's rows are copied when the result is made, not while the user waits.
        const QImage first =
            firstFrame_.format() == format_ ? firstFrame_ : firstFrame_.convertToFormat(format_);
        if (!strips_.appendLater(first, 0, body))
            return false;
        end = body;
    }
    const int from = end - dy;
    // Fresh memory costs a page fault per 4 KiB: copying more than a sixth of a 4K frame
    // costs more than the matching. A frame that gives that many rows is kept whole and its
    // rows copied at the end; one that gives less than half of itself only a few times, so
    // that the memory held stays within twice the result and a few frames.
    const int count = body - from;
    const bool later = 6 * count >= height_ && (2 * count >= height_ || partlyUsed_ < kPartlyUsedFrames);
    // Above `top` this frame shows its fixed band: a step that far leaves a gap.
    if (from < top || (body > from && !(later ? strips_.appendLater(source, from, count)
                                              : strips_.append(source, from, count)))) {
        if (steps_ == 0)
            strips_.reset(width_, format_);
        return false;
    }
    partlyUsed_ += later && 2 * count < height_;
    *added = strips_.rows() - before - (steps_ == 0 ? body : 0);
    contentEnd_ = std::max(body, from);
    if (steps_ == 0)
        firstFrame_ = QImage();
    tail_ = source;  // shared, not copied: a tall bottom band would cost a copy per step
    return true;
}

QImage VerticalStitcher::finish()
{
    if (steps_ == 0)
        return rightCut_ > 0 ? firstFrame_.copy(0, 0, width_ - rightCut_, height_) : firstFrame_;
    const qint64 total = stitchedHeight();
    if (total > kMaxRows || total < 1)
        return {};
    if (!tail_.isNull() && !strips_.append(tail_, contentEnd_, height_ - contentEnd_))
        return {};
    tail_ = QImage();
    QImage result = strips_.take();
    if (result.isNull() || result.height() != total)
        return {};
    if (rightCut_ > 0)
        result = result.copy(0, 0, width_ - rightCut_, result.height());
    if (colorSpace_.isValid())
        result.setColorSpace(colorSpace_);
    return result;
}

bool VerticalStitcher::dropProvisionalStep()
{
    if (!undo_)
        return false;
    Snapshot& u = *undo_;
    strips_.truncate(u.stripRows);
    firstFrame_ = std::move(u.firstFrame);
    tail_ = std::move(u.tail);
    reference_ = std::move(u.reference);
    referenceMask_ = std::move(u.referenceMask);
    steps_ = u.steps;
    bottomBand_ = u.bottomBand;
    contentEnd_ = u.contentEnd;
    lastDy_ = u.lastDy;
    partlyUsed_ = u.partlyUsed;
    topBand_ = u.topBand;
    rightCut_ = u.rightCut;
    movedRows_ = u.movedRows;
    undo_.reset();
    return true;
}

std::size_t VerticalStitcher::retainedBytes() const
{
    return std::size_t(firstFrame_.sizeInBytes()) + std::size_t(tail_.sizeInBytes()) + strips_.bytes();
}

}  // namespace kx