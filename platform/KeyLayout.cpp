#include "platform/KeyLayout.h"

#include "platform/XConnection.h"

#include <xcb/xcb_keysyms.h>

namespace kx {

std::optional<quint32> baseKeysym(quint32 keycode)
{
    if (keycode < 8 || keycode > 255)
        return std::nullopt;
    const std::shared_ptr<XConnection> x = XConnection::shared();
    if (!x)
        return std::nullopt;
    auto lock = x->lock();
    // Allocated per call: the map changes with the layout, and a press is rare.
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(x->raw());
    if (!symbols)
        return std::nullopt;
    const xcb_keysym_t sym = xcb_key_symbols_get_keysym(symbols, xcb_keycode_t(keycode), 0);
    xcb_key_symbols_free(symbols);
    if (sym == XCB_NO_SYMBOL)
        return std::nullopt;
    return quint32(sym);
}

}  // namespace kx
