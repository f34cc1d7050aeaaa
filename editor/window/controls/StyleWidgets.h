#pragma once
// Small painted controls of the style inspector and the backdrop popover.
#include "editor/AnnotationStyle.h"

#include <QAbstractButton>
#include <QWidget>
#include <functional>

class QLabel;
class QSlider;
class QVariantAnimation;

namespace kx {

class ChromeButton;

// A colour swatch: an 18 pt circle with a faint ring, and the accent ring 3.5 pt outside it
// when selected, when it also springs to 1.08 of its size; it takes clicks within 4 pt of the
// circle.
class SwatchButton : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr int kMargin = 4;  // room for the selection ring around the circle

    SwatchButton(const RGBA& color, QWidget* parent = nullptr);
    const RGBA& color() const { return color_; }
    bool isSelected() const { return selected_; }
    void setSelected(bool selected);
    QSize sizeHint() const override { return {18 + 2 * kMargin, 18 + 2 * kMargin}; }
    // Primary-colour opacity of the inner ring: darker for white, which would vanish otherwise.
    static qreal ringOpacity(const RGBA& color) { return color == RGBA{1, 1, 1, 1} ? 0.35 : 0.18; }
    static constexpr qreal kSelectedScale = 1.08;
    // The scale drawn now, and the spring (0.15 s response, 0.85 damping) that moves it.
    qreal scale() const { return scale_; }
    QVariantAnimation* scaleSpring() const { return spring_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

private:
    RGBA color_;
    bool selected_ = false;
    qreal scale_ = 1.0;
    QVariantAnimation* spring_;
};

// The custom colour well: a hue wheel that opens the colour dialog.
class CustomColorWell : public QAbstractButton {
    Q_OBJECT
public:
    explicit CustomColorWell(QWidget* parent = nullptr);
    QSize sizeHint() const override
    {
        return {18 + 2 * SwatchButton::kMargin, 18 + 2 * SwatchButton::kMargin};
    }

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The colour row folded into one button, where the bar has no room for the whole row: the
// current colour with a chevron; it opens the swatches in a popover.
class ColorFoldButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit ColorFoldButton(QWidget* parent = nullptr);
    void setColor(const RGBA& color);
    const RGBA& color() const { return color_; }
    QSize sizeHint() const override
    {
        return {18 + 2 * SwatchButton::kMargin + 12, 18 + 2 * SwatchButton::kMargin};
    }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    RGBA color_;
};

// A symbol drawn at a point size in the secondary colour.
class SymbolLabel : public QWidget {
    Q_OBJECT
public:
    SymbolLabel(const QString& symbol, qreal points, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString symbol_;
    qreal points_;
};

// Symbol, small slider and an optional numeric readout, in a row. The slider is `sliderWidth`
// wide where there is room and narrows to kMinSlider where there is not.
class SliderGroup : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMinSlider = 40;
    SliderGroup(const QString& symbol, int sliderWidth, bool withReadout, QWidget* parent = nullptr);
    QSlider* slider() const { return slider_; }
    QLabel* readout() const { return readout_; }

private:
    QSlider* slider_;
    QLabel* readout_ = nullptr;
};

// An icon-only chrome button of 26 pt with radius 7 and a 12 pt symbol.
ChromeButton* smallChromeButton(const QString& symbol, QWidget* parent, std::function<void()> action);

// A switch-style toggle.
class SwitchToggle : public QAbstractButton {
    Q_OBJECT
public:
    explicit SwitchToggle(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {32, 18}; }

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace kx
