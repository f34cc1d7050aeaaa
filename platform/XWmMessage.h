#pragma once
// Internal to platform/: asking the window manager to change a managed window's properties.
#include "platform/XConnection.h"

#include <array>
#include <cstdint>
#include <memory>

class QWindow;

namespace kx {

// Whether Qt runs on X11 (everything else in the window helpers is a no-op).
bool qtOnX11();
// Kaptorix's X connection for a window Qt shows on X11; null without one.
std::shared_ptr<XConnection> connectionFor(const QWindow* window);

// Sends a client message about `window` to the default root window, where an EWMH window
// manager listens. The caller holds x.lock() and flushes.
void sendToWindowManager(XConnection& x, xcb_window_t window, xcb_atom_t type,
                         const std::array<uint32_t, 5>& data);

}  // namespace kx
