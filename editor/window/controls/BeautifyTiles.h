#pragma once
// The painted parts of the backdrop popover: the preview box, the frame-edge tiles and the
// background swatches.
#include "editor/BeautifySettings.h"

#include <QAbstractButton>
#include <QImage>
#include <QWidget>

class QVariantAnimation;

namespace kx {

// The checkerboard with the framed preview over it, dimmed while the backdrop is off.
class PreviewBox : public QWidget {
    Q_OBJECT
public:
    explicit PreviewBox(QWidget* parent = nullptr);
    void setImage(const QImage& image, bool enabled);
    // Eases the preview's opacity to 0.45 (dimmed) or 1 over 0.15 s; at once while hidden.
    void setDimmed(bool dimmed);
    double opacity() const { return opacity_; }
    double targetOpacity() const { return dimmed_ ? kDimmed : 1.0; }
    QSize sizeHint() const override { return {340, 190}; }

    static constexpr double kDimmed = 0.45;
    static constexpr int kFadeMs = 150;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage image_;
    bool dimmed_ = false;
    double opacity_ = 1.0;
    QVariantAnimation* fade_;
};

class EdgeTile : public QAbstractButton {
    Q_OBJECT
public:
    EdgeTile(BeautifySettings::Edge edge, QWidget* parent = nullptr);
    BeautifySettings::Edge edge() const { return edge_; }
    void setSelected(bool selected);
    bool isSelected() const { return selected_; }
    QSize sizeHint() const override { return {74, 6 + 38 + 4 + 14 + 6}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    BeautifySettings::Edge edge_;
    bool selected_ = false;
};

class BackgroundSwatch : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr int kMargin = 3;  // room for the selection ring

    BackgroundSwatch(BeautifySettings::Background background, QWidget* parent = nullptr);
    BeautifySettings::Background background() const { return background_; }
    void setSelected(bool selected);
    bool isSelected() const { return selected_; }
    QSize sizeHint() const override { return {38 + 2 * kMargin, 28 + 2 * kMargin}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    BeautifySettings::Background background_;
    bool selected_ = false;
};

}  // namespace kx
