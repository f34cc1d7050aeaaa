#include "ui/WindowPolicy.h"

#include "core/Prefs.h"
#include "core/PrefsNotifier.h"
#include "platform/WindowTaskbar.h"
#include "platform/XWindows.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <optional>

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

QRect WindowPolicy::fitted(const QSize& size, const QMargins& frame, const QRect& available,
                           const Placement& place)
{
    const QSize room(std::max(1, available.width() - frame.left() - frame.right()),
                     std::max(1, available.height() - frame.top() - frame.bottom()));
    const QSize client = size.boundedTo(room);
    QRect outer(QPoint(), client.grownBy(frame));
    outer.moveCenter(available.center());
    if (place)
        outer.moveTopLeft(place(outer.size(), available));
    // On the area whatever the placement says; an odd remainder may not push the frame past
    // the area's top-left.
    outer.moveTopLeft(
        QPoint(std::max(std::min(outer.left(), available.right() + 1 - outer.width()), available.left()),
               std::max(std::min(outer.top(), available.bottom() + 1 - outer.height()), available.top())));
    return QRect(outer.topLeft() + QPoint(frame.left(), frame.top()), client);
}

QMargins WindowPolicy::logicalFrame(const QMargins& native, qreal ratio)
{
    // Rounded up: a fit may leave a pixel spare, never lack one.
    ratio = std::max<qreal>(ratio, 1e-3);
    const auto up = [ratio](int v) { return int(std::ceil(v / ratio - 1e-6)); };
    return {up(native.left()), up(native.top()), up(native.right()), up(native.bottom())};
}

namespace {

// The last frame a window manager told us of, a better guess for the next window than the
// assumed one.
std::optional<QMargins>& lastToldFrame()
{
    static std::optional<QMargins> frame;
    return frame;
}

// The frame the window manager says it draws around `handle`, in logical pixels.
std::optional<QMargins> toldFrame(QWindow* handle)
{
    const std::optional<QMargins> native = handle ? xwindows::frameExtents(handle) : std::nullopt;
    if (!native)
        return std::nullopt;
    const QMargins frame = WindowPolicy::logicalFrame(*native, handle->devicePixelRatio());
    lastToldFrame() = frame;
    return frame;
}

struct FitRequest {
    QPointer<const QScreen> screen;
    QSize wanted;   // the size asked for before any shrinking
    QSize minimum;  // likewise the minimum
    bool fixed = false;
    WindowPolicy::Placement place;  // where on the area, if not centred
};

void placeFitted(QWidget* window, const FitRequest& r, const QMargins& frame)
{
    const QScreen* screen = r.screen ? r.screen.data() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect client = WindowPolicy::fitted(r.wanted, frame, screen->availableGeometry(), r.place);
    if (r.fixed)
        window->setFixedSize(client.size());
    else
        window->setMinimumSize(r.minimum.boundedTo(client.size()));
    // The client's own rectangle, never the frame's position: QWidget::move() turns a frame
    // position into the client's with the frame Qt last saw at a move or resize event, which is
    // none while the manager has told the frame but not yet framed the window, and the window
    // then lands a whole title bar too high. Placed this way from the start, the window is also
    // made with static gravity, so the manager keeps the client where it is asked to be
    // whatever frame it draws.
    window->setGeometry(client);
}

// Windows placed with a guessed frame, fitted again once the window manager tells the real one:
// asked for as the window is shown, read when it changes and when the window is first exposed.
class FrameWatch : public QObject, public QAbstractNativeEventFilter {
public:
    static FrameWatch& shared()
    {
        static FrameWatch* watch = new FrameWatch;
        return *watch;
    }

    void watch(QWidget* window, const FitRequest& r, const QMargins& guessed)
    {
        if (!qApp)
            return;
        if (!filtering_) {
            filtering_ = true;
            qApp->installNativeEventFilter(this);
        }
        watched_.removeIf([window](const Entry& e) { return !e.window || e.window == window; });
        watched_.append({window, r, guessed});
        window->installEventFilter(this);
        if (window->windowHandle() && window->isVisible())
            shown(window);
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override
    {
        if (watched_.isEmpty())
            return false;
        if (const std::optional<quint32> id = xwindows::frameExtentsChanged(eventType, message)) {
            for (const Entry& e : watched_) {
                if (e.window && e.window->windowHandle() && quint32(e.window->effectiveWinId()) == *id) {
                    // Not in the middle of Qt's own event handling.
                    QTimer::singleShot(0, this, [this, w = e.window] { told(w, false); });
                    break;
                }
            }
        }
        return false;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show) {
            if (auto* w = qobject_cast<QWidget*>(watched))
                shown(w);
        } else if (event->type() == QEvent::Expose) {
            for (const Entry& e : watched_) {
                if (e.window && e.window->windowHandle() == watched &&
                    e.window->windowHandle()->isExposed()) {
                    told(e.window, true);
                    break;
                }
            }
        }
        return false;
    }

private:
    struct Entry {
        QPointer<QWidget> window;
        FitRequest request;
        QMargins frame;  // the one the window was fitted with
    };

    void shown(QWidget* window)
    {
        QWindow* handle = window->windowHandle();
        if (!handle)
            return;
        handle->installEventFilter(this);
        xwindows::requestFrameExtents(handle);
    }

    // Fits the window again when the frame told differs from the one it was fitted with; once
    // it is on screen with a told frame it is left to the user.
    void told(QWidget* window, bool exposed)
    {
        if (!window || !window->windowHandle())
            return;
        const auto it = std::find_if(watched_.begin(), watched_.end(),
                                     [window](const Entry& e) { return e.window == window; });
        if (it == watched_.end())
            return;
        const std::optional<QMargins> frame = toldFrame(window->windowHandle());
        if (!frame)
            return;
        if (*frame != it->frame) {
            it->frame = *frame;
            placeFitted(window, it->request, *frame);
        }
        if (exposed) {
            window->removeEventFilter(this);
            window->windowHandle()->removeEventFilter(this);
            watched_.erase(it);
        }
    }

    bool filtering_ = false;
    QList<Entry> watched_;
};

}  // namespace

void WindowPolicy::centre(QWidget* window, const QScreen* screen, Placement place)
{
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QWindow* handle = window->windowHandle();
    const QMargins qtKnown = handle && window->isVisible() ? handle->frameMargins() : QMargins();
    std::optional<QMargins> frame = qtKnown.isNull() ? toldFrame(handle) : qtKnown;
    const bool guessed = !frame;
    if (!frame)
        frame = lastToldFrame().value_or(assumedFrame());
    const FitRequest request{screen, window->size(), window->minimumSize(),
                             window->minimumSize() == window->maximumSize(), std::move(place)};
    placeFitted(window, request, *frame);
    if (guessed)
        FrameWatch::shared().watch(window, request, *frame);
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
