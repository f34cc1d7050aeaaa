#include "ui/FloatingSurface.h"

#include "ui/Theme.h"

#include <QHash>
#include <QPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <vector>

namespace kx {

namespace {

// One pass of a running-sum box blur over an 8-bit alpha plane, along rows or columns.
void boxBlur(QImage& alpha, int r, bool horizontal)
{
    if (r < 1)
        return;
    const int w = alpha.width(), h = alpha.height();
    const int lines = horizontal ? h : w, len = horizontal ? w : h;
    std::vector<int> src(static_cast<size_t>(len));
    const int div = 2 * r + 1;
    for (int l = 0; l < lines; ++l) {
        auto at = [&](int i) -> uchar& { return horizontal ? alpha.scanLine(l)[i] : alpha.scanLine(i)[l]; };
        for (int i = 0; i < len; ++i)
            src[size_t(i)] = at(i);
        int sum = 0;
        for (int i = -r; i <= r; ++i)
            sum += (i >= 0 && i < len) ? src[size_t(i)] : 0;
        for (int i = 0; i < len; ++i) {
            at(i) = uchar(sum / div);
            const int out = i - r, in = i + r + 1;
            sum += (in < len ? src[size_t(in)] : 0) - (out >= 0 ? src[size_t(out)] : 0);
        }
    }
}

QString pathKey(const QPainterPath& path, qreal radius, qreal dpr)
{
    QString key = QStringLiteral("%1:%2:").arg(radius).arg(dpr);
    for (int i = 0; i < path.elementCount(); ++i) {
        const auto e = path.elementAt(i);
        key += QStringLiteral("%1,%2,%3;").arg(int(e.type)).arg(e.x, 0, 'f', 2).arg(e.y, 0, 'f', 2);
    }
    return key;
}

// The blurred silhouette of a path, as an alpha image covering bounds ± 2·radius.
QImage blurredShape(const QPainterPath& shape, qreal radius, qreal dpr)
{
    static QHash<QString, QImage> cache;
    // Keyed by the shape moved to the origin (whole pixels only, so rasterisation is the same):
    // a panel that moves keeps hitting its one entry.
    const QRectF bounds = shape.boundingRect();
    const QString key =
        pathKey(shape.translated(-std::floor(bounds.left()), -std::floor(bounds.top())), radius, dpr);
    if (const auto it = cache.constFind(key); it != cache.constEnd())
        return *it;
    const qreal pad = 2 * radius;
    const QRectF area = shape.boundingRect().adjusted(-pad, -pad, pad, pad);
    QImage img(int(std::ceil(area.width() * dpr)), int(std::ceil(area.height() * dpr)),
               QImage::Format_Alpha8);
    img.fill(0);
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(dpr, dpr);
        p.translate(-area.topLeft());
        p.fillPath(shape, Qt::black);
    }
    // Three box passes approximate a Gaussian of sigma = radius / 2.
    const qreal sigma = radius / 2 * dpr;
    const int box = std::max(1, int(std::lround(std::sqrt(12.0 * sigma * sigma / 3 + 1) - 1) / 2));
    for (int pass = 0; pass < 3; ++pass) {
        boxBlur(img, box, true);
        boxBlur(img, box, false);
    }
    img.setDevicePixelRatio(dpr);
    if (cache.size() > 64)
        cache.clear();
    cache.insert(key, img);
    return img;
}

qreal deviceScale(const QPainter& p)
{
    const qreal dpr = p.device() ? p.device()->devicePixelRatioF() : 1.0;
    return dpr * std::max(std::abs(p.worldTransform().m11()), std::abs(p.worldTransform().m22()));
}

}  // namespace

void strokeInside(QPainter& p, const QPainterPath& shape, const QColor& color, qreal width)
{
    p.save();
    p.setClipPath(shape, Qt::IntersectClip);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(color, 2 * width));
    p.drawPath(shape);
    p.restore();
}

QPainterPath roundedRect(const QRectF& rect, qreal radius)
{
    QPainterPath path;
    const qreal r = std::min({radius, rect.width() / 2, rect.height() / 2});
    path.addRoundedRect(rect, r, r);
    return path;
}

void paintShadow(QPainter& p, const QPainterPath& shape, qreal opacity, qreal radius, const QPointF& offset)
{
    if (opacity <= 0 || shape.isEmpty())
        return;
    const QImage alpha = blurredShape(shape, radius, deviceScale(p));
    const QRectF area = shape.boundingRect().adjusted(-2 * radius, -2 * radius, 2 * radius, 2 * radius);
    p.save();
    p.setOpacity(p.opacity() * opacity);
    // Alpha8 draws as black with its coverage.
    p.drawImage(QRectF(area.topLeft() + offset, area.size()), alpha);
    p.restore();
}

void paintFloatingSurface(QPainter& p, const QPainterPath& shape, bool shadow, const QPalette& palette)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    if (shadow)
        paintShadow(p, shape, 0.16, 10, QPointF(0, 3));
    p.fillPath(shape, Theme::material(palette));
    strokeInside(p, shape, Theme::primary(palette, 0.1), 0.5);
    p.restore();
}

void paintCard(QPainter& p, const QRectF& rect, qreal radius, const QColor& fill, const QPalette& palette)
{
    const QPainterPath shape = roundedRect(rect, radius);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.fillPath(shape, fill);
    strokeInside(p, shape, Theme::primary(palette, 0.07), 0.5);
    p.restore();
}

CardFrame::CardFrame(qreal radius, const QColor& fill, QWidget* parent)
    : QWidget(parent), radius_(radius), fill_(fill)
{
}

void CardFrame::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    paintCard(p, QRectF(rect()), radius_, fill_, palette());
}

}  // namespace kx
