#include "library/pins/PinGeometry.h"

#include <algorithm>
#include <cmath>

namespace kx::pin {

QSizeF baseSize(const QSize& pixels, double scale)
{
    const double s = scale > 0 && std::isfinite(scale) ? scale : 1.0;
    return QSizeF(pixels.width() / s, pixels.height() / s);
}

QRectF startFrame(const QSizeF& base, const std::optional<QRectF>& near, const QRectF& available)
{
    QSizeF size = base;
    const qreal maxW = kFitFraction * available.width();
    const qreal maxH = kFitFraction * available.height();
    if (size.width() > maxW || size.height() > maxH)
        size *= std::min(maxW / size.width(), maxH / size.height());
    QPointF origin;
    if (near)
        origin = QPointF(near->left(), near->bottom() - size.height());
    else
        origin =
            QPointF(available.center().x() - size.width() / 2, available.center().y() - size.height() / 2);
    qreal x = std::max(origin.x(), available.left());
    x = std::min(x, available.right() - size.width());
    qreal y = std::min(origin.y(), available.bottom() - size.height());
    y = std::max(y, available.top());
    return QRectF(QPointF(x, y), size);
}

double clampZoom(double z)
{
    return std::clamp(z, kMinZoom, kMaxZoom);
}

double zoomOf(const QRectF& frame, const QSizeF& base)
{
    return base.width() > 0 ? frame.width() / base.width() : 1.0;
}

QRectF zoomedFrame(const QRectF& frame, const QSizeF& base, double z)
{
    const double c = clampZoom(z);
    QRectF r(QPointF(), base * c);
    r.moveCenter(frame.center());
    return r;
}

double steppedZoom(double current, double factor)
{
    return std::max(current, kMinZoom) * factor;
}

double fadedAlpha(double alpha, double delta)
{
    return std::clamp(alpha + delta * 0.01, kMinAlpha, 1.0);
}

int checkedOpacity(double alpha)
{
    const int percent = int(std::lround(alpha * 100));
    for (const int v : kOpacityItems) {
        if (v == percent)
            return v;
    }
    return -1;
}

Qt::Edges edgesAt(const QSizeF& size, const QPointF& p)
{
    Qt::Edges e;
    if (p.x() < kEdgeGrip)
        e |= Qt::LeftEdge;
    else if (p.x() >= size.width() - kEdgeGrip)
        e |= Qt::RightEdge;
    if (p.y() < kEdgeGrip)
        e |= Qt::TopEdge;
    else if (p.y() >= size.height() - kEdgeGrip)
        e |= Qt::BottomEdge;
    return e;
}

QRectF resizedFrame(const QRectF& start, Qt::Edges edges, const QPointF& delta, const QSizeF& aspect,
                    qreal minWidth)
{
    if (!edges || aspect.isEmpty())
        return start;
    const qreal ratio = aspect.width() / aspect.height();
    const bool horizontal = edges & (Qt::LeftEdge | Qt::RightEdge);
    const bool vertical = edges & (Qt::TopEdge | Qt::BottomEdge);
    const qreal dw = edges & Qt::LeftEdge ? -delta.x() : delta.x();
    const qreal dh = edges & Qt::TopEdge ? -delta.y() : delta.y();
    qreal w = start.width();
    if (horizontal && vertical)
        w += std::abs(dw) >= std::abs(dh * ratio) ? dw : dh * ratio;  // the larger pull wins
    else if (horizontal)
        w += dw;
    else
        w += dh * ratio;
    w = std::max(w, minWidth);
    const qreal h = w / ratio;
    QRectF r(QPointF(), QSizeF(w, h));
    // The gripped side moves; the other stays. A single edge keeps its cross axis centred.
    const qreal x = edges & Qt::LeftEdge    ? start.right() - w
                    : edges & Qt::RightEdge ? start.left()
                                            : start.center().x() - w / 2;
    const qreal y = edges & Qt::TopEdge      ? start.bottom() - h
                    : edges & Qt::BottomEdge ? start.top()
                                             : start.center().y() - h / 2;
    r.moveTopLeft(QPointF(x, y));
    return r;
}

}  // namespace kx::pin
