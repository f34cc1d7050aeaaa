#include "platform/ScreenCapturer.h"

#include "platform/XScreenSource.h"

#include <QGuiApplication>
#include <QScreen>
#include <atomic>
#include <cmath>

namespace kx {

namespace {

std::atomic<ScreenSource*> installed{nullptr};

ScreenSource& xSource()
{
    static XScreenSource source;
    return source;
}

}  // namespace

void ScreenCapturer::setSource(ScreenSource* s)
{
    installed.store(s);
}

ScreenSource& ScreenCapturer::source()
{
    ScreenSource* s = installed.load();
    return s ? *s : xSource();
}

QRect ScreenCapturer::pixelRect(const QRectF& r, double scale)
{
    auto round = [](double v) { return int(std::round(v)); };
    return QRect(round(r.x() * scale), round(r.y() * scale), std::max(1, round(r.width() * scale)),
                 std::max(1, round(r.height() * scale)));
}

Captured<ScreenGrab> ScreenCapturer::captureScreen(QScreen* screen, const std::optional<QRectF>& rect,
                                                   bool showCursor, bool excludeOwnApp)
{
    return source().grabScreen(screen, rect, showCursor, excludeOwnApp);
}

Captured<QList<FrozenScreen>> ScreenCapturer::freezeAllScreens()
{
    QList<FrozenScreen> frozen;
    for (QScreen* screen : QGuiApplication::screens()) {
        Captured<ScreenGrab> grab = source().grabScreen(screen, std::nullopt, false, false);
        if (!grab)
            return grab.error();
        frozen.append({screen, grab->image, grab->scale});
    }
    return frozen;
}

Captured<ScreenGrab> ScreenCapturer::captureWindow(quint32 windowId, bool showCursor)
{
    return source().grabWindow(windowId, showCursor);
}

}  // namespace kx
