#include "platform/XScreenSource.h"

#include "platform/XConnection.h"
#include "platform/XWindows.h"

#include <xcb/shape.h>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QThread>

namespace kx {

namespace {

// Own windows are made invisible through an empty bounding shape (nothing else about them
// changes, the window manager and Qt are not involved) and get their shape back afterwards.
class HiddenWindows {
public:
    HiddenWindows(XConnection& x, QList<XOwnWindow> windows) : x_(x), windows_(std::move(windows))
    {
        for (const XOwnWindow& w : windows_)
            xcb_shape_rectangles(x_.raw(), XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING,
                                 XCB_CLIP_ORDERING_UNSORTED, w.window, 0, 0, 0, nullptr);
        x_.roundTrip();
    }
    ~HiddenWindows()
    {
        for (const XOwnWindow& w : windows_) {
            if (w.shaped)
                xcb_shape_rectangles(x_.raw(), XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING,
                                     XCB_CLIP_ORDERING_UNSORTED, w.window, 0, 0,
                                     uint32_t(w.shapeRects.size()), w.shapeRects.data());
            else
                xcb_shape_mask(x_.raw(), XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, w.window, 0, 0, XCB_NONE);
        }
        xcb_flush(x_.raw());
    }
    HiddenWindows(const HiddenWindows&) = delete;
    HiddenWindows& operator=(const HiddenWindows&) = delete;

private:
    XConnection& x_;
    QList<XOwnWindow> windows_;
};

// The windows under the hidden ones repaint in their own time, and until they do the screen
// may still hold the hidden windows' pixels. Wait until the uncovered area has changed and
// settled; give up after a while (what was under them may look just like them).
void waitForRepaint(XConnection& x, int xScreen, const QRect& area, const QImage& before)
{
    constexpr int pollMs = 8, limitMs = 500;
    QElapsedTimer clock;
    clock.start();
    QImage previous;
    while (clock.elapsed() < limitMs) {
        QThread::msleep(pollMs);
        const QImage now = x.grab(xScreen, area);
        if (now.isNull())
            return;
        if (now != before && now == previous)
            return;
        previous = now;
    }
}

QImage grabWithoutOwnWindows(XConnection& x, int xScreen, const QRect& nativeRect, QString* error)
{
    QList<XOwnWindow> inTheWay;
    QRegion covered;
    if (x.hasShape()) {
        for (const XOwnWindow& w : xwindows::ownTopLevels(x, xScreen)) {
            const QRegion part = w.visible.intersected(nativeRect);
            if (!part.isEmpty()) {
                inTheWay.append(w);
                covered += part;
            }
        }
    }
    if (inTheWay.isEmpty())
        return x.grab(xScreen, nativeRect, XConnection::GrabMethod::automatic, error);
    const QRect area = covered.boundingRect();
    const QImage before = x.grab(xScreen, area);
    HiddenWindows hidden(x, inTheWay);
    waitForRepaint(x, xScreen, area, before);
    return x.grab(xScreen, nativeRect, XConnection::GrabMethod::automatic, error);
}

std::optional<ScreenPlacement> placementOf(XConnection& x, QScreen* screen)
{
    if (!screen || !qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return std::nullopt;
    const int index = int(QGuiApplication::screens().indexOf(screen));
    const QList<ScreenPlacement> all = x.placements();
    if (index < 0 || index >= all.size())
        return std::nullopt;
    return all[index];
}

}  // namespace

Captured<ScreenGrab> XScreenSource::grabScreen(QScreen* screen, const std::optional<QRectF>& rect,
                                               bool showCursor, bool excludeOwnApp)
{
    const std::shared_ptr<XConnection> x = XConnection::shared();
    if (!x)
        return CaptureError::noPermission();
    auto lock = x->lock();
    const std::optional<ScreenPlacement> place = placementOf(*x, screen);
    if (!place)
        return CaptureError::noDisplay();
    const QRect native = rect ? place->nativeRectOf(*rect) : place->native;
    QString error;
    QImage image = excludeOwnApp
                       ? grabWithoutOwnWindows(*x, place->xScreen, native, &error)
                       : x->grab(place->xScreen, native, XConnection::GrabMethod::automatic, &error);
    if (image.isNull())
        return CaptureError::failed(error);
    if (showCursor)
        x->drawPointer(image, place->xScreen, native.topLeft());
    return ScreenGrab{image, place->dpr};
}

Captured<ScreenGrab> XScreenSource::grabWindow(quint32 windowId, bool showCursor)
{
    const std::shared_ptr<XConnection> x = XConnection::shared();
    if (!x)
        return CaptureError::noPermission();
    auto lock = x->lock();
    for (const XWindowRecord& rec : xwindows::records(*x)) {
        if (rec.candidate.info.id != windowId || !rec.candidate.visible)
            continue;
        double scale = 1.0;
        for (const ScreenPlacement& p : x->placements()) {
            if (p.xScreen == rec.xScreen && p.native.contains(rec.nativeFrame.center())) {
                scale = p.dpr;
                break;
            }
        }
        // X keeps no pixels of covered or off-screen parts: the window is taken as it shows.
        const QRect visible = rec.nativeFrame.intersected(x->rootRect(rec.xScreen));
        if (visible.isEmpty())
            return CaptureError::noWindow();
        QString error;
        QImage image = x->grab(rec.xScreen, visible, XConnection::GrabMethod::automatic, &error);
        if (image.isNull())
            return CaptureError::failed(error);
        if (showCursor)
            x->drawPointer(image, rec.xScreen, visible.topLeft());
        return ScreenGrab{image, scale};
    }
    return CaptureError::noWindow();
}

}  // namespace kx
