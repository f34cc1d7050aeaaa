#pragma once
// The _NET_WM_WINDOW_TYPE of our own notices. Compositors' common rules leave notification
// windows without a drawn shadow; a Qt tool window would get a rectangular one around the
// transparent margin in which the notice draws its own. Does nothing without X11.

class QWindow;

namespace kx {

// Marks the window as a notification (tooltip as the fallback type). Call before it is
// mapped; Qt writes the type only when the window is made or its flags change.
void setNotificationWindowType(QWindow* window);
// Whether the server holds _NET_WM_WINDOW_TYPE_NOTIFICATION first for the window (tests).
bool hasNotificationWindowType(QWindow* window);

}  // namespace kx
