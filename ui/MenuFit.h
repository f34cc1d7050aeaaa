#pragma once
// Menus that stay on a small screen: a menu taller than the screen scrolls in one column
// instead of spreading into further columns beside it, which run off a narrow screen.
class QMenu;

namespace kx {

void scrollWhenTall(QMenu* menu);

}  // namespace kx
