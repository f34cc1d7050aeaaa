#pragma once
// The one help window: created on the first show, hidden on close, reused with its size,
// position, page and search text for the rest of the process.
#include <QString>
#include <optional>

class QWidget;

namespace kx {

class HelpView;

class HelpWindowController {
public:
    static HelpWindowController& shared();

    // Opens the help; with a topic id, on that page. Without one the last page stays.
    void show(const std::optional<QString>& topic = std::nullopt);

    // The window and its content once shown (tests and the snapshot mode).
    QWidget* window() const { return window_; }
    HelpView* view() const { return view_; }

private:
    // Made on the first show and kept for the life of the process.
    QWidget* window_ = nullptr;
    HelpView* view_ = nullptr;
};

}  // namespace kx
