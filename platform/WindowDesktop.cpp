#include "platform/WindowDesktop.h"

#include "platform/XConnection.h"
#include "platform/XReply.h"
#include "platform/XWmMessage.h"

#include <xcb/shape.h>
#include <QWindow>

namespace kx {

namespace {
constexpr quint32 kAllDesktops = 0xFFFFFFFF;
}  // namespace

void showOnAllDesktops(QWindow* window)
{
    const auto x = connectionFor(window);
    if (!x)
        return;
    const auto guard = x->lock();
    const xcb_window_t id = xcb_window_t(window->winId());
    const xcb_atom_t desktop = x->atom("_NET_WM_DESKTOP");
    xcb_change_property(x->raw(), XCB_PROP_MODE_REPLACE, id, desktop, XCB_ATOM_CARDINAL, 32, 1,
                        &kAllDesktops);
    sendToWindowManager(*x, id, desktop, {kAllDesktops, 1 /* a normal application asks */, 0, 0, 0});
    xcb_flush(x->raw());
}

bool isOnAllDesktops(QWindow* window)
{
    const auto x = connectionFor(window);
    if (!x)
        return false;
    const auto guard = x->lock();
    const auto cookie = xcb_get_property(x->raw(), 0, xcb_window_t(window->winId()),
                                         x->atom("_NET_WM_DESKTOP"), XCB_ATOM_CARDINAL, 0, 1);
    const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(x->raw(), cookie, nullptr));
    return reply && xcb_get_property_value_length(reply.get()) == 4 &&
           *static_cast<const quint32*>(xcb_get_property_value(reply.get())) == kAllDesktops;
}

bool setInputTransparent(QWindow* window, bool transparent)
{
    const auto x = connectionFor(window);
    if (!x || !x->hasShape())
        return false;
    const auto guard = x->lock();
    const xcb_window_t id = xcb_window_t(window->winId());
    if (transparent)
        xcb_shape_rectangles(x->raw(), XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, XCB_CLIP_ORDERING_UNSORTED, id,
                             0, 0, 0, nullptr);
    else
        xcb_shape_mask(x->raw(), XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, id, 0, 0, XCB_PIXMAP_NONE);
    xcb_flush(x->raw());
    return true;
}

bool primaryButtonHeld()
{
    if (!qtOnX11())
        return true;
    const auto x = XConnection::shared();
    if (!x)
        return true;
    const auto guard = x->lock();
    xcb_screen_t* screen = x->screen(x->defaultScreen());
    const Reply<xcb_query_pointer_reply_t> reply(
        xcb_query_pointer_reply(x->raw(), xcb_query_pointer(x->raw(), screen->root), nullptr));
    return !reply || (reply->mask & XCB_BUTTON_MASK_1);
}

}  // namespace kx
