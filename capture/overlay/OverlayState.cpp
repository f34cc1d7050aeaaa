#include "capture/overlay/OverlayState.h"

#include <algorithm>

namespace kx {

namespace {

OverlayReaction redraw()
{
    OverlayReaction r;
    r.redraw = true;
    return r;
}

}  // namespace

OverlayState::OverlayState(SelectionMode mode, QSizeF bounds, QImage frozen, double scale,
                           QList<LocalWindow> windows)
    : mode_(mode),
      bounds_(bounds),
      frozen_(frozen),
      scale_(scale),
      windows_(std::move(windows)),
      sampler_(std::move(frozen), scale)
{
}

void OverlayState::updateSelection(bool shift)
{
    if (!anchor_) {
        selection_.reset();
        return;
    }
    selection_ = dragRect(*anchor_, current_, bounds_, scale_, shift);
}

void OverlayState::updateHover(QPointF point)
{
    if (mode_ == SelectionMode::window)
        hovered_ = windowAt(windows_, point);
}

OverlayReaction OverlayState::mouseMoved(QPointF point)
{
    mouse_ = point;
    updateHover(point);
    return redraw();
}

OverlayReaction OverlayState::mouseExited()
{
    mouse_.reset();
    return redraw();
}

OverlayReaction OverlayState::mousePressed(QPointF point)
{
    mouse_ = point;
    OverlayReaction r = redraw();
    switch (mode_) {
        case SelectionMode::area:
        case SelectionMode::scrollArea:
            anchor_ = QPointF(std::clamp(point.x(), 0.0, bounds_.width()),
                              std::clamp(point.y(), 0.0, bounds_.height()));
            current_ = point;
            lastDrag_ = point;
            selection_.reset();
            break;
        case SelectionMode::window:
            updateHover(point);
            if (hovered_) {
                r.end = OverlayReaction::End::chosen;
                r.rect = windows_[*hovered_].rect;
                r.window = windows_[*hovered_].info;
            }
            break;
        case SelectionMode::colorPicker: {
            const auto sample = sampler_.sample(point);
            r.end = OverlayReaction::End::chosen;
            r.rect = QRectF(point, QSizeF(0, 0));
            if (sample)
                r.color = sample->color;
            break;
        }
    }
    return r;
}

OverlayReaction OverlayState::mouseDragged(QPointF point, bool shift)
{
    mouse_ = point;
    if (!anchor_)
        return {};
    if (spaceHeld_) {
        const QPointF delta = point - lastDrag_;
        *anchor_ += delta;
        current_ += delta;
    } else {
        current_ = point;
    }
    lastDrag_ = point;
    updateSelection(shift);
    return redraw();
}

OverlayReaction OverlayState::mouseReleased(bool shift)
{
    if (!dragsRectangle() || !anchor_)
        return {};
    updateSelection(shift);
    if (selection_ && selection_->width() >= kMinSide && selection_->height() >= kMinSide) {
        OverlayReaction r;
        r.end = OverlayReaction::End::chosen;
        r.rect = *selection_;
        return r;
    }
    anchor_.reset();
    selection_.reset();
    return redraw();
}

OverlayReaction OverlayState::rightPressed()
{
    OverlayReaction r;
    r.end = OverlayReaction::End::cancelled;
    return r;
}

OverlayReaction OverlayState::spacePressed()
{
    spaceHeld_ = true;
    return {};
}

OverlayReaction OverlayState::spaceReleased()
{
    spaceHeld_ = false;
    return {};
}

OverlayReaction OverlayState::escapePressed()
{
    return rightPressed();
}

}  // namespace kx
