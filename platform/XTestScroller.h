#pragma once
// Synthetic mouse-wheel scrolling for the scrolling capture.
#include <QPoint>

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
};

// XTest button 4/5 presses on a connection of its own.
class XTestScroller : public Scroller {
public:
    bool available() const override;
    bool scroll(QPoint globalPoint, int clicks) override;

    // The process-wide scroller (X11 unless a test installed another).
    static Scroller& shared();
    // Tests: install another scroller; nullptr restores the X11 one.
    static void setShared(Scroller* scroller);
};

}  // namespace kx
