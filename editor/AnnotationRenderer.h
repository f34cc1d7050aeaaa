#pragma once
// Draws a document's annotations over its base image, identically on the canvas and in
// the exported image.

#include "editor/Annotation.h"

#include <QImage>
#include <QList>
#include <QPainter>
#include <QUuid>

namespace kx {

class EffectCache;

class AnnotationRenderer {
public:
    AnnotationRenderer() = delete;

    // `painter` maps base-image pixels (origin top-left) and already shows the base image.
    // Three passes over the list in order: blur and pixelate patches, one shared spotlight
    // dimming, then every other object. The object whose id is `skipping` is left out.
    static void draw(const QList<Annotation>& annotations, const QImage& base, QPainter& painter,
                     EffectCache& effects, const QUuid& skipping = QUuid());

    // The label of a ruler from p1 to p2, e.g. "250 px  (200 × 150)".
    static QString rulerLabel(const QPointF& p1, const QPointF& p2);
    // Black or white, whichever reads better on `background` at the given luminance cut.
    static QColor contrastText(const RGBA& background, double cut);

    // Opaque colour drawn where a blur or pixelation could not be made.
    static QColor coverColor();

private:
    static void drawObject(const Annotation& a, QPainter& p);
    static void drawMagnifier(const Annotation& a, const QList<Annotation>& all, const QImage& base,
                              EffectCache& effects, QPainter& p);
    static void drawArrow(const Annotation& a, QPainter& p);
    static void drawText(const Annotation& a, QPainter& p);
    static void drawStep(const Annotation& a, QPainter& p);
    static void drawRuler(const Annotation& a, QPainter& p);
    static void drawPicture(const Annotation& a, QPainter& p);
    static void drawEffects(const QList<Annotation>& annotations, const QImage& base, QPainter& p,
                            EffectCache& effects, const QUuid& skipping);
    static void drawSpotlights(const QList<Annotation>& annotations, const QImage& base, QPainter& p,
                               const QUuid& skipping);
};

// Path through the samples with quadratic curves between their midpoints.
QPainterPath smoothPath(const QList<QPointF>& points);

}  // namespace kx
