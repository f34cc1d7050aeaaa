#pragma once
// The palette window: the dominant colours of an image as swatches; a click copies a colour's
// code, a button copies them all. One window for the process, created on first use and only
// hidden when closed, so it stays where the user put it.

#include "analysis/Palette.h"

#include <QAbstractButton>
#include <QImage>
#include <QPointer>
#include <QWidget>

namespace kx {

// One colour tile: the colour, its code and its share; a click copies the code.
class SwatchView : public QAbstractButton {
    Q_OBJECT

public:
    explicit SwatchView(const PaletteColor& color, QWidget* parent = nullptr);
    const PaletteColor& color() const { return color_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

private:
    PaletteColor color_;
};

// How the palette window's content fits a view of `view` points: swatch columns of at least
// 190 pt, and whether the copy row (which needs `rowNeed` on one line) stacks and scrolls with
// the swatches instead of staying below them.
struct PaletteArrangement {
    int columns = 1;
    bool stacked = false;
};
PaletteArrangement paletteArrangement(const QSize& view, const QSize& rowNeed);

class PaletteWindowController {
public:
    static PaletteWindowController& shared();

    // Computes eight colours of the image and shows them, replacing the previous content.
    void show(const QImage& image);

    // The window, once shown (tests).
    QWidget* window() const { return window_; }

    // Clipboard text and notice of the two copy actions.
    static void copyOne(const PaletteColor& color);
    static void copyAll(const QList<PaletteColor>& colors);

private:
    PaletteWindowController() = default;
    QPointer<QWidget> window_;
};

}  // namespace kx
