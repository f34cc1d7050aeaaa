#pragma once
// The pure geometry of the selection overlay: drag rectangles on the pixel grid, the pixel
// under a point, windows in view coordinates, and where labels and the loupe go.
#include "platform/WindowInfo.h"

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <optional>

namespace kx {

// Rounds half away from zero.
double roundHalfAway(double v);

// v on the grid of a display with `scale` pixels per point.
double snapToPixel(double v, double scale);

// The selection of a drag from `anchor` to `current` in a view of `bounds`: made square
// first when `square` (the longer side wins, each axis keeping its direction), then both
// corners clamped to the bounds and put on the pixel grid, then normalised. A corner on the
// last pixel column or row reaches the edge.
QRectF dragRect(QPointF anchor, QPointF current, QSizeF bounds, double scale, bool square);

// The frozen-image pixel under a view point, clamped to the image.
QPoint pixelPoint(QPointF point, double scale, QSize imageSize);

// Half-open containment: the right and bottom edges are outside.
bool containsPoint(const QRectF& r, QPointF p);

struct LocalWindow {
    WindowInfo info;
    QRectF rect;  // the frame in view coordinates
};

// The windows (global points, front to back) that reach into a view whose display starts
// at `origin`, with their frames moved into the view; order kept.
QList<LocalWindow> localWindows(const QList<WindowInfo>& windows, QPointF origin, QSizeF viewSize);

// Index of the first (front-most) window containing the point.
std::optional<int> windowAt(const QList<LocalWindow>& windows, QPointF point);

// The loupe: a 135 x 135 magnified square above a footer, placed beside the pointer and
// flipped left or up where it would leave the view.
inline constexpr double kLoupeSide = 135;
inline constexpr double kLoupeCell = 9;
inline constexpr int kLoupeSamples = 15;
double loupeFooterHeight(bool colorPicker);
QRectF loupeCard(QPointF pointer, QSizeF bounds, double footer);

// A label pill of `size` near `target`: above it, else below it, else inside its top.
QPointF labelOrigin(const QRectF& target, QSizeF size, QSizeF bounds);

// "W × H px" of a selection, in pixels.
QString selectionSizeText(const QRectF& selection, double scale);
// "owner — title  ·  W × H" of a hovered window (no title: "owner  ·  W × H").
QString windowLabelText(const WindowInfo& window, const QRectF& rect, double scale);

}  // namespace kx
