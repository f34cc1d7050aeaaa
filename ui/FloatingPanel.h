#pragma once
// A borderless top-level panel for toasts, the preview card, the countdown and hover tips.
//
// It never takes the keyboard focus and never activates Kaptorix: it is shown without
// activation, refuses focus and bypasses the window manager (so it also sits on every
// workspace and exactly where it is placed). Its content draws its own rounded surface and
// shadow; where a compositor runs the panel is translucent, otherwise it is cut to the
// content's surface shape, so no black corners show.

#include "platform/Compositor.h"

#include <QPointer>
#include <QWidget>

namespace kx {

class SurfaceWidget;

class FloatingPanel : public QWidget {
    Q_OBJECT
public:
    enum class Input { receivesMouse, ignoresMouse };
    // Takes ownership of `content`; the panel's size follows the content's size hint.
    explicit FloatingPanel(SurfaceWidget* content, Input input = Input::receivesMouse);

    SurfaceWidget* content() const { return content_; }
    bool isTranslucent() const { return translucent_; }
    // Shows the panel at a global top-left position without activating anything.
    void showAt(const QPoint& topLeft);
    // Re-reads the content's size and shape (after the content changed its size).
    void refit();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void applyMask();

    SurfaceWidget* content_;
    bool translucent_;
};

}  // namespace kx
