#include "ui/Toast.h"

#include "core/ScreenGeometry.h"
#include "platform/WindowType.h"
#include "ui/FloatingPanel.h"
#include "ui/FloatingSurface.h"
#include "ui/ToastQueue.h"
#include "ui/ToastView.h"

#include <QCursor>
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
    QPointer<FloatingPanel> panel;  // while on screen
    QTimer* timer = nullptr;        // the panel's own dismissal
    double seconds = 0;
    QString title, subtitle;  // of a notice
    quint64 shownOrder = 0;
};

struct ToastState {
    ToastQueue queue;
    QHash<int, Entry> entries;  // waiting and on screen
    int nextId = 1;
    quint64 nextOrder = 1;
    QRect area;  // the visible area the stack stands on, chosen when it was empty
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
        if (it->panel && it->panel == panel)
            return it.key();
    return 0;
}

void announceEnd(const Entry& e, bool whole)
{
    if (e.kind == ToastQueue::Kind::card)
        Q_EMIT Toast::events().cardEnded(whole);
    else
        Q_EMIT Toast::events().noticeEnded(e.title, e.subtitle, whole);
}

void apply(const ToastQueue::Change& change);

// Puts what is on screen in its place, from the corner upwards; new panels rise into theirs.
void restack(const QList<int>& fresh)
{
    ToastState& s = state();
    QList<int> ids;
    QList<QSize> sizes;
    for (int id : s.queue.shown()) {
        if (FloatingPanel* panel = s.entries.value(id).panel) {
            ids.append(id);
            sizes.append(panel->size());
        }
    }
    const QList<QPoint> at = Toast::stackPositions(s.area, sizes);
    for (qsizetype i = 0; i < ids.size(); ++i) {
        FloatingPanel* panel = s.entries[ids[i]].panel;
        panel->setProperty("kxRestPosition", at[i]);
        if (fresh.contains(ids[i]))
            panel->showAt(at[i] + QPoint(0, Toast::riseDistance));
        else if (panel->pos() == at[i])
            continue;
        animate(panel, 1.0, at[i], Toast::fadeInMs, QEasingCurve::OutQuad, false);
    }
}

// The panel leaves: fading out when its time is up or it was dismissed, at once when replaced.
void end(int id, bool whole, bool fade)
{
    ToastState& s = state();
    if (!s.entries.contains(id))
        return;
    const Entry e = s.entries.take(id);
    if (e.panel) {
        e.timer->stop();
        if (fade) {
            const QPoint rest = e.panel->property("kxRestPosition").toPoint();
            animate(e.panel, 0.0, rest + QPoint(0, Toast::sinkDistance), Toast::fadeOutMs,
                    QEasingCurve::InOutQuad, true);
        } else {
            // Deleted later: a replaced card may be the sender of the call that replaced it.
            e.panel->hide();
            e.panel->deleteLater();
        }
        announceEnd(e, whole);
    } else {
        delete e.view;
    }
    apply(s.queue.ended(id));
}

void show(int id)
{
    ToastState& s = state();
    Entry& e = s.entries[id];
    auto* panel = new FloatingPanel(std::exchange(e.view, nullptr));
    panel->setAttribute(Qt::WA_DeleteOnClose);
    // Notices and the preview card draw their own shadow: a notification type keeps the
    // compositor's rectangular one away.
    panel->winId();
    setNotificationWindowType(panel->windowHandle());
    panel->setWindowOpacity(0);
    e.panel = panel;
    e.shownOrder = s.nextOrder++;
    e.timer = new QTimer(panel);
    e.timer->setSingleShot(true);
    QObject::connect(e.timer, &QTimer::timeout, panel, [id] { end(id, true, true); });
    if (e.seconds > 0)
        e.timer->start(int(std::lround(e.seconds * 1000)));
}

void announceShown(int id)
{
    const Entry e = state().entries.value(id);
    if (!e.panel)
        return;
    if (e.kind == ToastQueue::Kind::card)
        Q_EMIT Toast::events().cardShown();
    else
        Q_EMIT Toast::events().noticeShown(e.title, e.subtitle);
}

void apply(const ToastQueue::Change& change)
{
    ToastState& s = state();
    for (int id : change.remove)
        end(id, false, false);
    if (change.show.isEmpty()) {
        // Something left: those above it come down.
        restack({});
        return;
    }
    bool empty = true;
    for (int id : s.queue.shown())
        empty = empty && (change.show.contains(id) || !s.entries.value(id).panel);
    if (empty) {
        const QPoint pointer = QCursor::pos();
        QScreen* screen = screenContaining(pointer);
        s.area = screen ? screen->availableGeometry() : QRect();
    }
    for (int id : change.show)
        show(id);
    restack(change.show);
    // Told once everything is in place: a listener may present the next toast.
    for (int id : change.show)
        announceShown(id);
}

FloatingPanel* panelOf(int id)
{
    return id ? state().entries.value(id).panel.data() : nullptr;
}

int currentId()
{
    const ToastState& s = state();
    int best = 0;
    quint64 order = 0;
    for (auto it = s.entries.cbegin(); it != s.entries.cend(); ++it) {
        if (it->panel && it->shownOrder > order) {
            order = it->shownOrder;
            best = it.key();
        }
    }
    return best;
}

}  // namespace

QPoint Toast::restPosition(const QRect& visible, const QSize& size)
{
    return {visible.x() + visible.width() - size.width() - edgeMargin,
            visible.y() + visible.height() - size.height() - edgeMargin};
}

QList<QPoint> Toast::stackPositions(const QRect& visible, const QList<QSize>& sizes)
{
    QList<QPoint> out;
    for (const QSize& size : sizes) {
        if (out.isEmpty()) {
            out.append(restPosition(visible, size));
            continue;
        }
        // Right-aligned, its lower margin over the upper margin of the one below.
        out.append({visible.x() + visible.width() - size.width() - edgeMargin,
                    out.last().y() - size.height() + stackOverlap});
    }
    return out;
}

void Toast::present(SurfaceWidget* view, double seconds)
{
    ToastState& s = state();
    const int id = s.nextId++;
    Entry& e = s.entries[id];
    e.view = view;
    e.seconds = seconds;
    // The view is laid out now, so that a panel's size is known before it shows.
    if (const auto* notice = dynamic_cast<const ToastView*>(view)) {
        e.kind = notice->isWarning() ? ToastQueue::Kind::warning : ToastQueue::Kind::confirmation;
        e.title = notice->title();
        e.subtitle = notice->subtitle();
    } else {
        e.kind = ToastQueue::Kind::card;
    }
    apply(s.queue.add(id, e.kind, seconds > 0));
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
