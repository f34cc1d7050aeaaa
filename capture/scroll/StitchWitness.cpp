#include "capture/scroll/VerticalStitcher.h"
// Rows of the page that more than one frame showed are witnesses of what the page looked like.
// The kept rows remember their signature as their frame showed it; a new frame that shows some
// of them otherwise at the same place of the page shows a part that changed by itself (a photo
// that loaded, an animation, a canvas). Such a part is taken again whole from the newest frame
// that shows it from its top, or, when no frame can, the capture ends before it: the result
// never joins two states of one part, whatever the masks said animates.

#include "capture/scroll/RowDistance.h"
#include "capture/scroll/StitchCheck.h"
#include "capture/scroll/StitcherInternals.h"

#include <algorithm>
#include <cstring>

namespace kx {

using namespace stitch;

namespace {

// unseen: the page is there but cannot be compared (under the pointer, in a band's shadow);
// hidden: something fixed on screen covers the page there.
enum class Witness { agrees, differs, unseen, hidden };

}  // namespace

std::vector<VerticalStitcher::Rows> VerticalStitcher::witness(const StitchSignature& next,
                                                              const RowMask& mask, int dy, int top,
                                                              int bodyEnd, int end,
                                                              const std::vector<Box>& boxes, bool* torn,
                                                              bool* stale) const
{
    *torn = false;
    if (stale)
        *stale = false;
    const int R = height_;
    // Kept row of last-frame row r: before the first step the first frame is all there is.
    const int base = keptBase();
    auto kept = [&](int r) {
        return steps_ == 0 ? reference_.row(r) : keptSignature_.data() + std::size_t(base + r) * S;
    };
    // Under a fixed band at the top the page may lie in its drop shadow, which no other frame
    // shows at that place of the page: those rows witness nothing.
    const int shadowed = top >= kMinShadowBand ? top + kShadowRows : top;
    const std::vector<char> fixed = fixedOnScreen(mask);
    // Rows of this frame kept rows witness end here; past it, where this frame's rows just above
    // lie under the pointer, what the last frame showed below its kept rows (seen, though not
    // kept: a band that was a part of the page) witnesses a part that runs across the seam.
    const int keptLast = std::min({bodyEnd, end - dy, R});
    int lastSeen = keptLast;
    auto state = [&](int k) {
        const int r = k + dy;
        if (k < shadowed)
            return Witness::unseen;
        if (k >= keptLast) {
            if (mask[std::size_t(k)] == kPointer || referenceMask_[std::size_t(r)] == kPointer)
                return Witness::unseen;
            Samples skip;
            for (const Box& b : boxes)
                if ((k >= b.top && k < b.bottom) || (r >= b.top && r < b.bottom))
                    skip.add(Samples::range(b.left, b.right));
            for (int s = 0; s < S; ++s)
                if (!skip.test(s) && !close(next.row(k)[s], reference_.row(r)[s]))
                    return Witness::differs;
            return Witness::agrees;
        }
        // What animates fixed on screen (masked over about these rows in both frames) is not
        // the page; under the pointer's tint it is, but cannot be compared.
        if (fixed[std::size_t(k)])
            return Witness::hidden;
        if (base + r < 0 || mask[std::size_t(k)] == kPointer)
            return Witness::unseen;
        if (steps_ == 0 ? referenceMask_[std::size_t(r)] == kPointer
                        : bool(keptUnderPointer_[std::size_t(base + r)]))
            return Witness::unseen;
        // What floats on screen is not the page either: neither where it floats now nor where it
        // floated in the frame the kept row came from.
        Samples skip;
        for (const Box& b : boxes) {
            if (k >= b.top && k < b.bottom)
                skip.add(Samples::range(b.left, b.right));
            if (steps_ == 0 && r >= b.top && r < b.bottom)
                skip.add(Samples::range(b.left, b.right));
        }
        if (steps_ > 0)
            for (const KeptBox& b : keptBoxes_)
                if (base + r >= b.from && base + r < b.to)
                    skip.add(Samples::range(b.left, b.right));
        const std::uint8_t* a = next.row(k);
        const std::uint8_t* b = kept(r);
        if (!skip.any())
            return rowMaxDifference(a, b) <= kExactLevels ? Witness::agrees : Witness::differs;
        for (int s = 0; s < S; ++s)
            if (!skip.test(s) && !close(a[s], b[s]))
                return Witness::differs;
        return Witness::agrees;
    };
    int bg = -1;  // the page's background, once needed
    auto shows = [&](int k) {
        if (bg < 0)
            bg = groundLevel(reference_);
        return showsBesides(next.row(k), bg);
    };
    std::vector<Rows> out;
    if (steps_ > 0 && keptLast > top && state(keptLast - 1) == Witness::unseen)
        lastSeen = std::min(bodyEnd, R - dy);
    const int last = lastSeen;
    for (int k = top; k < last;) {
        while (k < last && state(k) != Witness::differs)
            ++k;
        if (k >= last)
            break;
        // Its top: rows not compared just above may belong to it, and so may rows that show
        // something and merely look alike in grey (two colours of one level), and changed rows
        // above those (a part found earlier that this one joins): it ends at the page's
        // background.
        int from = k;
        for (Witness w; from > top && ((w = state(from - 1)) == Witness::unseen || w == Witness::differs ||
                                       (w == Witness::agrees && shows(from - 1)));)
            --from;
        // Its foot: where the rows agree again for a while. Rows not compared may belong to it,
        // as at its top; something fixed on screen ends it.
        int to = k + 1, agreeing = 0;
        bool covered = false;
        for (++k; k < last && agreeing < kRegionGap; ++k) {
            const Witness w = state(k);
            if ((covered = w == Witness::hidden))
                break;
            agreeing = w == Witness::agrees ? agreeing + 1 : 0;
            if (w != Witness::agrees)
                to = k + 1;
        }
        const bool intoNew = !covered && agreeing < kRegionGap;  // on into the rows this frame adds
        while (!intoNew && to < last && state(to) == Witness::agrees && shows(to))
            ++to;
        // A few rows around it go with it, but none of what is fixed on screen.
        int above = from, below = intoNew ? last : to;
        while (above > from - kRegionMargin && above > 0 && state(above - 1) != Witness::hidden)
            --above;
        while (!intoNew && below < std::min(last, to + kRegionMargin) && state(below) != Witness::hidden)
            ++below;
        // Next to what is fixed on screen it may go on under it, as a banner masked as such:
        // taken again in part it would be joined from two states. The kept rows, which the
        // last frame agreed with, stay; running into the rows this frame adds, nothing shows
        // it whole.
        if (from >= keptLast)
            continue;  // below every kept row: nothing kept to take again
        const bool nextToHidden = covered || (above > from - kRegionMargin && above > 0) ||
                                  (!intoNew && below < std::min(last, to + kRegionMargin));
        if (nextToHidden) {
            if (intoNew) {
                *torn = true;
                return {};
            }
            continue;
        }
        if (from >= top + kRegionMargin) {
            // This frame shows it from its top: it is taken whole from here, with the rows this
            // frame adds below it.
            out.push_back({above, std::min(below, keptLast)});  // rows past the kept ones are new anyway
        } else if (intoNew) {
            // From above the frame into the rows it adds: no frame shows it whole.
            *torn = true;
            return {};
        } else if (stale && !animating(mask, dy, from, to) &&
                   changedBlock(next, dy, std::max(from, top), to)) {
            // It reaches above the frame, and changed once its rows were kept (a photo that
            // loaded as it scrolled up): the kept rows show it as it was. The view of the last
            // frame, looked at again, shows it whole as it is now.
            *stale = true;
        }
        // Otherwise the kept rows show it in one state (a spinner at the top) and stay.
    }
    return out;
}

bool VerticalStitcher::changedBlock(const StitchSignature& next, int dy, int from, int to) const
{
    // Rows where a run of samples changed, more than a spot (a caret, a sample here and there).
    constexpr int kRows = kRegionGap;
    const int base = keptBase();
    int rows = 0;
    for (int k = std::max(from, 0); k < std::min(to, height_) && rows < kRows; ++k) {
        const int at = base + k + dy;
        if (steps_ == 0 ? k + dy >= height_ : at < 0 || std::size_t(at + 1) * S > keptSignature_.size())
            continue;
        const std::uint8_t* was =
            steps_ == 0 ? reference_.row(k + dy) : keptSignature_.data() + std::size_t(at) * S;
        for (int s = 0, run = 0; s < S; ++s)
            if ((run = close(next.row(k)[s], was[s]) ? 0 : run + 1) == kEdgeLineSamples) {
                ++rows;
                break;
            }
    }
    return rows >= kRows;
}

bool VerticalStitcher::animating(const RowMask& mask, int dy, int from, int to) const
{
    for (int k = std::max(from, 0); k < std::min(to, height_); ++k) {
        const char now = mask[std::size_t(k)];
        const char before = k + dy < height_ ? referenceMask_[std::size_t(k + dy)] : char(0);
        if (now == kAnimated || now == kCarried || before == kAnimated || before == kCarried)
            return true;
    }
    return false;
}

VerticalStitcher::RowMask VerticalStitcher::comparedInReference() const
{
    RowMask out = referenceMask_;
    if (steps_ == 0)
        return out;  // the first frame's rows under the pointer were seen nowhere else
    const int base = strips_.rows() - contentEnd_;
    // Not under a fixed band at the top, nor in its shadow: the kept rows there are the page.
    const int from = topBand_ >= kMinShadowBand ? topBand_ + kShadowRows : topBand_;
    for (int r = std::max(from, -base); r < std::min(contentEnd_, height_); ++r)
        if (out[std::size_t(r)] == kPointer && !keptUnderPointer_[std::size_t(base + r)] &&
            rowMaxDifference(reference_.row(r), keptSignature_.data() + std::size_t(base + r) * S) <=
                kExactLevels)
            out[std::size_t(r)] = 0;
    return out;
}

void VerticalStitcher::retake(const QImage& frame, const StitchSignature& next, const RowMask& mask, int dy,
                              Rows rows)
{
    const int at = keptBase() + rows.from + dy;
    if (rows.to <= rows.from || at < 0)
        return;
    patches_.push_back({frame.copy(0, rows.from, frame.width(), rows.to - rows.from), at});
    std::memcpy(keptSignature_.data() + std::size_t(at) * S, next.row(rows.from),
                std::size_t(rows.to - rows.from) * S);
    for (int r = rows.from; r < rows.to; ++r)
        keptUnderPointer_[std::size_t(at + r - rows.from)] = mask[std::size_t(r)] == kPointer;
}

void VerticalStitcher::refreshInPlace(const QImage& frame, const StitchSignature& next, const RowMask& mask)
{
    if (undo_)
        return;  // a guess, which may be taken back
    if (steps_ == 0) {
        // Nothing is stitched yet: a newer view of the same place replaces the first, once rows
        // the masks leave free show what changed. A view that moved by whole lines of identical
        // rows differs only where the pointer or a box is: it would replace the page's top.
        bool changed = false;
        for (int r = 0; r < height_ && !changed; ++r)
            changed = !mask[std::size_t(r)] && !referenceMask_[std::size_t(r)] &&
                      rowMaxDifference(next.row(r), reference_.row(r)) > kExactLevels;
        if (changed) {
            firstFrame_ = frame;
            for (std::size_t r = 0; r < referenceMask_.size() && r < mask.size(); ++r)
                referenceMask_[r] = referenceMask_[r] ? referenceMask_[r] : mask[r];
            reference_ = next;
        }
        return;
    }
    bool torn = false;
    const std::vector<Rows> retakes =
        witness(next, mask, 0, topBand_, height_ - bottomBand_, contentEnd_, lastBoxes_, &torn, nullptr);
    if (retakes.empty())
        return;
    const QImage source = frame.format() == format_ ? frame : frame.convertToFormat(format_);
    for (const Rows& rows : retakes) {
        retake(source, next, mask, 0, rows);
        const int at = strips_.rows() - contentEnd_ + rows.from;
        refreshedFrom_ = refreshedFrom_ < 0 ? at : std::min(refreshedFrom_, at);
    }
    // The newer view is the last frame from now on.
    tail_ = source;
    reference_ = next;
    for (std::size_t r = 0; r < referenceMask_.size() && r < mask.size(); ++r)
        referenceMask_[r] = referenceMask_[r] ? referenceMask_[r] : mask[r];
}

bool VerticalStitcher::changedInPlaceOnly(const QImage& frame, const RowMask& mask, bool stood)
{
    if (frame.isNull() || frame.width() != width_ || frame.height() != height_ || height_ < 1)
        return false;
    StitchSignature& next = scratch_;
    StitchSignature::compute(frame, next, columns_);
    // The view is the same but for a few blocks of rows, and the rows that stayed show the
    // page, not a blank stretch: a view that moved, even by a row, changes rows all over it.
    // After a step, below a fixed top band the page must show too: a step longer than the part
    // that scrolls changes all of it, and only it.
    const int bg = backgroundLevel(reference_);
    const int bodyFrom = stood ? 0 : topBand_, bodyTo = height_;
    int changed = 0, runs = 0, shown = 0, hidden = 0;
    bool before = false;
    for (int r = 0; r < height_; ++r) {
        const bool masked = mask.size() > std::size_t(r) && mask[std::size_t(r)];
        hidden += masked;
        const bool differs = !masked && referenceMask_[std::size_t(r)] != kPointer &&
                             rowMaxDifference(next.row(r), reference_.row(r)) > kExactLevels;
        changed += differs;
        runs += differs && !before;
        before = differs;
        shown += !differs && !masked && r >= bodyFrom && r < bodyTo && showsBesides(next.row(r), bg);
    }
    // With most of the view masked (a large animation), what is left cannot tell a still view.
    if (changed == 0 || 4 * changed > 3 * height_ || runs > kChangedParts || 8 * shown < bodyTo - bodyFrom ||
        2 * hidden > height_)
        return false;
    const StitchSignature seen = next;
    RowMask m = mask;
    m.resize(std::size_t(height_), 0);
    refreshInPlace(frame, seen, m);
    return true;
}

}  // namespace kx
