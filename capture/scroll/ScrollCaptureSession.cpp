#include "capture/scroll/ScrollCaptureSession.h"

#include "capture/scroll/ScrollHud.h"
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

namespace kx {

namespace {

constexpr quint32 kKeyEscape = 0xff1b;
constexpr quint32 kKeyReturn = 0xff0d;
constexpr quint32 kKeyPadEnter = 0xff8d;
constexpr double kMinStep = 40;
constexpr int kMinHeightLimit = 2000;
constexpr int kPointerRows = 40;  // rows above and below the pointer a hover effect may tint
constexpr int kSpread = 3;        // rows an animation's changed rows are widened by
constexpr int kFirstFrameTries = 4;
constexpr int kBlankSteps = 4;  // steps through blank frames before the capture stops

void widen(VerticalStitcher::RowMask& mask, int by)
{
    const VerticalStitcher::RowMask in = mask;
    const int n = int(in.size());
    for (int r = 0; r < n; ++r)
        if (in[std::size_t(r)])
            for (int k = std::max(0, r - by); k <= std::min(n - 1, r + by); ++k)
                mask[std::size_t(k)] = 1;
}

int count(const VerticalStitcher::RowMask& mask)
{
    return int(std::count(mask.begin(), mask.end(), char(1)));
}

// Whether `now` (rows that changed between two grabs) shows an animation in place: not most
// of the frame, and within the rows that changed the time before. Then both, widened.
std::optional<VerticalStitcher::RowMask> inPlace(const VerticalStitcher::RowMask& before,
                                                 const VerticalStitcher::RowMask& now)
{
    if (before.size() != now.size() || count(before) == 0 || count(now) == 0 ||
        count(now) > int(now.size()) / 2)
        return std::nullopt;
    VerticalStitcher::RowMask around = before;
    widen(around, kSpread);
    for (std::size_t r = 0; r < now.size(); ++r)
        if (now[r] && !around[r])
            return std::nullopt;
    VerticalStitcher::RowMask both = now;
    for (std::size_t r = 0; r < now.size(); ++r)
        both[r] = both[r] || before[r];
    widen(both, kSpread);
    return both;
}

// `mask` with the pointer's rows added where it has none.
VerticalStitcher::RowMask withPointer(VerticalStitcher::RowMask mask,
                                      const VerticalStitcher::RowMask& pointer)
{
    mask.resize(pointer.size(), 0);
    for (std::size_t r = 0; r < pointer.size(); ++r)
        mask[r] = mask[r] ? mask[r] : pointer[r];
    return mask;
}

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
    if (!chooseWheelPoint()) {
        // Nowhere in the rectangle does the wheel reach an application that scrolls.
        fail(kx::tr(
            "Nothing in the selection scrolls. Select the content of a scrollable window.",
            "A kijelölésben semmi sem görgethető. Egy görgethető ablak tartalmát jelöld ki.",
            "In der Auswahl lässt sich nichts scrollen. Wähle den Inhalt eines scrollbaren Fensters."));
        return;
    }
    postScroll(scrollStep_);
    const int clicks = lastClicks_;
    const double scale = screen_ ? screen_->devicePixelRatio() : 1.0;
    // After a miss the wheel went back by what it went back, which need not be what it went
    // forward: the distance from the last frame taken is then no longer known.
    const int expected =
        pointsPerClick_ > 0 && wheelTrusted_ ? int(std::lround(clicks * pointsPerClick_ * scale)) : 0;
    settledFrame([this, clicks, expected](std::optional<QImage> frame, std::optional<CaptureError>) {
        if (!frame) {
            afterStep();
            return;
        }
        add(*frame, expected,
            [this, clicks](VerticalStitcher::Outcome outcome) { autoOutcome(outcome, clicks); });
    });
}

void ScrollCaptureSession::autoOutcome(VerticalStitcher::Outcome outcome, int clicks)
{
    using Kind = VerticalStitcher::Outcome::Kind;
    lastOutcome_ = outcome.kind;
    if (!model_.autoScroll()) {  // paused while the step was under way
        afterStep();
        return;
    }
    if (outcome.kind == Kind::appended) {
        model_.setStatus(kx::tr("Capturing… scrolling", "Rögzítés… görgetés", "Aufnahme… scrollt"));
        wheelVerified_ = true;
        wheelTrusted_ = true;
        misses_ = 0;
        blankSteps_ = 0;
        crossedBlank_ = false;
        // Only a step that added rows shows the end is not reached yet.
        if (outcome.newRows > 0)
            repeats_ = 0;
        // What one click really moved (X11 wheel clicks have no unit of their own); a step
        // the expected distance had to choose must not set it, nor one cut short by the end.
        const double scale = screen_ ? screen_->devicePixelRatio() : 1.0;
        const double expected = clicks * pointsPerClick_ * scale;
        if (outcome.sure && (pointsPerClick_ <= 0 || outcome.dy >= 0.9 * expected)) {
            pointsPerClick_ = outcome.dy / scale / std::max(1, clicks);
        }
        afterStep();
    } else if (outcome.kind == Kind::noChange) {
        if (!wheelVerified_) {
            // Nothing moved under this point (a toolbar, a static band): try the next one.
            ++wheelIndex_;
        } else if (outcome.blank) {
            // A blank view that stays blank may be a blank stretch of the page, not its end:
            // the wheel goes on, but whatever comes after cannot be placed.
            crossedBlank_ = true;
            if (++blankSteps_ >= kBlankSteps)
                stopEarly(blankNote());
        } else if (++repeats_ >= 2) {
            // The content stopped moving while the wheel went on: the end, unless the last
            // step was only the wheel's guess over repeating rows, which the end may have cut
            // short.
            if (stitcher_ && stitcher_->dropProvisionalStep())
                stopEarly(followNote());
            else
                finished_ = true;
            if (note_.isEmpty())
                model_.setStatus(kx::tr("Reached the end", "Elérte a végét", "Ende erreicht"));
        }
        afterStep();
    } else if (crossedBlank_) {
        // The content moved on after a blank stretch by a distance nothing shows.
        stopEarly(blankNote());
        afterStep();
    } else {
        ++misses_;
        wheelTrusted_ = false;
        postScroll(-scrollStep_);
        settledFrame([this](std::optional<QImage>, std::optional<CaptureError>) {
            scrollStep_ = std::max(scrollStep_ * 0.5, kMinStep);
            if (misses_ >= 4)
                giveUp();
            afterStep();
        });
    }
}

QString ScrollCaptureSession::followNote()
{
    return kx::tr("Could not follow the scroll: the image ends where stitching stopped.",
                  "Nem sikerült követni a görgetést: a kép ott ér véget, ahol az összefűzés leállt.",
                  "Konnte dem Scrollen nicht folgen: Das Bild endet dort, wo das Zusammensetzen aufhörte.");
}

QString ScrollCaptureSession::blankNote()
{
    return kx::tr(
        "A blank stretch taller than the selection could not be followed: the image ends before it.",
        "A kijelölésnél magasabb üres szakaszt nem sikerült követni: a kép előtte véget ér.",
        "Ein leerer Abschnitt, höher als die Auswahl, ließ sich nicht verfolgen: Das Bild endet davor.");
}

void ScrollCaptureSession::stopEarly(const QString& note)
{
    finished_ = true;
    if (note_.isEmpty())
        note_ = note;
}

void ScrollCaptureSession::giveUp()
{
    model_.setAutoScroll(false);
    model_.setStatus(
        kx::tr("Paused – scroll manually", "Szüneteltetve – görgess kézzel", "Pausiert – manuell scrollen"));
    model_.setWarning(kx::tr("Could not follow the scroll, stopped auto mode.",
                             "Nem sikerült követni a görgetést, az automatikus mód leállt.",
                             "Konnte dem Scrollen nicht folgen, Automatikmodus beendet."));
    // The wheel's guess over repeating rows is not known to hold.
    if (stitcher_)
        stitcher_->dropProvisionalStep();
    // The user may go on by hand for a while; without that, the capture ends with what it
    // has. Only content that really moves counts as the user taking over.
    gaveUp_ = true;
    movedSinceGiveUp_ = false;
    previousGrab_ = QImage();
    after(env_.giveUpWaitMs, [this] {
        if (!gaveUp_ || finished_)
            return;
        stopEarly(followNote());
    });
}

void ScrollCaptureSession::fail(const QString& message)
{
    failure_ = CaptureError::failed(message);
    finished_ = true;
    afterStep();
}

void ScrollCaptureSession::manualStep()
{
    grab([this](std::optional<QImage> frame, std::optional<CaptureError>) {
        if (!frame) {
            after(env_.settleMs, [this] { afterStep(); });
            return;
        }
        // Rows that keep changing while the user does not scroll are an animation: learnt
        // here, since manual frames are not settled.
        if (previousGrab_.size() == frame->size()) {
            VerticalStitcher::RowMask changed = differingRows(previousGrab_, *frame);
            std::optional<VerticalStitcher::RowMask> animated = inPlace(lastChange_, changed);
            if (animated)
                animated_ = std::move(*animated);
            // Content moved: rows changed beyond what animates in place.
            for (std::size_t r = 0; r < changed.size() && !animated; ++r)
                if (changed[r] && (r >= animated_.size() || !animated_[r])) {
                    movedSinceGiveUp_ = true;
                    break;
                }
            lastChange_ = std::move(changed);
        }
        previousGrab_ = *frame;
        unstable_ = withPointer(animated_, pointerRows(frame->height()));
        // The user's hand gives no distance to expect: repeating rows that several shifts
        // fit are refused, not guessed.
        add(*frame, 0, [this](VerticalStitcher::Outcome outcome) {
            using Kind = VerticalStitcher::Outcome::Kind;
            lastOutcome_ = outcome.kind;
            if (outcome.kind == Kind::appended && movedSinceGiveUp_) {
                gaveUp_ = false;  // the user took over
                model_.setWarning(std::nullopt);
                model_.setStatus(kx::tr("Capturing… keep scrolling", "Rögzítés… görgess tovább",
                                        "Aufnahme… weiter scrollen"));
            } else if (outcome.kind == Kind::noMatch && !gaveUp_) {
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
        note_ = *model_.warning();
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
    } else if (failure_) {
        result.error = failure_;
    } else {
        // A step that only the wheel's guess placed, or a screen that shows what could not
        // be placed: the image ends before it, and says so.
        if (stitcher_ && stitcher_->dropProvisionalStep())
            stopEarly(followNote());
        if (lastOutcome_ == VerticalStitcher::Outcome::Kind::noMatch)
            stopEarly(followNote());
        result.image = stitcher_ ? stitcher_->finish() : QImage();
        if (result.image.isNull())
            result.error = CaptureError::failed(
                kx::tr("The stitched image could not be made.", "Az összefűzött kép nem készült el.",
                       "Das zusammengesetzte Bild konnte nicht erstellt werden."));
        else
            result.note = note_;
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
            s->previous = std::move(frame);
            if (n > int(changed.size()) / 2) {
                s->seen.clear();  // still scrolling
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
            if (std::optional<VerticalStitcher::RowMask> animated = inPlace(s->lastChange, changed);
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
