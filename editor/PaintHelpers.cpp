#include "editor/PaintHelpers.h"

#include "editor/ImageEffects.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QMutex>
#include <QPaintDevice>
#include <cmath>

namespace kx {

namespace {

// The painter's device area in its logical coordinates (before the world transform),
// narrowed to the current clip.
QRectF visibleDeviceRect(const QPainter& painter)
{
    const QPaintDevice* device = painter.device();
    const double dpr = device->devicePixelRatioF();
    QRectF area(0, 0, device->width(), device->height());
    if (device->devType() == QInternal::Image || device->devType() == QInternal::Pixmap)
        area = QRectF(0, 0, device->width() / dpr, device->height() / dpr);
    if (painter.hasClipping())
        area = area.intersected(painter.worldTransform().mapRect(painter.clipBoundingRect()));
    return area;
}

QImage newLayer(const QSize& logical, double dpr, QImage::Format format)
{
    QImage layer((QSizeF(logical) * dpr).toSize(), format);
    if (layer.isNull())
        return layer;
    layer.setDevicePixelRatio(dpr);
    layer.fill(Qt::transparent);
    return layer;
}

QMutex g_fontMutex;
QString g_sans;
QString g_mono;

}  // namespace

void drawClipped(QPainter& painter, const QPainterPath& path, const std::function<void(QPainter&)>& draw,
                 const QRectF& limit)
{
    const QTransform world = painter.worldTransform();
    QRectF bounds = world.map(path).boundingRect().intersected(visibleDeviceRect(painter));
    if (limit.isValid())
        bounds = bounds.intersected(world.mapRect(limit));
    const QRect area = bounds.toAlignedRect();
    if (area.isEmpty())
        return;
    const double dpr = painter.device()->devicePixelRatioF();
    QImage layer = newLayer(area.size(), dpr, QImage::Format_ARGB32_Premultiplied);
    if (layer.isNull())
        return;
    {
        QPainter lp(&layer);
        lp.setRenderHints(painter.renderHints());
        const QTransform toLayer = world * QTransform::fromTranslate(-area.x(), -area.y());
        lp.setTransform(toLayer);
        draw(lp);
        // Clear everything outside the path; the antialiased edge keeps partial coverage.
        lp.resetTransform();
        lp.setRenderHint(QPainter::Antialiasing, true);
        QPainterPath outside;
        outside.addRect(QRectF(-2, -2, area.width() + 4, area.height() + 4));
        outside.addPath(toLayer.map(path));
        outside.setFillRule(Qt::OddEvenFill);
        lp.setCompositionMode(QPainter::CompositionMode_DestinationOut);
        lp.fillPath(outside, Qt::black);
    }
    painter.save();
    painter.resetTransform();
    painter.drawImage(area.topLeft(), layer);
    painter.restore();
}

void drawShadow(QPainter& painter, const QPainterPath& shape, const QPointF& offset, double blur,
                const QColor& color)
{
    if (color.alpha() == 0 || shape.isEmpty())
        return;
    const QTransform world = painter.worldTransform();
    const double unit = std::sqrt(std::abs(world.determinant()));
    const double dpr = painter.device()->devicePixelRatioF();
    const double sigma = std::max(blur, 0.0) / 2 * unit;  // logical device pixels
    const QPointF shift = world.map(offset) - world.map(QPointF(0, 0));
    const QPainterPath devShape = world.map(shape).translated(shift);
    const double margin = std::ceil(3 * sigma) + 2;
    const QRectF visible = visibleDeviceRect(painter).adjusted(-margin, -margin, margin, margin);
    const QRect area = devShape.boundingRect()
                           .adjusted(-margin, -margin, margin, margin)
                           .intersected(visible)
                           .toAlignedRect();
    if (area.isEmpty())
        return;
    // A soft shadow has no detail finer than its blur: the mask is made on a grid k times
    // coarser and enlarged smoothly when drawn.
    const double physicalSigma = sigma * dpr;
    const int k = std::clamp(int(physicalSigma / 3), 1, 16);
    const QSize small(int(std::ceil(area.width() * dpr / k)) + 1,
                      int(std::ceil(area.height() * dpr / k)) + 1);
    QImage mask = newLayer(small, 1.0, QImage::Format_Alpha8);
    if (mask.isNull())
        return;
    {
        QPainter mp(&mask);
        mp.setRenderHint(QPainter::Antialiasing, true);
        mp.scale(dpr / k, dpr / k);
        mp.translate(-area.x(), -area.y());
        mp.fillPath(devShape, Qt::black);
    }
    const QImage soft = physicalSigma / k >= 0.5 ? blurred(mask, mask.rect(), physicalSigma / k) : mask;
    if (soft.isNull())
        return;
    QImage tinted = newLayer(small, 1.0, QImage::Format_ARGB32_Premultiplied);
    if (tinted.isNull())
        return;
    tinted.fill(color);
    {
        QPainter tp(&tinted);
        tp.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        tp.drawImage(0, 0, soft);
    }
    painter.save();
    painter.resetTransform();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, k > 1);
    painter.drawImage(QRectF(QPointF(area.topLeft()), QSizeF(small) * (double(k) / dpr)), tinted);
    painter.restore();
}

QFont EditorFont::sans(double pixelSize, QFont::Weight weight)
{
    QString family;
    {
        QMutexLocker lock(&g_fontMutex);
        family = g_sans;
    }
    QFont f = family.isEmpty() ? QFontDatabase::systemFont(QFontDatabase::GeneralFont) : QFont(family);
    f.setPixelSize(
        std::max(1, int(std::lround(std::isfinite(pixelSize) ? std::min(pixelSize, 4000.0) : 12.0))));
    f.setWeight(weight);
    f.setItalic(false);
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setKerning(true);
    return f;
}

QFont EditorFont::mono(double pixelSize, QFont::Weight weight)
{
    QString family;
    {
        QMutexLocker lock(&g_fontMutex);
        family = g_mono;
    }
    QFont f = family.isEmpty() ? QFontDatabase::systemFont(QFontDatabase::FixedFont) : QFont(family);
    if (!QFontInfo(f).fixedPitch())
        return sans(pixelSize, weight);
    QFont base = sans(pixelSize, weight);
    base.setFamilies(f.families().isEmpty() ? QStringList{f.family()} : f.families());
    return base;
}

QSizeF EditorFont::textSize(const QString& text, const QFont& font)
{
    const QFontMetricsF fm(font);
    const QString shown = text.isEmpty() ? QStringLiteral(" ") : text;
    const QRectF r = fm.boundingRect(QRectF(0, 0, 10000, 10000), Qt::AlignLeft | Qt::AlignTop, shown);
    return QSizeF(std::ceil(r.width()), std::ceil(r.height()));
}

void EditorFont::setFamilies(const QString& sans, const QString& mono)
{
    QMutexLocker lock(&g_fontMutex);
    g_sans = sans;
    g_mono = mono;
}

}  // namespace kx
