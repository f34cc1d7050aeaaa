// The coordinator's real surroundings: X11 grabs, the overlay, the scrolling session, OCR,
// the clipboard and the other features' entry points.
#include "capture/coordinator/CaptureCoordinator.h"
#include "capture/coordinator/DeferredClipboard.h"
#include "capture/notice/Countdown.h"
#include "capture/overlay/SelectionSession.h"
#include "core/ScreenGeometry.h"
#include "editor/window/EditorWindowController.h"
#include "library/history/HistoryWindowController.h"
#include "library/pins/PinManager.h"
#include "library/upload/RemoteUploader.h"
#include "platform/Permissions.h"
#include "platform/Sound.h"
#include "platform/WindowList.h"

#include <QClipboard>
#include <QGuiApplication>

namespace kx {

CaptureCoordinator::Environment CaptureCoordinator::Environment::real()
{
    Environment env;
    env.permission = [] { return Permissions::ensureScreenRecording(); };
    env.countdown = [](int seconds, std::function<void()> done) { Countdown::run(seconds, std::move(done)); };
    env.freeze = [] {
        // Every freeze is followed by the overlay: its windows get ready while the X server
        // hands over the screens.
        SelectionSession::prepareOverlays();
        return ScreenCapturer::freezeAllScreens();
    };
    env.grabScreen = [](QScreen* screen, const std::optional<QRectF>& rect, bool cursor) {
        return ScreenCapturer::captureScreen(screen, rect, cursor, false);
    };
    env.grabWindow = [](quint32 id, bool cursor) { return ScreenCapturer::captureWindow(id, cursor); };
    env.windows = [] { return WindowList::onScreen(false); };
    env.frontmostWindow = [] { return WindowList::frontmostAppWindow(); };
    env.select = [](SelectionMode mode, QList<FrozenScreen> frozen, QList<WindowInfo> windows,
                    SelectDone done) {
        auto* session = new SelectionSession(mode, std::move(frozen), std::move(windows));
        session->run([session, done](std::optional<SelectionResult> r) {
            session->deleteLater();
            done(std::move(r));
        });
    };
    env.scroll = [](QScreen* screen, const QRectF& rect, ScrollDone done) {
        auto* session = new ScrollCaptureSession(screen, rect);
        session->run(QImage(), [session, done](ScrollCaptureSession::Result r) {
            session->deleteLater();
            done(std::move(r));
        });
    };
    env.recognize = [](const QImage& image) { return OCRService::observations(image); };
    env.barcodes = [](const QImage& image) { return OCRService::barcodes(image); };
    env.screenUnderPointer = [] { return kx::screenUnderPointer(); };
    env.screens = [] { return QGuiApplication::screens(); };
    env.shutter = [] { Sound::shutter(); };
    env.encodePng = [](const QImage& image, double scale) {
        return DeferredClipboard::encodePng(image, scale);
    };
    env.copyImage = [](const QImage& image, double scale, QFuture<QByteArray> png) {
        DeferredClipboard::copy(image, scale, std::move(png));
    };
    env.copyText = [](const QString& text) { QGuiApplication::clipboard()->setText(text); };
    env.openEditor = [](const CaptureResult& result, std::optional<QUuid> entry) {
        EditorWindowController::open(result, entry.value_or(QUuid()));
    };
    env.upload = [](const QImage& image, double scale, const HistoryEntry& entry,
                    std::optional<QString> title) { RemoteUploader::upload(image, scale, entry, title); };
    env.pin = [](const QImage& image, double scale, std::optional<QRect> near) {
        PinManager::shared().pin(image, scale, near);
    };
    env.showHistory = [] { HistoryWindowController::shared().show(); };
    return env;
}

}  // namespace kx
