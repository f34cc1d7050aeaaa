#include "ui/ChromeParts.h"

#include "ui/FloatingSurface.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QWindow>
#include <cmath>

namespace kx {

namespace {

QFont keyCapFont()
{
    return Theme::font(11, QFont::DemiBold);
}

}  // namespace

KeyCap::KeyCap(const QString& text, QWidget* parent) : QWidget(parent), text_(text)
{
}

void KeyCap::setText(const QString& text)
{
    text_ = text;
    updateGeometry();
    update();
}

QSizeF KeyCap::sizeFor(const QString& text)
{
    const QFontMetricsF fm(keyCapFont());
    return {std::max(20.0, std::ceil(fm.horizontalAdvance(text)) + 12),
            std::max(20.0, std::ceil(fm.height()))};
}

QSize KeyCap::sizeHint() const
{
    return sizeFor(text_).toSize();
}

void KeyCap::paint(QPainter& p, const QRectF& rect, const QString& text, const QPalette& palette)
{
    const QPainterPath shape = roundedRect(rect, 6);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.fillPath(shape, Theme::primary(palette, 0.08));
    strokeInside(p, shape, Theme::primary(palette, 0.12), 0.5);
    p.setFont(keyCapFont());
    p.setPen(Theme::primary(palette));
    p.drawText(rect, Qt::AlignCenter, text);
    p.restore();
}

void KeyCap::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QSizeF s = sizeFor(text_);
    paint(p, QRectF(QPointF(0, (height() - s.height()) / 2), QSizeF(width(), s.height())), text_, palette());
}

IconBadge::IconBadge(const QString& symbol, const QColor& tint, qreal size, QWidget* parent)
    : QWidget(parent), symbol_(symbol), tint_(tint), size_(size)
{
}

QSize IconBadge::sizeHint() const
{
    const int s = int(std::ceil(size_));
    return {s, s};
}

void IconBadge::paint(QPainter& p, const QRectF& rect, const QString& symbol, const QColor& tint)
{
    const qreal size = std::min(rect.width(), rect.height());
    const QRectF box(rect.center().x() - size / 2, rect.center().y() - size / 2, size, size);
    const QPainterPath shape = roundedRect(box, cornerRadius(size));
    QLinearGradient g(box.topLeft(), box.bottomLeft());
    g.setColorAt(0, withOpacity(tint, 0.95));
    g.setColorAt(1, withOpacity(tint, 0.72));
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.fillPath(shape, g);
    strokeInside(p, shape, QColor(255, 255, 255, 64), 0.5);
    Symbols::paintGlyph(p, box.center(), symbolPoints(size), symbol, Qt::white, SymbolWeight::semibold);
    p.restore();
}

void IconBadge::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    paint(p, QRectF(rect()), symbol_, tint_);
}

VDivider::VDivider(qreal height, QWidget* parent) : QWidget(parent), height_(height)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize VDivider::sizeHint() const
{
    return {7, int(std::ceil(height_))};
}

void VDivider::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(QRectF(3, (height() - height_) / 2, 1, height_), Theme::primary(palette(), 0.14));
}

WindowDragArea::WindowDragArea(QWidget* parent) : QWidget(parent)
{
}

void WindowDragArea::mousePressEvent(QMouseEvent* event)
{
    QWindow* handle = window() ? window()->windowHandle() : nullptr;
    if (event->button() == Qt::LeftButton && handle && handle->startSystemMove()) {
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

}  // namespace kx
