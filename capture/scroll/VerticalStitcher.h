#pragma once
// Joins the frames of a scrolling capture into one tall image. Each settled frame is
// matched against the last accepted one on grey-level signatures, over every shift, by the
// mean of a clipped per-sample distance over the rows both frames show; a shift is taken
// only where the rows agree sample for sample. Rows that stay put (a sticky header or
// footer) and boxes that float at one place on screen near the bottom are left out of the
// matching and appear once, at the end of the result; spots that change in place (a hover
// tint, an animation) are masked. A frame that fits no shift, or several shifts exactly
// (repeating content), is refused rather than guessed, unless the caller's expected
// distance picks one of them: such a step is provisional and is taken back when the content
// does not move on after it. A narrow strip at the right edge, where an overlay scroll
// bar's thumb runs against the content, is left out of the match and, once seen moving so,
// out of the result. Only the rows the result is made of are kept; a frame that gives many
// of its rows is kept whole until finish() instead of copied while matching.

#include "capture/scroll/StitchSignature.h"
#include "capture/scroll/StripStore.h"

#include <QColorSpace>
#include <QImage>
#include <functional>
#include <memory>
#include <vector>

namespace kx {

namespace stitch {
struct CheckBuffers;
}

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
        // Only for `appended`: the pixels fit several shifts exactly and the expected
        // distance chose; the step holds only if the content moves on after it.
        bool provisional = false;
        // Only for `noChange`: the part of the frame that scrolls shows nothing to match
        // (a blank stretch), so "no change" says nothing about the page's end.
        bool blank = false;
        // Only for `noMatch`: the frame fits, but a part of the page changed at its place and
        // runs from above the frame into the rows it would add: no frame shows it whole.
        bool changing = false;
        // Only for `noMatch`, when the caller can look back: the frame fits, but a part of the
        // page that runs above it changed since its rows were kept (a photo that loaded late).
        // The last frame's view, looked at again and added, takes it again whole.
        bool stale = false;
        // Only for `noMatch` with `changing`, when the caller cannot look back: what changed
        // is a part that runs above the frame and changed once its rows were kept (a photo
        // that loaded late), not one that keeps changing.
        bool changedAbove = false;
        // For `appended` and `noChange`: the first row of the result taken again from this frame
        // (a part that changed since it was kept); -1 when none was.
        int retakenFrom = -1;

        static Outcome appended(int dy) { return {Kind::appended, dy}; }
        static Outcome noChange() { return {Kind::noChange}; }
        static Outcome noMatch() { return {Kind::noMatch}; }
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
    // Set by the stitcher: animated rows of the frame before, where the content took them.
    static constexpr char kCarried = 3;
    // Rows that changed at their place while the view stood (a photo that loaded or faded in)
    // and then stood still: the frame shows them as they now are, but they may change again
    // (a pulse seen at one of its ends), so they stay out of the match as animated rows do.
    // Nothing is known to animate there.
    static constexpr char kSettled = 4;

    explicit VerticalStitcher(const QImage& first, RowMask unstable = {});
    ~VerticalStitcher();

    // `expectedDy` (0: none) is how far the caller thinks the content moved; it only
    // decides between shifts that fit about equally well.
    Outcome add(const QImage& frame, int expectedDy = 0, RowMask unstable = {});

    // `frame` shows the view where the last accepted frame was (the wheel went back after a
    // miss): the few rows that differ from it changed in place, an animation whose turns no
    // settled pair of grabs saw. They are masked in that frame from now on. False (nothing
    // masked) when the frame is not that view with a few rows changed.
    bool maskAnimationIn(const QImage& frame);
    // Rows set in `rows` animate at their place on screen: masked in the last accepted frame too.
    void maskAnimated(const RowMask& rows);
    // Whether the caller can scroll back to the last frame's view (auto mode): then a step is
    // refused while a part of the page above the frame is kept as it was before it changed.
    void setLookBack(bool can) { lookBack_ = can; }

    // The result ends after `rows` rows at most.
    void cutAt(int rows) { cut_ = cut_ > 0 ? std::min(cut_, rows) : rows; }
    // Whether the last accepted step is provisional, and taking it back (the state is then
    // as before that step). False when there is none.
    bool lastStepProvisional() const { return undo_ != nullptr; }
    bool dropProvisionalStep();

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
    // Columns at the right edge left out of the result (an overlay scroll bar seen moving).
    int rightCut() const { return rightCut_; }
    // Columns whose signature the match uses; the rest is the strip a scroll bar may use.
    static int matchedColumns(int width);
    // Pixel memory held for the result (the first frame, the kept strips, the bottom band).
    std::size_t retainedBytes() const;

    // Rows [top, bottom) and samples [left, right] of a frame where a box floats.
    struct Box {
        int top, bottom, left, right;
    };

private:
    // The kept row that row 0 of the last frame is (the first frame's rows before any step).
    int keptBase() const { return steps_ == 0 ? 0 : strips_.rows() - contentEnd_; }
    struct Fit {
        bool exact = false;
        int compared = 0;
        std::uint64_t counted = 0, differing = 0;
    };
    struct Snapshot;
    // Rows from the top of signature `rows` whose ground is the level of the first one's, when
    // that is not the page's background `bg` (a header bar); at most kTopLineRows.
    static int barRows(const std::vector<std::uint8_t>& rows, int bg);
    // Whether the last frame shows a bar of `bar` rows on the ground of `next`'s top row lower
    // down: a header that stuck to the top edge of `next` once the page scrolled.
    bool barBelow(const StitchSignature& next, int bar) const;
    // Ends the result above the part of the page that row `row` of the last frame shows.
    void cutAbove(int row);
    // Whether most of what `box` shows of `next` is as the last frame shows it there.
    bool sameInPlace(const StitchSignature& next, const Box& box, int bg) const;
    // Whether shift `dy` fits sample for sample over rows [top, top + n) of `next`, at
    // least `need` of them compared, the last frame's rows outside `refMask`; `boxes`
    // (optional) gets what floats in place.
    Fit check(const StitchSignature& next, const RowMask& mask, const RowMask& refMask, int dy, int top,
              int n, int bg, int need, std::vector<Box>* boxes) const;
    // The last frame's mask as the match uses it: rows under the pointer that show the page as
    // a frame without the pointer there showed it (no hover tint on them) are compared too.
    RowMask comparedInReference() const;
    std::function<bool(int, int, int)> stays(const StitchSignature& next, int bg) const;
    void stillBoxes(const StitchSignature& next, const RowMask& mask, int dy, int top, int bg,
                    std::vector<Box>& boxes) const;
    void unseenBoxes(const StitchSignature& next, const RowMask& mask, int dy, int top, int bg,
                     std::vector<Box>& boxes) const;
    bool blank(const StitchSignature& next, const RowMask& mask) const;
    bool scrollBarMoves(const StitchSignature& next, const RowMask& mask, const std::vector<Box>& boxes,
                        int dy, int top, int n) const;
    // Every way `add` looks at a frame, in turn, until one fits.
    Outcome matchAnyWay(const QImage& frame, int expectedDy, const RowMask& mask);
    // `add` once, with the rows a fixed band's shadow may cover (0: none) and at least `edge`
    // rows at the bottom (`edgeTop` at the top) left out of the match; `stuck`: the rows of a
    // bar at the top edge that the last frame does not show there.
    Outcome match(const QImage& frame, int expectedDy, RowMask mask, int shadow, int edge = 0,
                  int edgeTop = 0, bool stuck = false);
    // Rows that stayed put at the top (bottom), and `shadow` more below (above) them.
    int fixedRowsFromTop(const StitchSignature& next, int shadow) const;
    int fixedRowsFromBottom(const StitchSignature& next, int shadow) const;
    // Whether rows [from, to) of `next` (outside `mask` and `boxes`) repeat with some period.
    bool repeating(const StitchSignature& next, const RowMask& mask, const std::vector<Box>& boxes, int from,
                   int to) const;
    // Whether a row among [from, to) changed, yet shows a stretch of samples (not the
    // background `bg`) as it was at its place: a bar whose text changes.
    bool edgeLineInPlace(const StitchSignature& next, int from, int to, int bg) const;
    // The same against the first frame's top rows (`firstTop`).
    bool edgeLineInPlace(const StitchSignature& next, int from, int to, int bg,
                         const std::vector<std::uint8_t>& firstTop) const;
    // Whether every row among the first `rows` that changed did so in place: some of its samples
    // are neither as they were there nor the content that moved up by `dy`.
    bool changedInPlace(const StitchSignature& next, int rows, int dy) const;
    // Rows at the bottom (top) edge that stay or change in place while the content moves by
    // `dy`; `beforeContent` (optional) tells whether they end where the moved content shows.
    int changingEdge(const StitchSignature& next, const RowMask& mask, int dy, bool atTop,
                     bool* beforeContent = nullptr) const;
    int disturbedBottom(const StitchSignature& next, const RowMask& mask, int dy, int top,
                        const std::vector<Box>& boxes) const;
    bool stillApartFromMask(const StitchSignature& next, const RowMask& mask) const;
    // Rows masked as animating in `mask` and in the last frame's mask where the two masked runs
    // cover about the same rows of the view: something animating fixed on screen. A part of the
    // page that animates (a canvas) moves with it, and is masked at other rows in each frame.
    std::vector<char> fixedOnScreen(const RowMask& mask) const;
    // Rows said to animate at one place in both frames whose picture moved up by `dy` with the
    // page instead (two banners of the page that passed the same place on screen): the last
    // frame's mask with them marked as animating on the page; empty when there are none.
    RowMask movedWithThePage(const StitchSignature& next, const RowMask& mask, int dy) const;
    // Rows [from, to) of a frame.
    struct Rows {
        int from, to;
    };
    bool keepRows(const QImage& frame, const RowMask& mask, const std::vector<Box>& boxes, int dy, int band,
                  int top, const std::vector<Rows>& retakes, int* added);
    // Every page row that the kept rows and `next` both show is a witness: where they disagree
    // (rows [top, bodyEnd) of `next` against the kept rows above `end` of the last frame), that
    // part of the page changed at its place. The parts of `next` to take again, each shown from
    // its top; a part that runs from above `next` down into the rows it adds cannot be taken
    // whole from any frame: `torn`.
    // A part that runs above `next` and changed since its rows were kept, not seen animating,
    // makes `stale` (when given) true.
    std::vector<Rows> witness(const StitchSignature& next, const RowMask& mask, int dy, int top, int bodyEnd,
                              int end, const std::vector<Box>& boxes, bool* torn, bool* stale) const;
    // Whether rows [from, to) of `next`, or where they were in the last frame, were seen animating.
    bool animating(const RowMask& mask, int dy, int from, int to) const;
    // Whether rows [from, to) of `next` show a block of samples changed against the kept rows.
    bool changedBlock(const StitchSignature& next, int dy, int from, int to) const;
    // Rows [from, to) of `frame` (`next` its signature) replace the kept rows that show the same
    // part of the page, last-frame rows shifted by `dy`.
    void retake(const QImage& frame, const StitchSignature& next, const RowMask& mask, int dy, Rows rows);
    // `frame` shows the view of the last accepted frame: parts of the page that changed at
    // their place since are taken again from it.
    void refreshInPlace(const QImage& frame, const StitchSignature& next, const RowMask& mask);
    // Whether `frame` shows the last frame's view with only a few blocks of rows changed (a
    // photo that loaded): if so they are taken again from it. Unless the view is known to have
    // stood still (`stood`), the part below a fixed top band must show the page too.
    bool changedInPlaceOnly(const QImage& frame, const RowMask& mask, bool stood);

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
    int columns_ = 0;     // matchedColumns(width_)
    int topBand_ = 0;     // fixed rows at the top at the last accepted step
    int topLine_ = 0;     // rows of a line at the top that changes in place: drawn from the last frame
    static constexpr int kTopLineRows = 160;
    std::vector<std::uint8_t> firstTop_;  // signature of the first frame's top rows
    int rightCut_ = 0;
    bool lookBack_ = false;
    int cut_ = 0;
    int refreshedFrom_ = -1;   // the first kept row the view looked at again took anew; -1: none  // rows
                               // finish() keeps at most (0: all): the image ends above a stale part
    bool lookedBack_ = false;  // a step was refused for a stale part since the last one taken
    // Of every kept row: its signature as its frame showed it, whether the pointer's rows
    // covered it there, and the samples a box floated over (rows [from, to) of the kept rows).
    struct KeptBox {
        int from, to, left, right;
    };
    std::vector<std::uint8_t> keptSignature_;
    std::vector<char> keptUnderPointer_;
    std::vector<KeptBox> keptBoxes_;
    std::vector<Box> lastBoxes_;  // what floated at the last accepted step, on screen
    // Kept rows taken again, drawn over the result in order by finish().
    struct Patch {
        QImage rows;
        int at;
    };
    std::vector<Patch> patches_;
    std::unique_ptr<Snapshot> undo_;                         // the state before a provisional step
    mutable std::unique_ptr<stitch::CheckBuffers> buffers_;  // reused by every check
};

}  // namespace kx
