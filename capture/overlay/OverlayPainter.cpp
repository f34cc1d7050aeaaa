#include "capture/overlay/OverlayPainter.h"

#include "capture/overlay/DimmedCopy.h"
#include "core/ColorUtils.h"
#include "ui/FloatingSurface.h"
#include "ui/Theme.h"

#include <QFontMetricsF>
#include <QHash>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace kx {

namespace {

constexpr double kPillPadX = 22;
constexpr double kPillPadY = 10;
constexpr double kPillShadowBlur = 8;
constexpr double kLoupeShadowBlur = 18;
constexpr double kPillMargin = 2 * kPillShadowBlur + 2;
constexpr double kLoupeMargin = 2 * kLoupeShadowBlur + 4;

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

// The faint grid between the enlarged samples, the same in every loupe: drawn once per scale.
const QImage& loupeGrid(double scale)
{
    static QHash<int, QImage> grids;  // by scale in hundredths
    QImage& grid = grids[qRound(scale * 100)];
    if (grid.isNull()) {
        grid = QImage(QSizeF(kLoupeSide * scale, kLoupeSide * scale).toSize(),
                      QImage::Format_ARGB32_Premultiplied);
        grid.setDevicePixelRatio(scale);
        grid.fill(Qt::transparent);
        QPainter q(&grid);
        q.setRenderHint(QPainter::Antialiasing);
        q.setPen(QPen(QColor::fromRgbF(0, 0, 0, 0.16f), 0.5));
        for (int i = 1; i < kLoupeSamples; ++i) {
            q.drawLine(QPointF(kLoupeCell * i, 0), QPointF(kLoupeCell * i, kLoupeSide));
            q.drawLine(QPointF(0, kLoupeCell * i), QPointF(kLoupeSide, kLoupeCell * i));
        }
    }
    return grid;
}

// The loupe's square: the samples enlarged without smoothing, under the grid.
QImage magnified(const QImage& samples, double scale)
{
    QImage out(QSizeF(kLoupeSide * scale, kLoupeSide * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    out.setDevicePixelRatio(scale);
    out.fill(Qt::transparent);
    QPainter q(&out);
    q.drawImage(QRectF(0, 0, kLoupeSide, kLoupeSide), samples);
    q.drawImage(QPointF(0, 0), loupeGrid(scale));
    return out;
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
    // Shared with the grab, not copied: the dimming is painted over it where it shows. A dimmed
    // copy made up front cost a second screen-sized buffer and a pass over it before the
    // first paint (about 20 ms at 4K).
    plain_ = frozen.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    plain_.setDevicePixelRatio(scale);
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

namespace {

// The image a painter draws into, if it is one (a widget's raster backing store is).
QImage* paintedImage(QPainter& p)
{
    QPaintEngine* engine = p.paintEngine();
    QPaintDevice* device = engine ? engine->paintDevice() : nullptr;
    return device && device->devType() == QInternal::Image ? static_cast<QImage*>(device) : nullptr;
}

// `r` in device pixels, if it lands on whole pixels there.
std::optional<QRect> onWholePixels(const QTransform& t, const QRectF& r)
{
    const QRectF mapped = t.mapRect(r);
    const QRect whole(QPoint(qRound(mapped.left()), qRound(mapped.top())),
                      QPoint(qRound(mapped.right()) - 1, qRound(mapped.bottom()) - 1));
    if (QRectF(whole) != mapped)
        return std::nullopt;
    return whole;
}

}  // namespace

bool OverlayPainter::drawBackgroundDirect(QPainter& p, QImage& device, const QRect& r,
                                          const std::optional<QRectF>& clear, int dimAlpha) const
{
    // Straight into the painter's image where nothing but the plain copy and fill would
    // differ: no rotation or odd scaling, full opacity, the usual composition.
    const QTransform t = p.deviceTransform();
    const double scale = plain_.devicePixelRatio();
    if (t.type() > QTransform::TxScale || t.m11() != scale || t.m22() != scale || p.opacity() != 1.0 ||
        p.compositionMode() != QPainter::CompositionMode_SourceOver)
        return false;
    const std::optional<QRect> target = onWholePixels(t, r);
    const QPointF origin = t.map(QPointF(0, 0));
    if (!target || origin != QPointF(origin.toPoint()))
        return false;
    std::optional<QRect> inside;
    if (clear) {
        inside = onWholePixels(t, *clear);
        if (!inside)
            return false;
    }
    return drawDimmed(device, *target, plain_, origin.toPoint(), inside,
                      mode_ == SelectionMode::colorPicker ? 0 : dimAlpha);
}

void OverlayPainter::drawBackground(QPainter& p, const OverlayState& state, const QRegion& area) const
{
    // Only the parts being repainted: handing the whole screen image to the painter and
    // letting the clip cut it costs as much as repainting everything.
    const double scale = plain_.devicePixelRatio();
    auto blit = [&](const QImage& image, const QRectF& r) {
        p.drawImage(r, image, QRectF(r.topLeft() * scale, r.size() * scale));
    };
    const std::optional<QRectF> clear = mode_ == SelectionMode::colorPicker ? std::nullopt : clearRect(state);
    const QColor dim = QColor::fromRgbF(0, 0, 0, float(kDim));
    QImage* device = paintedImage(p);
    for (const QRect& r : area) {
        if (device && drawBackgroundDirect(p, *device, r, clear, dim.alpha()))
            continue;
        blit(plain_, r);
        if (mode_ == SelectionMode::colorPicker)
            continue;
        const QRectF whole(r);
        const QRectF inside = clear ? clear->intersected(whole) : QRectF();
        if (inside.isEmpty()) {
            p.fillRect(whole, dim);
            continue;
        }
        // Everything of the area around the clear rectangle: above, below, left, right.
        for (const QRectF& part :
             {QRectF(whole.left(), whole.top(), whole.width(), inside.top() - whole.top()),
              QRectF(whole.left(), inside.bottom(), whole.width(), whole.bottom() - inside.bottom()),
              QRectF(whole.left(), inside.top(), inside.left() - whole.left(), inside.height()),
              QRectF(inside.right(), inside.top(), whole.right() - inside.right(), inside.height())}) {
            if (part.width() > 0 && part.height() > 0)
                p.fillRect(part, dim);
        }
    }
}

template <typename Paint>
const QImage& OverlayPainter::sprite(Sprite& cache, const QString& key, QSizeF size, double margin,
                                     Paint paint) const
{
    if (cache.key == key && !cache.image.isNull())
        return cache.image;
    const double scale = plain_.devicePixelRatio();
    const QSizeF logical = size + QSizeF(2 * margin, 2 * margin);
    QImage image((logical * scale).toSize() + QSize(1, 1), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        paint(p, QPointF(margin, margin));
    }
    cache = {key, std::move(image)};
    return cache.image;
}

void OverlayPainter::drawPill(QPainter& p, const QString& text, const QFont& font, QPointF origin) const
{
    // The hint is the same from session to session: drawn again only when its text, scale or
    // font changes.
    static Sprite sharedHint;
    const bool hint = &font == &hintFont_;
    Sprite& cache = hint ? sharedHint : labelSprite_;
    const QString key =
        hint ? text + QLatin1Char('@') + QString::number(plain_.devicePixelRatio()) + font.key() : text;
    const QImage& image = sprite(cache, key, pillSize(text, font), kPillMargin,
                                 [&](QPainter& q, QPointF at) { paintPill(q, text, font, at); });
    p.drawImage(origin - QPointF(kPillMargin, kPillMargin), image);
}

void OverlayPainter::paintPill(QPainter& p, const QString& text, const QFont& font, QPointF origin) const
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
    const double footer = loupeFooterHeight(mode_ == SelectionMode::colorPicker);
    const QRectF card = loupeCard(at, state.bounds(), footer);
    const QString key = QStringLiteral("%1,%2,%3,%4")
                            .arg(sample->pixel.x())
                            .arg(sample->pixel.y())
                            .arg(sample->color.rgba())
                            .arg(int(look.colorFormat));
    const QImage& image = sprite(
        loupeSprite_, key, card.size(), kLoupeMargin,
        [&](QPainter& q, QPointF origin) { paintLoupe(q, QRectF(origin, card.size()), *sample, look); });
    p.drawImage(card.topLeft() - QPointF(kLoupeMargin, kLoupeMargin), image);
}

void OverlayPainter::paintLoupe(QPainter& p, const QRectF& card, const LoupeSample& s,
                                const OverlayLook& look) const
{
    const bool picker = mode_ == SelectionMode::colorPicker;
    const double footer = card.height() - kLoupeSide;
    const QPainterPath cardPath = roundedRect(card, 14);
    const double x = card.x();
    const double y = card.y();

    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    shadowOf(p, card, 14, 0.5, kLoupeShadowBlur, 4);
    p.fillPath(cardPath, Qt::black);

    p.save();
    p.setClipPath(cardPath, Qt::IntersectClip);
    // The magnified pixels and their grid are drawn apart and laid in with one draw: under the
    // card's rounded clip each of the grid's lines cost as much as all the rest of the loupe.
    p.drawImage(QPointF(x, y), magnified(s.image, plain_.devicePixelRatio()));

    const QRectF cell(x + 63, y + 63, kLoupeCell, kLoupeCell);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 2));
    p.drawRect(cell.adjusted(-1, -1, 1, 1));
    p.setPen(QPen(Qt::black, 1));
    p.drawRect(cell);

    const QRectF f(x, y + kLoupeSide, kLoupeSide, footer);
    p.fillRect(f, grey(0.08, 0.94));

    p.save();
    const QString where = QStringLiteral("x %1  y %2").arg(s.pixel.x()).arg(s.pixel.y());
    QString hex;
    QFont small = loupeFont_;
    if (!picker) {
        hex = formatted(s.color, ColorFormat::hex);
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
        const QRectF box(f.left() + 10, f.top() + 23, 18, 18);
        const QPainterPath swatch = roundedRect(box, 5);
        p.fillPath(swatch, s.color);
        p.setPen(QPen(white(0.8), 1));
        p.drawPath(swatch);
        p.setFont(swatchFont_);
        p.setPen(Qt::white);
        p.drawText(QPointF(box.right() + 8, f.top() + 24 + QFontMetricsF(swatchFont_).ascent()),
                   formatted(s.color, look.colorFormat));
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

void OverlayPainter::paint(QPainter& p, OverlayState& state, const OverlayLook& look,
                           const QRegion& area) const
{
    // One rectangle of the repainted area at a time: with a plain rectangle as clip the
    // painter takes its fast paths, while a many-piece clip over a screen-sized view makes
    // every operation walk thousands of spans.
    for (const QRect& r : area) {
        p.save();
        p.setClipRect(r);
        paintPart(p, state, look, r);
        p.restore();
    }
}

void OverlayPainter::paintPart(QPainter& p, OverlayState& state, const OverlayLook& look,
                               const QRect& area) const
{
    const QSizeF bounds = state.bounds();
    drawBackground(p, state, QRegion(area));

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
            // One point wide through the pointer: filled, as a line across a large view is slow.
            const QColor line = white(0.55);
            p.fillRect(QRectF(0, m->y(), bounds.width(), 1), line);
            p.fillRect(QRectF(m->x(), 0, 1, m->y()), line);
            p.fillRect(QRectF(m->x(), m->y() + 1, 1, bounds.height() - m->y() - 1), line);
        }
        if (showsLoupe(state, look))
            drawLoupe(p, state, *m, look);
    }

    if (showsHint(state))
        drawPill(p, hint_, hintFont_, hintRect(bounds).topLeft());
}

}  // namespace kx
