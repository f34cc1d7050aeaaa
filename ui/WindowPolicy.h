#pragma once
// How Kaptorix's own windows sit on the desktop. With `showDock` on, Kaptorix is a regular
// application: its windows have taskbar entries and carry the main menu as a menu bar. Off
// (the default), it is an accessory: its windows skip the taskbar and pager and show no menu
// bar; a minimised window keeps its entry, or it could not be brought back.
//
// The service applies this to every top-level window as it is shown, to all at once when the
// setting changes, and again when a window is minimised or restored.

#include <QList>
#include <QMargins>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <functional>

class QScreen;
class QWidget;

namespace kx {

class WindowPolicy : public QObject {
    Q_OBJECT
public:
    struct Decision {
        bool managed =
            false;  // a normal window or dialog of ours (panels, popups and tips keep their own hints)
        bool skipTaskbar = false;  // also skips the pager
        bool menuBar = false;      // main windows only; dialogs keep just the keys
    };
    static Decision decide(bool showDock, Qt::WindowFlags flags, bool minimised);

    static WindowPolicy& shared();

    // Starts watching the application's windows (idempotent).
    void install();
    // Applies the current setting to every visible top-level window now.
    void applyAll();
    void apply(QWidget* window);

    // Called for each managed window as it is shown and when the setting changes, with whether it
    // should carry the menu bar. The main menu hooks in here (it lives above this layer).
    std::function<void(QWidget* window, bool menuBar)> onApply;

    // Where a window's frame goes on the work area other than its centre (a cascade of windows
    // opened together): given the frame's size, already no larger than the work area, and the
    // work area, the frame's top-left corner. The frame is kept on the area whatever it says.
    using Placement = std::function<QPoint(const QSize& frame, const QRect& available)>;

    // Centres a window being made on the screen's work area (the primary screen when null), or
    // puts it where `place` says, first shrinking it (and its minimum size; a fixed size stays
    // fixed) where it would not fit there, frame included. Until the window manager tells the
    // frame, the last one it told or else the assumed one stands in, and the window is fitted
    // again once the real one is known.
    static void centre(QWidget* window, const QScreen* screen = nullptr, Placement place = {});
    // The client rectangle of a window that wants `size`, with `frame` drawn around it by the
    // window manager, no larger than `available`: centred there, or where `place` says.
    static QRect fitted(const QSize& size, const QMargins& frame, const QRect& available,
                        const Placement& place = {});
    // The decoration assumed around a window before the window manager has told its own.
    static QMargins assumedFrame();
    // A frame the window manager told in device pixels, in logical pixels at `ratio`.
    static QMargins logicalFrame(const QMargins& native, qreal ratio);
    // Shows a window, restores it when minimised and gives it the focus.
    static void bringToFront(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    WindowPolicy() = default;
    bool installed_ = false;
};

}  // namespace kx
