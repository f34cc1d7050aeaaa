#pragma once
// Carries one capture from its trigger (hot key, menu, timed item) to the finished image and
// hands it to delivery: history, clipboard, save folder, editor or preview card, upload.
// Three flows end with their own result instead: text recognition, colour picking, pinning.
//
// Everything runs on the GUI thread; the steps that wait (overlay, countdown, scrolling
// capture, recognition) are chained callbacks, never nested event loops.
#include "analysis/OCRService.h"
#include "capture/history/HistoryEntry.h"
#include "capture/overlay/SelectionTypes.h"
#include "capture/scroll/ScrollCaptureSession.h"
#include "core/CaptureResult.h"
#include "platform/HotKeys.h"
#include "platform/ScreenCapturer.h"
#include "platform/WindowInfo.h"

#include <QFuture>
#include <QObject>
#include <QUuid>
#include <functional>
#include <memory>
#include <optional>

class QScreen;

namespace kx {

class HistoryStore;

class CaptureCoordinator : public QObject {
    Q_OBJECT
public:
    using SelectDone = std::function<void(std::optional<SelectionResult>)>;
    using ScrollDone = std::function<void(ScrollCaptureSession::Result)>;

    // Everything the flows reach outside themselves. real() wires the system; tests replace
    // parts. A destination left empty is not available (its button or step is skipped).
    struct Environment {
        std::function<bool()> permission;
        std::function<void(int seconds, std::function<void()> done)> countdown;
        std::function<Captured<QList<FrozenScreen>>()> freeze;
        std::function<Captured<ScreenGrab>(QScreen*, const std::optional<QRectF>&, bool showCursor)>
            grabScreen;
        std::function<Captured<ScreenGrab>(quint32 windowId, bool showCursor)> grabWindow;
        std::function<QList<WindowInfo>()> windows;
        std::function<std::optional<WindowInfo>()> frontmostWindow;
        std::function<void(SelectionMode, QList<FrozenScreen>, QList<WindowInfo>, SelectDone)> select;
        std::function<void(QScreen*, const QRectF&, ScrollDone)> scroll;
        std::function<QFuture<OCRResult>(const QImage&)> recognize;
        std::function<QStringList(const QImage&)> barcodes;
        std::function<QScreen*()> screenUnderPointer;
        std::function<QList<QScreen*>()> screens;
        std::function<void()> shutter;
        // The capture's PNG, started once in delivery and shared by the clipboard and the
        // history (empty: each encodes its own).
        std::function<QFuture<QByteArray>(const QImage&, double scale)> encodePng;
        // `png`: that shared encode, or a default future (encode here).
        std::function<void(const QImage&, double scale, QFuture<QByteArray> png)> copyImage;
        std::function<void(const QString&)> copyText;
        HistoryStore* history = nullptr;  // null: HistoryStore::shared()

        std::function<void(const CaptureResult&, std::optional<QUuid> entryId)> openEditor;
        std::function<void(const QImage&, double scale, std::optional<QRect> near)> pin;
        std::function<void(const QImage&, double scale, const HistoryEntry&, std::optional<QString> title)>
            upload;
        std::function<void()> showHistory;

        // Lets the overlay leave the screen before a fresh grab (window pick, scrolling).
        int overlayGoneMs = 200;
        static Environment real();
    };

    struct LastArea {
        QString display;  // QScreen::name()
        QRectF rect;      // points from that display's top-left corner
    };

    static CaptureCoordinator& shared();
    explicit CaptureCoordinator(Environment env, QObject* parent = nullptr);

    // Starts the capture of `action` after `delay` seconds of countdown; returns at once.
    // Ignored while another capture runs (history excepted).
    void perform(HotKeyAction action, int delay);
    bool busy() const { return busy_; }
    const std::optional<LastArea>& lastArea() const { return lastArea_; }

    // One area selection for the editor's add-capture command: no history, no after-capture
    // steps. `done` gets none when busy, refused, cancelled or failed.
    void captureAreaImage(std::function<void(std::optional<CaptureResult>)> done);

    // The selected part of the frozen picture; null when under one pixel.
    static QImage crop(const SelectionResult& result);
    // The stored area clipped to a display of `screenSize` points; none when nothing is left.
    static std::optional<QRectF> clippedArea(const QRectF& rect, const QSizeF& screenSize);

    // Takes a finished image to the history and the after-capture destinations.
    void deliver(const CaptureResult& result);
    void showPreview(const CaptureResult& result, const HistoryEntry& entry);

    Environment& environment() { return env_; }

Q_SIGNALS:
    // After delivery put the capture in the history (tests, benchmarks).
    void delivered(const HistoryEntry& entry);
    // A flow ended (normally, cancelled or failed) and busy() is false again.
    void finished();

private:
    using Finish = std::function<void(std::optional<CaptureError>)>;

    void run(HotKeyAction action);
    void end(std::optional<CaptureError> error);
    void selectArea(SelectionMode mode, SelectDone done);

    void captureArea();
    void captureFullscreen();
    void captureActiveWindow();
    void captureWindowPicker();
    void captureScrolling();
    void captureOCR();
    void pickColor();
    void pinArea();
    void repeatLast();
    void deliverWindowGrab(const WindowInfo& window);
    void ocrDone(const QImage& crop, const OCRResult& result);

    std::optional<QString> frontmostAppName() const;
    HistoryStore& history() const;

    Environment env_;
    bool busy_ = false;
    // Background work (the history's recognition) waits while a capture is in flight.
    std::shared_ptr<void> inFlight_;
    std::optional<LastArea> lastArea_;
};

}  // namespace kx
