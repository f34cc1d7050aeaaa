#pragma once
// The scroll area that hosts a canvas in the editor window: it zooms (magnification 0.05
// to 16), keeps a canvas smaller than the visible area centred, and draws a soft shadow
// around the canvas on its background.

#include <QPointF>
#include <QScrollArea>

namespace kx {

class CanvasView;

class CanvasScrollArea : public QScrollArea {
    Q_OBJECT

public:
    static constexpr double kMinMagnification = 0.05;
    static constexpr double kMaxMagnification = 16.0;

    explicit CanvasScrollArea(CanvasView* canvas, QWidget* parent = nullptr);

    CanvasView* canvas() const { return canvas_; }

    double magnification() const;
    // Clamped to the range; the canvas point under `anchor` (viewport points) stays put.
    void setMagnification(double magnification, const QPointF& anchor);
    // Centred on the middle of the visible area.
    void setMagnification(double magnification);

    // The zoom commands the editor window carries out for the canvas.
    void zoomBy(double factor);
    void zoomToFit(double maxZoom);
    void zoomActual();

Q_SIGNALS:
    void magnificationChanged(double magnification);

protected:
    void paintEvent(QPaintEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    CanvasView* canvas_;
};

}  // namespace kx
