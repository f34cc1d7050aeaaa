#include "editor/canvas/CanvasGeometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kx::canvas {

QPointF clampToImage(const QPointF& p, const QSizeF& image)
{
    // A NaN coordinate (a broken event) lands on the origin rather than escaping the clamp.
    const double x = std::isnan(p.x()) ? 0 : p.x();
    const double y = std::isnan(p.y()) ? 0 : p.y();
    return QPointF(std::clamp(x, 0.0, std::max(image.width(), 0.0)),
                   std::clamp(y, 0.0, std::max(image.height(), 0.0)));
}

QPointF constrain(const QPointF& p, const Annotation& a, bool shift)
{
    if (!shift)
        return p;
    const QPointF d = p - a.p1;
    if (isLineLike(a.kind)) {
        const double length = std::hypot(d.x(), d.y());
        const double step = std::numbers::pi / 4;
        // std::round rounds a half step away from zero.
        const double angle = std::round(std::atan2(d.y(), d.x()) / step) * step;
        return a.p1 + QPointF(length * std::cos(angle), length * std::sin(angle));
    }
    if (isRectLike(a.kind)) {
        const double s = std::max(std::abs(d.x()), std::abs(d.y()));
        return a.p1 + QPointF(d.x() < 0 ? -s : s, d.y() < 0 ? -s : s);
    }
    return p;
}

QPointF axisLocked(const QPointF& d)
{
    return std::abs(d.x()) > std::abs(d.y()) ? QPointF(d.x(), 0) : QPointF(0, d.y());
}

Annotation keepingAspect(Annotation a, Handle h, const QSize& image)
{
    const double ratio = double(image.width()) / std::max(image.height(), 1);
    if (!(ratio > 0))
        return a;
    const QRectF r = a.sourceRect();
    double w = (h == Handle::top || h == Handle::bottom) ? ratio * r.height() : r.width();
    w = std::max(w, 24.0);
    const double hh = w / ratio;
    const bool movesLeft = h == Handle::topLeft || h == Handle::left || h == Handle::bottomLeft;
    const bool movesTop = h == Handle::topLeft || h == Handle::top || h == Handle::topRight;
    const double x = movesLeft ? r.right() - w : r.left();
    const double y = movesTop ? r.bottom() - hh : r.top();
    a.p1 = QPointF(x, y);
    a.p2 = QPointF(x + w, y + hh);
    return a;
}

std::optional<Handle> handleHit(const Annotation& a, const QPointF& p, double radius)
{
    for (Handle h : a.handles()) {
        const QPointF d = a.handlePoint(h) - p;
        if (std::hypot(d.x(), d.y()) <= radius)
            return h;
    }
    return std::nullopt;
}

Annotation cropAnnotation(const QRectF& rect)
{
    const QRectF r = rect.normalized();
    Annotation a;
    a.kind = ToolKind::crop;
    a.p1 = r.topLeft();
    a.p2 = r.bottomRight();
    return a;
}

QRectF clampedCrop(const Annotation& a, const QSizeF& image)
{
    // Clamping each corner (rather than intersecting rectangles) keeps an edge-hugging
    // rectangle of zero width where it is instead of collapsing it to the origin.
    const QPointF p = clampToImage(a.p1, image), q = clampToImage(a.p2, image);
    return QRectF(QPointF(std::min(p.x(), q.x()), std::min(p.y(), q.y())),
                  QPointF(std::max(p.x(), q.x()), std::max(p.y(), q.y())));
}

QRectF movedCrop(const QRectF& original, const QPointF& offset, const QSizeF& image)
{
    QRectF r = original.translated(offset);
    r.moveLeft(std::min(std::max(r.x(), 0.0), image.width() - r.width()));
    r.moveTop(std::min(std::max(r.y(), 0.0), image.height() - r.height()));
    return r;
}

bool tooSmall(const Annotation& a, double minSize)
{
    if (isRectLike(a.kind)) {
        const QRectF r = a.sourceRect();
        return r.width() < minSize || r.height() < minSize;
    }
    if (isLineLike(a.kind)) {
        const QPointF d = a.p2 - a.p1;
        return std::hypot(d.x(), d.y()) < minSize;
    }
    if (a.kind == ToolKind::pen || a.kind == ToolKind::highlighter)
        return a.points.size() <= 1;
    return false;
}

void moveAll(Annotation& a, const QPointF& offset)
{
    a.p1 += offset;
    a.p2 += offset;
    for (QPointF& p : a.points)
        p += offset;
    a.lensCenter += offset;
}

QString cropBadgeText(const QRectF& rect)
{
    return QStringLiteral("%1 \u00d7 %2").arg(qint64(rect.width())).arg(qint64(rect.height()));
}

}  // namespace kx::canvas
