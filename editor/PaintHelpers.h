#pragma once
// Drawing helpers shared by the renderer and the frames: antialiased clipping, drop shadows
// from a blurred mask, and the editor's fonts with sizes in pixels.

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QSizeF>
#include <functional>

namespace kx {

// Runs `draw` as if clipped to `path`, with an antialiased edge (QPainter clip paths are
// hard-edged): the drawing goes into a layer that the path then masks. A valid `limit`
// (painter coordinates) restricts the work to that rectangle as well.
void drawClipped(QPainter& painter, const QPainterPath& path, const std::function<void(QPainter&)>& draw,
                 const QRectF& limit = QRectF());

// A soft shadow of the filled `shape`: offset in the painter's units (y downwards), `blur`
// as a Gaussian radius (about twice the standard deviation), in the painter's units.
void drawShadow(QPainter& painter, const QPainterPath& shape, const QPointF& offset, double blur,
                const QColor& color);

// The editor's text fonts. Sizes are pixels so that an export never depends on screen DPI.
struct EditorFont {
    static QFont sans(double pixelSize, QFont::Weight weight);
    static QFont mono(double pixelSize, QFont::Weight weight);
    // Bounding size of `text` (one space when empty), lines broken at line feeds only,
    // each side rounded up to a whole pixel.
    static QSizeF textSize(const QString& text, const QFont& font);
    // Families used instead of the desktop's (tests pin DejaVu); empty restores the default.
    static void setFamilies(const QString& sans, const QString& mono);
};

}  // namespace kx
