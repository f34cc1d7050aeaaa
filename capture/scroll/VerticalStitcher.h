#pragma once
// Joins the frames of a scrolling capture into one tall image. Each settled frame is
// matched against the last accepted one on grey-level signatures; rows that stay put
// (a sticky header or footer) are left out of the matching and appear once in the result.
// Only the rows the result is made of are kept, not the frames.

#include "capture/scroll/StitchSignature.h"
#include "capture/scroll/StripStore.h"

#include <QColorSpace>
#include <QImage>

namespace kx {

class VerticalStitcher {
public:
    struct Outcome {
        enum class Kind { appended, noChange, noMatch };
        Kind kind = Kind::noMatch;
        int dy = 0;  // rows the content moved up; only for `appended`

        static Outcome appended(int dy) { return {Kind::appended, dy}; }
        static Outcome noChange() { return {Kind::noChange, 0}; }
        static Outcome noMatch() { return {Kind::noMatch, 0}; }
        bool operator==(const Outcome&) const = default;
    };

    // The tallest result finish() makes.
    static constexpr int kMaxRows = 60000;

    explicit VerticalStitcher(const QImage& first);

    Outcome add(const QImage& frame);

    // The stitched image; null when it would be taller than kMaxRows or cannot be made.
    // Hands the kept rows over: call it once, at the end.
    QImage finish();

    int width() const { return width_; }
    int height() const { return height_; }
    int acceptedSteps() const { return steps_; }
    // height() plus every accepted dy: the height finish() will give.
    qint64 stitchedHeight() const { return height_ + movedRows_; }
    int bottomStatic() const { return bottomStatic_; }
    int lastDy() const { return lastDy_; }
    // Pixel memory held for the result (the first frame, the kept strips, the bottom band).
    std::size_t retainedBytes() const;

private:
    int fixedRowsFromTop(const StitchSignature& next) const;
    int fixedRowsFromBottom(const StitchSignature& next) const;
    bool keepStrip(const QImage& frame, int dy);

    int width_ = 0;
    int height_ = 0;
    QImage::Format format_ = QImage::Format_RGB32;
    QColorSpace colorSpace_;
    QImage firstFrame_;  // whole, until the first step fixes which of its rows are used
    QImage bottomBand_;  // fixed bottom rows of the last accepted frame
    StitchSignature reference_;
    StripStore strips_;
    int steps_ = 0;
    qint64 movedRows_ = 0;
    int bottomStatic_ = 0;
    bool staticKnown_ = false;
    int lastDy_ = 0;
};

}  // namespace kx
