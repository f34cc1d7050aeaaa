#include "capture/overlay/OverlayPainter.h"

#include "core/ColorUtils.h"
#include "ui/FloatingSurface.h"
#include "ui/Theme.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace kx {

namespace {

constexpr double kPillPadX = 22;
constexpr double kPillPadY = 10;
constexpr double kPillShadowBlur = 8;
constexpr double kLoupeShadowBlur = 18;

QColor white(double alpha)
{
    return QColor::fromRgbF(1, 1, 1, float(alpha));
}

QColor grey(double level, double alpha)
{
    return QColor::fromRgbF(float(level), float(level), float(level), float(alpha));
}

// The area a shadowed shape may touch: its blur reaches twice the radius, moved by the offset.
QRect withShadow(const QRectF& r, double blur, double offset)
{
    return r.adjusted(-2 * blur, -2 * blur, 2 * blur, 2 * blur + offset).toAlignedRect();
}

QRegion ring(const QRectF& r)
{
    const QRect outer = r.adjusted(-3, -3, 3, 3).toAlignedRect();
    const QRectF in = r.adjusted(1, 1, -1, -1);
    if (in.width() <= 0 || in.height() <= 0)
        return QRegion(outer);
    const QRect inner(QPoint(int(std::ceil(in.left())), int(std::ceil(in.top()))),
                      QPoint(int(std::floor(in.right())) - 1, int(std::floor(in.bottom())) - 1));
    return QRegion(outer).subtracted(QRegion(inner));
}

QRegion crossLines(QPointF p, QSizeF bounds)
{
    const int y = int(std::floor(p.y()));
    const int x = int(std::floor(p.x()));
    return QRegion(0, y - 1, int(std::ceil(bounds.width())), 3) +
           QRegion(x - 1, 0, 3, int(std::ceil(bounds.height())));
}

QRegion area(const std::optional<QRectF>& r, double blur, double offset)
{
    return r ? QRegion(withShadow(*r, blur, offset)) : QRegion();
}

// Draws the soft shadow of a rounded rectangle; the shape is made at the origin so the
// blurred image is reused wherever the shape goes.
void shadowOf(QPainter& p, const QRectF& r, double radius, double opacity, double blur, double offset)
{
    p.save();
    p.translate(r.topLeft());
    paintShadow(p, roundedRect(QRectF(QPointF(0, 0), r.size()), radius), opacity, blur, QPointF(0, offset));
    p.restore();
}

}  // namespace

QRegion OverlayVisual::changedArea(const OverlayVisual& a, const OverlayVisual& b, QSizeF bounds)
{
    QRegion dirty;
    if (a.clear != b.clear) {
        const QRegion ra = a.clear ? QRegion(a.clear->toAlignedRect()) : QRegion();
        const QRegion rb = b.clear ? QRegion(b.clear->toAlignedRect()) : QRegion();
        dirty += ra.xored(rb);
    }
    if (a.border != b.border) {
        if (a.border)
            dirty += ring(*a.border);
        if (b.border)
            dirty += ring(*b.border);
    }
    if (a.highlight != b.highlight) {
        if (a.highlight)
            dirty += a.highlight->adjusted(-2, -2, 2, 2).toAlignedRect();
        if (b.highlight)
            dirty += b.highlight->adjusted(-2, -2, 2, 2).toAlignedRect();
    }
    if (a.label != b.label || a.labelText != b.labelText)
        dirty += area(a.label, kPillShadowBlur, 2) + area(b.label, kPillShadowBlur, 2);
    if (a.crosshair != b.crosshair) {
        if (a.crosshair)
            dirty += crossLines(*a.crosshair, bounds);
        if (b.crosshair)
            dirty += crossLines(*b.crosshair, bounds);
    }
    if (a.loupe != b.loupe || a.loupePixel != b.loupePixel)
        dirty += area(a.loupe, kLoupeShadowBlur, 4) + area(b.loupe, kLoupeShadowBlur, 4);
    if (a.hint != b.hint)
        dirty += area(a.hint, kPillShadowBlur, 2) + area(b.hint, kPillShadowBlur, 2);
    return dirty;
}

OverlayPainter::OverlayPainter(const QImage& frozen, double scale, SelectionMode mode)
    : mode_(mode), hint_(selectionHint(mode))
{
    plain_ = frozen.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    plain_.setDevicePixelRatio(scale);
    if (mode != SelectionMode::colorPicker) {
        dimmed_ = plain_.copy();
        QPainter p(&dimmed_);
        p.fillRect(QRectF(QPointF(0, 0), dimmed_.deviceIndependentSize()), QColor::fromRgbF(0, 0, 0, kDim));
    }
    labelFont_ = Theme::monoFont(12, QFont::Medium);
    hintFont_ = Theme::monoFont(13, QFont::DemiBold);
    loupeFont_ = Theme::monoFont(11, QFont::Medium);
    swatchFont_ = Theme::monoFont(12, QFont::DemiBold);
}

bool OverlayPainter::showsLoupe(const OverlayState& state, const OverlayLook& look) const
{
    if (!state.mouse() || mode_ == SelectionMode::window)
        return false;
    return mode_ == SelectionMode::colorPicker || look.showLoupe;
}

bool OverlayPainter::showsHint(const OverlayState& state) const
{
    switch (mode_) {
    case SelectionMode::colorPicker:
        return true;
    case SelectionMode::window:
        return !state.hovered();
    case SelectionMode::area:
    case SelectionMode::scrollArea:
        return !state.anchor() && !state.selection();
    }
    return false;
}

std::optional<QRectF> OverlayPainter::clearRect(const OverlayState& state) const
{
    if (state.selection())
        return state.selection();
    if (mode_ == SelectionMode::window && state.hovered())
        return state.windows()[*state.hovered()].rect;
    return std::nullopt;
}

QSizeF OverlayPainter::pillSize(const QString& text, const QFont& font) const
{
    const QFontMetricsF fm(font);
    return QSizeF(fm.horizontalAdvance(text) + kPillPadX, fm.height() + kPillPadY);
}

QRectF OverlayPainter::labelRect(const QString& text, const QRectF& near, QSizeF bounds) const
{
    const QSizeF size = pillSize(text, labelFont_);
    return QRectF(labelOrigin(near, size, bounds), size);
}

QRectF OverlayPainter::hintRect(QSizeF bounds) const
{
    const QSizeF size = pillSize(hint_, hintFont_);
    return QRectF(QPointF((bounds.width() - size.width()) / 2, bounds.height() - 90), size);
}

OverlayVisual OverlayPainter::visual(OverlayState& state, const OverlayLook& look) const
{
    OverlayVisual v;
    const QSizeF bounds = state.bounds();
    if (mode_ != SelectionMode::colorPicker)
        v.clear = clearRect(state);
    if (const auto sel = state.selection()) {
        v.border = *sel;
        v.labelText = selectionSizeText(*sel, state.scale());
        v.label = labelRect(v.labelText, *sel, bounds);
    } else if (mode_ == SelectionMode::window && state.hovered()) {
        const LocalWindow& w = state.windows()[*state.hovered()];
        v.highlight = w.rect;
        v.labelText = windowLabelText(w.info, w.rect, state.scale());
        v.label = labelRect(v.labelText, w.rect, bounds);
    }
    if (const auto m = state.mouse()) {
        if ((mode_ == SelectionMode::area || mode_ == SelectionMode::scrollArea) && !state.anchor())
            v.crosshair = *m;
        if (showsLoupe(state, look)) {
            if (const auto sample = state.loupeAt(*m)) {
                v.loupe = loupeCard(*m, bounds, loupeFooterHeight(mode_ == SelectionMode::colorPicker));
                v.loupePixel = sample->pixel;
            }
        }
    }
    if (showsHint(state))
        v.hint = hintRect(bounds);
    return v;
}

void OverlayPainter::drawBackground(QPainter& p, const OverlayState& state) const
{
    if (mode_ == SelectionMode::colorPicker) {
        p.drawImage(QPointF(0, 0), plain_);
        return;
    }
    p.drawImage(QPointF(0, 0), dimmed_);
    if (const auto clear = clearRect(state)) {
        p.save();
        p.setClipRect(*clear, Qt::IntersectClip);
        p.drawImage(QPointF(0, 0), plain_);
        p.restore();
    }
}

void OverlayPainter::drawPill(QPainter& p, const QString& text, const QFont& font, QPointF origin) const
{
    const QRectF r(origin, pillSize(text, font));
    const double radius = r.height() / 2;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    shadowOf(p, r, radius, 0.35, kPillShadowBlur, 2);
    const QPainterPath path = roundedRect(r, radius);
    p.fillPath(path, grey(0.08, 0.82));
    p.setPen(QPen(white(0.16), 0.75));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    p.setFont(font);
    p.setPen(Qt::white);
    const QFontMetricsF fm(font);
    p.drawText(QPointF(origin.x() + 11, origin.y() + 5 + fm.ascent()), text);
    p.restore();
}

void OverlayPainter::drawLabel(QPainter& p, const QString& text, const QRectF& near, QSizeF bounds) const
{
    drawPill(p, text, labelFont_, labelRect(text, near, bounds).topLeft());
}

void OverlayPainter::drawLoupe(QPainter& p, OverlayState& state, QPointF at, const OverlayLook& look) const
{
    const auto sample = state.loupeAt(at);
    if (!sample)
        return;
    const bool picker = mode_ == SelectionMode::colorPicker;
    const double footer = loupeFooterHeight(picker);
    const QRectF card = loupeCard(at, state.bounds(), footer);
    const QPainterPath cardPath = roundedRect(card, 14);
    const double x = card.x();
    const double y = card.y();

    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    shadowOf(p, card, 14, 0.5, kLoupeShadowBlur, 4);
    p.fillPath(cardPath, Qt::black);

    p.save();
    p.setClipPath(cardPath, Qt::IntersectClip);
    const QRectF square(x, y, kLoupeSide, kLoupeSide);
    p.save();
    p.setClipRect(square, Qt::IntersectClip);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawImage(square, sample->image);
    p.setPen(QPen(QColor::fromRgbF(0, 0, 0, 0.16f), 0.5));
    for (int i = 1; i < kLoupeSamples; ++i) {
        p.drawLine(QPointF(x + kLoupeCell * i, y), QPointF(x + kLoupeCell * i, y + kLoupeSide));
        p.drawLine(QPointF(x, y + kLoupeCell * i), QPointF(x + kLoupeSide, y + kLoupeCell * i));
    }
    p.restore();

    const QRectF cell(x + 63, y + 63, kLoupeCell, kLoupeCell);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 2));
    p.drawRect(cell.adjusted(-1, -1, 1, 1));
    p.setPen(QPen(Qt::black, 1));
    p.drawRect(cell);

    const QRectF f(x, y + kLoupeSide, kLoupeSide, footer);
    p.fillRect(f, grey(0.08, 0.94));

    p.save();
    const QString where = QStringLiteral("x %1  y %2").arg(sample->pixel.x()).arg(sample->pixel.y());
    QString hex;
    QFont small = loupeFont_;
    if (!picker) {
        const RGB255 c = rgb255(sample->color);
        hex = QStringLiteral("#%1%2%3")
                  .arg(c.r, 2, 16, QLatin1Char('0'))
                  .arg(c.g, 2, 16, QLatin1Char('0'))
                  .arg(c.b, 2, 16, QLatin1Char('0'))
                  .toUpper();
        // Both texts share the footer: a smaller size where they would touch, and on a very
        // large display the hex value gives way to the coordinates.
        auto fits = [&](const QFont& font) {
            const QFontMetricsF fm(font);
            return 10 + fm.horizontalAdvance(where) + 6 + fm.horizontalAdvance(hex) + 10 <= kLoupeSide;
        };
        for (qreal size = 10.5; !fits(small) && size >= 9; size -= 0.5)
            small = Theme::monoFont(size, QFont::Medium);
        if (!fits(small))
            hex.clear();
    }
    const QFontMetricsF fm(small);
    p.setFont(small);
    p.setPen(white(0.8));
    p.drawText(QPointF(f.left() + 10, f.top() + 5 + fm.ascent()), where);
    if (picker) {
        const QRectF s(f.left() + 10, f.top() + 23, 18, 18);
        const QPainterPath swatch = roundedRect(s, 5);
        p.fillPath(swatch, sample->color);
        p.setPen(QPen(white(0.8), 1));
        p.drawPath(swatch);
        p.setFont(swatchFont_);
        p.setPen(Qt::white);
        p.drawText(QPointF(s.right() + 8, f.top() + 24 + QFontMetricsF(swatchFont_).ascent()),
                   formatted(sample->color, look.colorFormat));
    } else if (!hex.isEmpty()) {
        p.setPen(white(0.6));
        p.drawText(QPointF(f.right() - fm.horizontalAdvance(hex) - 10, f.top() + 5 + fm.ascent()), hex);
    }
    p.restore();
    p.restore();

    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(white(0.85), 1.5));
    p.drawPath(cardPath);
    p.restore();
}

void OverlayPainter::paint(QPainter& p, OverlayState& state, const OverlayLook& look) const
{
    const QSizeF bounds = state.bounds();
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    drawBackground(p, state);

    if (const auto sel = state.selection()) {
        p.save();
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(Qt::white, 1));
        p.drawRect(sel->adjusted(-0.5, -0.5, 0.5, 0.5));
        p.setPen(QPen(QColor::fromRgbF(0, 0, 0, 0.5f), 1));
        p.drawRect(sel->adjusted(-1.5, -1.5, 1.5, 1.5));
        p.restore();
        drawLabel(p, selectionSizeText(*sel, state.scale()), *sel, bounds);
    } else if (mode_ == SelectionMode::window && state.hovered()) {
        const LocalWindow& w = state.windows()[*state.hovered()];
        p.save();
        p.setRenderHint(QPainter::Antialiasing);
        const QPainterPath path = roundedRect(w.rect.adjusted(1.5, 1.5, -1.5, -1.5), 11);
        p.fillPath(path, withOpacity(look.accent, 0.16));
        p.setPen(QPen(look.accent, 3));
        p.setBrush(Qt::NoBrush);
        p.drawPath(path);
        p.restore();
        drawLabel(p, windowLabelText(w.info, w.rect, state.scale()), w.rect, bounds);
    }

    if (const auto m = state.mouse()) {
        if ((mode_ == SelectionMode::area || mode_ == SelectionMode::scrollArea) && !state.anchor()) {
            p.save();
            p.setPen(QPen(white(0.55), 1));
            p.drawLine(QPointF(0, m->y() + 0.5), QPointF(bounds.width(), m->y() + 0.5));
            p.drawLine(QPointF(m->x() + 0.5, 0), QPointF(m->x() + 0.5, bounds.height()));
            p.restore();
        }
        if (showsLoupe(state, look))
            drawLoupe(p, state, *m, look);
    }

    if (showsHint(state))
        drawPill(p, hint_, hintFont_, hintRect(bounds).topLeft());
}

}  // namespace kx
