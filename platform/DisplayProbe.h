#pragma once
// Whether an X11 display can be opened, asked before anything of Qt's needs one.
#include <QByteArray>

namespace kx {

// Connects to `display` (the DISPLAY syntax) and disconnects again; false when refused.
bool x11DisplayOpens(const QByteArray& display);

}  // namespace kx
