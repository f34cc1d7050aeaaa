#pragma once
// Whether one of our top-level windows appears in the taskbar and pager
// (_NET_WM_STATE_SKIP_TASKBAR / _SKIP_PAGER). Does nothing without X11.

class QWindow;

namespace kx {

// Sets the state property (read by the window manager at map time) and, for a mapped window,
// sends the client message that asks the window manager to change it.
void setSkipTaskbar(QWindow* window, bool skip);
// Whether the server holds _NET_WM_STATE_SKIP_TASKBAR for the window (tests).
bool skipsTaskbar(QWindow* window);

}  // namespace kx
