#pragma once
// A screen source that paints each screen grey at its device pixel ratio, remembers what was
// asked and fails on request.
#include "platform/ScreenCapturer.h"

#include <QScreen>

namespace kx::test {

class FakeScreenSource : public ScreenSource {
public:
    struct Call {
        QScreen* screen = nullptr;
        std::optional<QRectF> rect;
        bool showCursor = false;
        bool excludeOwnApp = false;
    };
    QList<Call> calls;
    int failOnCall = -1;  // this call (from 0) fails with noDisplay

    Captured<ScreenGrab> grabScreen(QScreen* screen, const std::optional<QRectF>& rect, bool showCursor,
                                    bool excludeOwnApp) override
    {
        calls.append({screen, rect, showCursor, excludeOwnApp});
        if (calls.size() - 1 == failOnCall)
            return CaptureError::noDisplay();
        QImage img(screen->geometry().size() * screen->devicePixelRatio(),
                   QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::gray);
        return ScreenGrab{img, screen->devicePixelRatio()};
    }
    Captured<ScreenGrab> grabWindow(quint32, bool) override { return CaptureError::noWindow(); }
};

}  // namespace kx::test
