#pragma once
// Window queries on Kaptorix's own X connection: the managed windows front to back, the
// active window, and Kaptorix's own top-level windows (to keep them out of a grab).
#include "platform/WindowList.h"
#include "platform/XConnection.h"

#include <QList>
#include <QMargins>
#include <QRegion>
#include <optional>
#include <vector>

class QWindow;

namespace kx {

struct XWindowRecord {
    WindowCandidate candidate;  // frame in global points
    QRect nativeFrame;          // the same frame in root pixels
    int xScreen = 0;
};

struct XOwnWindow {
    xcb_window_t window = 0;  // the root child (a window-manager frame or the window itself)
    QRegion visible;          // what it covers, in root pixels (its shape, if it has one)
    bool shaped = false;      // has a bounding shape of its own, kept in shapeRects
    std::vector<xcb_rectangle_t> shapeRects;
};

namespace xwindows {

// Managed windows of the default X screen, front to back. Without a window manager the mapped
// top-level windows stand in for them.
QList<XWindowRecord> records(XConnection& x);
// The window manager's active window, if any.
std::optional<quint32> activeWindow(XConnection& x);
// A text property in COMPOUND_TEXT (ISO 2022 escapes, also UTF-8 segments).
QString fromCompoundText(const QByteArray& text);
// This process's mapped top-level windows on an X screen.
QList<XOwnWindow> ownTopLevels(XConnection& x, int xScreen);

// The frame the window manager draws around one of our windows (_NET_FRAME_EXTENTS, in root
// pixels); none until it has said, and none without X11.
std::optional<QMargins> frameExtents(QWindow* window);
// Asks the window manager to publish the frame it would give a window not yet mapped.
void requestFrameExtents(QWindow* window);
// The window whose frame extents changed, when a native event of Qt's says so.
std::optional<quint32> frameExtentsChanged(const QByteArray& eventType, const void* message);

}  // namespace xwindows
}  // namespace kx
