#pragma once
// Puts one of our top-level windows on every virtual desktop (_NET_WM_DESKTOP 0xFFFFFFFF):
// as a property for the window manager to read at map time, and as the client message a
// window manager expects for a window already mapped. Does nothing without X11.

class QWindow;

namespace kx {

void showOnAllDesktops(QWindow* window);
// Whether the server holds _NET_WM_DESKTOP 0xFFFFFFFF for the window (tests).
bool isOnAllDesktops(QWindow* window);

}  // namespace kx
