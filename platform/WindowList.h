#pragma once
// The windows on screen, front to back, and the frontmost application's window.
// Synchronous; may be called from any thread.
#include "platform/WindowInfo.h"

#include <QList>
#include <optional>

namespace kx {

// What the X server tells about one managed window, before filtering.
struct WindowCandidate {
    WindowInfo info;
    bool normalLayer = true;  // not a desktop, dock, or other panel-type window
    bool visible = true;      // mapped, not minimised, on the current desktop
    double opacity = 1.0;     // _NET_WM_WINDOW_OPACITY as a fraction
};

class WindowList {
public:
    // Candidate windows front to back: normal windows at least 40 x 40 points, visible,
    // opacity at least 0.05; Kaptorix's own windows only when `includeOwn`.
    static QList<WindowInfo> onScreen(bool includeOwn);
    // The frontmost qualifying window of the active window's process (own windows count).
    static std::optional<WindowInfo> frontmostAppWindow();

    // The filter behind onScreen(), on candidates already in front-to-back order.
    static QList<WindowInfo> filtered(const QList<WindowCandidate>& frontToBack, bool includeOwn,
                                      qint32 ownPid);
    // The rule behind frontmostAppWindow(): the first window of `activePid`'s process, else the
    // window `activeId` itself if it qualifies.
    static std::optional<WindowInfo> frontmostOf(const QList<WindowInfo>& frontToBack, quint32 activeId,
                                                 qint32 activePid);
};

}  // namespace kx
