#include "ui/Toast.h"

#include "core/ScreenGeometry.h"
#include "platform/WindowType.h"
#include "ui/FloatingPanel.h"
#include "ui/FloatingSurface.h"
#include "ui/ToastQueue.h"
#include "ui/ToastView.h"

#include <QCursor>
#include <QGuiApplication>
#include <QHash>
#include <QParallelAnimationGroup>
#include <QPointer>
#include <QPropertyAnimation>
#include <QScreen>
#include <QTimer>
#include <cmath>

namespace kx {

namespace {

struct Entry {
    ToastQueue::Kind kind = ToastQueue::Kind::confirmation;
    SurfaceWidget* view = nullptr;  // owned until it shows; then its panel owns it
    QPointer<ToastView> notice;     // the view of a notice
    QPointer<FloatingPanel> panel;  // once shown; kept while a warning waits to show again
    QTimer* timer = nullptr;        // the panel's own dismissal
    double seconds = 0;
    QString title, subtitle;  // of a notice
    quint64 shownOrder = 0;
    bool onScreen = false;
};

struct ToastState {
    ToastQueue queue;
    QHash<int, Entry> entries;  // waiting and on screen
    int nextId = 1;
    quint64 nextOrder = 1;
    QPointer<QScreen> screen;  // the stack stands on its work area
};

ToastState& state()
{
    static ToastState s;
    return s;
}

void animate(FloatingPanel* panel, qreal opacity, const QPoint& to, int ms, QEasingCurve curve,
             bool closeAtEnd)
{
    // A move or a fade-out takes over from an animation that is still running.
    for (auto* running : panel->findChildren<QParallelAnimationGroup*>(Qt::FindDirectChildrenOnly))
        running->stop();
    auto* group = new QParallelAnimationGroup(panel);
    auto* fade = new QPropertyAnimation(panel, "windowOpacity", group);
    fade->setDuration(ms);
    fade->setEndValue(opacity);
    fade->setEasingCurve(curve);
    auto* move = new QPropertyAnimation(panel, "pos", group);
    move->setDuration(ms);
    move->setEndValue(to);
    move->setEasingCurve(curve);
    group->addAnimation(fade);
    group->addAnimation(move);
    if (closeAtEnd)
        QObject::connect(group, &QAbstractAnimation::finished, panel, &QWidget::close);
    group->start(QAbstractAnimation::DeleteWhenStopped);
}

int idOf(const QWidget* panel)
{
    if (!panel)
        return 0;
    const ToastState& s = state();
    for (auto it = s.entries.cbegin(); it != s.entries.cend(); ++it)
        if (it->onScreen && it->panel == panel)
            return it.key();
    return 0;
}

QString shownTitle(const Entry& e)
{
    return e.notice ? e.notice->shownTitle() : e.title;
}

void announceEnd(const Entry& e, bool whole)
{
    if (e.kind == ToastQueue::Kind::card)
        Q_EMIT Toast::events().cardEnded(whole);
    else
        Q_EMIT Toast::events().noticeEnded(shownTitle(e), e.subtitle, whole);
}

void apply(const ToastQueue::Change& change);

// Puts what is on screen in its place, from the corner upwards; new panels rise into theirs.
void restack(const QList<int>& fresh)
{
    ToastState& s = state();
    const QList<int> ids = s.queue.shown();
    const QList<QPoint> at = s.queue.positions();
    for (qsizetype i = 0; i < ids.size(); ++i) {
        FloatingPanel* panel = s.entries.value(ids[i]).panel;
        if (!panel)
            continue;
        panel->setProperty("kxRestPosition", at[i]);
        if (fresh.contains(ids[i]))
            panel->showAt(at[i] + QPoint(0, Toast::riseDistance));
        else if (panel->pos() == at[i])
            continue;
        animate(panel, 1.0, at[i], Toast::fadeInMs, QEasingCurve::OutQuad, false);
    }
}

// The panel leaves the queue's hands: fading out when its time is up or it was dismissed, at
// once when replaced or given way.
void drop(int id, bool whole, bool fade)
{
    ToastState& s = state();
    if (!s.entries.contains(id))
        return;
    const Entry e = s.entries.take(id);
    if (!e.panel) {
        delete e.view;
        return;
    }
    e.timer->stop();
    if (fade && e.onScreen) {
        const QPoint rest = e.panel->property("kxRestPosition").toPoint();
        animate(e.panel, 0.0, rest + QPoint(0, Toast::sinkDistance), Toast::fadeOutMs,
                QEasingCurve::InOutQuad, true);
    } else {
        // Deleted later: a replaced card may be the sender of the call that replaced it.
        e.panel->hide();
        e.panel->deleteLater();
    }
    if (e.onScreen)
        announceEnd(e, whole);
}

void end(int id, bool whole, bool fade)
{
    if (!state().entries.contains(id))
        return;
    drop(id, whole, fade);
    apply(state().queue.ended(id));
}

// A warning that gave way: off the screen until it fits again, then for its whole time.
void suspend(int id)
{
    Entry& e = state().entries[id];
    if (!e.panel || !e.onScreen)
        return;
    e.onScreen = false;
    e.timer->stop();
    for (auto* running : e.panel->findChildren<QParallelAnimationGroup*>(Qt::FindDirectChildrenOnly))
        running->stop();
    e.panel->hide();
    announceEnd(e, false);
}

void show(int id)
{
    ToastState& s = state();
    Entry& e = s.entries[id];
    if (!e.panel) {
        auto* panel = new FloatingPanel(std::exchange(e.view, nullptr));
        panel->setAttribute(Qt::WA_DeleteOnClose);
        // Notices and the preview card draw their own shadow: a notification type keeps the
        // compositor's rectangular one away.
        panel->winId();
        setNotificationWindowType(panel->windowHandle());
        e.panel = panel;
        e.timer = new QTimer(panel);
        e.timer->setSingleShot(true);
        QObject::connect(e.timer, &QTimer::timeout, panel, [id] { end(id, true, true); });
    }
    e.panel->setWindowOpacity(0);
    e.onScreen = true;
    e.shownOrder = s.nextOrder++;
    if (e.seconds > 0)
        e.timer->start(int(std::lround(e.seconds * 1000)));
}

void announceShown(int id)
{
    const Entry e = state().entries.value(id);
    if (!e.onScreen)
        return;
    if (e.kind == ToastQueue::Kind::card)
        Q_EMIT Toast::events().cardShown();
    else
        Q_EMIT Toast::events().noticeShown(shownTitle(e), e.subtitle);
}

void apply(const ToastQueue::Change& change)
{
    for (int id : change.remove)
        drop(id, false, false);
    for (int id : change.suspend)
        suspend(id);
    for (int id : change.show)
        show(id);
    // Something left or came: those above it move.
    restack(change.show);
    // Told once everything is in place: a listener may present the next toast.
    for (int id : change.show)
        announceShown(id);
}

QScreen* pointerScreen()
{
    QScreen* screen = screenContaining(QCursor::pos());
    return screen ? screen : QGuiApplication::primaryScreen();
}

// The stack follows its screen's work area, or the pointer's screen once its own is gone.
void followScreen()
{
    ToastState& s = state();
    if (s.queue.shown().isEmpty())
        return;
    if (!s.screen || !QGuiApplication::screens().contains(s.screen.data()))
        s.screen = pointerScreen();
    const QRect area = s.screen ? s.screen->availableGeometry() : QRect();
    if (area != s.queue.area())
        apply(s.queue.setArea(area));
}

void watchScreens()
{
    static bool watching = false;
    if (std::exchange(watching, true))
        return;
    QObject* context = &Toast::events();
    auto watch = [context](QScreen* screen) {
        QObject::connect(screen, &QScreen::availableGeometryChanged, context, followScreen);
        QObject::connect(screen, &QScreen::geometryChanged, context, followScreen);
    };
    for (QScreen* screen : QGuiApplication::screens())
        watch(screen);
    QObject::connect(qGuiApp, &QGuiApplication::screenAdded, context, [watch](QScreen* screen) {
        watch(screen);
        followScreen();
    });
    QObject::connect(qGuiApp, &QGuiApplication::screenRemoved, context, [](QScreen* gone) {
        if (state().screen == gone)
            state().screen = nullptr;
        // Once the screen is out of the list.
        QTimer::singleShot(0, &Toast::events(), followScreen);
    });
}

FloatingPanel* panelOf(int id)
{
    const Entry e = state().entries.value(id);
    return id && e.onScreen ? e.panel.data() : nullptr;
}

int currentId()
{
    const ToastState& s = state();
    int best = 0;
    quint64 order = 0;
    for (auto it = s.entries.cbegin(); it != s.entries.cend(); ++it) {
        if (it->onScreen && it->panel && it->shownOrder > order) {
            order = it->shownOrder;
            best = it.key();
        }
    }
    return best;
}

}  // namespace

QPoint Toast::restPosition(const QRect& visible, const QSize& size)
{
    return ToastQueue::stackPositions(visible, {size}).constFirst();
}

QList<QPoint> Toast::stackPositions(const QRect& visible, const QList<QSize>& sizes)
{
    return ToastQueue::stackPositions(visible, sizes);
}

void Toast::present(SurfaceWidget* view, double seconds)
{
    watchScreens();
    ToastState& s = state();
    const int id = s.nextId++;
    Entry& e = s.entries[id];
    e.view = view;
    e.seconds = seconds;
    e.kind = ToastQueue::Kind::card;
    ToastQueue::Item item{id, e.kind, view->sizeHint(), seconds > 0, QString()};
    if (auto* notice = dynamic_cast<ToastView*>(view)) {
        e.notice = notice;
        e.kind = notice->isWarning() ? ToastQueue::Kind::warning : ToastQueue::Kind::confirmation;
        e.title = notice->title();
        e.subtitle = notice->subtitle();
        if (e.kind == ToastQueue::Kind::warning)
            item.key = e.title + QLatin1Char('\n') + e.subtitle;
    }
    item.kind = e.kind;
    // The screen is chosen when the stack starts; later notices join it.
    QScreen* pointer = pointerScreen();
    const bool starts = s.queue.shown().isEmpty();
    const ToastQueue::Change change = s.queue.add(item, pointer ? pointer->availableGeometry() : QRect());
    if (starts)
        s.screen = pointer;
    if (!change.mergedInto) {
        apply(change);
        return;
    }
    // Counted on an equal warning: that one shows the count, and starts its time again.
    delete s.entries.take(id).view;
    Entry& into = s.entries[*change.mergedInto];
    if (!into.notice)
        return;
    into.notice->setCount(s.queue.count(*change.mergedInto));
    if (into.panel)
        into.panel->refit();
    if (into.onScreen && into.seconds > 0)
        into.timer->start(int(std::lround(into.seconds * 1000)));
    apply(s.queue.resized(*change.mergedInto, into.notice->sizeHint()));
}

void Toast::schedule(double seconds)
{
    schedule(current(), seconds);
}

void Toast::schedule(const QWidget* panel, double seconds)
{
    const int id = idOf(panel);
    if (!id)
        return;
    QTimer* timer = state().entries[id].timer;
    timer->stop();
    if (seconds > 0)
        timer->start(int(std::lround(seconds * 1000)));
}

void Toast::dismiss()
{
    end(currentId(), false, true);
}

void Toast::dismiss(const QWidget* panel)
{
    end(idOf(panel), false, true);
}

FloatingPanel* Toast::current()
{
    return panelOf(currentId());
}

FloatingPanel* Toast::card()
{
    const auto id = state().queue.card();
    return id ? panelOf(*id) : nullptr;
}

QList<FloatingPanel*> Toast::shown()
{
    QList<FloatingPanel*> out;
    for (int id : state().queue.shown())
        if (FloatingPanel* panel = panelOf(id))
            out.append(panel);
    return out;
}

QStringList Toast::waiting()
{
    QStringList out;
    for (int id : state().queue.waiting())
        out.append(state().entries.value(id).title);
    return out;
}

int Toast::pendingDismissMs()
{
    return pendingDismissMs(current());
}

int Toast::pendingDismissMs(const QWidget* panel)
{
    const int id = idOf(panel);
    const QTimer* t = id ? state().entries.value(id).timer : nullptr;
    return t && t->isActive() ? t->interval() : -1;
}

ToastEvents& Toast::events()
{
    static auto* events = new ToastEvents;
    return *events;
}

}  // namespace kx
