#include "capture/scroll/ScrollCaptureSession.h"
// Where the session's frames come from and go: grabs, settling until the view stands still
// (or only an animation keeps changing), the comparisons of whole frames, and the hand-over
// to the stitcher off the GUI thread.

#include "capture/scroll/ScrollRowMasks.h"

#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <cstring>
#include <vector>

namespace kx {

using namespace rowmask;

bool ScrollCaptureSession::identical(const QImage& a, const QImage& b)
{
    if (a.isNull() || b.isNull() || a.size() != b.size() || a.format() != b.format() ||
        a.bytesPerLine() != b.bytesPerLine())
        return false;
    const qsizetype rowBytes = qsizetype(a.width()) * a.depth() / 8;
    for (int y = 0; y < a.height(); ++y)
        if (std::memcmp(a.constScanLine(y), b.constScanLine(y), size_t(rowBytes)) != 0)
            return false;
    return true;
}

VerticalStitcher::RowMask ScrollCaptureSession::differingRows(const QImage& a, const QImage& b, int columns)
{
    VerticalStitcher::RowMask rows(std::size_t(std::max(a.height(), 0)), 1);
    if (a.size() != b.size() || a.format() != b.format())
        return rows;
    const int width = columns < 0 ? a.width() : std::min(columns, a.width());
    const qsizetype rowBytes = qsizetype(width) * a.depth() / 8;
    for (int y = 0; y < a.height(); ++y)
        rows[std::size_t(y)] = std::memcmp(a.constScanLine(y), b.constScanLine(y), size_t(rowBytes)) != 0;
    return rows;
}

VerticalStitcher::RowMask ScrollCaptureSession::changedContent(const QImage& a, const QImage& b)
{
    return differingRows(a, b, VerticalStitcher::matchedColumns(a.width()));
}

bool ScrollCaptureSession::repeatsItself(const QImage& frame)
{
    const int h = frame.height();
    if (h < 8)
        return false;
    const qsizetype rowBytes = qsizetype(frame.width()) * frame.depth() / 8;
    std::vector<size_t> rows(std::size_t(h), 0);
    for (int y = 0; y < h; ++y)
        rows[std::size_t(y)] = qHashBits(frame.constScanLine(y), size_t(rowBytes));
    // A stretch of at least half the frame in which every row equals the one `period` rows
    // below, and which is not one flat colour (a blank stretch says nothing about repeats).
    for (int period = 1; period <= h / 4; ++period) {
        int run = 0, start = 0;
        bool varied = false;
        for (int r = 0; r + period < h; ++r) {
            if (rows[std::size_t(r)] != rows[std::size_t(r + period)]) {
                run = 0;
                continue;
            }
            if (run++ == 0) {
                start = r;
                varied = false;
            }
            varied = varied || rows[std::size_t(r)] != rows[std::size_t(start)];
            if (varied && run + period >= h / 2)
                return true;
        }
    }
    return false;
}

struct ScrollCaptureSession::Settling {
    std::optional<QImage> previous;
    std::optional<CaptureError> error;
    int tries = 0;
    int minTries = 0;                      // grabs to look at, at least, for what animates
    int maxTries = 0;                      // grabs at most
    VerticalStitcher::RowMask lastChange;  // rows that differed between the last two grabs
    VerticalStitcher::RowMask seen;        // every row that changed in place since the scroll stopped
    FrameHandler handler;
};

void ScrollCaptureSession::grab(FrameHandler handler)
{
    // Kaptorix's own windows (border, HUD, a closing overlay) are kept out by the grab itself.
    Captured<ScreenGrab> shot =
        env_.grab ? env_.grab(screen_, rect_) : Captured<ScreenGrab>(CaptureError::failed(QString()));
    if (shot)
        handler(shot->image, std::nullopt);
    else
        handler(std::nullopt, shot.error());
}

void ScrollCaptureSession::settledFrame(FrameHandler handler)
{
    settledFrame(0, std::move(handler));
}

void ScrollCaptureSession::settledFrame(int minTries, FrameHandler handler, int maxTries)
{
    auto s = std::make_shared<Settling>();
    s->minTries = minTries;
    s->maxTries = maxTries > 0 ? maxTries : env_.settleTries;
    s->handler = std::move(handler);
    after(env_.settleFirstMs, [this, s] {
        grab([this, s](std::optional<QImage> frame, std::optional<CaptureError> error) {
            s->previous = std::move(frame);
            s->error = std::move(error);
            settleTry(s);
        });
    });
}

// Settled when two grabs in a row are identical, or when only the same few rows keep
// changing (an animation): those rows go to the stitcher as unstable, together with the
// rows around the pointer.
void ScrollCaptureSession::settleTry(std::shared_ptr<Settling> s)
{
    auto finish = [this, s](VerticalStitcher::RowMask changed) {
        // Rows seen changing in place at the same place on screen by two settlings, showing the
        // same picture there, animate there on screen (a pulsing banner): they stay masked, also
        // when a settling happens to see them still (the ends of a pulse). Two photos that faded
        // in where steps ended show two pictures. Only small parts count: one taller than a
        // quarter of the view (a canvas, a video) is on the page and moves with it, and would
        // soon mask the whole view.
        if (s->previous) {
            changed.resize(std::size_t(s->previous->height()), 0);
            sight(*s->previous, smallParts(changed, int(changed.size()) / kAnimationSpan));
        }
        if (fixedAnimation_.size() == changed.size()) {
            for (std::size_t r = 0; r < changed.size(); ++r)
                if (fixedAnimation_[r])
                    changed[r] = VerticalStitcher::kAnimated;
            if (stitcher_) {
                record(StitchCall::Kind::maskAnimated, {}, 0, fixedAnimation_);
                stitcher_->maskAnimated(fixedAnimation_);
            }
        }
        if (s->previous)
            changed = withPointer(std::move(changed), pointerRows(s->previous->height()));
        unstable_ = std::move(changed);
        s->handler(s->previous, s->previous ? std::nullopt : s->error);
    };
    // Every row seen changing in place joins the mask, not only the last pair's: a spinner
    // changes other rows from one grab to the next. Once the view stood still, those rows are
    // as the frame shows them (`mark` kSettled) and only stay out of the match.
    auto withSeen = [s](VerticalStitcher::RowMask mask, char mark = VerticalStitcher::kAnimated) {
        if (s->seen.empty())
            return mask;
        VerticalStitcher::RowMask seen = s->seen;
        widen(seen, kSpread);
        mask.resize(seen.size(), 0);
        for (std::size_t r = 0; r < seen.size(); ++r)
            mask[r] = mask[r] ? mask[r] : seen[r] ? mark : char(0);
        return mask;
    };
    if (s->tries >= s->maxTries) {
        widen(s->lastChange, kSpread);
        finish(withSeen(s->lastChange));
        return;
    }
    after(env_.settleMs, [this, s, finish, withSeen] {
        grab([this, s, finish, withSeen](std::optional<QImage> frame, std::optional<CaptureError> error) {
            ++s->tries;
            if (!frame) {
                s->error = std::move(error);
                settleTry(s);
                return;
            }
            if (!s->previous) {
                s->previous = std::move(frame);
                settleTry(s);
                return;
            }
            VerticalStitcher::RowMask changed = changedContent(*s->previous, *frame);
            const int n = count(changed);
            // Still scrolling: what changed moved as a whole. However many rows changed: a
            // canvas taller than half the view redrawn in place is no move. Nor is a pair that
            // changed just the rows the still pair before did, however much its picture looks
            // moved (a canvas whose colours cycle through its stripes).
            const bool again = sameRows(s->lastChange, changed);
            const bool moving = n > 0 && !again && scrolled(*s->previous, *frame, changed);
            s->previous = std::move(frame);
            if (moving) {
                s->seen.clear();
            } else if (n > 0) {
                s->seen.resize(changed.size(), 0);
                for (std::size_t r = 0; r < changed.size(); ++r)
                    s->seen[r] = s->seen[r] || changed[r];
            }
            const bool looked = s->tries >= s->minTries;
            if (n == 0 && looked) {
                finish(withSeen({}, VerticalStitcher::kSettled));
                return;
            }
            // The same rows changed again, and not most of the frame: an animation in place, or
            // a photo loading or fading in. The view is looked at again until it stands still
            // (then every row of it is as two grabs showed it); only an animation already known
            // to stay at its place on screen, or one that outlasts the tries, is taken as it is.
            if (std::optional<VerticalStitcher::RowMask> animated =
                    moving ? std::nullopt : inPlace(s->lastChange, changed);
                animated && looked && knownAnimation(changed)) {
                finish(withSeen(std::move(*animated)));
                return;
            }
            // Rows the view's own glide changed are no animation: an animation in place is
            // the same rows changing in two still pairs in a row.
            if (moving)
                s->lastChange.clear();
            else if (n > 0)
                s->lastChange = std::move(changed);
            settleTry(s);
        });
    });
}

void ScrollCaptureSession::sight(const QImage& frame, const VerticalStitcher::RowMask& sighted)
{
    constexpr int kMinRows = 4;        // rows two sightings must share
    constexpr std::size_t kKept = 16;  // sightings remembered
    std::vector<Sighting> now;
    forEachRun(sighted, [&](int from, int r) {
        for (const Sighting& before : sightings_) {
            const int a = std::max(from, before.from), b = std::min(r, before.from + before.rows.height());
            if (b - a < kMinRows || before.rows.width() != frame.width() ||
                !samePicture(frame.copy(0, a, frame.width(), b - a),
                             before.rows.copy(0, a - before.from, frame.width(), b - a)))
                continue;
            fixedAnimation_.resize(sighted.size(), 0);
            std::fill(fixedAnimation_.begin() + a, fixedAnimation_.begin() + b, char(1));
        }
        now.push_back({from, frame.copy(0, from, frame.width(), r - from)});
    });
    sightings_.insert(sightings_.end(), now.begin(), now.end());
    if (sightings_.size() > kKept)
        sightings_.erase(sightings_.begin(), sightings_.end() - std::ptrdiff_t(kKept));
}

bool ScrollCaptureSession::knownAnimation(const VerticalStitcher::RowMask& changed) const
{
    if (fixedAnimation_.size() != changed.size())
        return false;
    VerticalStitcher::RowMask known = fixedAnimation_;
    widen(known, kSpread);
    for (std::size_t r = 0; r < changed.size(); ++r)
        if (changed[r] && !known[r])
            return false;
    return true;
}

void ScrollCaptureSession::add(const QImage& frame, int expectedDy,
                               std::function<void(VerticalStitcher::Outcome)> handler, bool settled)
{
    if (!stitcher_) {
        handler(VerticalStitcher::Outcome::noMatch());
        return;
    }
    auto* watcher = new QFutureWatcher<VerticalStitcher::Outcome>(this);
    lastGrab_ = frame;
    const qint64 before = stitcher_->stitchedHeight();
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, handler, frame, settled, before] {
        const VerticalStitcher::Outcome outcome = watcher->result();
        watcher->deleteLater();
        // A still view whose changed parts (photos that faded in) were taken again is the
        // image's last view as much as the last step's.
        if (outcome.kind == VerticalStitcher::Outcome::Kind::appended || outcome.retakenFrom >= 0)
            lastAccepted_ = frame;
        if (outcome.kind == VerticalStitcher::Outcome::Kind::appended) {
            model_.setFrames(stitcher_->acceptedSteps() + 1);
            model_.setHeight(int(stitcher_->stitchedHeight()));
        }
        // Rows two grabs showed alike: a settled frame's (its last two grabs), or, of a single
        // grab, those the frame before showed too (but for what it took again); a still view
        // shows them all once more.
        using Kind = VerticalStitcher::Outcome::Kind;
        const qint64 retaken = outcome.retakenFrom >= 0 ? outcome.retakenFrom : stitcher_->stitchedHeight();
        if (settled && outcome.kind != Kind::noMatch)
            confirmedHeight_ = stitcher_->stitchedHeight();
        else if (outcome.kind == Kind::noChange)
            confirmedHeight_ = std::min(stitcher_->stitchedHeight(), retaken);
        else if (outcome.kind == Kind::appended)
            confirmedHeight_ = std::min(before, retaken);
        handler(outcome);
    });
    // The stitcher is shared with the task, so a session torn down mid-match is safe.
    VerticalStitcher::RowMask unstable = std::exchange(unstable_, {});
    changingInView_ =
        2 * int(std::count(unstable.begin(), unstable.end(), VerticalStitcher::kAnimated)) > frame.height();
    viewChanged_ =
        viewChanged_ ||
        2 * int(std::count(unstable.begin(), unstable.end(), VerticalStitcher::kSettled)) > frame.height();
    // Only auto mode can scroll back to look at a part of the page again.
    const bool lookBack = model_.autoScroll();
    record(StitchCall::Kind::add, frame, expectedDy, unstable, lookBack);
    // Set on the task's thread, as the stitcher is used there.
    watcher->setFuture(
        QtConcurrent::run([st = stitcher_, frame, expectedDy, unstable = std::move(unstable), lookBack] {
            st->setLookBack(lookBack);
            return st->add(frame, expectedDy, unstable);
        }));
}

void ScrollCaptureSession::record(StitchCall::Kind kind, const QImage& frame, int expectedDy,
                                  const VerticalStitcher::RowMask& rows, bool lookBack) const
{
    if (env_.record)
        env_.record(StitchCall{kind, frame, expectedDy, rows, lookBack});
}

bool ScrollCaptureSession::dropProvisionalStep()
{
    if (!stitcher_)
        return false;
    record(StitchCall::Kind::dropProvisional);
    return stitcher_->dropProvisionalStep();
}

}  // namespace kx
