#include "capture/scroll/ScrollCaptureSession.h"

#include "capture/scroll/ScrollHud.h"
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "platform/HotKeyManager.h"
#include "platform/XTestScroller.h"

#include <QFutureWatcher>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace kx {

namespace {

constexpr quint32 kKeyEscape = 0xff1b;
constexpr quint32 kKeyReturn = 0xff0d;
constexpr quint32 kKeyPadEnter = 0xff8d;
constexpr double kMinStep = 40;
constexpr int kMinHeightLimit = 2000;

}  // namespace

struct ScrollCaptureSession::Settling {
    std::optional<QImage> previous;
    std::optional<CaptureError> error;
    int tries = 0;
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
    // What was on screen a moment ago (the selection overlay) may still be going away.
    settledFrame([this](std::optional<QImage> frame, std::optional<CaptureError> error) {
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
    stitcher_ = std::make_shared<VerticalStitcher>(first);
    model_.setHeight(first.height());
    maxHeight_ = heightLimit(Prefs::integer(QStringLiteral("scroll.maxHeight")), first.height());
    step();
}

void ScrollCaptureSession::step()
{
    if (finished_) {
        end();
        return;
    }
    if (model_.autoScroll())
        autoStep();
    else
        manualStep();
}

void ScrollCaptureSession::autoStep()
{
    postScroll(scrollStep_);
    const int clicks = lastClicks_;
    settledFrame([this, clicks](std::optional<QImage> frame, std::optional<CaptureError>) {
        if (!frame) {
            afterStep();
            return;
        }
        add(*frame, [this, clicks](VerticalStitcher::Outcome outcome) {
            using Kind = VerticalStitcher::Outcome::Kind;
            if (outcome.kind == Kind::appended) {
                model_.setStatus(kx::tr("Capturing… scrolling", "Rögzítés… görgetés", "Aufnahme… scrollt"));
                misses_ = 0;
                repeats_ = 0;
                // What one click really moved: X11 wheel clicks have no unit of their own.
                const double scale = screen_ ? screen_->devicePixelRatio() : 1.0;
                pointsPerClick_ = outcome.dy / scale / std::max(1, clicks);
                afterStep();
            } else if (outcome.kind == Kind::noChange) {
                if (++repeats_ >= 2) {
                    finished_ = true;
                    model_.setStatus(kx::tr("Reached the end", "Elérte a végét", "Ende erreicht"));
                }
                afterStep();
            } else {
                ++misses_;
                postScroll(-scrollStep_);
                settledFrame([this](std::optional<QImage>, std::optional<CaptureError>) {
                    scrollStep_ = std::max(scrollStep_ * 0.5, kMinStep);
                    if (misses_ >= 4) {
                        model_.setAutoScroll(false);
                        model_.setWarning(
                            kx::tr("Could not follow the scroll, stopped auto mode.",
                                   "Nem sikerült követni a görgetést, az automatikus mód leállt.",
                                   "Konnte dem Scrollen nicht folgen, Automatikmodus beendet."));
                    }
                    afterStep();
                });
            }
        });
    });
}

void ScrollCaptureSession::manualStep()
{
    grab([this](std::optional<QImage> frame, std::optional<CaptureError>) {
        if (!frame) {
            after(env_.settleMs, [this] { afterStep(); });
            return;
        }
        add(*frame, [this](VerticalStitcher::Outcome outcome) {
            using Kind = VerticalStitcher::Outcome::Kind;
            if (outcome.kind == Kind::appended) {
                model_.setWarning(std::nullopt);
                model_.setStatus(kx::tr("Capturing… keep scrolling", "Rögzítés… görgess tovább",
                                        "Aufnahme… weiter scrollen"));
            } else if (outcome.kind == Kind::noMatch) {
                model_.setWarning(kx::tr("Scroll slower or only downwards",
                                         "Görgess lassabban, vagy csak lefelé",
                                         "Langsamer oder nur nach unten scrollen"));
            }
            after(env_.settleMs, [this] { afterStep(); });
        });
    });
}

void ScrollCaptureSession::afterStep()
{
    if (stitcher_ && stitcher_->stitchedHeight() >= maxHeight_) {
        finished_ = true;
        model_.setWarning(
            kx::tr("Maximum height reached", "Elérte a legnagyobb magasságot", "Maximale Höhe erreicht"));
    }
    step();
}

void ScrollCaptureSession::end()
{
    if (ended_)
        return;
    ended_ = true;
    Result result;
    if (cancelled_) {
        result.cancelled = true;
    } else {
        result.image = stitcher_ ? stitcher_->finish() : QImage();
        if (result.image.isNull())
            result.error = CaptureError::failed(
                kx::tr("The stitched image could not be made.", "Az összefűzött kép nem készült el.",
                       "Das zusammengesetzte Bild konnte nicht erstellt werden."));
    }
    teardown();
    if (done_)
        std::exchange(done_, nullptr)(result);
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
    finished_ = true;
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
    const QPointF origin = screen_ ? QPointF(screen_->geometry().topLeft()) : QPointF();
    env_.scroller->scroll((origin + rect_.center()).toPoint(), points < 0 ? -clicks : clicks);
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
    auto s = std::make_shared<Settling>();
    s->handler = std::move(handler);
    after(env_.settleFirstMs, [this, s] {
        grab([this, s](std::optional<QImage> frame, std::optional<CaptureError> error) {
            s->previous = std::move(frame);
            s->error = std::move(error);
            settleTry(s);
        });
    });
}

void ScrollCaptureSession::settleTry(std::shared_ptr<Settling> s)
{
    if (s->tries >= env_.settleTries) {
        s->handler(s->previous, s->previous ? std::nullopt : s->error);
        return;
    }
    after(env_.settleMs, [this, s] {
        grab([this, s](std::optional<QImage> frame, std::optional<CaptureError> error) {
            ++s->tries;
            if (frame) {
                if (s->previous && identical(*s->previous, *frame)) {
                    s->handler(frame, std::nullopt);
                    return;
                }
                s->previous = std::move(frame);
            } else {
                s->error = std::move(error);
            }
            settleTry(s);
        });
    });
}

void ScrollCaptureSession::add(const QImage& frame, std::function<void(VerticalStitcher::Outcome)> handler)
{
    if (!stitcher_) {
        handler(VerticalStitcher::Outcome::noMatch());
        return;
    }
    auto* watcher = new QFutureWatcher<VerticalStitcher::Outcome>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, handler] {
        const VerticalStitcher::Outcome outcome = watcher->result();
        watcher->deleteLater();
        if (outcome.kind == VerticalStitcher::Outcome::Kind::appended) {
            model_.setFrames(stitcher_->acceptedSteps() + 1);
            model_.setHeight(int(stitcher_->stitchedHeight()));
        }
        handler(outcome);
    });
    // The stitcher is shared with the task, so a session torn down mid-match is safe.
    watcher->setFuture(QtConcurrent::run([st = stitcher_, frame] { return st->add(frame); }));
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
