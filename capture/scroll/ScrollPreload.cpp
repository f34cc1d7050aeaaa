#include "capture/scroll/ScrollCaptureSession.h"
// Auto mode's pass through the page before it keeps a row: the wheel takes the view down a
// view at a time, with a short look at each, to the end or the height limit, and back to where
// the capture started. Photos that load once they come into view, blurred stand-ins that give
// way to the photo and slots that grow have done so before their rows are taken; whatever
// still changes afterwards goes through the capture's own rules.

#include "capture/scroll/ScrollRowMasks.h"
#include "core/Localisation.h"
#include "platform/XTestScroller.h"

#include <QFutureWatcher>
#include <QHash>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace kx {

using namespace rowmask;

// A row of one colour (a blank stretch): judged by pixel, as a background of (252, 252, 250)
// is no row of one byte.
static bool plainRow(const uchar* row, int columns, int depth)
{
    if (depth == 32) {
        const QRgb* p = reinterpret_cast<const QRgb*>(row);
        return std::all_of(p, p + columns, [p](QRgb c) { return c == p[0]; });
    }
    const std::size_t bytes = std::size_t(columns) * std::size_t(depth / 8);
    return std::all_of(row, row + bytes, [row](uchar v) { return v == row[0]; });
}

// The same view: more than half of its rows that show something (blank rows look alike
// anywhere) exactly as they were. A photo that loaded or a spinner that turned in it changes
// fewer; any move of text changes nearly all. Lines that repeat look the same at many places:
// only the very same pixels tell there.
static bool mostRowsAlike(const QImage& a, const QImage& b)
{
    if (a.size() != b.size() || a.format() != b.format())
        return false;
    if (ScrollCaptureSession::repeatsItself(a))
        return ScrollCaptureSession::identical(a, b);
    const int columns = VerticalStitcher::matchedColumns(a.width());
    const std::size_t bytes = std::size_t(columns) * std::size_t(a.depth() / 8);
    auto plain = [&](const uchar* row) { return plainRow(row, columns, a.depth()); };
    int shown = 0, same = 0;
    for (int y = 0; y < a.height(); ++y) {
        const uchar *ra = a.constScanLine(y), *rb = b.constScanLine(y);
        if (plain(ra) && plain(rb))
            continue;
        ++shown;
        same += std::memcmp(ra, rb, bytes) == 0;
    }
    return 2 * same > shown;
}

bool ScrollCaptureSession::mostlyAlike(const QImage& a, const QImage& b)
{
    return mostRowsAlike(a, b);
}

bool ScrollCaptureSession::scrolledAway(const QImage& before, const QImage& after)
{
    if (before.size() != after.size())
        return true;
    const VerticalStitcher::RowMask changed = changedContent(before, after);
    return count(changed) > 0 && scrolled(before, after, changed);
}

namespace {

constexpr int kPassTries = 4;  // grabs at most at each view on the way down: the page only has to see it
constexpr double kViewShare = 0.85;  // of the view one step of the pass moves, so every row shows once
constexpr int kMaxBlindClicks = 16;  // clicks of a step while nothing has shown what a click moves
constexpr int kReturnFixes = 10;     // corrections of the way back, when it did not land on the start
constexpr int kFirstFrameTries = 4;
constexpr int kLookAgainTries = 4;
constexpr int kReturnTries = 3;  // settling tries, times the usual: a long way back glides a while

// How far `later` shows the content moved up against `earlier` (rows), by the stitcher's own
// match; 0 when that is not sure.
int movedUp(const QImage& earlier, const QImage& later)
{
    if (earlier.isNull() || earlier.size() != later.size())
        return 0;
    VerticalStitcher probe(earlier);
    const VerticalStitcher::Outcome o = probe.add(later);
    return o.kind == VerticalStitcher::Outcome::Kind::appended && o.sure && !o.provisional ? o.dy : 0;
}

}  // namespace

// How many rows `later` shows the content moved up against `earlier`, by rows that are the
// same pixels at one distance (blank rows aside): parts that changed meanwhile (a photo that
// loaded) do not hide it as they would a match of the whole view. 0 when no distance stands
// out clearly.
int ScrollCaptureSession::exactShift(const QImage& earlier, const QImage& later)
{
    if (earlier.isNull() || earlier.size() != later.size())
        return 0;
    const int h = earlier.height();
    const int columns = VerticalStitcher::matchedColumns(earlier.width());
    const std::size_t bytes = std::size_t(columns) * std::size_t(earlier.depth() / 8);
    auto hashes = [&](const QImage& image) {
        std::vector<size_t> out(std::size_t(h), 0);
        for (int y = 0; y < h; ++y) {
            const uchar* row = image.constScanLine(y);
            out[std::size_t(y)] = plainRow(row, columns, image.depth()) ? 0 : qHashBits(row, bytes) | 1;
        }
        return out;
    };
    // Rows vote where they begin something new (a row unlike the one above it; blocks of like
    // rows tell no distance inside them), and only where that edge shows once in the earlier view.
    auto edges = [h](const std::vector<size_t>& rows) {
        std::vector<size_t> out(std::size_t(h), 0);
        for (int y = 1; y < h; ++y)
            if (rows[std::size_t(y)] != rows[std::size_t(y - 1)])
                out[std::size_t(y)] = qHashMulti(0, rows[std::size_t(y - 1)], rows[std::size_t(y)]) | 1;
        return out;
    };
    const std::vector<size_t> a = edges(hashes(earlier)), b = edges(hashes(later));
    QHash<size_t, int> where;
    for (int y = 0; y < h; ++y)
        if (a[std::size_t(y)])
            where[a[std::size_t(y)]] = where.contains(a[std::size_t(y)]) ? -1 : y;
    std::vector<int> votes(std::size_t(h), 0);
    for (int r = 0; r < h; ++r) {
        const int y = b[std::size_t(r)] ? where.value(b[std::size_t(r)], -1) : -1;
        if (y > r)
            ++votes[std::size_t(y - r)];
    }
    const auto best = std::max_element(votes.begin() + 1, votes.end());
    const int d = int(best - votes.begin());
    int second = 0;
    for (int e = 1; e < h; ++e)
        if (std::abs(e - d) > 2)
            second = std::max(second, votes[std::size_t(e)]);
    return *best >= 4 && *best >= 2 * second ? d : 0;
}

// Whether the content moved between two views: most rows changed, or most rows that show
// something (fixed bands and blank stretches change under no move), or the rows that changed
// are rows of the first moved by one distance.
bool ScrollCaptureSession::contentMoved(const QImage& before, const QImage& after)
{
    if (before.size() != after.size())
        return true;
    const VerticalStitcher::RowMask changed = changedContent(before, after);
    const int n = count(changed);
    return n > 0 &&
           (2 * n > before.height() || !mostRowsAlike(before, after) || scrolled(before, after, changed));
}

// Rows fixed on screen (bands, blank stretches) look alike whatever moved under them: the
// same view also shows no distance that its text moved.
bool ScrollCaptureSession::sameView(const QImage& a, const QImage& b)
{
    return mostRowsAlike(a, b) && !scrolledAway(a, b) && exactShift(a, b) == 0 && exactShift(b, a) == 0;
}

void ScrollCaptureSession::trace(const char* format, ...)
{
    static const bool on = qEnvironmentVariableIsSet("KAPTORIX_LOG_SCROLL");
    if (!on)
        return;
    va_list args;
    va_start(args, format);
    std::fputs("scroll: ", stderr);
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
    va_end(args);
}

void ScrollCaptureSession::wheel(int clicks)
{
    lastClicks_ = std::abs(clicks);
    if (!env_.scroller || screenGone_ || clicks == 0)
        return;
    if (const std::optional<QPoint> at = wheelPoint()) {
        const bool sent = env_.scroller->scroll(*at, clicks);
        trace("wheel %d at %d,%d: %s", clicks, at->x(), at->y(), sent ? "sent" : "not sent");
    }
}

// Grabs until two in a row are alike, at most `tries` times; learns nothing from them (what
// animates is learnt on the capture's own views).
void ScrollCaptureSession::passFrame(int tries, FrameHandler handler, int minTries)
{
    auto seen = std::make_shared<int>(0);
    auto last = std::make_shared<std::optional<QImage>>();
    auto left = std::make_shared<int>(tries);
    auto next = std::make_shared<std::function<void()>>();
    *next = [this, last, left, next, handler, seen, minTries] {
        grab([this, last, left, next, handler, seen, minTries](std::optional<QImage> frame,
                                                               std::optional<CaptureError> error) {
            const bool still = ++*seen >= minTries && frame && *last && identical(**last, *frame);
            if (frame)
                *last = std::move(frame);
            if (still || --*left <= 0) {
                *next = nullptr;
                passStill_ = still;
                handler(*last, *last ? std::nullopt : error);
                return;
            }
            after(env_.settleMs, *next);
        });
    };
    after(env_.settleFirstMs, *next);
}

void ScrollCaptureSession::preloadStep()
{
    if (finished_ || !model_.autoScroll() || screenGone_) {
        preloadReturn();
        return;
    }
    if (!chooseWheelPoint()) {
        // Nothing under the selection takes the wheel: the capture itself says so.
        preload_ = Preload::done;
        step();
        return;
    }
    if (preloadView_.isNull())
        preloadView_ = lastAccepted_;
    int clicks = std::min(kMaxBlindClicks, 1 << std::min(preloadSteps_, 4));
    if (passPointsPerClick_ > 0)
        clicks = std::max(1, int(kViewShare * rect_.height() / passPointsPerClick_));
    ++preloadSteps_;
    wheel(clicks);
    preloadClicks_ += clicks;
    passFrame(kPassTries, [this, clicks](std::optional<QImage> frame, std::optional<CaptureError>) {
        if (!frame) {
            preloadReturn();
            return;
        }
        preloadLooked(*frame, clicks);
    });
}

void ScrollCaptureSession::preloadLooked(const QImage& frame, int clicks)
{
    // Only two still views show how far a step went (a smooth scroll may still be under way).
    const bool still = passStill_ && preloadViewStill_;
    if (passPointsPerClick_ > 0 || !still) {
        preloadSeen(frame, clicks, 0);
        return;
    }
    // What a click moves is learnt on the way: matched off the GUI thread.
    auto* watcher = new QFutureWatcher<int>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, frame, clicks] {
        const int dy = watcher->result();
        watcher->deleteLater();
        preloadSeen(frame, clicks, dy);
    });
    watcher->setFuture(QtConcurrent::run([before = preloadView_, frame] { return movedUp(before, frame); }));
}

void ScrollCaptureSession::preloadSeen(const QImage& frame, int clicks, int dy)
{
    const double scale = screen_ ? screen_->devicePixelRatio() : 1.0;
    if (dy > 0 && passPointsPerClick_ <= 0)
        passPointsPerClick_ = dy / scale / clicks;
    const bool moves = contentMoved(preloadView_, frame);
    trace("pass step %d: %d clicks, moved %d (%d rows changed), %d rows measured, still %d", preloadSteps_,
          clicks, int(moves), count(changedContent(preloadView_, frame)), dy, int(passStill_));
    if (!moves && !preloadLookedAgain_) {
        // A busy application may not have begun the step yet: looked at longer before it
        // counts as the end, or the way back would take the view below the start.
        preloadLookedAgain_ = true;
        passFrame(
            kLookAgainTries + env_.settleTries,
            [this, clicks](std::optional<QImage> again, std::optional<CaptureError>) {
                if (!again) {
                    preloadReturn();
                    return;
                }
                preloadLooked(*again, clicks);
            },
            kLookAgainTries);
        return;
    }
    preloadLookedAgain_ = false;
    if (moves) {
        preloadMovedFrom_ = preloadView_;
        preloadMovedClicks_ = clicks;
    }
    preloadView_ = frame;
    preloadViewStill_ = passStill_;
    if (moves) {
        preloadMoved_ = true;
        preloadStill_ = 0;
        preloadRows_ += dy > 0 ? dy : std::lround(clicks * std::max(passPointsPerClick_, 1.0) * scale);
    } else {
        preloadStill_ += clicks;
    }
    const int viewRows = std::max(1, frame.height());
    const int maxSteps = maxHeight_ / std::max(1, int(kViewShare * viewRows) / 2) + 8;
    // The end: a step that moved nothing (or too little to tell).
    if (!moves || preloadRows_ + viewRows >= maxHeight_ || preloadSteps_ >= maxSteps) {
        preloadReturn();
        return;
    }
    preloadStep();
}

void ScrollCaptureSession::preloadReturn()
{
    if (preload_ != Preload::running)
        return;
    preload_ = Preload::done;
    // Clicks sent after the content stopped at its end moved nothing: sent back, they would
    // take the view above the start.
    // When nothing was seen to move, all of them go back: above the start is safe, below it
    // would lose rows.
    int back = preloadMoved_ ? preloadClicks_ - preloadStill_ : preloadClicks_;
    const double scale = screen_ ? screen_->devicePixelRatio() : 1.0;
    if (preloadMoved_ && passPointsPerClick_ > 0) {
        // The step that met the end moved only part of its way: its clicks beyond that moved
        // nothing either. Whole clicks only, so the view lands at the start or a little above.
        const double rowsPerClick = passPointsPerClick_ * scale;
        const int dy = exactShift(preloadMovedFrom_, preloadView_);
        if (dy > 0)
            back -= std::clamp(int(std::floor((preloadMovedClicks_ * rowsPerClick - dy) / rowsPerClick)), 0,
                               preloadMovedClicks_ - 1);
    }
    wheel(-back);
    trace("pass back: %d clicks of %d", back, preloadClicks_);
    auto fixes = std::make_shared<int>(0);
    auto previous = std::make_shared<QImage>();  // the view before the last look further up
    auto startSeen = std::make_shared<bool>(false);
    auto landed = std::make_shared<std::function<void(std::optional<QImage>, std::optional<CaptureError>)>>();
    *landed = [this, fixes, previous, startSeen, landed, scale](std::optional<QImage> frame,
                                                                std::optional<CaptureError>) {
        if (!frame || cancelled_ || screenGone_) {
            *landed = nullptr;
            step();
            return;
        }
        const QImage start = lastAccepted_;
        // Each comparison once: they read every row of both views, on the GUI thread.
        const int below = exactShift(start, *frame), above = exactShift(*frame, start);
        const bool same =
            below == 0 && above == 0 && mostRowsAlike(start, *frame) && !scrolledAway(start, *frame);
        trace("back (try %d): same %d, below %d, above %d", *fixes, int(same), below, above);
        // Once the start was in sight, it is not looked for further up.
        *startSeen = *startSeen || below > 0 || above > 0;
        const double rowsPerClick = std::max(passPointsPerClick_, 1.0) * scale;
        // Less than a click below the start is as close as the wheel comes: the capture's first
        // step reaches past it from there.
        if (!same && below > 0 && below < rowsPerClick) {
            *landed = nullptr;
            preloadBack(*frame, false);
            return;
        }
        if (!same && (*fixes)++ < kReturnFixes) {
            // Further below the start, rows the first step needs would be out of reach; above
            // it, the first steps would show nothing past the start: the wheel takes the view
            // back by what the match shows, up onto the start (the top of a page stops it there)
            // or just above it, then down onto it or just below it.
            if (below > 0) {
                wheel(-std::max(1, int(std::ceil(below / rowsPerClick))));
                settledFrame(kFirstFrameTries, *landed, kReturnTries * env_.settleTries);
                return;
            }
            if (above > 0) {
                wheel(std::max(1, int(std::ceil(above / rowsPerClick))));
                settledFrame(kFirstFrameTries, *landed, kReturnTries * env_.settleTries);
                return;
            }
            // Nothing the start showed is in sight: a long way back may have paused on its way
            // (smooth scrolling), so the view is looked at once more; still nothing, and the
            // view lies below the start by more than a match reaches (clicks the pass counted as
            // lost at the end did move, or the application dropped some of the way back): most
            // of a view further up at a time, until the start is in sight or the view no longer
            // moves (the top).
            const bool stuck = !previous->isNull() && identical(*previous, *frame);
            if (above == 0 && !stuck) {
                if (*fixes > 1 && passPointsPerClick_ > 0 && !*startSeen) {
                    *previous = *frame;
                    wheel(-std::max(1, int(kViewShare * rect_.height() / passPointsPerClick_)));
                }
                settledFrame(kFirstFrameTries, *landed, kReturnTries * env_.settleTries);
                return;
            }
        }
        *landed = nullptr;
        preloadBack(*frame, same);
    };
    settledFrame(kFirstFrameTries, *landed, kReturnTries * env_.settleTries);
}

void ScrollCaptureSession::preloadBack(const QImage& frame, bool atStart)
{
    if (model_.autoScroll())
        model_.setStatus(kx::tr("Auto-scrolling…", "Automatikus görgetés…", "Automatisches Scrollen…"));
    // At the start only when nothing in the view moved: views that merely look alike (fixed
    // bands around blank rows) or lie a little off must not stand in for it.
    trace("pass over: at the start %d, steps kept %d", int(atStart),
          stitcher_ ? stitcher_->acceptedSteps() : -1);
    if (!stitcher_ || stitcher_->acceptedSteps() > 0 || !atStart) {
        // Anywhere else the frame kept at the start still holds: the next step matches against it.
        step();
        return;
    }
    // Nothing kept yet: the first frame is taken again with the parts that changed at their
    // place meanwhile (a photo in the first view that loaded), but for the rows around the
    // pointer, where the wheel left a hover tint the first frame did not have.
    QImage first = lastAccepted_.copy();
    VerticalStitcher::RowMask pointer = pointerRows(frame.height());
    const VerticalStitcher::RowMask changed = changedContent(lastAccepted_, frame);
    const int rowBytes = frame.width() * frame.depth() / 8;
    forEachRun(changed, [&](int from, int to) {
        for (int r = from; r < to; ++r)
            if (pointer[std::size_t(r)])
                return;
        for (int r = from; r < to; ++r)
            std::memcpy(first.scanLine(r), frame.constScanLine(r), std::size_t(rowBytes));
    });
    // Rows that changed in place while the page was away may change again (a banner that
    // pulses): the first step is matched beside them.
    VerticalStitcher::RowMask unstable = withPointer(withPointer(unstable_, changed), pointer);
    unstable_.clear();
    // The capture starts afresh there: what it learns of animations it learns on its own
    // looks, not on the pass's hurried ones.
    fixedAnimation_.clear();
    sightings_.clear();
    record(StitchCall::Kind::first, first, 0, unstable);
    stitcher_ = std::make_shared<VerticalStitcher>(first, std::move(unstable));
    firstFrame_ = lastAccepted_ = lastGrab_ = previousGrab_ = first;
    confirmedHeight_ = first.height();
    model_.setHeight(first.height());
    step();
}

}  // namespace kx
