#include "capture/scroll/VerticalStitcher.h"

#include "capture/scroll/RowDistance.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kx {

namespace {

constexpr int S = kSignatureSamples;
constexpr double kSameMean = 0.35;              // below: the same picture
constexpr std::uint64_t kFixedRow = 2 * S;      // a row this close at the same index stays put
constexpr double kHopeless = 8.0;               // clipped mean no accepted shift comes near
constexpr int kRoughStride = 8;                 // rows between the samples of the quick look, at least
constexpr int kRoughRows = 32;                  // rows the quick look samples, about
constexpr int kMinOverlap = 16;                 // rows both frames must show, at least
constexpr int kNeighbourhood = 2;               // shifts this close to the best are the same match
constexpr int kExactLevels = 2;                 // a sample this close counts as equal
constexpr double kDifferingShare = 0.005;       // of the samples that moved, at most this many may differ
constexpr std::uint64_t kMinEvidence = 64;      // samples that moved, at least
constexpr std::uint64_t kDisturbedRow = 3 * S;  // a row this far from its match moved not with the page
constexpr std::uint64_t kSearchRows = 1 << 18;  // rows the full pass may compare (about 1 ms)
constexpr int kBlockRows = 32;                  // rows compared between checks against the bound
constexpr int kPartlyUsedFrames = 8;            // frames kept whole for less than half their rows

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

bool close(std::uint8_t a, std::uint8_t b)
{
    return std::abs(int(a) - int(b)) <= kExactLevels;
}

// Of one row's samples `a` matched against `b`, counts those that tell (not background in
// both; not a spot that stays at its place on screen: `aSame` and `bSame` are the rows at
// the same screen rows in the other frame) and, of those, the ones that differ.
void tally(const std::uint8_t* a, const std::uint8_t* b, const std::uint8_t* aSame, const std::uint8_t* bSame,
           std::uint8_t bg, std::uint64_t& counted, std::uint64_t& differing)
{
    int s = 0;
#if defined(__SSE2__)
    const __m128i level = _mm_set1_epi8(char(bg));
    const __m128i exact = _mm_set1_epi8(char(kExactLevels));
    auto near = [exact](__m128i x, __m128i y) {
        const __m128i d = _mm_or_si128(_mm_subs_epu8(x, y), _mm_subs_epu8(y, x));
        return _mm_cmpeq_epi8(_mm_min_epu8(d, exact), d);
    };
    for (; s < S; s += 16) {
        const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + s));
        const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + s));
        const __m128i bgA = near(va, level), bgB = near(vb, level), same = near(va, vb);
        const __m128i still = _mm_or_si128(
            _mm_andnot_si128(bgB, near(vb, _mm_loadu_si128(reinterpret_cast<const __m128i*>(aSame + s)))),
            _mm_andnot_si128(bgA, near(va, _mm_loadu_si128(reinterpret_cast<const __m128i*>(bSame + s)))));
        const __m128i skip = _mm_or_si128(_mm_and_si128(bgA, bgB), _mm_andnot_si128(same, still));
        const unsigned skipped = unsigned(_mm_movemask_epi8(skip));
        const unsigned equal = unsigned(_mm_movemask_epi8(same));
        counted += unsigned(std::popcount(~skipped & 0xFFFFu));
        differing += unsigned(std::popcount(~skipped & ~equal & 0xFFFFu));
    }
#endif
    auto isBg = [bg](std::uint8_t v) { return close(v, bg); };
    for (; s < S; ++s) {
        if (isBg(a[s]) && isBg(b[s]))
            continue;
        if (!close(a[s], b[s]) &&
            ((!isBg(b[s]) && close(b[s], aSame[s])) || (!isBg(a[s]) && close(a[s], bSame[s]))))
            continue;
        ++counted;
        differing += !close(a[s], b[s]);
    }
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

// The most common sample value: the page's background.
int backgroundLevel(const StitchSignature& sig)
{
    std::array<int, 256> counts{};
    for (const std::uint8_t v : sig.rows)
        ++counts[v];
    return int(std::max_element(counts.begin(), counts.end()) - counts.begin());
}

}  // namespace

VerticalStitcher::VerticalStitcher(const QImage& first, RowMask unstable)
    : width_(first.width()),
      height_(first.height()),
      format_(isPlain32(first.format()) ? first.format() : QImage::Format_RGB32),
      colorSpace_(first.colorSpace()),
      firstFrame_(first),
      reference_(StitchSignature::of(first)),
      referenceMask_(std::move(unstable))
{
    referenceMask_.resize(std::size_t(std::max(height_, 0)), 0);
    strips_.reset(width_, format_);
}

int VerticalStitcher::fixedRowsFromTop(const StitchSignature& next) const
{
    const int R = height_;
    if (R * 4 < 10)
        return 0;
    const int limit = R * 8 / 10;  // a tall static band above a small scrolling part
    int n = 0;
    while (n < limit && rowsDistance(next.row(n), reference_.row(n), 1) <= kFixedRow)
        ++n;
    return n;
}

int VerticalStitcher::fixedRowsFromBottom(const StitchSignature& next) const
{
    const int R = height_;
    if (R * 4 < 10)
        return 0;
    const int limit = R * 4 / 10;
    int n = 0;
    while (n < limit && rowsDistance(next.row(R - 1 - n), reference_.row(R - 1 - n), 1) <= kFixedRow)
        ++n;
    return n;
}

// Rows at the bottom of the last frame that did not move with the content (a floating
// button, a footer that differs a little, an animation fixed on screen): from the highest
// such row in the lowest 30 % down to the frame's end.
int VerticalStitcher::disturbedBottom(const StitchSignature& next, const RowMask& mask, int dy, int top) const
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
        if (rowsClipped(reference_.row(r), next.row(r - dy), 1) > kDisturbedRow)
            return R - r;
    }
    return 0;
}

// Nothing moved but what is known to change in place.
bool VerticalStitcher::stillApartFromMask(const StitchSignature& next, const RowMask& mask) const
{
    int stable = 0;
    for (int r = 0; r < height_; ++r) {
        if (mask[std::size_t(r)] || referenceMask_[std::size_t(r)])
            continue;
        if (rowsDistance(next.row(r), reference_.row(r), 1) > kFixedRow)
            return false;
        ++stable;
    }
    return stable >= height_ / 3;
}

VerticalStitcher::Outcome VerticalStitcher::add(const QImage& frame, int expectedDy, RowMask mask)
{
    if (frame.isNull() || frame.width() != width_ || frame.height() != height_ || height_ < 1)
        return Outcome::noMatch();
    StitchSignature& next = scratch_;
    StitchSignature::compute(frame, next);
    const int R = height_;
    mask.resize(std::size_t(R), 0);

    // Same picture as before, or the same apart from what changes in place?
    const double sameMean =
        double(rowsDistance(next.row(0), reference_.row(0), std::size_t(R))) / (double(R) * S);
    if (sameMean < kSameMean || stillApartFromMask(next, mask))
        return Outcome::noChange();

    const int top = fixedRowsFromTop(next);
    // Once a step has measured the bottom band, rows that merely look alike at the bottom of
    // two frames (blank margins) stay in the match.
    const int bottom = steps_ == 0 ? fixedRowsFromBottom(next) : bottomBand_;
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

    // The shifts that fit about as well as the best one.
    int bestDy = -1;
    std::vector<int> near;
    for (int d = 0; d <= maxDy; ++d) {
        if (mean[std::size_t(d)] <= best + margin(best))
            near.push_back(d);
        if (mean[std::size_t(d)] == best && bestDy < 0)
            bestDy = d;
    }
    // "No move" fits as well as any move: nothing can be said to have scrolled.
    if (near.front() == 0)
        return Outcome::noChange();
    // A best fit at the end of the searched range may be the near side of a larger step.
    if (bestDy > maxDy - kNeighbourhood)
        return Outcome::noMatch();
    bool ambiguous = near.back() - near.front() > 2 * kNeighbourhood || !unknown.empty();
    for (const int d : near)
        if (d != bestDy && mean[std::size_t(d)] <= best + tie(best))
            ambiguous = true;

    int dy = bestDy;
    if (ambiguous) {
        // Without an expected distance inside the searched range, any pick is a guess.
        if (expectedDy < 1 || expectedDy > maxDy - kNeighbourhood)
            return Outcome::noMatch();
        // The fitting shift nearest the expected distance, clearly nearer than any other
        // fitting shift; then the best one around it.
        int pick = near.front();
        for (const int d : near)
            if (std::abs(d - expectedDy) < std::abs(pick - expectedDy))
                pick = d;
        const int off = std::abs(pick - expectedDy);
        if (off > std::max(8, expectedDy / 8))
            return Outcome::noMatch();
        for (const std::vector<int>* others : {&near, &unknown})
            for (const int d : *others)
                if (std::abs(d - pick) > 2 * kNeighbourhood && std::abs(d - expectedDy) < 2 * off + 2)
                    return Outcome::noMatch();
        for (int d = pick - 2 * kNeighbourhood; d <= pick + 2 * kNeighbourhood; ++d)
            evaluate(d);
        dy = pick;
        for (int d = std::max(1, pick - kNeighbourhood); d <= std::min(maxDy, pick + kNeighbourhood); ++d)
            if (mean[std::size_t(d)] < mean[std::size_t(dy)])
                dy = d;
        // Around the pick the shifts must still be told apart, or the pick is a guess.
        for (int d = std::max(1, dy - kNeighbourhood); d <= std::min(maxDy, dy + kNeighbourhood); ++d)
            if (d != dy && mean[std::size_t(d)] <= mean[std::size_t(dy)] + tie(mean[std::size_t(dy)]))
                return Outcome::noMatch();
    }

    // Apart from the unstable rows, the overlap must be the same content sample for sample,
    // not merely close on average: repeating items whose labels differ fit closely too.
    // Samples of the page's background tell nothing; a sample that shows the same
    // non-background value at the same place in both frames (a floating box) is excused.
    const int bg = backgroundLevel(reference_);
    const int n = usable - dy;
    int compared = 0;
    std::uint64_t counted = 0, differing = 0;
    for (int k = top; k < top + n; ++k) {
        if (mask[std::size_t(k)] || referenceMask_[std::size_t(k + dy)])
            continue;
        ++compared;
        tally(reference_.row(k + dy), next.row(k), reference_.row(k), next.row(k + dy), std::uint8_t(bg),
              counted, differing);
    }
    if (compared < minOverlap / 2 || counted < kMinEvidence ||
        double(differing) > kDifferingShare * double(counted))
        return Outcome::noMatch();

    int band = std::min(R * 4 / 10, std::max(bottom, disturbedBottom(next, mask, dy, top)));
    if (steps_ == 0)
        band = std::min(band, R - dy - top);  // the first frame must reach this frame's content
    int added = 0;
    if (!keepRows(frame, dy, band, top, &added))
        return Outcome::noMatch();

    ++steps_;
    movedRows_ += dy;
    bottomBand_ = band;
    std::swap(reference_, scratch_);
    referenceMask_ = std::move(mask);
    lastDy_ = dy;
    Outcome out = Outcome::appended(dy);
    out.sure = !ambiguous;
    out.newRows = added;
    return out;
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
        return firstFrame_;
    const qint64 total = stitchedHeight();
    if (total > kMaxRows || total < 1)
        return {};
    if (!tail_.isNull() && !strips_.append(tail_, contentEnd_, height_ - contentEnd_))
        return {};
    tail_ = QImage();
    QImage result = strips_.take();
    if (result.isNull() || result.height() != total)
        return {};
    if (colorSpace_.isValid())
        result.setColorSpace(colorSpace_);
    return result;
}

std::size_t VerticalStitcher::retainedBytes() const
{
    return std::size_t(firstFrame_.sizeInBytes()) + std::size_t(tail_.sizeInBytes()) + strips_.bytes();
}

}  // namespace kx
