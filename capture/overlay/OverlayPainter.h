#pragma once
// Draws one display's overlay from its state: the frozen screen (dimmed outside the
// choice), the selection border and size label, the hovered window, the crosshair, the
// loupe and the hint. It also tells which area of the view its decorations cover, so a
// pointer move repaints only what changed.
#include "capture/overlay/OverlayState.h"
#include "core/Enums.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRegion>

class QPainter;

namespace kx {

// Where each decoration is, for finding what a change of state repaints.
struct OverlayVisual {
    std::optional<QRectF> clear;      // shown undimmed (selection or hovered window)
    std::optional<QRectF> border;     // selection border around this rectangle
    std::optional<QRectF> highlight;  // hovered window
    std::optional<QRectF> label;      // size or window label pill
    QString labelText;
    std::optional<QPointF> crosshair;
    std::optional<QRectF> loupe;  // the card
    QPoint loupePixel;
    std::optional<QRectF> hint;

    // The area to repaint when the view goes from `a` to `b`.
    static QRegion changedArea(const OverlayVisual& a, const OverlayVisual& b, QSizeF bounds);
};

struct OverlayLook {
    bool showLoupe = true;
    ColorFormat colorFormat = ColorFormat::hex;
    QColor accent = QColor(10, 132, 255);
};

class OverlayPainter {
public:
    OverlayPainter(const QImage& frozen, double scale, SelectionMode mode);

    // Paints the part `area` of the view (the decorations are clipped by the painter).
    void paint(QPainter& p, OverlayState& state, const OverlayLook& look, const QRegion& area) const;

    // Where the decorations of a state are.
    OverlayVisual visual(OverlayState& state, const OverlayLook& look) const;

    // The dimming: black at this opacity over the frozen screen.
    static constexpr double kDim = 0.42;

private:
    void paintPart(QPainter& p, OverlayState& state, const OverlayLook& look, const QRect& area) const;
    void drawBackground(QPainter& p, const OverlayState& state, const QRegion& area) const;
    bool drawBackgroundDirect(QPainter& p, QImage& device, const QRect& r, const std::optional<QRectF>& clear,
                              int dimAlpha) const;
    void drawPill(QPainter& p, const QString& text, const QFont& font, QPointF origin) const;
    void paintPill(QPainter& p, const QString& text, const QFont& font, QPointF origin) const;
    QSizeF pillSize(const QString& text, const QFont& font) const;
    void drawLabel(QPainter& p, const QString& text, const QRectF& near, QSizeF bounds) const;
    QRectF labelRect(const QString& text, const QRectF& near, QSizeF bounds) const;
    QRectF hintRect(QSizeF bounds) const;
    void drawLoupe(QPainter& p, OverlayState& state, QPointF at, const OverlayLook& look) const;
    void paintLoupe(QPainter& p, const QRectF& card, const LoupeSample& sample,
                    const OverlayLook& look) const;
    // A decoration drawn once into a small transparent picture with room for its shadow;
    // painting it straight onto the screen-sized view costs far more than copying it.
    struct Sprite {
        QString key;
        QImage image;
    };
    template <typename Paint>
    const QImage& sprite(Sprite& cache, const QString& key, QSizeF size, double margin, Paint paint) const;
    bool showsLoupe(const OverlayState& state, const OverlayLook& look) const;
    bool showsHint(const OverlayState& state) const;
    std::optional<QRectF> clearRect(const OverlayState& state) const;

    QImage plain_;  // the frozen screen, device pixel ratio = scale
    SelectionMode mode_;
    QString hint_;
    QFont labelFont_;
    QFont hintFont_;
    QFont loupeFont_;
    QFont swatchFont_;
    mutable Sprite labelSprite_;
    mutable Sprite loupeSprite_;
};

}  // namespace kx
