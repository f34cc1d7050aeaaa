#pragma once
// The one history window of the process: an ordinary decorated window made on the first
// show() and only hidden when closed, so the search, the filter and the selection survive.

#include <QPointer>
#include <QWidget>

namespace kx {

class HistoryView;

class HistoryWindowController {
public:
    static HistoryWindowController& shared();

    // Creates the window on first use, then raises and activates it.
    void show();
    QWidget* window() const { return window_; }
    HistoryView* view() const { return view_; }

private:
    HistoryWindowController() = default;
    QPointer<QWidget> window_;
    HistoryView* view_ = nullptr;
};

}  // namespace kx
