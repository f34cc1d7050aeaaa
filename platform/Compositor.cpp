#include "platform/Compositor.h"

#include "platform/XConnection.h"
#include "platform/XReply.h"

#include <QGuiApplication>

namespace kx {

bool compositorRunning()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return true;
    const std::shared_ptr<XConnection> x = XConnection::shared();
    if (!x)
        return true;
    auto guard = x->lock();
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(x->defaultScreen());
    const xcb_atom_t atom = x->atom(name.constData());
    if (atom == XCB_ATOM_NONE)
        return false;
    const Reply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(x->raw(), xcb_get_selection_owner(x->raw(), atom), nullptr));
    return owner && owner->owner != XCB_NONE;
}

}  // namespace kx
