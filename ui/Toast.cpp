#include "ui/Toast.h"

#include "core/ScreenGeometry.h"
#include "platform/WindowType.h"
#include "ui/FloatingPanel.h"
#include "ui/FloatingSurface.h"

#include <QCursor>
#include <QParallelAnimationGroup>
#include <QPointer>
#include <QPropertyAnimation>
#include <QScreen>
#include <QTimer>
#include <cmath>

namespace kx {

namespace {

struct ToastState {
    QPointer<FloatingPanel> current;
    QTimer* pendingDismiss = nullptr;
};

ToastState& state()
{
    static ToastState s;
    if (!s.pendingDismiss) {
        // Never deleted: it lives as long as the process, like the notice it serves.
        s.pendingDismiss = new QTimer;
        s.pendingDismiss->setSingleShot(true);
        QObject::connect(s.pendingDismiss, &QTimer::timeout, [] { Toast::dismiss(); });
    }
    return s;
}

void animate(FloatingPanel* panel, qreal opacity, const QPoint& to, int ms, QEasingCurve curve,
             bool closeAtEnd)
{
    // A fade-out takes over from a fade-in that is still running.
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

}  // namespace

QPoint Toast::restPosition(const QRect& visible, const QSize& size)
{
    return {visible.x() + visible.width() - size.width() - edgeMargin,
            visible.y() + visible.height() - size.height() - edgeMargin};
}

void Toast::present(SurfaceWidget* view, double seconds)
{
    ToastState& s = state();
    s.pendingDismiss->stop();
    if (s.current) {
        // The previous toast goes at once, without a fade.
        s.current->hide();
        s.current->deleteLater();
        s.current = nullptr;
    }
    auto* panel = new FloatingPanel(view);
    panel->setAttribute(Qt::WA_DeleteOnClose);
    // Notices and the preview card draw their own shadow: a notification type keeps the
    // compositor's rectangular one away.
    panel->winId();
    setNotificationWindowType(panel->windowHandle());
    const QPoint pointer = QCursor::pos();
    QScreen* screen = screenContaining(pointer);
    const QRect visible = screen ? screen->availableGeometry() : QRect(QPoint(0, 0), panel->size());
    const QPoint rest = restPosition(visible, panel->size());
    panel->setProperty("kxRestPosition", rest);
    panel->setWindowOpacity(0);
    panel->showAt(rest + QPoint(0, riseDistance));
    animate(panel, 1.0, rest, fadeInMs, QEasingCurve::OutQuad, false);
    s.current = panel;
    schedule(seconds);
}

void Toast::schedule(double seconds)
{
    ToastState& s = state();
    s.pendingDismiss->stop();
    if (seconds > 0)
        s.pendingDismiss->start(int(std::lround(seconds * 1000)));
}

void Toast::dismiss()
{
    ToastState& s = state();
    if (!s.current)
        return;
    FloatingPanel* panel = s.current;
    s.current = nullptr;
    const QPoint rest = panel->property("kxRestPosition").toPoint();
    animate(panel, 0.0, rest + QPoint(0, sinkDistance), fadeOutMs, QEasingCurve::InOutQuad, true);
}

FloatingPanel* Toast::current()
{
    return state().current;
}

int Toast::pendingDismissMs()
{
    const QTimer* t = state().pendingDismiss;
    return t->isActive() ? t->interval() : -1;
}

}  // namespace kx
