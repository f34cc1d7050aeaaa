#include "capture/scroll/StitchCheck.h"

#include <algorithm>
#include <array>
#include <memory>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kx {

namespace {

constexpr double kDifferingShare = 0.005;  // of the samples that moved, at most this many may differ
constexpr int kStillSamples = 3;           // neighbouring samples floating in place that mark a row
constexpr int kStillRun = 16;              // rows in a row that make a floating box
constexpr int kBoxMargin = 2;              // rows around a floating box (edges, rounding)
constexpr int kEdgeLevels = 6;             // the scroll-bar strip differs by more than this
constexpr int kMaxSpots = 2;               // places where an exact match may differ
constexpr int kSpotGap = 8;                // rows between two such places, more than
constexpr int kEdgeRows = 8;               // rows of the strip moving against the content

}  // namespace

namespace stitch {

#if defined(__SSE2__)
namespace {

// Per byte 0xFF where |x - y| <= kExactLevels.
inline __m128i near(__m128i x, __m128i y)
{
    const __m128i d = _mm_or_si128(_mm_subs_epu8(x, y), _mm_subs_epu8(y, x));
    return _mm_cmpeq_epi8(_mm_min_epu8(d, _mm_set1_epi8(char(kExactLevels))), d);
}

inline __m128i load(const std::uint8_t* p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// The 16 flags of a byte mask at samples [s, s + 16).
inline void put(Samples& flags, int s, __m128i m)
{
    (s < 64 ? flags.lo : flags.hi) |= std::uint64_t(unsigned(_mm_movemask_epi8(m))) << (s & 63);
}

}  // namespace
#endif

RowFlags compareRowScalar(const std::uint8_t* a, const std::uint8_t* b, const std::uint8_t* aSame,
                          const std::uint8_t* bSame, std::uint8_t bg)
{
    RowFlags f;
    for (int s = 0; s < S; ++s) {
        const bool bgA = close(a[s], bg), bgB = close(b[s], bg);
        if (bgA && bgB)
            continue;
        f.tell.set(s);
        if (close(a[s], b[s]))
            continue;
        f.differ.set(s);
        if (!bgA && close(a[s], bSame[s]))
            f.stillA.set(s);
        if (!bgB && close(b[s], aSame[s]))
            f.stillB.set(s);
    }
    return f;
}

RowFlags compareRow(const std::uint8_t* a, const std::uint8_t* b, const std::uint8_t* aSame,
                    const std::uint8_t* bSame, std::uint8_t bg)
{
#if defined(__SSE2__)
    RowFlags f;
    const __m128i level = _mm_set1_epi8(char(bg));
    for (int s = 0; s < S; s += 16) {
        const __m128i va = load(a + s), vb = load(b + s);
        const __m128i bgA = near(va, level), bgB = near(vb, level), same = near(va, vb);
        const __m128i tell = _mm_andnot_si128(_mm_and_si128(bgA, bgB), _mm_set1_epi8(-1));
        const __m128i differ = _mm_andnot_si128(same, tell);
        put(f.tell, s, tell);
        put(f.differ, s, differ);
        put(f.stillA, s, _mm_and_si128(_mm_andnot_si128(bgA, differ), near(va, load(bSame + s))));
        put(f.stillB, s, _mm_and_si128(_mm_andnot_si128(bgB, differ), near(vb, load(aSame + s))));
    }
    return f;
#else
    return compareRowScalar(a, b, aSame, bSame, bg);
#endif
}

Samples stillInPlaceScalar(const std::uint8_t* b, const std::uint8_t* aSame, const std::uint8_t* aMoved,
                           std::uint8_t bg)
{
    Samples flags;
    for (int s = 0; s < S; ++s)
        if (!close(b[s], bg) && close(b[s], aSame[s]) && !close(b[s], aMoved[s]))
            flags.set(s);
    return flags;
}

Samples stillInPlace(const std::uint8_t* b, const std::uint8_t* aSame, const std::uint8_t* aMoved,
                     std::uint8_t bg)
{
#if defined(__SSE2__)
    Samples flags;
    const __m128i level = _mm_set1_epi8(char(bg));
    for (int s = 0; s < S; s += 16) {
        const __m128i vb = load(b + s);
        const __m128i moved = _mm_or_si128(near(vb, level), near(vb, load(aMoved + s)));
        put(flags, s, _mm_andnot_si128(moved, near(vb, load(aSame + s))));
    }
    return flags;
#else
    return stillInPlaceScalar(b, aSame, aMoved, bg);
#endif
}

// Blocks of rows with samples flagged as staying in place, taller than a line of text. A
// box's inside matches itself at a shift smaller than the box, so its rows may be flagged
// only in parts: parts over the same samples are one box when every row between them
// `stays` (shows those samples as they were at its place). Each box then goes on over
// the rows next to it that stay (rows masked in one frame hide part of a box from the
// match). Rows [top, bottom) and samples [left, right], with a margin.
std::vector<VerticalStitcher::Box> boxesOf(const std::vector<Samples>& flags,
                                           const std::function<bool(int, int, int)>& stays)
{
    const int R = int(flags.size());
    std::vector<VerticalStitcher::Box> parts;
    for (int r = 0; r < R;) {
        if (!flags[std::size_t(r)].block(kStillSamples)) {
            ++r;
            continue;
        }
        const int from = r;
        Samples c;
        for (; r < R && flags[std::size_t(r)].block(kStillSamples); ++r)
            c.add(flags[std::size_t(r)]);
        VerticalStitcher::Box part{from, r, c.first(), c.last()};
        if (!parts.empty()) {
            VerticalStitcher::Box& last = parts.back();
            bool joined = part.left <= last.right && part.right >= last.left;
            const int left = std::min(last.left, part.left), right = std::max(last.right, part.right);
            for (int g = last.bottom; joined && g < from; ++g)
                joined = stays(g, left, right);
            if (joined) {
                last = {last.top, r, left, right};
                continue;
            }
        }
        parts.push_back(part);
    }
    std::vector<VerticalStitcher::Box> boxes;
    for (VerticalStitcher::Box p : parts) {
        while (p.top > 0 && stays(p.top - 1, p.left, p.right))
            --p.top;
        while (p.bottom < R && stays(p.bottom, p.left, p.right))
            ++p.bottom;
        if (p.bottom - p.top >= kStillRun)
            boxes.push_back({std::max(0, p.top - kBoxMargin), std::min(R, p.bottom + kBoxMargin),
                             std::max(0, p.left - 1), std::min(S - 1, p.right + 1)});
    }
    return boxes;
}

// The most common sample value: the page's background.
int backgroundLevel(const StitchSignature& sig)
{
    // Four tables, so that runs of equal samples do not wait on one counter.
    std::array<std::array<int, 256>, 4> counts{};
    const std::size_t n = sig.rows.size();
    const std::uint8_t* v = sig.rows.data();
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        ++counts[0][v[i]];
        ++counts[1][v[i + 1]];
        ++counts[2][v[i + 2]];
        ++counts[3][v[i + 3]];
    }
    for (; i < n; ++i)
        ++counts[0][v[i]];
    for (int k = 0; k < 256; ++k)
        counts[0][std::size_t(k)] +=
            counts[1][std::size_t(k)] + counts[2][std::size_t(k)] + counts[3][std::size_t(k)];
    return int(std::max_element(counts[0].begin(), counts[0].end()) - counts[0].begin());
}

int groundLevel(const StitchSignature& sig)
{
    // The level of the rows that are one level all across (the gaps between lines): a large
    // placeholder or photo may cover more samples than the page's own ground.
    std::array<int, 256> flat{};
    std::size_t flatRows = 0;
    const std::size_t rows = sig.rows.size() / S;
    for (std::size_t r = 0; r < rows; ++r) {
        const std::uint8_t* row = sig.rows.data() + r * S;
        const auto [low, high] = std::minmax_element(row, row + S);
        if (*high - *low <= kExactLevels) {
            ++flat[row[0]];
            ++flatRows;
        }
    }
    if (flatRows > 0 && flatRows * 20 >= rows)
        return int(std::max_element(flat.begin(), flat.end()) - flat.begin());
    return backgroundLevel(sig);
}

}  // namespace stitch

using namespace stitch;

VerticalStitcher::Fit VerticalStitcher::check(const StitchSignature& next, const RowMask& mask,
                                              const RowMask& refMask, int dy, int top, int n, int bg,
                                              int need, std::vector<Box>* boxes) const
{
    // Apart from the unstable rows, the overlap must be the same content sample for sample,
    // not merely close on average: repeating items whose labels differ fit closely too.
    // Samples of the page's background tell nothing. A box that floats at one place on
    // screen (the same non-background samples at the same place in both frames, in a block
    // of rows taller than a line of text) is left out, with a sample around it.
    Fit fit;
    const int R = height_;
    if (dy < 0 || n <= 0 || top + n + dy > R)
        return fit;
    // Even if every sample counted, this many differing ones would fail: stop there.
    const double most = kDifferingShare * double(n) * S;
    if (!buffers_)
        buffers_ = std::make_unique<CheckBuffers>();
    std::vector<Samples>& inPlace = buffers_->inPlace;
    std::vector<Samples>& tell = buffers_->tell;
    std::vector<Samples>& differ = buffers_->differ;
    inPlace.assign(std::size_t(R), Samples{});
    tell.resize(std::size_t(R));
    differ.resize(std::size_t(R));
    // One pass gives both answers: the samples that differ with the in-place ones excused,
    // and, kept per row, the strict comparison the second look needs.
    std::uint64_t excusedDiffering = 0;
    for (int k = top; k < top + n; ++k) {
        if (mask[std::size_t(k)] || refMask[std::size_t(k + dy)])
            continue;
        const RowFlags f = compareRow(reference_.row(k + dy), next.row(k), reference_.row(k),
                                      next.row(k + dy), std::uint8_t(bg));
        inPlace[std::size_t(k + dy)].add(f.stillA);
        inPlace[std::size_t(k)].add(f.stillB);
        tell[std::size_t(k)] = f.tell;
        differ[std::size_t(k)] = f.differ;
        Samples excused = f.stillA;
        excused.add(f.stillB);
        // Inside a box, samples as light as the page's background stay unflagged while the
        // content behind them shows through the other frame: the box's span is excused here
        // (the strict look below leaves out whole boxes anyway).
        if (excused.block(kStillSamples))
            excused.add(Samples::range(excused.first(), excused.last()));
        excusedDiffering += std::uint64_t(f.differ.without(excused).count());
        if (double(excusedDiffering) > most)
            return fit;
    }
    std::vector<Box> found = boxesOf(inPlace, stays(next, bg));

    // Again, strictly, without the boxes. What differs at the right shift is a spot or two
    // (a caret, something animating that settling missed); at a wrong one over repeating
    // lines that differ in a number, it is a little in every line.
    int spots = 0, lastBad = -2 * kSpotGap;
    for (int k = top; k < top + n; ++k) {
        if (mask[std::size_t(k)] || refMask[std::size_t(k + dy)])
            continue;
        ++fit.compared;
        Samples t = tell[std::size_t(k)], d = differ[std::size_t(k)];
        for (const Box& box : found)
            if ((k >= box.top && k < box.bottom) || (k + dy >= box.top && k + dy < box.bottom)) {
                t.clear(box.left, box.right);
                d.clear(box.left, box.right);
            }
        fit.counted += std::uint64_t(t.count());
        if (d.any()) {
            fit.differing += std::uint64_t(d.count());
            spots += k - lastBad > kSpotGap;
            lastBad = k;
            if (spots > kMaxSpots)
                return fit;
        }
    }
    fit.exact = fit.compared >= need && fit.counted >= kMinEvidence &&
                double(fit.differing) <= kDifferingShare * double(fit.counted);
    if (boxes) {
        *boxes = std::move(found);
    }
    return fit;
}

// Whether row `r` shows samples [left, right] of the frame as they were at their place.
std::function<bool(int, int, int)> VerticalStitcher::stays(const StitchSignature& next, int bg) const
{
    return [this, &next, bg](int r, int left, int right) {
        for (int s = left, run = 0; s <= right; ++s) {
            const bool same =
                !close(next.row(r)[s], std::uint8_t(bg)) && close(next.row(r)[s], reference_.row(r)[s]);
            if ((run = same ? run + 1 : 0) >= kStillSamples)
                return true;
        }
        return false;
    };
}

// Boxes the match may not have seen (a step larger than the rows between them and the
// frame's end): blocks of rows whose samples stay as they are at their place on screen,
// where the content moved (it shows other samples there), outside the masked rows.
void VerticalStitcher::stillBoxes(const StitchSignature& next, const RowMask& mask, int dy, int top, int bg,
                                  std::vector<Box>& boxes) const
{
    const int R = height_;
    if (!buffers_)
        buffers_ = std::make_unique<CheckBuffers>();
    std::vector<Samples>& flags = buffers_->still;
    flags.assign(std::size_t(R), Samples{});
    // Only where this frame shows where the content went: repeating rows stay as they were
    // at their place too.
    for (int r = top; r + dy < R; ++r)
        if (!mask[std::size_t(r)] && !referenceMask_[std::size_t(r + dy)])
            flags[std::size_t(r)] =
                stillInPlace(next.row(r), reference_.row(r), reference_.row(r + dy), std::uint8_t(bg));
    for (const Box& box : boxesOf(flags, stays(next, bg)))
        boxes.push_back(box);
}

// Boxes in the rows a step larger than the rows below them brings in: there the content
// the last frame showed is out of sight, so a box tells itself only by staying exactly as
// it was at its place (dark content merely close to what was there is not), in columns
// that do not stay put over the rows both frames show (a fixed column beside the content,
// which the match took as content, is no box).
void VerticalStitcher::unseenBoxes(const StitchSignature& next, const RowMask& mask, int dy, int top, int bg,
                                   std::vector<Box>& boxes) const
{
    const int R = height_;
    const int from = std::max(top, R - dy);
    if (from >= R)
        return;
    Samples fixed = Samples::range(0, S - 1);
    for (int r = top; r < from && fixed.any(); ++r)
        if (!mask[std::size_t(r)] && !referenceMask_[std::size_t(r)])
            for (int s = 0; s < S; ++s)
                if (fixed.test(s) && !close(next.row(r)[s], reference_.row(r)[s]))
                    fixed.clear(s, s);
    if (!buffers_)
        buffers_ = std::make_unique<CheckBuffers>();
    std::vector<Samples>& flags = buffers_->still;
    flags.assign(std::size_t(R), Samples{});
    for (int r = from; r < R; ++r) {
        if (mask[std::size_t(r)] || referenceMask_[std::size_t(r)])
            continue;
        Samples same;
        for (int s = 0; s < S; ++s)
            if (!close(next.row(r)[s], std::uint8_t(bg)) && next.row(r)[s] == reference_.row(r)[s])
                same.set(s);
        flags[std::size_t(r)] = same.without(fixed);
    }
    // A box is the same at its place all over: of what was found, the columns that are
    // (rows repeating at another period than the step's agree only here and there).
    // Only over those rows: above them the match has seen what floats.
    const std::function<bool(int, int, int)> still = stays(next, bg);
    for (Box box : boxesOf(flags, [&](int r, int l, int rt) { return r >= from && still(r, l, rt); })) {
        Samples whole;
        for (int s = box.left; s <= box.right; ++s) {
            int shown = 0, same = 0;
            for (int r = box.top + kBoxMargin; r < box.bottom - kBoxMargin; ++r) {
                const std::uint8_t a = next.row(r)[s], b = reference_.row(r)[s];
                if (close(a, std::uint8_t(bg)) && close(b, std::uint8_t(bg)))
                    continue;
                ++shown;
                same += a == b;
            }
            if (shown > 0 && 10 * same >= 9 * shown)
                whole.set(s);
        }
        if (!whole.block(kStillSamples))
            continue;
        box.left = std::max(0, whole.first() - 1);
        box.right = std::min(S - 1, whole.last() + 1);
        // Items that repeat down the page (icons of a list) meet their like at the same place
        // now and then; a box that floats is not also part of the content above it.
        int alike = 0, rows = 0;
        for (int r = box.top + kBoxMargin; r < box.bottom - kBoxMargin; ++r, ++rows)
            for (int o = top; o < from; ++o) {
                bool same = true;
                for (int s = whole.first(); s <= whole.last() && same; ++s)
                    same = close(next.row(o)[s], next.row(r)[s]);
                if (same) {
                    ++alike;
                    break;
                }
            }
        if (2 * alike < rows)
            boxes.push_back(box);
    }
}

// Whether the rows that scroll show nothing to match (but the page's background).
bool VerticalStitcher::blank(const StitchSignature& next, const RowMask& mask) const
{
    const int bg = backgroundLevel(reference_);
    std::uint64_t marks = 0;
    for (int r = topBand_; r < height_ - bottomBand_; ++r) {
        if (mask[std::size_t(r)])
            continue;
        for (int s = 0; s < S; ++s)
            marks += !close(next.row(r)[s], std::uint8_t(bg));
        if (marks >= kMinEvidence)
            return false;
    }
    return true;
}

// The strip at the right edge changes in rows where the content matched: neither with the
// content nor at its place, as a scroll bar's thumb does.
bool VerticalStitcher::scrollBarMoves(const StitchSignature& next, const RowMask& mask,
                                      const std::vector<Box>& boxes, int dy, int top, int n) const
{
    if (next.edge.size() != std::size_t(height_) || reference_.edge.size() != std::size_t(height_))
        return false;
    int rows = 0;
    for (int k = top; k < top + n && k + dy < height_; ++k) {
        // Not where a box floats: its edge would look the same.
        if (mask[std::size_t(k)] || referenceMask_[std::size_t(k + dy)] ||
            std::any_of(boxes.begin(), boxes.end(),
                        [&](const Box& b) { return b.bottom > k && b.top <= k + dy; }))
            continue;
        const int e = next.edge[std::size_t(k)];
        rows += std::abs(e - reference_.edge[std::size_t(k + dy)]) > kEdgeLevels &&
                std::abs(e - reference_.edge[std::size_t(k)]) > kEdgeLevels;
    }
    return rows >= kEdgeRows;
}

}  // namespace kx
