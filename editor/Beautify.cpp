// The backdrop-and-frame step of the export: gradient, padding, shadow and seven frame styles.
#include "editor/BeautifySettings.h"
#include "editor/BurntEdge.h"
#include "editor/EdgeShape.h"
#include "editor/Exporter.h"
#include "editor/PaintHelpers.h"

#include <QLinearGradient>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace kx {

namespace {

using Edge = BeautifySettings::Edge;

const QColor kPaper = QColor::fromRgbF(0.985, 0.978, 0.96, 1);

double shadowAlpha(Edge edge)
{
    switch (edge) {
        case Edge::torn:
        case Edge::stamp:
            return 0.4;
        case Edge::burnt:
            return 0.35;
        default:
            return 0.45;
    }
}

QColor black(double alpha)
{
    return QColor::fromRgbF(0, 0, 0, alpha);
}

QPainterPath roundedRect(const QRectF& r, double radius)
{
    // A radius beyond half the shorter side would fold the outline over itself.
    const double limit = std::max(0.0, std::min(r.width(), r.height()) / 2);
    const double rr = std::clamp(radius, 0.0, limit);
    QPainterPath path;
    path.addRoundedRect(r, rr, rr);
    return path;
}

QPainterPath rectPath(const QRectF& r)
{
    QPainterPath path;
    path.addRect(r);
    return path;
}

// The four strips of `r` that lie within `depth` of its border; together with the rest of
// the rectangle they cover it exactly once.
QList<QRect> borderStrips(const QRect& r, int depth)
{
    depth = std::clamp(depth, 0, std::min(r.width(), r.height()) / 2 + 1);
    const QRect inner = r.adjusted(depth, depth, -depth, -depth);
    if (inner.isEmpty())
        return {r};
    return {QRect(r.left(), r.top(), r.width(), depth), QRect(r.left(), inner.bottom() + 1, r.width(), depth),
            QRect(r.left(), inner.top(), depth, inner.height()),
            QRect(inner.right() + 1, inner.top(), depth, inner.height())};
}

// Darkens a band of `width` just inside `path`, which runs no deeper than `depth` into
// `bounds`: only the border strips need a layer.
void innerEdgeShade(QPainter& p, const QPainterPath& path, double width, double alpha, const QRectF& bounds,
                    double depth)
{
    const QPen pen(black(alpha), 2 * width, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin);
    for (const QRect& strip : borderStrips(bounds.toAlignedRect(), int(std::ceil(depth + width)) + 2))
        drawClipped(
            p, path, [&](QPainter& lp) { lp.strokePath(path, pen); }, strip);
}

// The same band for a rectangle, without a layer: the rectangle minus its inset.
void innerRectShade(QPainter& p, const QRectF& r, double width, double alpha)
{
    QPainterPath band;
    band.addRect(r);
    band.addRect(r.adjusted(width, width, -width, -width));
    band.setFillRule(Qt::OddEvenFill);
    p.fillPath(band, black(alpha));
}

void drawImageAt(QPainter& p, const QImage& image, const QRectF& at)
{
    p.save();
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawImage(at.topLeft(), image);
    p.restore();
}

struct Frame {
    QPainter& p;
    const QImage& image;
    const BeautifySettings& settings;
    const FrameLayout& layout;
    double s;

    void shadow(const QPainterPath& shape) const
    {
        if (!settings.shadow)
            return;
        const double pad = layout.pad;
        drawShadow(p, shape, QPointF(0, std::max(0.18 * pad, 2.0)), std::max(0.45 * pad, 4.0),
                   black(shadowAlpha(settings.edge)));
    }

    // The image cut along `path`, which runs no deeper than `depth` into the image: the
    // inside is copied as it is, only the border strips go through a masked layer.
    void clippedImage(const QPainterPath& path, double depth) const
    {
        const QRect at = layout.image.toAlignedRect();
        const QList<QRect> strips = borderStrips(at, int(std::ceil(depth)) + 2);
        if (strips.size() == 4) {
            const QRect inner(strips[2].right() + 1, strips[2].top(),
                              strips[3].left() - strips[2].right() - 1, strips[2].height());
            p.drawImage(inner.topLeft(), image, inner.translated(-at.topLeft()));
        }
        for (const QRect& strip : strips)
            drawClipped(
                p, path, [&](QPainter& lp) { drawImageAt(lp, image, layout.image); }, strip);
    }

    void cut(const QPainterPath& path, double depth) const
    {
        shadow(path);
        p.fillPath(path, Qt::black);  // shows only through transparent parts of the image
        clippedImage(path, depth);
    }

    void torn() const
    {
        const EdgeShape::Torn t = EdgeShape::torn(layout.image, s, settings.edgeSize, settings.seed);
        const double depth = EdgeShape::tornDepth(layout.image, s, settings.edgeSize);
        shadow(t.rim);
        p.fillPath(t.rim, kPaper);
        innerEdgeShade(p, t.rim, 1.2 * s, 0.1, layout.image, depth);
        clippedImage(t.image, depth);
        innerEdgeShade(p, t.image, 2.2 * s, 0.16, layout.image, depth);
    }

    void burnt() const
    {
        const double m = std::min(layout.image.width(), layout.image.height());
        const double amp = settings.edgeSize * std::min(std::max(6 * s, 0.02 * m), 30 * s);
        const QPainterPath path = EdgeShape::burnt(layout.image, amp, settings.seed);
        if (settings.shadow) {
            shadow(path);
            p.fillPath(path, Qt::black);
        }
        drawShadow(p, path, QPointF(0, 0), 1.6 * amp, QColor::fromRgbF(1, 0.4, 0.05, 0.5));
        p.fillPath(path, Qt::black);
        const QImage cut = charredCut(image, path.translated(-layout.image.topLeft()), amp);
        if (!cut.isNull())
            drawImageAt(p, cut, layout.image);
    }

    void stamp() const
    {
        const QPainterPath path = EdgeShape::stamp(layout.frame, 0.36 * layout.side);
        shadow(path);
        p.fillPath(path, kPaper);
        drawImageAt(p, image, layout.image);
        p.strokePath(rectPath(layout.image), QPen(black(0.12), std::max(s, 1.0)));
    }

    void polaroid() const
    {
        const QPainterPath card = roundedRect(layout.frame, 3 * s);
        shadow(card);
        p.fillPath(card, kPaper);
        drawImageAt(p, image, layout.image);
        innerRectShade(p, layout.image, 1.2 * s, 0.18);
    }

    void window() const
    {
        const QRectF f = layout.frame;
        const QPainterPath card = roundedRect(f, std::max(8 * s, s * settings.cornerRadius));
        shadow(card);
        p.fillPath(card, QColor::fromRgbF(0.95, 0.95, 0.95, 1));
        drawClipped(p, card, [&](QPainter& lp) {
            const QRectF bar(f.left(), f.top(), f.width(), 32 * s);
            QLinearGradient g(bar.topLeft(), bar.bottomLeft());
            g.setColorAt(0, QColor::fromRgbF(0.95, 0.95, 0.95, 1));
            g.setColorAt(1, QColor::fromRgbF(0.88, 0.88, 0.88, 1));
            lp.fillRect(bar, g);
            const double line = std::max(0.8 * s, 1.0);
            lp.fillRect(QRectF(bar.left(), bar.bottom() - line, bar.width(), line), black(0.12));
            const QColor dots[] = {QColor::fromRgbF(1, 0.37, 0.34), QColor::fromRgbF(1, 0.74, 0.18),
                                   QColor::fromRgbF(0.16, 0.79, 0.25)};
            const double d = 12 * s;
            for (int i = 0; i < 3; ++i) {
                const QPointF c(bar.left() + (18 + 20 * i) * s, bar.center().y());
                QPainterPath dot;
                dot.addEllipse(c, d / 2, d / 2);
                lp.fillPath(dot, dots[i]);
            }
        });
        // The image is clipped too, so its lower corners follow the rounded card.
        clippedImage(card, std::max(8 * s, s * settings.cornerRadius));
        p.strokePath(card, QPen(black(0.18), std::max(s, 1.0)));
    }
};

}  // namespace

QImage Exporter::beautify(const QImage& input, const BeautifySettings& raw, double scale)
{
    if (!raw.enabled || input.isNull())
        return input;
    const BeautifySettings settings = sanitized(raw);
    const double s = std::isfinite(scale) ? std::clamp(scale, 0.1, 16.0) : 1.0;
    const FrameLayout layout = frameLayout(input.size(), settings, s);
    if (layout.canvas.isEmpty() || qint64(layout.canvas.width()) * layout.canvas.height() > kMaxCanvasPixels)
        return input;
    QImage out(layout.canvas, QImage::Format_ARGB32_Premultiplied);
    if (out.isNull())
        return input;
    out.fill(Qt::transparent);
    const QImage image = input.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return input;

    QPainter p(&out);
    p.setRenderHint(QPainter::Antialiasing, true);
    const auto [start, end] = gradientColors(settings.background);
    if (start.isValid()) {
        QLinearGradient g(0, 0, layout.canvas.width(), layout.canvas.height());
        g.setColorAt(0, start);
        g.setColorAt(1, end);
        p.fillRect(QRect(QPoint(0, 0), layout.canvas), g);
    }
    const Frame frame{p, image, settings, layout, s};
    switch (settings.edge) {
        case Edge::none:
            frame.cut(roundedRect(layout.image, s * settings.cornerRadius), s * settings.cornerRadius);
            break;
        case Edge::zigzag:
            frame.cut(EdgeShape::zigzag(layout.image, s, settings.edgeSize), 7 * s * settings.edgeSize);
            break;
        case Edge::torn:
            frame.torn();
            break;
        case Edge::burnt:
            frame.burnt();
            break;
        case Edge::stamp:
            frame.stamp();
            break;
        case Edge::polaroid:
            frame.polaroid();
            break;
        case Edge::window:
            frame.window();
            break;
    }
    p.end();
    return out;
}

}  // namespace kx
