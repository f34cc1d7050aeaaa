#pragma once
// Screen lookup in Qt's global coordinates (logical points, origin top-left, y down).
#include <QList>
#include <QPointF>
#include <QRect>

class QScreen;

namespace kx {

// Index of the first frame containing the point (right and bottom edges excluded);
// otherwise `primary`, or 0 when that is out of range; -1 for an empty list.
int screenIndexContaining(const QList<QRect>& frames, const QPointF& point, int primary = 0);

// The screen under a global point, else the primary screen, else the first one.
QScreen* screenContaining(const QPointF& globalPoint);

// The screen under the pointer.
QScreen* screenUnderPointer();

}  // namespace kx
