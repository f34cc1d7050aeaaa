#pragma once
// One object drawn over the base image, with its geometry: bounds, hit test, grab handles,
// handle dragging and magnifier lens placement. Coordinates are base-image pixels, origin
// top-left, y downwards.

#include "editor/AnnotationStyle.h"
#include "editor/ToolKind.h"

#include <QImage>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QUuid>

namespace kx {

enum class Handle { topLeft, top, topRight, right, bottomRight, bottom, bottomLeft, left, start, end, lens };

// The eight box handles in drawing order.
QList<Handle> boxHandles();

struct Annotation {
    QUuid id = QUuid::createUuid();
    ToolKind kind = ToolKind::rect;
    QPointF p1;
    QPointF p2;
    QList<QPointF> points;  // freehand samples of pen and highlighter
    QString text;
    AnnotationStyle style;
    int number = 0;      // label of a step badge
    QPointF lensCenter;  // centre of a magnifier's enlarged copy
    QImage image;        // bitmap of a picture object

    // Every field; the image compares by identity (both null, or the very same image data).
    bool operator==(const Annotation& other) const;

    // Normalised rectangle spanned by p1 and p2.
    QRectF sourceRect() const;
    // The box the object covers.
    QRectF bounds() const;
    // Whether a point touches the object; `tolerance` in image pixels.
    bool hit(const QPointF& point, double tolerance) const;

    // The handles a selected object offers, in the order they are tested.
    QList<Handle> handles() const;
    QPointF handlePoint(Handle handle) const;
    // Moves one handle; a box dragged past its opposite side flips instead of failing.
    void drag(Handle handle, const QPointF& to);

    // The magnifier's enlarged copy, centred on lensCenter.
    QRectF lensRect() const;
    // Puts the lens beside the source rectangle, inside `area` where it fits.
    void placeLens(const QRectF& area);

    // Distance from `p` to the segment a -> b.
    static double distance(const QPointF& p, const QPointF& a, const QPointF& b);
};

// The lowest and highest magnification a lens handle can set.
inline constexpr double kMinLensZoom = 1.2;
inline constexpr double kMaxLensZoom = 8.0;

}  // namespace kx
