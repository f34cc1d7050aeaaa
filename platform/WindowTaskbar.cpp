#include "platform/WindowTaskbar.h"

#include "platform/XConnection.h"
#include "platform/XReply.h"
#include "platform/XWmMessage.h"

#include <QVector>
#include <QWindow>

namespace kx {

namespace {
QVector<xcb_atom_t> stateAtoms(XConnection& x, xcb_window_t id)
{
    const xcb_atom_t state = x.atom("_NET_WM_STATE");
    const auto cookie = xcb_get_property(x.raw(), 0, id, state, XCB_ATOM_ATOM, 0, 64);
    const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(x.raw(), cookie, nullptr));
    QVector<xcb_atom_t> out;
    if (!reply || reply->format != 32)
        return out;
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
    const int n = xcb_get_property_value_length(reply.get()) / 4;
    for (int i = 0; i < n; ++i)
        out << atoms[i];
    return out;
}
}  // namespace

void setSkipTaskbar(QWindow* window, bool skip)
{
    const auto x = connectionFor(window);
    if (!x)
        return;
    const auto guard = x->lock();
    const xcb_window_t id = xcb_window_t(window->winId());
    const xcb_atom_t state = x->atom("_NET_WM_STATE");
    const xcb_atom_t wanted[] = {x->atom("_NET_WM_STATE_SKIP_TASKBAR"), x->atom("_NET_WM_STATE_SKIP_PAGER")};

    // Before the first map the window manager only reads the property.
    QVector<xcb_atom_t> atoms = stateAtoms(*x, id);
    for (const xcb_atom_t a : wanted) {
        atoms.removeAll(a);
        if (skip)
            atoms << a;
    }
    xcb_change_property(x->raw(), XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32, uint32_t(atoms.size()),
                        atoms.constData());

    if (window->isVisible()) {
        // _NET_WM_STATE_ADD / _REMOVE; the 1 says a normal application asks.
        sendToWindowManager(*x, id, state, {skip ? 1u : 0u, wanted[0], wanted[1], 1, 0});
    }
    xcb_flush(x->raw());
}

bool skipsTaskbar(QWindow* window)
{
    const auto x = connectionFor(window);
    if (!x)
        return false;
    const auto guard = x->lock();
    return stateAtoms(*x, xcb_window_t(window->winId())).contains(x->atom("_NET_WM_STATE_SKIP_TASKBAR"));
}

}  // namespace kx
