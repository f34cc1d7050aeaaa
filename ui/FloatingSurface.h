#pragma once
// The floating surface behind toasts, the countdown, the preview card, hover tips and the
// editor's floating bars: the material fill in a shape, a hairline inner stroke and,
// optionally, a soft shadow. Also the card look for grouped content.

#include <QPainterPath>
#include <QWidget>

class QPainter;

namespace kx {

// Draws the surface in `shape` (widget coordinates). The shadow (black 0.16, radius 10,
// 3 pt down) falls outside the shape, so callers leave a margin around it.
void paintFloatingSurface(QPainter& p, const QPainterPath& shape, bool shadow, const QPalette& palette);

// Draws a soft shadow of `shape`: black at `opacity`, blurred by `radius`, moved by `offset`.
void paintShadow(QPainter& p, const QPainterPath& shape, qreal opacity, qreal radius, const QPointF& offset);

// A card for grouped content: `fill` in a rounded rectangle with a hairline inner stroke
// of primary × 0.07.
void paintCard(QPainter& p, const QRectF& rect, qreal radius, const QColor& fill, const QPalette& palette);

// A rounded rectangle path (continuous-looking corners drawn as circular arcs).
QPainterPath roundedRect(const QRectF& rect, qreal radius);

// A hairline of `width` drawn just inside the shape's edge.
void strokeInside(QPainter& p, const QPainterPath& shape, const QColor& color, qreal width);

// Base of the content of a floating panel: it paints its own surface inside an outer
// margin and tells the panel its shape, so the panel can mask itself where no compositor
// gives it translucent corners.
class SurfaceWidget : public QWidget {
public:
    using QWidget::QWidget;
    // The surface outline in widget coordinates.
    virtual QPainterPath surfacePath() const = 0;
    // False when the panel is cut to the surface: a shadow would only stain its edge.
    bool castsShadow() const { return castsShadow_; }
    void setCastsShadow(bool casts) { castsShadow_ = casts; }

private:
    bool castsShadow_ = true;
};

// A widget that paints the card look behind its children.
class CardFrame : public QWidget {
public:
    CardFrame(qreal radius, const QColor& fill, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    qreal radius_;
    QColor fill_;
};

}  // namespace kx
