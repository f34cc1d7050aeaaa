#include "capture/scroll/VerticalStitcher.h"
// Where a frame fits the last accepted one: the search over every shift, the sample-for-sample
// check of the likely ones, and the choice among several that fit.

#include "capture/scroll/RowDistance.h"
#include "capture/scroll/StitchCheck.h"
#include "capture/scroll/StitcherInternals.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <utility>
#include <vector>

namespace kx {

using namespace stitch;

namespace {

constexpr double kHopeless = 8.0;               // clipped mean no accepted shift comes near
constexpr int kRoughStride = 8;                 // rows between the samples of the quick look, at least
constexpr int kRoughRows = 32;                  // rows the quick look samples, about
constexpr int kMinOverlap = 16;                 // rows both frames must show, at least
constexpr int kNeighbourhood = 2;               // shifts this close to the best are the same match
constexpr std::uint64_t kSearchRows = 1 << 18;  // rows the full pass may compare (about 1 ms)
constexpr int kBlockRows = 32;                  // rows compared between checks against the bound
constexpr int kMaxChecks = 1024;                // shifts checked sample for sample, at most
constexpr int kExpectedSlack = 2;               // rows an expected distance may be off by

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

namespace {

// The level most samples of row `r` of signature rows `rows` have.
int groundOf(const std::vector<std::uint8_t>& rows, int r)
{
    std::array<int, 256> count{};
    for (int s = 0; s < S; ++s)
        ++count[rows[std::size_t(r) * S + std::size_t(s)]];
    return int(std::max_element(count.begin(), count.end()) - count.begin());
}

}  // namespace

bool VerticalStitcher::barBelow(const StitchSignature& next, int bar) const
{
    // The same ground over as many rows, lower down in the last frame: the bar at its own place.
    const int level = groundOf(next.rows, 0);
    std::vector<char> same(std::size_t(height_), 0);
    for (int r = 1; r < height_; ++r)
        same[std::size_t(r)] = std::abs(groundOf(reference_.rows, r) - level) <= kExactLevels;
    for (int r = 1, run = 0; r < height_; ++r) {
        run = same[std::size_t(r)] ? run + 1 : 0;
        if (std::abs(run - bar) <= kExactLevels && (r + 1 >= height_ || !same[std::size_t(r + 1)]))
            return true;
    }
    return false;
}

int VerticalStitcher::barRows(const std::vector<std::uint8_t>& rows, int bg)
{
    auto ground = [&](int r) { return groundOf(rows, r); };
    const int n = std::min(int(rows.size() / S), kTopLineRows);
    if (n < 1)
        return 0;
    const int bar = ground(0);
    if (std::abs(bar - bg) <= kExactLevels)
        return 0;
    int r = 1;
    while (r < n && std::abs(ground(r) - bar) <= kExactLevels)
        ++r;
    return r;
}

bool VerticalStitcher::sameInPlace(const StitchSignature& next, const Box& box, int bg) const
{
    int shown = 0, same = 0;
    for (int r = std::max(box.top, 0); r < std::min(box.bottom, height_); ++r)
        for (int s = box.left; s <= box.right; ++s) {
            const std::uint8_t a = next.row(r)[s], b = reference_.row(r)[s];
            if (close(a, std::uint8_t(bg)) && close(b, std::uint8_t(bg)))
                continue;
            ++shown;
            same += close(a, b);
        }
    // Its margin and what shows through it differ; coincidences over a flat colour are sparse.
    return shown > 0 && 3 * same >= 2 * shown;
}

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
    firstTop_.assign(
        reference_.rows.begin(),
        reference_.rows.begin() + std::ptrdiff_t(std::min(height_, kTopLineRows)) * kSignatureSamples);
}

VerticalStitcher::~VerticalStitcher() = default;

VerticalStitcher::Outcome VerticalStitcher::add(const QImage& frame, int expectedDy, RowMask mask)
{
    refreshedFrom_ = -1;
    Outcome out = matchAnyWay(frame, expectedDy, mask);
    // Rows of the last frame that changed while it settled and then stood still stay out of the
    // match, in case they change again (a pulse seen at one of its ends). When too little is
    // left to fit (a photo that faded in over most of the view), they are the page as it is.
    if (out.kind == Outcome::Kind::noMatch && !out.changing && !out.stale &&
        std::find(referenceMask_.begin(), referenceMask_.end(), kSettled) != referenceMask_.end()) {
        const RowMask settled = referenceMask_;
        std::replace(referenceMask_.begin(), referenceMask_.end(), kSettled, char(0));
        Outcome again = matchAnyWay(frame, expectedDy, mask);
        if (again.kind == Outcome::Kind::noMatch && !again.changing && !again.stale)
            referenceMask_ = settled;
        else
            out = again;
    }
    if (out.kind == Outcome::Kind::noChange)
        out.retakenFrom = refreshedFrom_;
    return out;
}

VerticalStitcher::Outcome VerticalStitcher::matchAnyWay(const QImage& frame, int expectedDy,
                                                        const RowMask& mask)
{
    // A fit that showed a part above the frame changed since its rows were kept says so,
    // unless a later look fits without it. A pass that ended the image above a part that
    // changed (by hand) has the answer: a later pass must not drop its notice.
    const int cutBefore = cut_;
    Outcome out = match(frame, expectedDy, mask, 0);
    auto open = [&] { return out.kind == Outcome::Kind::noMatch && !(out.changing && cut_ != cutBefore); };
    bool stale = out.stale;
    auto again = [&](Outcome o) {
        stale = stale || o.stale;
        out = o;
    };
    // A fixed header or footer may cast a drop shadow on the content scrolling past it: rows
    // that neither stay nor move with the page. When nothing fits, once more without them.
    if (open())
        again(match(frame, expectedDy, mask, kShadowRows));
    // A line at the bottom edge that changes in place (a pager's status line) neither stays nor
    // moves: when nothing fits yet, once more without the rows where one may be.
    if (open())
        again(match(frame, expectedDy, mask, kShadowRows, kEdgeLineRows));
    // The same at the top edge (a header line whose counter changes).
    if (open())
        again(match(frame, expectedDy, mask, kShadowRows, 0, kEdgeLineRows));
    // A bar that stuck to the top edge once the page scrolled (a table's header whose text says
    // which rows show): the last frame shows it at its own place, lower down, and the kept rows
    // have it there; here it is left out of the match.
    if (open())
        if (Outcome o = match(frame, expectedDy, mask, kShadowRows, 0, 0, true);
            o.kind != Outcome::Kind::noMatch || o.changing || o.stale)
            again(o);
    if (out.kind == Outcome::Kind::noMatch)
        out.stale = stale && !out.changing;
    // Looked at once more, a part that changes again is an animation the settling saw still:
    // the kept rows show it in one state.
    lookedBack_ = lookedBack_ || out.stale;
    // No shift fits because parts of the page changed at their place while the view stood
    // still (photos that loaded at the end): the view has not moved.
    if (out.kind == Outcome::Kind::noMatch && !out.changing && !out.stale &&
        changedInPlaceOnly(frame, mask, false))
        out = Outcome::noChange();
    return out;
}

VerticalStitcher::Outcome VerticalStitcher::match(const QImage& frame, int expectedDy, RowMask mask,
                                                  int shadow, int edge, int edgeTop, bool stuck)
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
    if (stillApartFromMask(next, mask)) {
        // The same view: what changed in its masked rows is taken again from here.
        refreshInPlace(frame, next, mask);
        return unchanged();
    }

    if (stuck) {
        // Only a bar the last frame does not show at the top, no taller than a header.
        const int bg = backgroundLevel(reference_);
        const int bar = barRows(next.rows, bg);
        if (bar < kMinShadowBand || bar > R / 10 || barRows(reference_.rows, bg) > 0 || !barBelow(next, bar))
            return Outcome::noMatch();
        edgeTop = bar + kMinShadowBand;  // with its border or shadow
    }
    const int top = std::max(std::min(edgeTop, R / 10), fixedRowsFromTop(next, shadow));
    // Once a step has measured the bottom band, rows that merely look alike at the bottom of
    // two frames (blank margins) stay in the match.
    const int bottom =
        std::max(std::min(edge, R / 10),
                 steps_ == 0 ? fixedRowsFromBottom(next, shadow) : shaded(bottomBand_, shadow, R * 4 / 10));
    if (edge > 0 && !edgeLineInPlace(next, R - std::min(edge, R / 10), R, backgroundLevel(reference_)))
        return Outcome::noMatch();
    if (edgeTop > 0 && !stuck &&
        !edgeLineInPlace(next, 0, std::min(edgeTop, R / 10), backgroundLevel(reference_)))
        return Outcome::noMatch();
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
    const RowMask refMask = comparedInReference();
    const std::vector<Run> freeRef = unmaskedRuns(refMask, 0, R);
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
            if (!mask[std::size_t(k)] && !refMask[std::size_t(k + d)]) {
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
        if (check(next, mask, refMask, d, top, usable - d, bg, minOverlap / 2, &found).exact) {
            exact.push_back(d);
            floating.emplace_back(d, std::move(found));
        }
    }
    std::sort(exact.begin(), exact.end());
    // "No move" fits as well as any move: nothing can be said to have scrolled. Where it
    // fits but for a few changed parts, they are taken again from here.
    if (stillFits && (exact.empty() || exact.front() == 0)) {
        changedInPlaceOnly(frame, mask, true);
        return unchanged();
    }
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

    // Rows the session saw animating at one place twice may be two things of the page that
    // passed there: where this frame shows them moved with the page, they are not fixed on
    // screen. Undone when this frame is not taken.
    RowMask claimed;
    if (RowMask corrected = movedWithThePage(next, mask, dy); !corrected.empty())
        claimed = std::exchange(referenceMask_, std::move(corrected));
    auto refuse = [&] {
        if (!claimed.empty())
            referenceMask_ = std::move(claimed);
        return Outcome::noMatch();
    };

    // Boxes floating at one place on screen (a "back to top" button).
    std::vector<Box> boxes;
    for (auto& [d, found] : floating)
        if (d == dy)
            boxes = std::move(found);
    stillBoxes(next, mask, dy, top, bg, boxes);
    unseenBoxes(next, mask, dy, top, bg, boxes);
    // Where parts of the page changed at their place while the view stood (a photo over its
    // placeholder), anything of the placeholder's level looks as if it stayed: there a box that
    // floats must show mostly the same picture at its place in both frames.
    std::erase_if(boxes, [&](const Box& b) {
        bool settled = false;
        for (int r = std::max(b.top, 0); r < std::min(b.bottom, R) && !settled; ++r)
            settled = mask[std::size_t(r)] == kSettled;
        return settled && !sameInPlace(next, b, bg);
    });
    int floatTop = R, floatBottom = 0;
    for (const Box& box : boxes) {
        floatTop = std::min(floatTop, box.top);
        floatBottom = std::max(floatBottom, box.bottom);
    }

    const int bandLimit = R * 4 / 10;
    const int changing = changingEdge(next, mask, dy, false);
    // Rows left out because a line there may change in place: only a fit that shows one holds.
    // At the top, within the rows left out of the match (a fixed band's shadow aside, which
    // lies over the first frame's content there): drawn from the last frame.
    // Only a line whose bar stays while its text changes, above content that moved: neither rows
    // whose content moves beside a fixed sidebar nor a band that never shows the content.
    int above = std::max(std::min(edgeTop, R / 10), fixedRowsFromTop(next, 0));
    while (above < bandLimit && mask[std::size_t(above)])
        ++above;
    bool beforeContent = false;
    int topLine = std::min(above, changingEdge(next, mask, dy, true, &beforeContent));
    if (!beforeContent || !edgeLineInPlace(next, 0, topLine, bg) || !changedInPlace(next, topLine, dy))
        topLine = edgeTop > 0 ? 0 : topLine_;
    if ((edge > 0 && changing == 0) || (edgeTop > 0 && !stuck && topLine == 0))
        return refuse();
    int band = std::min(bandLimit, std::max({bottom, disturbedBottom(next, mask, dy, top, boxes), changing}));
    if (floatTop < R) {
        if (floatTop >= R - bandLimit) {
            // Low on screen: it joins the bottom band, drawn once from the last frame.
            band = std::max(band, R - floatTop);
        } else {
            // Higher up it shows in the first frame only, unless this step's new rows reach it.
            const int newFrom = (steps_ == 0 ? R - band : contentEnd_) - dy;
            if (newFrom < floatBottom && R - band > floatTop)
                return refuse();
        }
    }
    if (steps_ == 0 && band > R - dy - top) {
        // The first frame must reach this frame's content; a floating box would repeat.
        if (floatTop < R)
            return refuse();
        band = R - dy - top;
    }
    if (columns_ < width_ && !rightCut_ && scrollBarMoves(next, mask, boxes, dy, top, usable - dy))
        rightCut_ = width_ - columns_;

    std::unique_ptr<Snapshot> undo;
    if (provisional)
        undo.reset(new Snapshot{firstFrame_, tail_, reference_, claimed.empty() ? referenceMask_ : claimed,
                                strips_.rows(), steps_, bottomBand_, contentEnd_, lastDy_, partlyUsed_,
                                topBand_, rightCut_, topLine_, movedRows_, keptBoxes_.size(), patches_.size(),
                                lastBoxes_});
    // Parts of the page that changed at their place since their rows were kept (a photo that
    // loaded, an animation) are taken again whole from this frame; not on a guess, which may
    // be taken back.
    const int kept = steps_ == 0 ? R - band : contentEnd_;
    bool torn = false, stale = false;
    const std::vector<Rows> retakes = provisional ? std::vector<Rows>{}
                                                  : witness(next, mask, dy, top, R - band, kept, boxes, &torn,
                                                            !lookBack_ || !lookedBack_ ? &stale : nullptr);
    if (torn || stale) {
        Outcome out = refuse();
        // Without a look back (the user scrolls) the kept rows would show it as it was: the
        // image ends above it, and says why.
        if (stale && !torn && !lookBack_)
            cutAbove(top + dy);
        out.changing = torn || !lookBack_;
        out.stale = stale && !out.changing;
        out.changedAbove = stale && !torn && !lookBack_;
        return out;
    }
    int added = 0;
    int retakenFrom = -1;
    for (const Rows& rows : retakes) {
        const int at = keptBase() + rows.from + dy;
        retakenFrom = retakenFrom < 0 ? at : std::min(retakenFrom, at);
    }
    if (!keepRows(frame, mask, boxes, dy, band, top, retakes, &added))
        return refuse();

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
    lookedBack_ = false;
    movedRows_ += dy;
    bottomBand_ = band;
    topBand_ = top;
    // A line that stuck to the top only once the page scrolled (a table's sticky header) is at
    // its own place in the first frame: it is drawn there, once, not over the page's top.
    // A bar of another height there (a header that shrank once the page scrolled) is another
    // state of the header: the first frame's is kept whole.
    if (topLine > 0 && (!edgeLineInPlace(next, 0, topLine, bg, firstTop_) ||
                        std::abs(barRows(next.rows, bg) - barRows(firstTop_, bg)) > kExactLevels))
        topLine = 0;
    topLine_ = topLine;
    std::swap(reference_, scratch_);
    referenceMask_ = std::move(mask);
    lastDy_ = dy;
    undo_ = std::move(undo);  // a step that follows a provisional one confirms it
    Outcome out = Outcome::appended(dy);
    out.sure = !provisional;
    out.provisional = provisional;
    out.newRows = added;
    out.retakenFrom = retakenFrom;
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

}  // namespace kx
