#pragma once
// Takes pixels off the screen: one display or a rectangle of it, every display at once (to
// freeze the screens under the selection overlay), or one window by its id. Every grab gives
// the image with its scale (pixels per point); every failure is a CaptureError.
//
// The calls are synchronous and may run on any thread. Images are premultiplied ARGB32 at
// the display's native resolution, fully opaque.
#include "core/CaptureResult.h"
#include "platform/CaptureError.h"

#include <QImage>
#include <QList>
#include <QRect>
#include <QRectF>
#include <optional>

class QScreen;

namespace kx {

struct ScreenGrab {
    QImage image;
    double scale = 1.0;  // pixels per point
};

struct FrozenScreen {
    QScreen* screen = nullptr;
    QImage image;
    double scale = 1.0;
};

// Where grabs come from. The X11 source is the real one; tests may install a fake.
class ScreenSource {
public:
    virtual ~ScreenSource() = default;
    // `rect` is in points from the screen's top-left corner; none means the whole screen.
    virtual Captured<ScreenGrab> grabScreen(QScreen* screen, const std::optional<QRectF>& rect,
                                            bool showCursor, bool excludeOwnApp) = 0;
    // The window's frame (decorations included) as it shows on screen.
    virtual Captured<ScreenGrab> grabWindow(quint32 windowId, bool showCursor) = 0;
};

class ScreenCapturer {
public:
    // The whole screen when `rect` is none, else that rectangle of it (points from the
    // screen's top-left corner). `excludeOwnApp` keeps Kaptorix's own windows out of the picture.
    static Captured<ScreenGrab> captureScreen(QScreen* screen, const std::optional<QRectF>& rect,
                                              bool showCursor, bool excludeOwnApp);
    // One whole-screen grab per screen, in QGuiApplication::screens() order, one after the
    // other; the first failure fails the whole freeze.
    static Captured<QList<FrozenScreen>> freezeAllScreens();
    // One window by id; noWindow when it is no longer on screen.
    static Captured<ScreenGrab> captureWindow(quint32 windowId, bool showCursor);

    // The source every grab goes to; nullptr restores the X11 source. Not thread-safe: set it
    // before grabbing starts (tests).
    static void setSource(ScreenSource* source);
    static ScreenSource& source();

    // Pixel rectangle of a point rectangle on a screen of the given scale: every edge
    // multiplied by the scale and rounded half away from zero; at least 1 x 1 pixel.
    static QRect pixelRect(const QRectF& pointRect, double scale);
    // The selection `pointRect` (points from the display's top-left corner) of a frozen
    // display image of the given scale: origin and size scaled and rounded as in pixelRect()
    // (but without its one-pixel minimum), clipped to the image. None when less than a pixel
    // is left either way.
    static std::optional<CaptureResult> crop(const QImage& frozen, double scale, const QRectF& pointRect,
                                             SourceKind kind, const QDateTime& date);
};

}  // namespace kx
