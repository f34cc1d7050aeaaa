#include "platform/WindowType.h"

#include "platform/XConnection.h"
#include "platform/XReply.h"
#include "platform/XWmMessage.h"

#include <QWindow>

namespace kx {

void setNotificationWindowType(QWindow* window)
{
    const auto x = connectionFor(window);
    if (!x)
        return;
    const auto guard = x->lock();
    const xcb_atom_t types[] = {x->atom("_NET_WM_WINDOW_TYPE_NOTIFICATION"),
                                x->atom("_NET_WM_WINDOW_TYPE_TOOLTIP")};
    xcb_change_property(x->raw(), XCB_PROP_MODE_REPLACE, xcb_window_t(window->winId()),
                        x->atom("_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 32, 2, types);
    xcb_flush(x->raw());
}

bool hasNotificationWindowType(QWindow* window)
{
    const auto x = connectionFor(window);
    if (!x)
        return false;
    const auto guard = x->lock();
    const auto cookie = xcb_get_property(x->raw(), 0, xcb_window_t(window->winId()),
                                         x->atom("_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 0, 8);
    const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(x->raw(), cookie, nullptr));
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4)
        return false;
    return *static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get())) ==
           x->atom("_NET_WM_WINDOW_TYPE_NOTIFICATION");
}

}  // namespace kx
