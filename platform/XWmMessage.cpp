#include "platform/XWmMessage.h"

#include <QGuiApplication>

namespace kx {

bool qtOnX11()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

std::shared_ptr<XConnection> connectionFor(const QWindow* window)
{
    return window && qtOnX11() ? XConnection::shared() : nullptr;
}

void sendToWindowManager(XConnection& x, xcb_window_t window, xcb_atom_t type,
                         const std::array<uint32_t, 5>& data)
{
    xcb_client_message_event_t ev{};
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = window;
    ev.type = type;
    for (size_t i = 0; i < data.size(); ++i)
        ev.data.data32[i] = data[i];
    xcb_screen_t* screen = x.screen(x.defaultScreen());
    xcb_send_event(x.raw(), 0, screen->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&ev));
}

}  // namespace kx
