#include "editor/canvas/CanvasScrollArea.h"

#include "editor/canvas/CanvasView.h"
#include "ui/Theme.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

namespace kx {

CanvasScrollArea::CanvasScrollArea(CanvasView* canvas, QWidget* parent) : QScrollArea(parent), canvas_(canvas)
{
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(false);
    setAlignment(Qt::AlignCenter);
    // The backdrop around the image is the theme's canvas colour, painted below.
    viewport()->setAutoFillBackground(false);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setWidget(canvas);
}

double CanvasScrollArea::magnification() const
{
    return canvas_->magnification();
}

void CanvasScrollArea::setMagnification(double magnification)
{
    setMagnification(magnification, QRectF(viewport()->rect()).center());
}

void CanvasScrollArea::setMagnification(double magnification, const QPointF& anchor)
{
    if (!std::isfinite(magnification))
        return;
    const double m = std::clamp(magnification, kMinMagnification, kMaxMagnification);
    const QPointF fixed = canvas_->toImage(anchor - QPointF(canvas_->pos()));
    canvas_->setMagnification(m);
    // The resize above has already updated the scroll ranges (the area filters the
    // canvas's resize events), so the anchor can be scrolled back into place.
    const QPointF now = canvas_->toWidget(fixed);
    horizontalScrollBar()->setValue(int(std::lround(now.x() - anchor.x())));
    verticalScrollBar()->setValue(int(std::lround(now.y() - anchor.y())));
    viewport()->update();
    Q_EMIT magnificationChanged(m);
}

void CanvasScrollArea::zoomBy(double factor)
{
    setMagnification(factor * magnification());
}

void CanvasScrollArea::zoomToFit(double maxZoom)
{
    const QSizeF frame = canvas_->frameSize();
    // The room without scroll bars: a fitted canvas needs none.
    const QSize content = maximumViewportSize();
    if (frame.width() <= 0 || frame.height() <= 0 || content.width() <= 0)
        return;
    const double f = std::min({content.width() / frame.width(), content.height() / frame.height(), maxZoom});
    setMagnification(std::max(kMinMagnification, f * 0.98));
}

void CanvasScrollArea::zoomActual()
{
    setMagnification(1.0);
}

bool CanvasScrollArea::eventFilter(QObject* watched, QEvent* e)
{
    // The shadow around the old frame must go when the canvas grows, shrinks or moves.
    if (watched == canvas_ && (e->type() == QEvent::Resize || e->type() == QEvent::Move))
        viewport()->update();
    return QScrollArea::eventFilter(watched, e);
}

void CanvasScrollArea::paintEvent(QPaintEvent* e)
{
    QScrollArea::paintEvent(e);
    // A repaint of the canvas alone also reaches the area behind it; the shadow lies
    // outside the canvas, so there is nothing to draw then.
    const QRect canvasRect = canvas_->geometry();
    if (canvasRect.contains(e->rect()))
        return;
    QPainter p(viewport());
    p.fillRect(e->rect(), Theme::canvas(palette()));
    // A soft shadow under the canvas: a few widening, fading outlines, 10 points lower.
    p.setRenderHint(QPainter::Antialiasing);
    const bool dark = Theme::isDark(palette());
    const double alpha = dark ? 0.6 : 0.22;
    const QRectF frame = QRectF(canvasRect).translated(0, 10);
    const int rings = 10;
    p.setPen(Qt::NoPen);
    for (int i = rings; i >= 1; --i) {
        const double grow = 30.0 * i / rings;
        p.setBrush(QColor::fromRgbF(0, 0, 0, alpha / rings * (1.0 - double(i - 1) / rings)));
        p.drawRoundedRect(frame.adjusted(-grow / 2, -grow / 2, grow / 2, grow / 2), grow / 2, grow / 2);
    }
}

}  // namespace kx
