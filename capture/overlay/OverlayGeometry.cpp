#include "capture/overlay/OverlayGeometry.h"

#include <QSize>
#include <algorithm>
#include <cmath>

namespace kx {

double roundHalfAway(double v)
{
    return std::round(v);  // std::round rounds halves away from zero
}

double snapToPixel(double v, double scale)
{
    return roundHalfAway(v * scale) / scale;
}

QRectF dragRect(QPointF a, QPointF c, QSizeF bounds, double scale, bool square)
{
    if (square) {
        const double side = std::max(std::abs(c.x() - a.x()), std::abs(c.y() - a.y()));
        c.setX(a.x() + (c.x() - a.x() >= 0 ? side : -side));
        c.setY(a.y() + (c.y() - a.y() >= 0 ? side : -side));
    }
    // An X pointer stops on the last pixel of a display, never past it: a corner there means
    // the edge, or the last column and row could never be selected.
    const double last = 1 / (std::isfinite(scale) && scale > 0 ? scale : 1.0);
    auto fit = [&](QPointF p) {
        if (p.x() >= bounds.width() - last)
            p.setX(bounds.width());
        if (p.y() >= bounds.height() - last)
            p.setY(bounds.height());
        return QPointF(snapToPixel(std::clamp(p.x(), 0.0, bounds.width()), scale),
                       snapToPixel(std::clamp(p.y(), 0.0, bounds.height()), scale));
    };
    a = fit(a);
    c = fit(c);
    return QRectF(std::min(a.x(), c.x()), std::min(a.y(), c.y()), std::abs(c.x() - a.x()),
                  std::abs(c.y() - a.y()));
}

QPoint pixelPoint(QPointF point, double scale, QSize imageSize)
{
    const int px = int(std::floor(point.x() * scale));
    const int py = int(std::floor(point.y() * scale));
    return QPoint(std::clamp(px, 0, std::max(0, imageSize.width() - 1)),
                  std::clamp(py, 0, std::max(0, imageSize.height() - 1)));
}

bool containsPoint(const QRectF& r, QPointF p)
{
    return p.x() >= r.left() && p.x() < r.right() && p.y() >= r.top() && p.y() < r.bottom();
}

QList<LocalWindow> localWindows(const QList<WindowInfo>& windows, QPointF origin, QSizeF viewSize)
{
    const QRectF view(QPointF(0, 0), viewSize);
    QList<LocalWindow> out;
    for (const WindowInfo& w : windows) {
        const QRectF local(QPointF(w.frame.x() - origin.x(), w.frame.y() - origin.y()),
                           QSizeF(w.frame.width(), w.frame.height()));
        if (local.intersects(view))
            out.append({w, local});
    }
    return out;
}

std::optional<int> windowAt(const QList<LocalWindow>& windows, QPointF point)
{
    for (int i = 0; i < windows.size(); ++i)
        if (containsPoint(windows[i].rect, point))
            return i;
    return std::nullopt;
}

double loupeFooterHeight(bool colorPicker)
{
    return colorPicker ? 46 : 24;
}

QRectF loupeCard(QPointF p, QSizeF bounds, double footer)
{
    double x = p.x() + 22;
    if (x + kLoupeSide + 4 > bounds.width())
        x = p.x() - 22 - kLoupeSide;
    double y = p.y() + 22;
    if (y + kLoupeSide + footer + 4 > bounds.height())
        y = p.y() - 22 - kLoupeSide - footer;
    return QRectF(x, y, kLoupeSide, kLoupeSide + footer);
}

QPointF labelOrigin(const QRectF& r, QSizeF size, QSizeF bounds)
{
    const double h = size.height();
    const double w = size.width();
    double y = r.top() - h - 6;
    if (y < 4)
        y = r.bottom() + 6;
    if (y + h > bounds.height() - 4)
        y = r.top() + 6;
    const double x = std::min(bounds.width() - w - 4, std::max(4.0, r.left()));
    return QPointF(x, y);
}

namespace {

QString pixelSize(const QRectF& r, double scale)
{
    return QStringLiteral("%1 × %2")
        .arg(qint64(roundHalfAway(r.width() * scale)))
        .arg(qint64(roundHalfAway(r.height() * scale)));
}

}  // namespace

QString selectionSizeText(const QRectF& selection, double scale)
{
    return pixelSize(selection, scale) + QStringLiteral(" px");
}

namespace {

// Text of another program in its own direction isolate, so a right-to-left override in it
// cannot reorder the rest of the label. Isolate marks of its own are dropped: a stray
// closing one would end ours early.
QString isolated(const QString& foreign)
{
    QString out;
    out.reserve(foreign.size() + 2);
    out += QChar(0x2068);
    for (QChar c : foreign) {
        if (c.unicode() < 0x2066 || c.unicode() > 0x2069)
            out += c;
    }
    return out + QChar(0x2069);
}

}  // namespace

QString windowLabelText(const WindowInfo& window, const QRectF& rect, double scale)
{
    QString text = isolated(window.owner);
    if (!window.title.isEmpty())
        text += QStringLiteral(" — ") + isolated(window.title);
    // The size the capture will have: the window's own pixels where known, since frames in
    // points are rounded (a 953 px tall window at 2× is 477 pt, not 476.5).
    const QString size =
        window.pixelSize.isEmpty()
            ? pixelSize(rect, scale)
            : QStringLiteral("%1 × %2").arg(window.pixelSize.width()).arg(window.pixelSize.height());
    return text + QStringLiteral("  ·  ") + size;
}

}  // namespace kx
