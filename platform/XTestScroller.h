#pragma once
// Synthetic mouse-wheel scrolling for the scrolling capture.
#include <QPoint>
#include <optional>

namespace kx {

class Scroller {
public:
    virtual ~Scroller() = default;
    // Whether synthetic input can be posted at all (on X11: the XTEST extension is there).
    virtual bool available() const = 0;
    // Moves the pointer to `globalPoint` (global points, origin top-left) and turns the wheel
    // by `clicks` steps: positive scrolls the content towards its end, negative back.
    // False when nothing could be posted.
    virtual bool scroll(QPoint globalPoint, int clicks) = 0;
    // The client window that wheel clicks at `globalPoint` reach, or nullopt when they would
    // reach no application (the root window, where the window manager may switch workspaces;
    // the desktop; a panel). Scrollers without window knowledge answer "some window" (1).
    virtual std::optional<quint32> clientAt(QPoint globalPoint) const
    {
        Q_UNUSED(globalPoint);
        return 1;
    }
};

// XTest button 4/5 presses on a connection of its own.
class XTestScroller : public Scroller {
public:
    bool available() const override;
    // Refuses (false, nothing posted) where clientAt() finds no client window.
    bool scroll(QPoint globalPoint, int clicks) override;
    // The frontmost managed window of another process under the point.
    std::optional<quint32> clientAt(QPoint globalPoint) const override;

    // The process-wide scroller (X11 unless a test installed another).
    static Scroller& shared();
    // Tests: install another scroller; nullptr restores the X11 one.
    static void setShared(Scroller* scroller);
};

}  // namespace kx
