#include "platform/KeyLayout.h"

#include "platform/XConnection.h"

#include <X11/keysym.h>
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

QString keysymLabel(quint32 sym)
{
    switch (sym) {
        case XK_space:
            return QStringLiteral("Space");
        case XK_Return:
            return QStringLiteral("↩");
        case XK_Tab:
            return QStringLiteral("⇥");
        case XK_Left:
            return QStringLiteral("←");
        case XK_Right:
            return QStringLiteral("→");
        case XK_Down:
            return QStringLiteral("↓");
        case XK_Up:
            return QStringLiteral("↑");
        default:
            break;
    }
    if (sym >= XK_F1 && sym <= XK_F35)
        return QStringLiteral("F%1").arg(sym - XK_F1 + 1);
    if ((sym >= 0x20 && sym <= 0x7e) || (sym >= 0xa0 && sym <= 0xff))
        return QString(QChar(char16_t(sym))).toUpper();
    if (sym >= 0x1000100 && sym <= 0x110ffff) {
        const char32_t cp = char32_t(sym - 0x1000000);
        return QString::fromUcs4(&cp, 1).toUpper();
    }
    return {};
}

}  // namespace kx
