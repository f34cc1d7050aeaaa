#include "editor/Annotation.h"

#include "editor/PaintHelpers.h"

#include <algorithm>
#include <cmath>

namespace kx {

QList<Handle> boxHandles()
{
    return {Handle::topLeft,     Handle::top,    Handle::topRight,   Handle::right,
            Handle::bottomRight, Handle::bottom, Handle::bottomLeft, Handle::left};
}

namespace {

double stepRadius(const AnnotationStyle& s)
{
    return std::max(0.85 * s.fontSize, 10.0);
}

QRectF grown(const QRectF& r, double by)
{
    return r.adjusted(-by, -by, by, by);
}

// Closed-edge containment: a point on the border of a zero-width rectangle still counts.
bool inside(const QRectF& r, const QPointF& p)
{
    return p.x() >= r.left() && p.x() <= r.right() && p.y() >= r.top() && p.y() <= r.bottom();
}

}  // namespace

bool Annotation::operator==(const Annotation& o) const
{
    return id == o.id && kind == o.kind && p1 == o.p1 && p2 == o.p2 && points == o.points && text == o.text &&
           style == o.style && number == o.number && lensCenter == o.lensCenter &&
           image.cacheKey() == o.image.cacheKey();
}

QRectF Annotation::sourceRect() const
{
    return QRectF(std::min(p1.x(), p2.x()), std::min(p1.y(), p2.y()), std::abs(p2.x() - p1.x()),
                  std::abs(p2.y() - p1.y()));
}

QRectF Annotation::bounds() const
{
    switch (kind) {
        case ToolKind::pen:
        case ToolKind::highlighter: {
            if (points.isEmpty())
                return QRectF();
            double x0 = points[0].x(), x1 = x0, y0 = points[0].y(), y1 = y0;
            for (const QPointF& p : points) {
                x0 = std::min(x0, p.x());
                x1 = std::max(x1, p.x());
                y0 = std::min(y0, p.y());
                y1 = std::max(y1, p.y());
            }
            return QRectF(x0, y0, x1 - x0, y1 - y0);
        }
        case ToolKind::text:
            return QRectF(p1, EditorFont::textSize(text, EditorFont::sans(style.fontSize, QFont::DemiBold)));
        case ToolKind::step: {
            const double r = stepRadius(style);
            return QRectF(p1.x() - r, p1.y() - r, 2 * r, 2 * r);
        }
        case ToolKind::magnifier:
            return sourceRect().united(lensRect());
        default:
            return sourceRect();
    }
}

bool Annotation::hit(const QPointF& p, double t) const
{
    const double w = style.lineWidth;
    const QRectF r = sourceRect();
    switch (kind) {
        case ToolKind::select:
            return false;
        case ToolKind::crop:
        case ToolKind::blur:
        case ToolKind::pixelate:
        case ToolKind::spotlight:
        case ToolKind::picture:
            return inside(grown(r, t), p);
        case ToolKind::arrow:
        case ToolKind::line:
        case ToolKind::ruler:
            return distance(p, p1, p2) <= t + w / 2;
        case ToolKind::rect:
        case ToolKind::ellipse: {
            if (style.fill != FillMode::none)
                return inside(grown(r, t), p);
            const double band = t + w / 2;
            if (!inside(grown(r, band), p))
                return false;
            const QRectF inner = grown(r, -band);
            if (inner.width() <= 0 || inner.height() <= 0)
                return true;
            return !inside(inner, p);
        }
        case ToolKind::pen:
        case ToolKind::highlighter: {
            if (points.size() < 2)
                return false;
            const double f = kind == ToolKind::highlighter ? 2.5 : 1.0;
            const double reach = t + w * f / 2;
            for (int i = 1; i < points.size(); ++i) {
                if (distance(p, points[i - 1], points[i]) <= reach)
                    return true;
            }
            return false;
        }
        case ToolKind::text:
            return inside(grown(bounds(), t), p);
        case ToolKind::step:
            return std::hypot(p.x() - p1.x(), p.y() - p1.y()) <= t + stepRadius(style);
        case ToolKind::magnifier:
            return inside(grown(r, t), p) || inside(grown(lensRect(), t), p);
    }
    return false;
}

QList<Handle> Annotation::handles() const
{
    switch (kind) {
        case ToolKind::crop:
        case ToolKind::rect:
        case ToolKind::ellipse:
        case ToolKind::blur:
        case ToolKind::pixelate:
        case ToolKind::spotlight:
        case ToolKind::picture:
            return boxHandles();
        case ToolKind::arrow:
        case ToolKind::line:
        case ToolKind::ruler:
            return {Handle::start, Handle::end};
        case ToolKind::magnifier:
            return boxHandles() << Handle::lens;
        default:
            return {};
    }
}

QPointF Annotation::handlePoint(Handle h) const
{
    const QRectF r = sourceRect();
    switch (h) {
        case Handle::topLeft:
            return {r.left(), r.top()};
        case Handle::top:
            return {r.center().x(), r.top()};
        case Handle::topRight:
            return {r.right(), r.top()};
        case Handle::right:
            return {r.right(), r.center().y()};
        case Handle::bottomRight:
            return {r.right(), r.bottom()};
        case Handle::bottom:
            return {r.center().x(), r.bottom()};
        case Handle::bottomLeft:
            return {r.left(), r.bottom()};
        case Handle::left:
            return {r.left(), r.center().y()};
        case Handle::start:
            return p1;
        case Handle::end:
            return p2;
        case Handle::lens:
            return lensRect().bottomRight();
    }
    return {};
}

void Annotation::drag(Handle h, const QPointF& q)
{
    const QRectF r = sourceRect();
    const double minX = r.left(), minY = r.top(), maxX = r.right(), maxY = r.bottom();
    QRectF n;
    switch (h) {
        case Handle::start:
            p1 = q;
            return;
        case Handle::end:
            p2 = q;
            return;
        case Handle::lens: {
            const QPointF l = lensRect().topLeft();
            double zoom = r.width() < 1 ? q.x() - l.x() : (q.x() - l.x()) / r.width();
            if (!std::isfinite(zoom))
                zoom = kMinLensZoom;
            zoom = std::clamp(zoom, kMinLensZoom, kMaxLensZoom);
            style.zoom = zoom;
            lensCenter = l + QPointF(r.width() * zoom, r.height() * zoom) / 2;
            return;
        }
        case Handle::topLeft:
            n = QRectF(q.x(), q.y(), maxX - q.x(), maxY - q.y());
            break;
        case Handle::top:
            n = QRectF(minX, q.y(), r.width(), maxY - q.y());
            break;
        case Handle::topRight:
            n = QRectF(minX, q.y(), q.x() - minX, maxY - q.y());
            break;
        case Handle::right:
            n = QRectF(minX, minY, q.x() - minX, r.height());
            break;
        case Handle::bottomRight:
            n = QRectF(minX, minY, q.x() - minX, q.y() - minY);
            break;
        case Handle::bottom:
            n = QRectF(minX, minY, r.width(), q.y() - minY);
            break;
        case Handle::bottomLeft:
            n = QRectF(q.x(), minY, maxX - q.x(), q.y() - minY);
            break;
        case Handle::left:
            n = QRectF(q.x(), minY, maxX - q.x(), r.height());
            break;
    }
    n = n.normalized();
    p1 = n.topLeft();
    p2 = n.bottomRight();
}

QRectF Annotation::lensRect() const
{
    const QRectF r = sourceRect();
    const double z = std::max(style.zoom, 1.0);
    const QSizeF size(r.width() * z, r.height() * z);
    return QRectF(lensCenter - QPointF(size.width(), size.height()) / 2, size);
}

void Annotation::placeLens(const QRectF& b)
{
    const QRectF r = sourceRect();
    const double z = std::max(style.zoom, 1.0);
    const double w = r.width() * z, h = r.height() * z;
    const double g = 3 * style.lineWidth + 0.14 * std::max(w, h);
    QPointF c(r.right() + g + w / 2, r.center().y());
    if (r.right() + g + w > b.right())
        c = QPointF(r.left() - g - w / 2, r.center().y());
    if (c.x() - w / 2 < b.left())
        c = QPointF(r.center().x(), r.bottom() + g + h / 2);
    if (c.y() + h / 2 > b.bottom())
        c = QPointF(r.center().x(), r.top() - g - h / 2);
    if (w < b.width())
        c.setX(std::clamp(c.x(), b.left() + w / 2, b.right() - w / 2));
    if (h < b.height())
        c.setY(std::clamp(c.y(), b.top() + h / 2, b.bottom() - h / 2));
    lensCenter = c;
}

double Annotation::distance(const QPointF& p, const QPointF& a, const QPointF& b)
{
    const QPointF d = b - a;
    const double l2 = QPointF::dotProduct(d, d);
    if (l2 == 0)
        return std::hypot(p.x() - a.x(), p.y() - a.y());
    const double u = std::clamp(QPointF::dotProduct(p - a, d) / l2, 0.0, 1.0);
    const QPointF q = a + u * d;
    return std::hypot(p.x() - q.x(), p.y() - q.y());
}

}  // namespace kx
