#pragma once
// One on-screen top-level window as the window list reports it.
#include <QRect>
#include <QSize>
#include <QString>
#include <QtGlobal>

namespace kx {

struct WindowInfo {
    quint32 id = 0;  // X id of the client window
    // Global points, origin top-left. Includes the window manager's decorations (title bar,
    // borders) and leaves out the invisible shadow margins of client-side decorated windows.
    QRect frame;
    QString title;   // empty when the window has none
    QString owner;   // name of the owning process; empty when unknown
    qint32 pid = 0;  // 0 when unknown
    // The size in device pixels a grab of the window has (the on-screen part of its frame);
    // empty when unknown.
    QSize pixelSize;

    bool operator==(const WindowInfo&) const = default;
};

}  // namespace kx
