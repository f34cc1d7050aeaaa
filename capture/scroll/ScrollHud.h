#pragma once
// The scrolling capture's on-screen parts: the dashed border around the captured rectangle
// and the HUD with the progress and the Auto-scroll, Done and Cancel buttons. Neither may
// show up in a frame: the border lies outside the rectangle and the HUD beside it where there is room.
#include "ui/FloatingPanel.h"

#include <QPointF>
#include <QRectF>
#include <QRegion>
#include <QWidget>

class QLabel;
class QScreen;

namespace kx {

class ChromeButton;
class ScrollCaptureModel;

// Below the rectangle, else above it, else beside it, else 24 points above the display's
// bottom edge (over the rectangle: the grabs leave Kaptorix's windows out); never closer
// than 8 points to the display's left or right edge. All rectangles in global points, y down.
QPointF hudPlacement(const QRectF& screen, const QRectF& rect, const QSizeF& hud);

class ScrollHud : public FloatingPanel {
    Q_OBJECT
public:
    explicit ScrollHud(ScrollCaptureModel* model);
    // Lays the HUD out to be at most `maxWidth` points wide where it can.
    void fitTo(int maxWidth);
};

// A dashed blue frame 1 to 4 points outside the rectangle; the window is cut to the frame,
// so nothing of it lies over the captured pixels, and clicks pass through.
class ScrollBorder : public QWidget {
    Q_OBJECT
public:
    ScrollBorder(QScreen* screen, const QRectF& globalRect);
    void showWithoutActivating();

    static constexpr int kOutset = 4;
    // The dashes of a frame window of `outer` size: 3 points wide along its edge, 8 on and 5
    // off, walked clockwise from the top-left corner. The window is cut to them, so the gaps
    // show the screen.
    static QRegion dashes(const QSize& outer);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace kx
