#include "editor/AnnotationRenderer.h"

#include "editor/EffectCache.h"
#include "editor/PaintHelpers.h"

#include <QFontMetricsF>
#include <cmath>

namespace kx {

namespace {

QPen roundPen(const QColor& c, double width)
{
    return QPen(c, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// A zero-width QPen is a hairline; an annotation of width 0 draws no stroke at all.
void strokeIfWide(QPainter& p, const QPainterPath& path, const QPen& pen)
{
    if (pen.widthF() > 0)
        p.strokePath(path, pen);
}

QPainterPath lensShape(const QRectF& r, bool round)
{
    QPainterPath path;
    if (round) {
        path.addEllipse(r);
    } else {
        const double radius = 0.1 * std::min(r.width(), r.height());
        path.addRoundedRect(r, radius, radius);
    }
    return path;
}

// Where the connector of a magnifier touches shape `r`, on the side `sign` of normal `n`.
QPointF tangentPoint(const QRectF& r, bool round, const QPointF& n, double sign)
{
    const QPointF c = r.center();
    if (!round) {
        const double sx = n.x() >= 0 ? 1 : -1, sy = n.y() >= 0 ? 1 : -1;
        return c + sign * QPointF(r.width() / 2 * sx, r.height() / 2 * sy);
    }
    const double a = r.width() / 2, b = r.height() / 2;
    const double root = std::sqrt(n.x() * n.x() * a * a + n.y() * n.y() * b * b);
    if (root <= 0.0001)
        return c;
    return c + sign * QPointF(n.x() * a * a, n.y() * b * b) / root;
}

}  // namespace

QColor AnnotationRenderer::coverColor()
{
    return QColor(128, 128, 128);
}

QColor AnnotationRenderer::contrastText(const RGBA& background, double cut)
{
    return background.luminance() <= cut ? QColor(Qt::white) : QColor(Qt::black);
}

QString AnnotationRenderer::rulerLabel(const QPointF& p1, const QPointF& p2)
{
    const QPointF d = p2 - p1;
    const double length = std::hypot(d.x(), d.y());
    QString label = QStringLiteral("%1 px").arg(qint64(std::round(length)));
    if (std::abs(d.x()) > 1 && std::abs(d.y()) > 1) {
        label += QStringLiteral("  (%1 \u00D7 %2)")
                     .arg(qint64(std::round(std::abs(d.x()))))
                     .arg(qint64(std::round(std::abs(d.y()))));
    }
    return label;
}

QPainterPath smoothPath(const QList<QPointF>& pts)
{
    QPainterPath path;
    if (pts.isEmpty())
        return path;
    path.moveTo(pts[0]);
    if (pts.size() == 1) {
        path.lineTo(pts[0] + QPointF(0.01, 0));
    } else if (pts.size() == 2) {
        path.lineTo(pts[1]);
    } else {
        for (int i = 1; i + 1 < pts.size(); ++i)
            path.quadTo(pts[i], (pts[i] + pts[i + 1]) / 2);
        path.lineTo(pts.last());
    }
    return path;
}

void AnnotationRenderer::draw(const QList<Annotation>& annotations, const QImage& base, QPainter& painter,
                              EffectCache& effects, const QUuid& skipping)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    drawEffects(annotations, base, painter, effects, skipping);
    drawSpotlights(annotations, base, painter, skipping);
    for (const Annotation& a : annotations) {
        if (!skipping.isNull() && a.id == skipping)
            continue;
        switch (a.kind) {
            case ToolKind::select:
            case ToolKind::crop:
            case ToolKind::blur:
            case ToolKind::pixelate:
            case ToolKind::spotlight:
                break;
            case ToolKind::magnifier:
                drawMagnifier(a, annotations, base, effects, painter);
                break;
            default:
                drawObject(a, painter);
                break;
        }
    }
    painter.restore();
}

void AnnotationRenderer::drawEffects(const QList<Annotation>& annotations, const QImage& base, QPainter& p,
                                     EffectCache& effects, const QUuid& skipping)
{
    // A patch is partly transparent where the base is (window captures): blended over the
    // base, the original would show through it. Into an image (the export, a lens layer) the
    // patch replaces the pixels; on screen the checkerboard below must stay visible.
    const bool replace = p.device() && p.device()->devType() == QInternal::Image;
    for (const Annotation& a : annotations) {
        if (a.kind != ToolKind::blur && a.kind != ToolKind::pixelate)
            continue;
        if (!skipping.isNull() && a.id == skipping)
            continue;
        const QRect d = EffectCache::clippedRect(a.sourceRect(), base.size());
        if (d.isEmpty())
            continue;
        const QImage patch = effects.patch(a.kind, a.sourceRect(), a.style.intensity, base);
        if (patch.isNull()) {
            // A redaction that cannot be made must not show what it was meant to hide.
            p.fillRect(QRectF(d), coverColor());
            continue;
        }
        if (replace) {
            p.save();
            p.setCompositionMode(QPainter::CompositionMode_Source);
            p.drawImage(QRectF(d), patch);
            p.restore();
        } else {
            p.drawImage(QRectF(d), patch);
        }
    }
}

void AnnotationRenderer::drawSpotlights(const QList<Annotation>& annotations, const QImage& base, QPainter& p,
                                        const QUuid& skipping)
{
    QPainterPath holes;
    bool any = false;
    for (const Annotation& a : annotations) {
        if (a.kind != ToolKind::spotlight || (!skipping.isNull() && a.id == skipping))
            continue;
        any = true;
        QPainterPath hole;
        hole.addRect(a.sourceRect());
        holes = holes.united(hole);
    }
    if (!any)
        return;
    // One dimming for all spotlights: overlapping holes stay clear, never dimmed twice.
    QPainterPath dim;
    dim.addRect(QRectF(0, 0, base.width(), base.height()));
    p.fillPath(dim.subtracted(holes), QColor::fromRgbF(0, 0, 0, 0.55));
}

void AnnotationRenderer::drawObject(const Annotation& a, QPainter& p)
{
    p.save();
    const QColor c = a.style.color.color();
    const double w = a.style.lineWidth;
    switch (a.kind) {
        case ToolKind::arrow:
            drawArrow(a, p);
            break;
        case ToolKind::line: {
            QPainterPath path(a.p1);
            path.lineTo(a.p2);
            strokeIfWide(p, path, roundPen(c, w));
            break;
        }
        case ToolKind::rect:
        case ToolKind::ellipse: {
            QPainterPath path;
            if (a.kind == ToolKind::rect)
                path.addRect(a.sourceRect());
            else
                path.addEllipse(a.sourceRect());
            if (a.style.fill != FillMode::none) {
                const double alpha = a.style.fill == FillMode::solid ? a.style.color.a : 0.28;
                p.fillPath(path, a.style.color.withAlpha(alpha));
            }
            strokeIfWide(p, path, roundPen(c, w));
            break;
        }
        case ToolKind::pen:
            strokeIfWide(p, smoothPath(a.points), roundPen(c, w));
            break;
        case ToolKind::highlighter: {
            const bool dark = a.style.color.luminance() <= 0.92;
            // A multiplied marker darkens the page without hiding the text under it.
            if (dark)
                p.setCompositionMode(QPainter::CompositionMode_Multiply);
            const QPen pen(a.style.color.withAlpha(dark ? 0.8 : 0.45), 2.5 * w, Qt::SolidLine, Qt::FlatCap,
                           Qt::RoundJoin);
            strokeIfWide(p, smoothPath(a.points), pen);
            break;
        }
        case ToolKind::text:
            drawText(a, p);
            break;
        case ToolKind::step:
            drawStep(a, p);
            break;
        case ToolKind::ruler:
            drawRuler(a, p);
            break;
        case ToolKind::picture:
            drawPicture(a, p);
            break;
        default:
            break;
    }
    p.restore();
}

void AnnotationRenderer::drawArrow(const Annotation& a, QPainter& p)
{
    const QPointF d = a.p2 - a.p1;
    const double length = std::hypot(d.x(), d.y());
    if (length <= 1)
        return;
    const double w = a.style.lineWidth;
    const QColor c = a.style.color.color();
    const QPointF u = d / length;
    const double head = std::min(3.6 * w + 14, 0.85 * length);
    const double half = (1.6 * w + 7) / 1.4;
    const QPointF shaftEnd = a.p2 - 0.82 * head * u;
    const QPointF m = a.p2 - head * u;
    QPainterPath shaft(a.p1);
    shaft.lineTo(shaftEnd);
    strokeIfWide(p, shaft, roundPen(c, w));
    QPainterPath tip(a.p2);
    tip.lineTo(m.x() - u.y() * half, m.y() + u.x() * half);
    tip.lineTo(shaftEnd);
    tip.lineTo(m.x() + u.y() * half, m.y() - u.x() * half);
    tip.closeSubpath();
    tip.setFillRule(Qt::WindingFill);
    p.fillPath(tip, c);
}

void AnnotationRenderer::drawText(const Annotation& a, QPainter& p)
{
    const QFont font = EditorFont::sans(a.style.fontSize, QFont::DemiBold);
    const QRectF box(a.p1, EditorFont::textSize(a.text, font));
    QColor textColor = a.style.color.color();
    if (a.style.fill != FillMode::none) {
        const double pad = 0.28 * a.style.fontSize;
        const QRectF back = box.adjusted(-pad, -0.6 * pad, pad, 0.6 * pad);
        QPainterPath path;
        path.addRoundedRect(back, pad, pad);
        const bool solid = a.style.fill == FillMode::solid;
        p.fillPath(path, a.style.color.withAlpha(solid ? a.style.color.a : 0.2));
        if (solid)
            textColor = contrastText(a.style.color, 0.62);
    }
    p.setFont(font);
    p.setPen(textColor);
    p.drawText(box, Qt::AlignLeft | Qt::AlignTop, a.text);
}

void AnnotationRenderer::drawStep(const Annotation& a, QPainter& p)
{
    const double r = std::max(0.85 * a.style.fontSize, 10.0);
    const QRectF k(a.p1.x() - r, a.p1.y() - r, 2 * r, 2 * r);
    QPainterPath disc;
    disc.addEllipse(k);
    drawShadow(p, disc, QPointF(0, 0.08 * r), 0.3 * r, QColor::fromRgbF(0, 0, 0, 0.3));
    p.fillPath(disc, a.style.color.color());
    p.setFont(EditorFont::sans(1.15 * r, QFont::Bold));
    p.setPen(contrastText(a.style.color, 0.62));
    p.drawText(k, Qt::AlignCenter, QString::number(a.number));
}

void AnnotationRenderer::drawRuler(const Annotation& a, QPainter& p)
{
    const QPointF d = a.p2 - a.p1;
    const double length = std::hypot(d.x(), d.y());
    const double s = std::max(0.5 * a.style.lineWidth, 2.0);
    const QColor c = a.style.color.color();
    QPainterPath path(a.p1);
    path.lineTo(a.p2);
    if (length > 1) {
        const QPointF e = d / length * 4 * s;
        for (const QPointF& at : {a.p1, a.p2}) {
            path.moveTo(at.x() - e.y(), at.y() + e.x());
            path.lineTo(at.x() + e.y(), at.y() - e.x());
        }
    }
    p.strokePath(path, roundPen(c, s));

    const QString label = rulerLabel(a.p1, a.p2);
    const double f = std::max(0.6 * a.style.fontSize, 12.0);
    const QFont font = EditorFont::mono(f, QFont::DemiBold);
    const QFontMetricsF fm(font);
    const double lw = fm.horizontalAdvance(label), lh = fm.height();
    const QPointF mid = (a.p1 + a.p2) / 2;
    const QRectF pill(mid.x() - lw / 2 - f / 2, mid.y() - lh / 2 - 0.25 * f - 1.1 * f, lw + f, lh + 0.5 * f);
    QPainterPath back;
    back.addRoundedRect(pill, 0.4 * f, 0.4 * f);
    p.fillPath(back, QColor::fromRgbF(0, 0, 0, 0.8));
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(pill.center().x() - lw / 2, pill.center().y() - lh / 2, lw, lh),
               Qt::AlignLeft | Qt::AlignTop, label);
}

void AnnotationRenderer::drawPicture(const Annotation& a, QPainter& p)
{
    const QRectF r = a.sourceRect();
    if (a.image.isNull() || r.width() <= 2 || r.height() <= 2)
        return;
    const double m = std::min(r.width(), r.height());
    const double radius = 0.03 * m + 2;
    QPainterPath card;
    card.addRoundedRect(r, radius, radius);
    drawShadow(p, card, QPointF(0, std::max(0.02 * r.height(), 3.0)), std::max(0.06 * m, 8.0),
               QColor::fromRgbF(0, 0, 0, 0.4));
    p.fillPath(card, Qt::white);
    drawClipped(p, card, [&](QPainter& lp) {
        lp.setRenderHint(QPainter::SmoothPixmapTransform, true);
        lp.drawImage(r, a.image);
    });
    if (a.style.lineWidth > 0)
        p.strokePath(card, roundPen(a.style.color.color(), a.style.lineWidth));
}

void AnnotationRenderer::drawMagnifier(const Annotation& a, const QList<Annotation>& all, const QImage& base,
                                       EffectCache& effects, QPainter& p)
{
    const QRectF src = a.sourceRect();
    if (src.width() <= 4 || src.height() <= 4)
        return;
    const QRectF lens = a.lensRect();
    const double z = std::max(a.style.zoom, 1.0);
    const double s = std::max(a.style.lineWidth, 2.0);
    const bool round = a.style.roundLens;
    const QColor c = a.style.color.color();
    p.save();

    if (!lens.intersects(src)) {
        const QPointF dir = lens.center() - src.center();
        const double len = std::max(std::hypot(dir.x(), dir.y()), 0.001);
        const QPointF n(-dir.y() / len, dir.x() / len);
        const QPointF sp = tangentPoint(src, round, n, 1), sm = tangentPoint(src, round, n, -1);
        const QPointF ep = tangentPoint(lens, round, n, 1), em = tangentPoint(lens, round, n, -1);
        QPainterPath quad(sp);
        quad.lineTo(ep);
        quad.lineTo(em);
        quad.lineTo(sm);
        quad.closeSubpath();
        p.fillPath(quad, a.style.color.withAlpha(0.12));
        QPainterPath lines(sp);
        lines.lineTo(ep);
        lines.moveTo(sm);
        lines.lineTo(em);
        p.strokePath(lines, roundPen(c, 0.6 * s));
    }

    p.strokePath(lensShape(src, round), roundPen(c, 0.8 * s));

    const QPainterPath card = lensShape(lens, round);
    drawShadow(p, card, QPointF(0, 1.2 * s), 4 * s, QColor::fromRgbF(0, 0, 0, 0.4));
    p.fillPath(card, Qt::white);

    QList<Annotation> others;
    for (const Annotation& o : all) {
        if (o.kind != ToolKind::magnifier)
            others.append(o);
    }
    drawClipped(p, card, [&](QPainter& lp) {
        lp.translate(lens.left(), lens.top());
        lp.scale(z, z);
        lp.translate(-src.left(), -src.top());
        lp.setRenderHint(QPainter::SmoothPixmapTransform, true);
        lp.drawImage(QRectF(0, 0, base.width(), base.height()), base);
        draw(others, base, lp, effects);
    });

    p.strokePath(card, roundPen(c, s));
    p.restore();
}

}  // namespace kx
