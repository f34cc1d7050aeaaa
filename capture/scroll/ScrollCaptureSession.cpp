#include "capture/scroll/ScrollCaptureSession.h"

#include "capture/scroll/ScrollHud.h"
#include "capture/scroll/ScrollRowMasks.h"
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "platform/HotKeyManager.h"
#include "platform/XTestScroller.h"

#include <QCursor>
#include <QFutureWatcher>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace kx {

using namespace rowmask;

namespace {

constexpr quint32 kKeyEscape = 0xff1b;
constexpr quint32 kKeyReturn = 0xff0d;
constexpr quint32 kKeyPadEnter = 0xff8d;
constexpr int kMinHeightLimit = 2000;
constexpr int kPointerRows = 40;  // rows above and below the pointer a hover effect may tint
constexpr int kFirstFrameTries = 4;

}  // namespace

struct ScrollCaptureSession::Settling {
    std::optional<QImage> previous;
    std::optional<CaptureError> error;
    int tries = 0;
    int minTries = 0;                      // grabs to look at, at least, for what animates
    VerticalStitcher::RowMask lastChange;  // rows that differed between the last two grabs
    VerticalStitcher::RowMask seen;        // every row that changed in place since the scroll stopped
    FrameHandler handler;
};

ScrollCaptureSession::Environment ScrollCaptureSession::Environment::real()
{
    Environment env;
    env.grab = [](QScreen* screen, const QRectF& rect) {
        return ScreenCapturer::captureScreen(screen, rect, false, true);
    };
    env.scroller = &XTestScroller::shared();
    env.keys = &HotKeyManager::shared();
    return env;
}

ScrollCaptureSession::ScrollCaptureSession(QScreen* screen, const QRectF& rect, QObject* parent)
    : ScrollCaptureSession(screen, rect, Environment::real(), parent)
{
}

ScrollCaptureSession::ScrollCaptureSession(QScreen* screen, const QRectF& rect, Environment environment,
                                           QObject* parent)
    : QObject(parent),
      screen_(screen),
      rect_(rect),
      env_(std::move(environment)),
      scrollStep_(rect.height() / 2)
{
}

ScrollCaptureSession::~ScrollCaptureSession()
{
    teardown();
}

int ScrollCaptureSession::heightLimit(int setting, int frameHeight)
{
    const int wanted = std::max(setting, kMinHeightLimit);
    // A step moves the content by less than a frame, so stopping at this height keeps the
    // result within the stitcher's cap.
    const int cap = VerticalStitcher::kMaxRows - frameHeight + 1;
    return std::max(1, std::min(wanted, cap));
}

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

VerticalStitcher::RowMask ScrollCaptureSession::differingRows(const QImage& a, const QImage& b)
{
    VerticalStitcher::RowMask rows(std::size_t(std::max(a.height(), 0)), 1);
    if (a.size() != b.size() || a.format() != b.format())
        return rows;
    const qsizetype rowBytes = qsizetype(a.width()) * a.depth() / 8;
    for (int y = 0; y < a.height(); ++y)
        rows[std::size_t(y)] = std::memcmp(a.constScanLine(y), b.constScanLine(y), size_t(rowBytes)) != 0;
    return rows;
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

QList<QPointF> ScrollCaptureSession::wheelCandidates()
{
    return {{0.5, 0.2}, {0.5, 0.5}, {0.5, 0.8}, {0.5, 0.35}, {0.5, 0.65}, {0.2, 0.5}, {0.8, 0.5}};
}

std::optional<QPoint> ScrollCaptureSession::wheelPoint() const
{
    const QList<QPointF> candidates = wheelCandidates();
    if (!screen_ || wheelIndex_ >= candidates.size())
        return std::nullopt;
    const QPointF f = candidates[wheelIndex_];
    const QPointF local(rect_.left() + f.x() * rect_.width(), rect_.top() + f.y() * rect_.height());
    return (QPointF(screen_->geometry().topLeft()) + local).toPoint();
}

// Skips candidates where the wheel would reach no application or another one than the
// first that would.
bool ScrollCaptureSession::chooseWheelPoint()
{
    if (!env_.scroller)
        return false;
    for (; wheelIndex_ < wheelCandidates().size(); ++wheelIndex_) {
        const std::optional<quint32> client = env_.scroller->clientAt(*wheelPoint());
        if (client && (!wheelClient_ || *client == *wheelClient_)) {
            wheelClient_ = client;
            return true;
        }
    }
    return false;
}

// The rows around the pointer, where lists and pages draw a hover highlight.
VerticalStitcher::RowMask ScrollCaptureSession::pointerRows(int frameHeight) const
{
    VerticalStitcher::RowMask rows(std::size_t(std::max(frameHeight, 0)), 0);
    if (!screen_ || rect_.height() <= 0)
        return rows;
    const std::optional<QPoint> wheel = model_.autoScroll() ? wheelPoint() : std::nullopt;
    const QPointF global = wheel ? QPointF(*wheel) : QPointF(QCursor::pos());
    const QPointF local = global - QPointF(screen_->geometry().topLeft());
    if (!rect_.contains(local))
        return rows;
    const double scale = frameHeight / rect_.height();
    const int y = int((local.y() - rect_.top()) * scale);
    for (int r = std::max(0, y - kPointerRows); r <= std::min(frameHeight - 1, y + kPointerRows); ++r)
        rows[std::size_t(r)] = VerticalStitcher::kPointer;
    return rows;
}

int ScrollCaptureSession::clicksPerStep(double points) const
{
    if (pointsPerClick_ <= 0)
        return 1;
    return std::max(1, int(std::lround(std::abs(points) / pointsPerClick_)));
}

void ScrollCaptureSession::run(const QImage& initial, Completion done)
{
    done_ = std::move(done);
    showUi();
    model_.setStatus(kx::tr("Scroll the content, or press Auto-scroll",
                            "Görgesd a tartalmat, vagy nyomd meg az Automatikus görgetést",
                            "Scrolle den Inhalt oder drücke Auto-Scroll"));
    QPointer<ScrollCaptureSession> self(this);
    model_.onDone = [self] {
        if (self)
            self->requestDone();
    };
    model_.onCancel = [self] {
        if (self)
            self->requestCancel();
    };
    model_.onToggleAuto = [self] {
        if (self)
            self->toggleAuto();
    };
    installKeys();
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, &ScrollCaptureSession::screenRemoved);
    if (!initial.isNull()) {
        begin(initial);
        return;
    }
    // What was on screen a moment ago (the selection overlay) may still be going away. The
    // first frame is looked at a little longer: a spinner it shows must be known as such, or
    // every frame would differ from it there.
    settledFrame(kFirstFrameTries, [this](std::optional<QImage> frame, std::optional<CaptureError> error) {
        if (!frame) {
            teardown();
            ended_ = true;
            Result r;
            r.error = error ? *error : CaptureError::failed(QString());
            if (done_)
                std::exchange(done_, nullptr)(r);
            return;
        }
        begin(*frame);
    });
}

void ScrollCaptureSession::begin(const QImage& first)
{
    stitcher_ =
        std::make_shared<VerticalStitcher>(first, withPointer(unstable_, pointerRows(first.height())));
    firstFrame_ = lastAccepted_ = lastGrab_ = first;
    model_.setHeight(first.height());
    maxHeight_ = heightLimit(Prefs::integer(QStringLiteral("scroll.maxHeight")), first.height());
    step();
}

void ScrollCaptureSession::requestDone()
{
    finished_ = true;
}

void ScrollCaptureSession::requestCancel()
{
    cancelled_ = true;
    finished_ = true;
}

void ScrollCaptureSession::screenRemoved(QScreen* screen)
{
    // Nothing more can be grabbed or scrolled there: end with what was stitched so far.
    if (!screen || screen != screen_)
        return;
    screenGone_ = true;
    stopEarly(kx::tr("The display went away: the image ends where it was.",
                     "A kijelző eltűnt: a kép ott ér véget, ahol akkor tartott.",
                     "Der Bildschirm wurde getrennt: Das Bild endet dort, wo er war."));
}

void ScrollCaptureSession::toggleAuto()
{
    if (!model_.autoScroll()) {
        if (!env_.scroller || !env_.scroller->available()) {
            model_.setWarning(
                kx::tr("Allow Accessibility for auto-scroll, then try again.",
                       "Engedélyezd az akadálymentesítést az automatikus görgetéshez, majd próbáld újra.",
                       "Erlaube die Bedienungshilfen für Auto-Scroll und versuche es erneut."));
            return;
        }
        model_.setWarning(std::nullopt);
        scrollStep_ = rect_.height() / 2;
        gaveUp_ = false;
    }
    model_.setAutoScroll(!model_.autoScroll());
    model_.setStatus(model_.autoScroll()
                         ? kx::tr("Auto-scrolling…", "Automatikus görgetés…", "Automatisches Scrollen…")
                         : kx::tr("Paused – scroll manually", "Szüneteltetve – görgess kézzel",
                                  "Pausiert – manuell scrollen"));
}

void ScrollCaptureSession::postScroll(double points)
{
    const int clicks = clicksPerStep(points);
    lastClicks_ = clicks;
    if (!env_.scroller || screenGone_)
        return;
    if (const std::optional<QPoint> at = wheelPoint())
        env_.scroller->scroll(*at, points < 0 ? -clicks : clicks);
}

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

void ScrollCaptureSession::settledFrame(int minTries, FrameHandler handler)
{
    auto s = std::make_shared<Settling>();
    s->minTries = minTries;
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
        // Rows seen changing in place at the same place by two settlings animate there on
        // screen (a pulsing banner): they stay masked, also when a settling happens to see
        // them still (the ends of a pulse).
        if (s->previous)
            changed.resize(std::size_t(s->previous->height()), 0);
        if (changed.size() == seenInPlace_.size())
            for (std::size_t r = 0; r < changed.size(); ++r)
                if (changed[r] && seenInPlace_[r]) {
                    fixedAnimation_.resize(changed.size(), 0);
                    fixedAnimation_[r] = 1;
                }
        seenInPlace_.resize(changed.size(), 0);
        for (std::size_t r = 0; r < changed.size(); ++r)
            seenInPlace_[r] = seenInPlace_[r] || changed[r];
        if (fixedAnimation_.size() == changed.size()) {
            for (std::size_t r = 0; r < changed.size(); ++r)
                changed[r] = changed[r] || fixedAnimation_[r];
            if (stitcher_)
                stitcher_->maskAnimated(fixedAnimation_);
        }
        if (s->previous)
            changed = withPointer(std::move(changed), pointerRows(s->previous->height()));
        unstable_ = std::move(changed);
        s->handler(s->previous, s->previous ? std::nullopt : s->error);
    };
    // Every row seen changing in place joins the mask, not only the last pair's: a spinner
    // changes other rows from one grab to the next.
    auto withSeen = [s](VerticalStitcher::RowMask mask) {
        if (s->seen.empty())
            return mask;
        VerticalStitcher::RowMask seen = s->seen;
        widen(seen, kSpread);
        mask.resize(seen.size(), 0);
        for (std::size_t r = 0; r < seen.size(); ++r)
            mask[r] = mask[r] || seen[r];
        return mask;
    };
    if (s->tries >= env_.settleTries) {
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
            VerticalStitcher::RowMask changed = differingRows(*s->previous, *frame);
            const int n = count(changed);
            // Still scrolling: most of the frame changed, or what changed moved as a whole.
            const bool moving =
                n > int(changed.size()) / 2 || (n > 0 && scrolled(*s->previous, *frame, changed));
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
                finish(withSeen({}));
                return;
            }
            // The same rows changed again, and not most of the frame: an animation in place.
            if (std::optional<VerticalStitcher::RowMask> animated =
                    moving ? std::nullopt : inPlace(s->lastChange, changed);
                animated && looked) {
                finish(withSeen(std::move(*animated)));
                return;
            }
            if (n > 0)
                s->lastChange = std::move(changed);
            settleTry(s);
        });
    });
}

void ScrollCaptureSession::add(const QImage& frame, int expectedDy,
                               std::function<void(VerticalStitcher::Outcome)> handler)
{
    if (!stitcher_) {
        handler(VerticalStitcher::Outcome::noMatch());
        return;
    }
    auto* watcher = new QFutureWatcher<VerticalStitcher::Outcome>(this);
    lastGrab_ = frame;
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, handler, frame] {
        const VerticalStitcher::Outcome outcome = watcher->result();
        watcher->deleteLater();
        if (outcome.kind == VerticalStitcher::Outcome::Kind::appended) {
            lastAccepted_ = frame;
            model_.setFrames(stitcher_->acceptedSteps() + 1);
            model_.setHeight(int(stitcher_->stitchedHeight()));
        }
        handler(outcome);
    });
    // The stitcher is shared with the task, so a session torn down mid-match is safe.
    VerticalStitcher::RowMask unstable = std::exchange(unstable_, {});
    watcher->setFuture(QtConcurrent::run([st = stitcher_, frame, expectedDy, unstable = std::move(unstable)] {
        return st->add(frame, expectedDy, unstable);
    }));
}

void ScrollCaptureSession::after(int ms, std::function<void()> next)
{
    QTimer::singleShot(std::max(0, ms), this, std::move(next));
}

void ScrollCaptureSession::showUi()
{
    if (!env_.showUi || !screen_)
        return;
    const QRectF global = rect_.translated(screen_->geometry().topLeft());
    border_ = new ScrollBorder(screen_, global);
    border_->showWithoutActivating();
    hud_ = new ScrollHud(&model_);
    hud_->setScreen(screen_);
    auto place = [this, global] {
        if (hud_ && screen_)
            hud_->move(hudPlacement(QRectF(screen_->geometry()), global, QSizeF(hud_->size())).toPoint());
    };
    place();
    hud_->show();
    // The HUD follows its texts in size (it refits first): keep it centred.
    connect(&model_, &ScrollCaptureModel::changed, hud_, place);
}

void ScrollCaptureSession::installKeys()
{
    if (!env_.keys)
        return;
    QPointer<ScrollCaptureSession> self(this);
    const auto cancel = [self] {
        if (self)
            self->requestCancel();
    };
    const auto done = [self] {
        if (self)
            self->requestDone();
    };
    for (const auto& [keysym, handler] : {std::pair<quint32, std::function<void()>>{kKeyEscape, cancel},
                                          {kKeyReturn, done},
                                          {kKeyPadEnter, done}})
        if (const auto id = env_.keys->registerTemporary(keysym, 0, handler))
            keyIds_.append(*id);
}

void ScrollCaptureSession::teardown()
{
    if (env_.keys)
        for (const quint32 id : std::as_const(keyIds_))
            env_.keys->unregisterTemporary(id);
    keyIds_.clear();
    if (border_) {
        border_->hide();
        border_->deleteLater();
        border_ = nullptr;
    }
    if (hud_) {
        hud_->hide();
        hud_->deleteLater();
        hud_ = nullptr;
    }
}

}  // namespace kx
