#pragma once
// Joins the frames of a scrolling capture into one tall image. Each settled frame is
// matched against the last accepted one on grey-level signatures, over every shift, by the
// mean of a clipped per-sample distance over the rows both frames show. Rows that stay put
// (a sticky header or footer, a floating box near the bottom) are left out of the matching
// and appear once in the result; spots that change in place (a hover tint, an animation)
// weigh little in the match thanks to the clipping. A frame that fits no shift clearly, or
// several shifts equally (repeating content) without an expected distance to choose by, is
// refused rather than guessed. Only the rows the result is made of are kept; a frame that
// gives many of its rows is kept whole until finish() instead of copied while matching.

#include "capture/scroll/StitchSignature.h"
#include "capture/scroll/StripStore.h"

#include <QColorSpace>
#include <QImage>
#include <vector>

namespace kx {

class VerticalStitcher {
public:
    struct Outcome {
        enum class Kind { appended, noChange, noMatch };
        Kind kind = Kind::noMatch;
        int dy = 0;  // rows the content moved up; only for `appended`
        // Only for `appended`: false when several shifts fitted and the expected distance
        // chose among them (such a step must not calibrate the wheel).
        bool sure = true;
        int newRows = 0;  // rows this step added to the result

        static Outcome appended(int dy) { return {Kind::appended, dy, true, 0}; }
        static Outcome noChange() { return {Kind::noChange, 0, true, 0}; }
        static Outcome noMatch() { return {Kind::noMatch, 0, true, 0}; }
        bool operator==(const Outcome& o) const { return kind == o.kind && dy == o.dy; }
    };

    // The tallest result finish() makes.
    static constexpr int kMaxRows = 60000;

    // Rows of a frame left out of the match in both frames of a pair, one entry per pixel
    // row (empty: none): rows that changed while the screen was meant to be still, and the
    // rows around the pointer, where a hover highlight may sit. Rows animated at the same
    // place in two frames near the bottom join the bottom band, so they are drawn once.
    using RowMask = std::vector<char>;
    static constexpr char kAnimated = 1;
    static constexpr char kPointer = 2;

    explicit VerticalStitcher(const QImage& first, RowMask unstable = {});

    // `expectedDy` (0: none) is how far the caller thinks the content moved; it only
    // decides between shifts that fit about equally well.
    Outcome add(const QImage& frame, int expectedDy = 0, RowMask unstable = {});

    // The stitched image; null when it would be taller than kMaxRows or cannot be made.
    // Hands the kept rows over: call it once, at the end.
    QImage finish();

    int width() const { return width_; }
    int height() const { return height_; }
    int acceptedSteps() const { return steps_; }
    // height() plus every accepted dy: the height finish() will give.
    qint64 stitchedHeight() const { return height_ + movedRows_; }
    // Rows at the bottom of the frame kept out of the result's body (drawn once at the end).
    int bottomStatic() const { return bottomBand_; }
    int lastDy() const { return lastDy_; }
    // Pixel memory held for the result (the first frame, the kept strips, the bottom band).
    std::size_t retainedBytes() const;

private:
    int fixedRowsFromTop(const StitchSignature& next) const;
    int fixedRowsFromBottom(const StitchSignature& next) const;
    int disturbedBottom(const StitchSignature& next, const RowMask& mask, int dy, int top) const;
    bool stillApartFromMask(const StitchSignature& next, const RowMask& mask) const;
    bool keepRows(const QImage& frame, int dy, int band, int top, int* added);

    int width_ = 0;
    int height_ = 0;
    QImage::Format format_ = QImage::Format_RGB32;
    QColorSpace colorSpace_;
    QImage firstFrame_;  // whole, until the first step fixes which of its rows are used
    QImage tail_;        // the last accepted frame: its rows below contentEnd_ end the result
    StitchSignature reference_;
    RowMask referenceMask_;
    StitchSignature scratch_;  // the frame being matched; its memory is reused
    StripStore strips_;
    int steps_ = 0;
    qint64 movedRows_ = 0;
    int bottomBand_ = 0;
    int contentEnd_ = 0;  // row of the last accepted frame where the kept rows end
    int lastDy_ = 0;
    int partlyUsed_ = 0;  // frames kept whole that give less than half their rows
};

}  // namespace kx
