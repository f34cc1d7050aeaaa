// What the canvas draws: background image (or framed preview), annotations, selection,
// crop overlay and the frame of the text being typed. Only the exposed part is painted.
#include "editor/canvas/CanvasView.h"

#include "editor/AnnotationRenderer.h"
#include "editor/EffectCache.h"
#include "editor/PaintHelpers.h"
#include "editor/canvas/CanvasGeometry.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <cmath>

namespace kx {

namespace {

QColor accent(const QWidget* w)
{
    QColor c = w->palette().color(QPalette::Highlight);
    c.setAlphaF(0.9);
    return c;
}

QPen dashed(const QColor& color)
{
    QPen pen(color, 1);
    pen.setDashPattern({4, 3});
    pen.setCosmetic(true);
    return pen;
}

// Two 8-point cells of each grey: the tile of the transparency checkerboard.
const QPixmap& checkerTile(double dpr)
{
    static QPixmap tile;
    if (tile.isNull() || tile.devicePixelRatio() != dpr) {
        QImage img(QSize(16, 16) * dpr, QImage::Format_RGB32);
        img.setDevicePixelRatio(dpr);
        img.fill(QColor::fromRgbF(0.92, 0.92, 0.92));
        QPainter p(&img);
        p.fillRect(QRectF(0, 0, 8, 8), QColor::fromRgbF(0.8, 0.8, 0.8));
        p.fillRect(QRectF(8, 8, 8, 8), QColor::fromRgbF(0.8, 0.8, 0.8));
        p.end();
        tile = QPixmap::fromImage(img);
    }
    return tile;
}

}  // namespace

void CanvasView::paintEvent(QPaintEvent* e)
{
    QPainter p(this);
    const double z = zoomFactor();
    const QRectF exposed =
        QRectF(toImage(e->rect().topLeft()), toImage(e->rect().bottomRight() + QPoint(1, 1)));
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    // Zoomed in to two or more points per pixel, pixels show as sharp blocks.
    p.setRenderHint(QPainter::SmoothPixmapTransform, z < 2);
    p.scale(z, z);
    p.translate(-bounds_.topLeft());

    drawBase(p, exposed);
    AnnotationRenderer::draw(doc_->annotations(), doc_->base(), p, doc_->effects(), editingID_);

    p.resetTransform();
    p.setRenderHint(QPainter::Antialiasing, true);
    if (const auto sel = doc_->selected(); sel && sel->id != editingID_)
        drawSelection(p, *sel);
    if (doc_->cropRect())
        drawCrop(p, *doc_->cropRect());
    if (textField_)
        drawTextFrame(p);
}

// The background picture: the framed preview over a checkerboard, or the base (over a
// checkerboard for window captures, which may hold transparent pixels). Zoomed out, a copy
// scaled once to the screen size is drawn instead of resampling the full image every frame.
void CanvasView::drawBase(QPainter& p, const QRectF& exposed)
{
    const bool framed = preview_.has_value();
    const QImage& image = framed ? preview_->image : doc_->base();
    const QRectF target = framed ? bounds_ : imageRect();
    const QRectF visible = target.intersected(exposed);
    if (visible.isEmpty() || image.isNull())
        return;
    if (framed || doc_->kind() == SourceKind::window)
        drawChecker(p, visible);
    // Blur and pixelation patches replace the base in the export; a patch is partly
    // transparent where the base is, so the base must not lie under it here either. Only under
    // the screen pixels a patch covers whole, though: zoomed, its edges fall inside pixels, and
    // with nothing of the base there the checkerboard would show through as a light line.
    const QRegion redacted = redactedRegion();
    QPainterPath covered;
    if (!redacted.isEmpty()) {
        const double dpr = devicePixelRatioF();
        for (const QRect& r : redacted) {
            const QRectF px = p.transform().mapRect(QRectF(r));
            const double left = std::ceil(px.left() * dpr - 1e-6), top = std::ceil(px.top() * dpr - 1e-6);
            const double right = std::floor(px.right() * dpr + 1e-6),
                         bottom = std::floor(px.bottom() * dpr + 1e-6);
            if (right > left && bottom > top)
                covered.addRect(QRectF(left / dpr, top / dpr, (right - left) / dpr, (bottom - top) / dpr));
        }
        covered = covered.simplified();
    }
    if (!covered.isEmpty()) {
        const QTransform toScreen = p.transform();
        if (!framed && doc_->kind() != SourceKind::window) {
            QPainterPath under;
            under.addRect(toScreen.mapRect(visible));
            p.save();
            p.resetTransform();
            p.setClipPath(under.intersected(covered), Qt::IntersectClip);
            p.setTransform(toScreen);
            drawChecker(p, visible);
            p.restore();
        }
        p.save();
        QPainterPath keep;
        keep.addRect(toScreen.mapRect(target));
        p.resetTransform();
        p.setClipPath(keep.subtracted(covered), Qt::IntersectClip);
        p.setTransform(toScreen);
    }
    drawBaseImage(p, image, target, visible);
    if (!covered.isEmpty())
        p.restore();
}

QRegion CanvasView::redactedRegion() const
{
    QRegion region;
    for (const Annotation& a : doc_->annotations()) {
        if ((a.kind == ToolKind::blur || a.kind == ToolKind::pixelate) && a.id != editingID_)
            region += EffectCache::clippedRect(a.sourceRect(), doc_->base().size());
    }
    return region;
}

void CanvasView::drawBaseImage(QPainter& p, const QImage& image, const QRectF& target, const QRectF& visible)
{
    const double z = zoomFactor();
    if (z < 1) {
        const double dpr = devicePixelRatioF();
        const QSize scaledSize(std::max(1, int(std::lround(target.width() * z * dpr))),
                               std::max(1, int(std::lround(target.height() * z * dpr))));
        if (scaledBaseKey_ != image.cacheKey() || scaledBase_.size() != scaledSize) {
            scaledBase_ = image.scaled(scaledSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            scaledBaseKey_ = image.cacheKey();
        }
        if (!scaledBase_.isNull()) {
            // Source in the scaled copy's pixels, target in image pixels: nearly 1:1 on screen.
            const double f = double(scaledSize.width()) / target.width();
            const double g = double(scaledSize.height()) / target.height();
            const QRectF local = visible.translated(-target.topLeft());
            const QRectF source(local.x() * f, local.y() * g, local.width() * f, local.height() * g);
            p.drawImage(visible, scaledBase_, source);
            return;
        }
    }
    // Only the visible whole pixels of the image are handed to the painter.
    const QRect pixels = visible.translated(-target.topLeft()).toAlignedRect().intersected(image.rect());
    p.drawImage(QRectF(pixels).translated(target.topLeft()), image, QRectF(pixels));
}

void CanvasView::drawChecker(QPainter& p, const QRectF& rect) const
{
    // Painted in screen points with a tiled brush: the cells keep their 8-point size.
    const QRectF onScreen(toWidget(rect.topLeft()), toWidget(rect.bottomRight()));
    const QPointF origin = toWidget(preview_ ? bounds_.topLeft() : QPointF(0, 0));
    p.save();
    p.resetTransform();
    p.setBrushOrigin(origin);
    p.fillRect(onScreen, QBrush(checkerTile(devicePixelRatioF())));
    p.restore();
}

void CanvasView::drawHandle(QPainter& p, const QPointF& imagePoint) const
{
    const QPointF c = toWidget(imagePoint);
    const double r = 5.5;
    p.setPen(Qt::NoPen);
    // A soft shadow below the disc: two faint rings stand in for a 3-point blur.
    p.setBrush(QColor(0, 0, 0, 30));
    p.drawEllipse(c + QPointF(0, 1), r + 1.5, r + 1.5);
    p.setBrush(QColor(0, 0, 0, 50));
    p.drawEllipse(c + QPointF(0, 1), r + 0.5, r + 0.5);
    p.setBrush(Qt::white);
    p.drawEllipse(c, r, r);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(accent(this), 1.75));
    p.drawEllipse(c, r, r);
}

void CanvasView::drawSelection(QPainter& p, const Annotation& a) const
{
    auto screenRect = [&](const QRectF& r) {
        return QRectF(toWidget(r.topLeft()), toWidget(r.bottomRight())).adjusted(-3, -3, 3, 3);
    };
    p.save();
    p.setPen(dashed(accent(this)));
    p.setBrush(Qt::NoBrush);
    if (a.kind == ToolKind::magnifier) {
        p.drawRect(screenRect(a.sourceRect()));
        p.drawRect(screenRect(a.lensRect()));
    } else if (!isLineLike(a.kind)) {
        p.drawRect(screenRect(a.bounds()));
    }
    p.restore();
    for (Handle h : a.handles())
        drawHandle(p, a.handlePoint(h));
}

void CanvasView::drawCrop(QPainter& p, const QRectF& r) const
{
    const QRectF image(toWidget(QPointF(0, 0)), toWidget(imageRect().bottomRight()));
    const QRectF crop(toWidget(r.topLeft()), toWidget(r.bottomRight()));
    p.save();
    QPainterPath dim;
    dim.setFillRule(Qt::OddEvenFill);
    dim.addRect(image);
    dim.addRect(crop);
    p.fillPath(dim, QColor::fromRgbF(0, 0, 0, 0.55));

    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 1.5));
    p.drawRect(crop);
    p.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.35), 1));
    for (int i = 1; i <= 2; ++i) {
        const double x = crop.left() + crop.width() * i / 3, y = crop.top() + crop.height() * i / 3;
        p.drawLine(QPointF(x, crop.top()), QPointF(x, crop.bottom()));
        p.drawLine(QPointF(crop.left(), y), QPointF(crop.right(), y));
    }
    p.restore();

    const Annotation handles = canvas::cropAnnotation(r);
    for (Handle h : boxHandles())
        drawHandle(p, handles.handlePoint(h));

    // Size badge above the rectangle, or at the image's top edge when there is no room.
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(12);
    font.setWeight(QFont::Medium);
    const QString label = canvas::cropBadgeText(r);
    const QFontMetricsF fm(font);
    const QSizeF text(fm.horizontalAdvance(label), fm.height());
    double y = r.top() - px(text.height() + 10);
    if (y < 0)
        y = 0;
    const QPointF at(crop.left(), toWidget(QPointF(0, y)).y());
    const QRectF badge(at, QSizeF(text.width() + 12, text.height() + 6));
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor::fromRgbF(0, 0, 0, 0.75));
    p.drawRoundedRect(badge, 5, 5);
    p.setPen(Qt::white);
    p.setFont(font);
    p.drawText(QRectF(badge.topLeft() + QPointF(6, 3), text), Qt::AlignLeft | Qt::AlignTop, label);
    p.restore();
}

void CanvasView::drawTextFrame(QPainter& p) const
{
    const QRectF frame =
        QRectF(toWidget(textFrame_.topLeft()), toWidget(textFrame_.bottomRight())).adjusted(-3, -3, 3, 3);
    p.save();
    p.setPen(dashed(QColor(0, 122, 255)));
    p.setBrush(Qt::NoBrush);
    p.drawRect(frame);
    p.restore();
}

}  // namespace kx
