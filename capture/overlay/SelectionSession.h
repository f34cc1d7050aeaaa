#pragma once
// The full-screen selection overlay: every display frozen under one overlay window, where
// the user drags an area, picks a window or samples a colour. The overlay never grabs
// pixels itself; everything it shows and samples comes from the frozen images.
//
//   auto* session = new SelectionSession(SelectionMode::area, frozen);
//   session->run([session](std::optional<SelectionResult> r) { session->deleteLater(); ... });
#include "capture/overlay/SelectionTypes.h"
#include "platform/ScreenCapturer.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>
#include <optional>

namespace kx {

class OverlayWindow;

class SelectionSession : public QObject {
    Q_OBJECT
public:
    using Mode = SelectionMode;
    using Result = SelectionResult;
    using Completion = std::function<void(std::optional<SelectionResult>)>;

    // In window mode the windows on screen are listed (Kaptorix's own left out).
    SelectionSession(SelectionMode mode, QList<FrozenScreen> frozen, QObject* parent = nullptr);
    // With the windows given (front to back, global points).
    SelectionSession(SelectionMode mode, QList<FrozenScreen> frozen, QList<WindowInfo> windows,
                     QObject* parent = nullptr);
    ~SelectionSession() override;

    // Shows the overlays; `done` is called once, with the choice or none when cancelled (or
    // when a display of the session goes away). Call once.
    void run(Completion done);

    // Ends the session; only the first call counts. The overlays close from the event loop.
    void finish(std::optional<SelectionResult> result);

    // The running session, if any.
    static SelectionSession* active();
    // Readies a hidden overlay window for every display, its pixel buffer faulted in on other
    // threads, for the session that follows; called just before the screens are frozen.
    static void prepareOverlays();
    // Gives back the pixel buffers of the hidden overlay windows now instead of after their
    // idle time; the windows stay for the next session.
    static void releaseParkedWindows();
    // Deletes the hidden overlay windows (benchmarks of a first capture).
    static void dropParkedWindows();
    // The hidden overlay windows waiting for a session.
    static QList<OverlayWindow*> parkedWindows();

    SelectionMode mode() const { return mode_; }
    const QList<WindowInfo>& windows() const { return windows_; }
    const QList<OverlayWindow*>& overlayWindows() const { return overlayWindows_; }
    bool isFinished() const { return finished_; }

private:
    void show();
    void screenRemoved(QScreen* screen);

    SelectionMode mode_;
    QList<FrozenScreen> frozen_;
    QList<WindowInfo> windows_;
    QList<OverlayWindow*> overlayWindows_;
    Completion done_;
    bool finished_ = false;
};

}  // namespace kx
