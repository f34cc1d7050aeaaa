#pragma once
// The wheel over a scrolled page scrolls the page. Qt's pickers, sliders and spin boxes take
// the wheel whenever the pointer is over them, so scrolling a settings page or a popover with
// the pointer passing over one changed a setting. Under a guarded window a control takes the
// wheel only once the user has focused it (a click or Tab), and only until the pointer leaves
// it; before that the wheel goes on to the page around it, and turning it never gives the
// control the focus.
class QWidget;

namespace kx::WheelGuard {

// Guards every picker, slider and spin box under `root`, those there now and those added later.
void install(QWidget* root);
// Whether `control` is guarded: it is such a control and lies under a guarded root.
bool guards(const QWidget* control);

}  // namespace kx::WheelGuard
