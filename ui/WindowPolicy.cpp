#include "ui/WindowPolicy.h"

#include "core/Prefs.h"
#include "core/PrefsNotifier.h"
#include "platform/WindowTaskbar.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace kx {

WindowPolicy::Decision WindowPolicy::decide(bool showDock, Qt::WindowFlags flags, bool minimised)
{
    const Qt::WindowType type = Qt::WindowType(int(flags & Qt::WindowType_Mask));
    Decision d;
    // Override-redirect windows (the selection overlay) never reach the taskbar.
    d.managed = (type == Qt::Window || type == Qt::Dialog) && !(flags & Qt::X11BypassWindowManagerHint);
    if (!d.managed)
        return d;
    d.skipTaskbar = !showDock && !minimised;
    // Dialogs (message boxes, file choosers, About) get the keys but no bar of their own.
    d.menuBar = showDock && type == Qt::Window;
    return d;
}

WindowPolicy& WindowPolicy::shared()
{
    static WindowPolicy* policy = new WindowPolicy;
    return *policy;
}

void WindowPolicy::install()
{
    if (installed_ || !qApp)
        return;
    installed_ = true;
    qApp->installEventFilter(this);
    connect(&PrefsNotifier::shared(), &PrefsNotifier::changed, this, [this](const QString& key) {
        if (key == QLatin1String("showDock"))
            applyAll();
    });
    applyAll();
}

void WindowPolicy::applyAll()
{
    // Applying may delete top-level widgets (a removed menu bar takes its menus along).
    QList<QPointer<QWidget>> windows;
    for (QWidget* w : QApplication::topLevelWidgets())
        windows << w;
    for (const QPointer<QWidget>& w : windows)
        if (w && w->isVisible())
            apply(w);
}

void WindowPolicy::apply(QWidget* window)
{
    if (!window || !window->isWindow())
        return;
    const Decision d = decide(Prefs::boolean("showDock"), window->windowFlags(), window->isMinimized());
    if (!d.managed)
        return;
    // The taskbar state must be there before the window is mapped.
    if (window->windowHandle())
        setSkipTaskbar(window->windowHandle(), d.skipTaskbar);
    if (!onApply)
        return;
    // A widget may be shown before it is put into its parent: the menu waits a turn.
    QTimer::singleShot(0, this, [this, w = QPointer<QWidget>(window)] {
        if (!w || !w->isWindow() || !onApply)
            return;
        const Decision now = decide(Prefs::boolean("showDock"), w->windowFlags(), w->isMinimized());
        if (now.managed)
            onApply(w, now.menuBar);
    });
}

bool WindowPolicy::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::Show || type == QEvent::WindowStateChange) {
        auto* w = qobject_cast<QWidget*>(watched);
        if (w && w->isWindow())
            apply(w);
    }
    return false;
}

QMargins WindowPolicy::assumedFrame()
{
    // A title bar and thin borders, in logical pixels: generous for the common managers.
    return {4, 32, 4, 4};
}

QRect WindowPolicy::fitted(const QSize& size, const QMargins& frame, const QRect& available)
{
    const QSize room(std::max(1, available.width() - frame.left() - frame.right()),
                     std::max(1, available.height() - frame.top() - frame.bottom()));
    const QSize client = size.boundedTo(room);
    QRect outer(QPoint(), client.grownBy(frame));
    outer.moveCenter(available.center());
    // An odd remainder may not push the frame past the area's top-left.
    outer.moveTopLeft(
        QPoint(std::max(outer.left(), available.left()), std::max(outer.top(), available.top())));
    return QRect(outer.topLeft() + QPoint(frame.left(), frame.top()), client);
}

void WindowPolicy::centre(QWidget* window, const QScreen* screen)
{
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QWindow* handle = window->windowHandle();
    const QMargins known = handle && window->isVisible() ? handle->frameMargins() : QMargins();
    const QMargins frame = known.isNull() ? assumedFrame() : known;
    const QRect client = fitted(window->size(), frame, screen->availableGeometry());
    window->setMinimumSize(window->minimumSize().boundedTo(client.size()));
    window->resize(client.size());
    // A top-level window's position is its frame's.
    window->move(client.topLeft() - QPoint(frame.left(), frame.top()));
}

void WindowPolicy::bringToFront(QWidget* window)
{
    window->show();
    if (window->isMinimized())
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->raise();
    window->activateWindow();
}

}  // namespace kx
