#include "capture/scroll/VerticalStitcher.h"
// The rows the result is made of: kept as steps are accepted, taken back with a provisional
// step, and assembled once at the end.

#include "capture/scroll/StitchCheck.h"
#include "capture/scroll/StitcherInternals.h"

#include <algorithm>
#include <cstring>

namespace kx {

using namespace stitch;

// The kept rows end at contentEnd_ of the last frame, which is row contentEnd_ - dy of this
// one; what lies between there and this frame's bottom band is new. The parts in `retakes`
// are taken again from this frame.
bool VerticalStitcher::keepRows(const QImage& frame, const RowMask& mask, const std::vector<Box>& boxes,
                                int dy, int band, int top, const std::vector<Rows>& retakes, int* added)
{
    const int body = height_ - band;
    const QImage source = frame.format() == format_ ? frame : frame.convertToFormat(format_);
    const int before = strips_.rows();
    int end = contentEnd_;
    auto markBoxes = [&](int at, int from, int to) {  // rows [from, to) of a frame kept from row `at`
        for (const Box& b : boxes)
            if (std::max(b.top, from) < std::min(b.bottom, to))
                keptBoxes_.push_back(
                    {at + std::max(b.top, from) - from, at + std::min(b.bottom, to) - from, b.left, b.right});
    };
    // Above `top` this frame shows its fixed band: a step that far leaves a gap.
    if ((steps_ == 0 ? body : end) - dy < top)
        return false;
    if (steps_ == 0) {
        // The first frame's rows are copied when the result is made, not while the user waits.
        const QImage first =
            firstFrame_.format() == format_ ? firstFrame_ : firstFrame_.convertToFormat(format_);
        end = body;
        if (!strips_.appendLater(first, 0, end))
            return false;
        keptSignature_.assign(reference_.row(0), reference_.row(0) + std::size_t(end) * S);
        keptUnderPointer_.assign(std::size_t(end), 0);
        for (int r = 0; r < end; ++r)
            keptUnderPointer_[std::size_t(r)] = referenceMask_[std::size_t(r)] == kPointer;
        markBoxes(0, 0, end);
    } else {
        // What floats now floated at the same place of the last frame, whose rows are kept.
        markBoxes(strips_.rows() - contentEnd_, 0, contentEnd_);
    }
    for (const Rows& rows : retakes)
        retake(source, scratch_, mask, dy, rows);
    const int from = end - dy;
    // Fresh memory costs a page fault per 4 KiB: copying more than a sixth of a 4K frame
    // costs more than the matching. A frame that gives that many rows is kept whole and its
    // rows copied at the end; one that gives less than half of itself only a few times, so
    // that the memory held stays within twice the result and a few frames.
    const int count = body - from;
    const bool later = 6 * count >= height_ && (2 * count >= height_ || partlyUsed_ < kPartlyUsedFrames);
    if (body > from &&
        !(later ? strips_.appendLater(source, from, count) : strips_.append(source, from, count))) {
        if (steps_ == 0)
            strips_.reset(width_, format_);
        keptSignature_.resize(std::size_t(strips_.rows()) * S);
        keptUnderPointer_.resize(std::size_t(strips_.rows()));
        return false;
    }
    if (body > from) {
        keptSignature_.insert(keptSignature_.end(), scratch_.row(from), scratch_.row(body));
        for (int r = from; r < body; ++r)
            keptUnderPointer_.push_back(mask[std::size_t(r)] == kPointer);
        markBoxes(strips_.rows() - count, from, body);
    }
    lastBoxes_ = boxes;
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
    QImage result = strips_.take();
    if (result.isNull() || result.height() != total)
        return {};
    // Parts of the page taken again, each whole from one frame.
    for (const Patch& p : patches_)
        for (int r = 0; r < p.rows.height() && p.at + r < result.height(); ++r)
            std::memcpy(result.scanLine(p.at + r), p.rows.constScanLine(r),
                        std::size_t(result.bytesPerLine()));
    patches_.clear();
    // A line at the top that changes in place shows as the last frame has it.
    for (int r = 0; r < topLine_ && !tail_.isNull(); ++r)
        std::memcpy(result.scanLine(r), tail_.constScanLine(r), std::size_t(result.bytesPerLine()));
    tail_ = QImage();
    if (cut_ > 0 && cut_ < result.height())
        result = result.copy(0, 0, result.width(), cut_);
    if (rightCut_ > 0)
        result = result.copy(0, 0, width_ - rightCut_, result.height());
    if (colorSpace_.isValid())
        result.setColorSpace(colorSpace_);
    return result;
}

void VerticalStitcher::cutAbove(int row)
{
    // Row `row` of the last frame among the kept rows, then up to the page's ground above the
    // part it belongs to.
    const int base = keptBase();
    int k = std::min(base + row, int(keptSignature_.size() / S));
    const int bg = groundLevel(reference_);
    while (k > 0 && showsBesides(keptSignature_.data() + std::size_t(k - 1) * S, bg))
        --k;
    cut_ = cut_ > 0 ? std::min(cut_, k) : k;
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
    keptSignature_.resize(std::size_t(u.stripRows) * S);
    keptUnderPointer_.resize(std::size_t(u.stripRows));
    keptBoxes_.resize(std::min(keptBoxes_.size(), u.keptBoxes));
    patches_.resize(std::min(patches_.size(), u.patches));
    lastBoxes_ = std::move(u.lastBoxes);
    topBand_ = u.topBand;
    topLine_ = u.topLine;
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
