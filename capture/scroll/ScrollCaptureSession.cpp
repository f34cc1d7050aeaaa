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
    if (model_.autoScroll()) {
        // Auto mode from the start: the first frame is looked at a little longer, so that a
        // spinner it shows is known as such, or every frame would differ from it there.
        settledFrame(kFirstFrameTries,
                     [this](std::optional<QImage> frame, std::optional<CaptureError> error) {
                         if (frame)
                             begin(*frame);
                         else
                             failFirst(error);
                     });
        return;
    }
    // By hand: the view the user selected, grabbed now. It is still looked at until it stands
    // still (a photo in it loading, a spinner known as such), and that look is the first frame
    // unless the view moved meanwhile: a spinner never stands still, and the user's first turn
    // of the wheel must not take the top of the page with it.
    grab([this](std::optional<QImage> now, std::optional<CaptureError>) {
        settledFrame(kFirstFrameTries,
                     [this, now](std::optional<QImage> frame, std::optional<CaptureError> error) {
                         if (now && (!frame || scrolledAway(*now, *frame)))
                             begin(*now);
                         else if (frame)
                             begin(*frame);
                         else
                             failFirst(error);
                     });
    });
}

void ScrollCaptureSession::failFirst(const std::optional<CaptureError>& error)
{
    teardown();
    ended_ = true;
    Result r;
    r.error = error ? *error : CaptureError::failed(QString());
    if (done_)
        std::exchange(done_, nullptr)(r);
}

void ScrollCaptureSession::begin(const QImage& first)
{
    VerticalStitcher::RowMask unstable = withPointer(unstable_, pointerRows(first.height()));
    record(StitchCall::Kind::first, first, 0, unstable);
    stitcher_ = std::make_shared<VerticalStitcher>(first, std::move(unstable));
    firstFrame_ = lastAccepted_ = lastGrab_ = previousGrab_ = first;
    confirmedHeight_ = first.height();  // settled, or given
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
    if (model_.autoScroll() && env_.preload && preload_ == Preload::notYet) {
        preload_ = Preload::running;
        model_.setStatus(kx::tr("Loading the page before capturing…", "Az oldal betöltése a rögzítés előtt…",
                                "Seite wird vor der Aufnahme geladen…"));
    }
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
    hud_->fitTo(screen_->geometry().width() - 16);
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
