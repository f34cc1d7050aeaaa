#pragma once
// Puts one of our top-level windows on every virtual desktop (_NET_WM_DESKTOP 0xFFFFFFFF):
// as a property for the window manager to read at map time, and as the client message a
// window manager expects for a window already mapped. Does nothing without X11.

class QWindow;

namespace kx {

void showOnAllDesktops(QWindow* window);
// Whether the server holds _NET_WM_DESKTOP 0xFFFFFFFF for the window (tests).
bool isOnAllDesktops(QWindow* window);

// Lets the pointer pass through the window to what lies below (an empty input shape), or
// gives it its normal input area back; the window stays mapped and keeps its key events
// (Qt's WindowTransparentForInput also drops them for good on X11). False without X11 SHAPE.
bool setInputTransparent(QWindow* window, bool transparent);

// Whether the server has the primary pointer button down now (true without X11, where the
// caller's own event state is all there is).
bool primaryButtonHeld();

}  // namespace kx
