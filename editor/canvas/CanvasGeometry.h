#pragma once
// The canvas's pure geometry: clamping pointer positions, Shift constraints, pictures that
// keep their aspect ratio, handle hits and the crop rectangle's size label.

#include "editor/Annotation.h"

#include <QPointF>
#include <QRectF>
#include <QSize>
#include <optional>

namespace kx::canvas {

// A point moved into the image: x into [0, width], y into [0, height].
QPointF clampToImage(const QPointF& p, const QSizeF& image);

// With Shift: lines snap to 45° keeping their length, rectangle-like shapes become squares
// growing towards the pointer; otherwise (and for other kinds) the point itself.
QPointF constrain(const QPointF& p, const Annotation& a, bool shift);

// Shift while moving: only the larger component of the offset is kept.
QPointF axisLocked(const QPointF& offset);

// A picture reshaped by `handle`, corrected to the image's proportions with the edges
// opposite the handle fixed; never narrower than 24 pixels.
Annotation keepingAspect(Annotation a, Handle handle, const QSize& image);

// The first handle of the annotation within `radius` of p.
std::optional<Handle> handleHit(const Annotation& a, const QPointF& p, double radius);

// The crop rectangle as a crop-kind annotation (p1 top-left, p2 bottom-right).
Annotation cropAnnotation(const QRectF& rect);

// The rectangle spanned by a crop annotation's corners, clamped into the image.
QRectF clampedCrop(const Annotation& a, const QSizeF& image);

// A crop rectangle moved by `offset`, kept whole inside the image.
QRectF movedCrop(const QRectF& original, const QPointF& offset, const QSizeF& image);

// A new object smaller than this (image pixels) is dropped when the drag ends.
bool tooSmall(const Annotation& a, double minSize);

// Every point of the object moved by `offset` (p1, p2, samples, lens centre).
void moveAll(Annotation& a, const QPointF& offset);

// "width × height" in whole pixels.
QString cropBadgeText(const QRectF& rect);

}  // namespace kx::canvas
