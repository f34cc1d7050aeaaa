#pragma once
// The shared colours and fonts of every Kaptorix window and floating panel.
//
// Appearance (light or dark) follows the palette: a window colour darker than mid-grey
// means dark. Widgets read it while painting, so a palette change recolours them at once.

#include <QColor>
#include <QFont>
#include <QLinearGradient>
#include <QPalette>

class QRectF;
class QWidget;

namespace kx {

class Theme {
public:
    static QColor canvasDark();   // sRGB (0.075, 0.078, 0.09)
    static QColor canvasLight();  // sRGB (0.9, 0.905, 0.925)
    // canvasDark in a dark appearance, else canvasLight.
    static QColor canvas(const QPalette& palette);
    // The brand gradient from the top-left to the bottom-right corner of `rect`.
    static QLinearGradient brand(const QRectF& rect);

    static bool isDark(const QPalette& palette);
    // The foreground colour of the appearance at an opacity ("primary × 0.14").
    static QColor primary(const QPalette& palette, qreal opacity = 1.0);
    static QColor secondary(const QPalette& palette);  // secondary text
    static QColor tertiary(const QPalette& palette);   // tertiary text and glyphs
    // The desktop's accent (the palette's highlight) at an opacity.
    static QColor accent(const QPalette& palette, qreal opacity = 1.0);
    // Fill of floating surfaces where no glass or blur is available.
    static QColor material(const QPalette& palette);

    static QColor systemGreen();
    static QColor systemOrange();
    static QColor systemBlue();
    static QColor systemRed();
    static QColor systemPurple();

    // The interface font at a size in points of the layout (1 pt = 1 device-independent
    // pixel, as for every size in Kaptorix), independent of the screen's font DPI.
    static QFont font(qreal points, QFont::Weight weight = QFont::Normal);
    static QFont monoFont(qreal points, QFont::Weight weight = QFont::Normal);
};

// Colour with its alpha multiplied by `opacity`.
QColor withOpacity(QColor c, qreal opacity);

}  // namespace kx
