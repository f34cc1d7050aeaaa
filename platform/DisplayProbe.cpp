#include "platform/DisplayProbe.h"

#include <xcb/xcb.h>

namespace kx {

bool x11DisplayOpens(const QByteArray& display)
{
    if (display.isEmpty())
        return false;
    xcb_connection_t* c = xcb_connect(display.constData(), nullptr);
    const bool ok = c && xcb_connection_has_error(c) == 0;
    if (c)
        xcb_disconnect(c);
    return ok;
}

}  // namespace kx
