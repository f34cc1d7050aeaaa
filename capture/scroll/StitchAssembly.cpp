#include "capture/scroll/VerticalStitcher.h"
// The rows the result is made of: kept as steps are accepted, taken back with a provisional
// step, and assembled once at the end.

#include "capture/scroll/StitcherInternals.h"

#include <algorithm>
#include <cstring>

namespace kx {

using namespace stitch;

// The kept rows end at contentEnd_ of the last frame, which is row contentEnd_ - dy of this
// one; what lies between there and this frame's bottom band is new. Kept rows from row
// `retake` of the last frame on are taken again from this one.
bool VerticalStitcher::keepRows(const QImage& frame, int dy, int band, int top, int retake, int* added)
{
    const int body = height_ - band;
    const QImage source = frame.format() == format_ ? frame : frame.convertToFormat(format_);
    const int before = strips_.rows();
    int end = contentEnd_;
    if (steps_ == 0) {
        // The first frame's rows are copied when the result is made, not while the user waits.
        const QImage first =
            firstFrame_.format() == format_ ? firstFrame_ : firstFrame_.convertToFormat(format_);
        end = std::min(body, retake);
        if (!strips_.appendLater(first, 0, end))
            return false;
    } else if (retake < end) {
        // Rows kept from `retake` on have changed since: this frame's take their place.
        strips_.truncate(strips_.rows() - (end - retake));
        end = retake;
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
    *added = strips_.rows() - before - (steps_ == 0 ? std::min(body, retake) : 0);
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
    // A line at the top that changes in place shows as the last frame has it.
    for (int r = 0; r < topLine_ && !tail_.isNull(); ++r)
        std::memcpy(result.scanLine(r), tail_.constScanLine(r), std::size_t(result.bytesPerLine()));
    tail_ = QImage();
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
