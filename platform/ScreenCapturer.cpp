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

namespace {

// Origin and size multiplied by the scale, each rounded half away from zero.
QRect scaledRect(const QRectF& r, double scale)
{
    auto round = [](double v) { return int(std::round(v)); };
    return QRect(round(r.x() * scale), round(r.y() * scale), round(r.width() * scale),
                 round(r.height() * scale));
}

}  // namespace

QRect ScreenCapturer::pixelRect(const QRectF& r, double scale)
{
    const QRect p = scaledRect(r, scale);
    return QRect(p.topLeft(), QSize(std::max(1, p.width()), std::max(1, p.height())));
}

std::optional<CaptureResult> ScreenCapturer::crop(const QImage& frozen, double scale, const QRectF& pointRect,
                                                  SourceKind kind, const QDateTime& date)
{
    // Unlike a grab, a selection thinner than a pixel gives nothing rather than one pixel.
    const QRect hit = scaledRect(pointRect, scale).intersected(frozen.rect());
    if (hit.isEmpty())
        return std::nullopt;
    return CaptureResult{frozen.copy(hit), scale, kind, std::nullopt, date};
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
