#pragma once
// Path generators of the irregular frame edges. They work in top-left-origin pixels and walk
// the image rectangle starting at its bottom-left corner: bottom edge, right edge going up,
// top edge going left, left edge going down.

#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QVector>
#include <QtGlobal>

namespace kx::EdgeShape {

struct Side {
    QPointF start;
    QPointF u;  // unit direction along the side
    QPointF n;  // unit normal pointing into the rectangle
    double length = 0;
    // The point at distance t along the side, `depth` inside the rectangle.
    QPointF at(double t, double depth) const { return start + t * u + depth * n; }
};

QVector<Side> sides(const QRectF& rect);

// Smooth value noise in 0...1 (SplitMix64 lattice, smoothstep between lattice points).
double value(double x, quint64 seed);
// Three octaves: 0.5 value(x) + 0.3 value(2.3x + 17) + 0.2 value(5.1x + 41).
double layered(quint64 seed, double x);

struct Torn {
    QPainterPath image;  // where the picture is cut
    QPainterPath rim;    // the paper margin around it
};
Torn torn(const QRectF& rect, double scale, double size, quint64 seed);
// How far the torn edge reaches into the rectangle at most.
double tornDepth(const QRectF& rect, double scale, double size);
QPainterPath burnt(const QRectF& rect, double amp, quint64 seed);
QPainterPath zigzag(const QRectF& rect, double scale, double size);
QPainterPath stamp(const QRectF& rect, double notch);

// Upper bound of the samples taken along one side, whatever the sizes.
inline constexpr int kMaxSamplesPerSide = 40000;

}  // namespace kx::EdgeShape
