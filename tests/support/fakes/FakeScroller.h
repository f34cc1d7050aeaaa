#pragma once
// A tall page under a capture view: the wheel moves the view, grab() returns what shows.
#include "platform/CaptureError.h"
#include "platform/ScreenCapturer.h"
#include "platform/XTestScroller.h"

#include <QImage>
#include <algorithm>

namespace kx::test {

struct FakeScrollPage : Scroller {
    QImage page;
    int viewHeight = 0;
    int offset = 0;
    int rowsPerClick = 37;
    bool xtest = true;
    int grabs = 0;
    int failGrabsFrom = -1;  // grabs from this index on fail
    QList<int> clicks;

    bool available() const override { return xtest; }
    bool scroll(QPoint, int n) override
    {
        clicks.append(n);
        offset = std::clamp(offset + n * rowsPerClick, 0, page.height() - viewHeight);
        return true;
    }
    Captured<ScreenGrab> grab()
    {
        const int index = grabs++;
        if (failGrabsFrom >= 0 && index >= failGrabsFrom)
            return CaptureError::failed("gone");
        return ScreenGrab{page.copy(0, offset, page.width(), viewHeight), 1.0};
    }
};

}  // namespace kx::test
