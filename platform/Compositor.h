#pragma once
// Whether translucent windows show as such: a compositing manager runs.

namespace kx {

// True when a compositing manager owns _NET_WM_CM_S<screen> on X11; true on platforms
// that always composite or draw off screen.
bool compositorRunning();

}  // namespace kx
