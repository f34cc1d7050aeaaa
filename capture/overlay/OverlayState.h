#pragma once
// What one display's overlay knows and how pointer and key input change it, apart from
// any widget: the drag, the window under the pointer, the loupe sample. The view feeds it
// events and paints what it says; a reaction tells the view to redraw or to end the session.
#include "capture/overlay/LoupeSampler.h"
#include "capture/overlay/OverlayGeometry.h"
#include "capture/overlay/SelectionTypes.h"

#include <QImage>
#include <QList>
#include <optional>

namespace kx {

struct OverlayReaction {
    enum class End { none, chosen, cancelled };
    bool redraw = false;
    End end = End::none;
    // For `chosen`: the rectangle (points, view coordinates), and the window or colour.
    QRectF rect;
    std::optional<WindowInfo> window;
    std::optional<QColor> color;
};

class OverlayState {
public:
    OverlayState(SelectionMode mode, QSizeF bounds, QImage frozen, double scale, QList<LocalWindow> windows);

    OverlayReaction mouseMoved(QPointF point);
    OverlayReaction mouseExited();
    OverlayReaction mousePressed(QPointF point);
    // `shift`: the Shift key is held now; it is read at each drag and at release only.
    OverlayReaction mouseDragged(QPointF point, bool shift);
    OverlayReaction mouseReleased(bool shift);
    OverlayReaction rightPressed();
    OverlayReaction spacePressed();
    OverlayReaction spaceReleased();
    OverlayReaction escapePressed();

    // The loupe sample at a view point (cached per pixel).
    std::optional<LoupeSample> loupeAt(QPointF point) { return sampler_.sample(point); }
    int samplesMade() const { return sampler_.samplesMade(); }

    SelectionMode mode() const { return mode_; }
    QSizeF bounds() const { return bounds_; }
    double scale() const { return scale_; }
    const QImage& frozen() const { return frozen_; }
    const QList<LocalWindow>& windows() const { return windows_; }
    std::optional<QPointF> anchor() const { return anchor_; }
    std::optional<QRectF> selection() const { return selection_; }
    std::optional<QPointF> mouse() const { return mouse_; }
    std::optional<int> hovered() const { return hovered_; }

    // The smallest choice a release accepts, in points on each side.
    static constexpr double kMinSide = 3;

private:
    void updateSelection(bool shift);
    void updateHover(QPointF point);
    bool dragsRectangle() const { return mode_ == SelectionMode::area || mode_ == SelectionMode::scrollArea; }

    SelectionMode mode_;
    QSizeF bounds_;
    QImage frozen_;
    double scale_;
    QList<LocalWindow> windows_;
    LoupeSampler sampler_;

    std::optional<QPointF> anchor_;
    QPointF current_;
    std::optional<QRectF> selection_;
    std::optional<QPointF> mouse_;
    bool spaceHeld_ = false;
    QPointF lastDrag_;
    std::optional<int> hovered_;
};

}  // namespace kx
