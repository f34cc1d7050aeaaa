#pragma once
// What the keyboard map says about a key, for recording shortcuts and naming them.
#include <QString>
#include <QtGlobal>
#include <optional>

namespace kx {

// The keysym of X key code `keycode` at the layout's base level (no Shift, no AltGr), so
// Shift+1 records as XK_1. Nothing without a display or for a key with no symbol.
std::optional<quint32> baseKeysym(quint32 keycode);

// The key-cap text of a keysym as the menus print it: "F5", "Space", arrows, else its
// character upper-cased ("É", "&", "7"); empty for a keysym without one.
QString keysymLabel(quint32 keysym);

}  // namespace kx
