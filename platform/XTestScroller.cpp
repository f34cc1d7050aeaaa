#include "platform/XTestScroller.h"

#include "platform/XConnection.h"
#include "platform/XWindows.h"

#include <unistd.h>

#include <xcb/xtest.h>
#include <atomic>
#include <cstdlib>

namespace kx {

namespace {

// Core pointer buttons of the wheel: 4 turns it up, 5 down.
constexpr quint8 wheelUp = 4;
constexpr quint8 wheelDown = 5;

std::atomic<Scroller*> installed{nullptr};

}  // namespace

bool XTestScroller::available() const
{
    const std::shared_ptr<XConnection> x = XConnection::shared();
    return x && x->hasXTest();
}

std::optional<quint32> XTestScroller::clientAt(QPoint globalPoint) const
{
    const std::shared_ptr<XConnection> x = XConnection::shared();
    if (!x)
        return std::nullopt;
    auto lock = x->lock();
    const qint32 own = qint32(getpid());
    for (const XWindowRecord& rec : xwindows::records(*x)) {
        const WindowCandidate& c = rec.candidate;
        // Kaptorix's border and HUD take no input; wheel clicks pass through them.
        if (!c.visible || c.info.pid == own || !c.info.frame.contains(globalPoint))
            continue;
        if (!c.normalLayer)
            return std::nullopt;
        return c.info.id;
    }
    return std::nullopt;
}

bool XTestScroller::scroll(QPoint globalPoint, int clicks)
{
    const std::shared_ptr<XConnection> connection = XConnection::shared();
    if (!connection || !connection->hasXTest() || !clientAt(globalPoint))
        return false;
    XConnection& x = *connection;
    auto lock = x.lock();
    int xScreen = x.defaultScreen();
    QPointF native = globalPoint;
    for (const ScreenPlacement& p : x.placements()) {
        if (p.logical.contains(globalPoint)) {
            xScreen = p.xScreen;
            native = p.toNative(globalPoint);
            break;
        }
    }
    const xcb_screen_t* s = x.screen(xScreen);
    if (!s)
        return false;
    xcb_connection_t* c = x.raw();
    xcb_test_fake_input(c, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, s->root, int16_t(qRound(native.x())),
                        int16_t(qRound(native.y())), 0);
    const quint8 button = clicks > 0 ? wheelDown : wheelUp;
    for (int i = 0; i < std::abs(clicks); ++i) {
        xcb_test_fake_input(c, XCB_BUTTON_PRESS, button, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_test_fake_input(c, XCB_BUTTON_RELEASE, button, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    }
    // Back from the server means every event has been delivered.
    x.roundTrip();
    return !x.broken();
}

Scroller& XTestScroller::shared()
{
    static XTestScroller scroller;
    Scroller* s = installed.load();
    return s ? *s : scroller;
}

void XTestScroller::setShared(Scroller* scroller)
{
    installed.store(scroller);
}

}  // namespace kx
