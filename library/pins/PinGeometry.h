#pragma once
// The arithmetic of a pin: its first frame, zoom, fade, the opacity menu's check mark and
// the aspect-keeping resize by an edge. Logical coordinates, y down.

#include <QRectF>
#include <QSizeF>
#include <optional>

namespace kx::pin {

constexpr double kMinZoom = 0.1;
constexpr double kMaxZoom = 8.0;
constexpr double kMinAlpha = 0.15;
constexpr double kFitFraction = 0.9;  // of the available area, at most
constexpr qreal kEdgeGrip = 6;        // width of the resize band inside the border

// Points at 100 %: pixels divided by the scale.
QSizeF baseSize(const QSize& pixels, double scale);
// The first frame: `base` shrunk to fit 90 % of `available`; with `near`, sharing its
// bottom-left corner, else centred; then moved into `available`.
QRectF startFrame(const QSizeF& base, const std::optional<QRectF>& near, const QRectF& available);
double clampZoom(double z);
// The factor of a frame: its width over the base width.
double zoomOf(const QRectF& frame, const QSizeF& base);
// `base` times the clamped factor, centred on `frame`'s centre.
QRectF zoomedFrame(const QRectF& frame, const QSizeF& base, double z);
// A zoom step from the current factor (keys, wheel, pinch) before clamping.
double steppedZoom(double current, double factor);
// Alpha after a fade by a wheel delta (one wheel click is 10).
double fadedAlpha(double alpha, double delta);
// The opacity menu's values and the one carrying the check mark (-1: none).
constexpr int kOpacityItems[] = {100, 85, 70, 50, 30};
constexpr int kSizeItems[] = {25, 50, 75, 100, 150, 200};
int checkedOpacity(double alpha);

// Which edges of a frame of `size` a point in it grips (none inside the band).
Qt::Edges edgesAt(const QSizeF& size, const QPointF& p);
// The frame after dragging the gripped edges by `delta`, keeping `aspect`; the opposite
// edge or corner stays put. Never smaller than `minWidth`.
QRectF resizedFrame(const QRectF& start, Qt::Edges edges, const QPointF& delta, const QSizeF& aspect,
                    qreal minWidth = 40);

}  // namespace kx::pin
