#pragma once
// The one settings window: created on the first show, hidden on close, shown again at its
// last position with its last tab.
#include <QPointer>
#include <QWidget>
#include <optional>

namespace kx {

class SettingsView;

class SettingsWindowController {
public:
    static SettingsWindowController& shared();

    // Opens or raises the window; an index 0...4 switches to that tab, anything else
    // (none, negative, too large) keeps the current one.
    void show(std::optional<int> tab = std::nullopt);
    QWidget* window() const { return window_; }
    SettingsView* view() const { return view_; }

private:
    SettingsWindowController() = default;

    QPointer<QWidget> window_;
    SettingsView* view_ = nullptr;
};

}  // namespace kx
