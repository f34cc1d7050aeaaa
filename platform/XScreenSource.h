#pragma once
// Grabs from the X server over Kaptorix's own connection: MIT-SHM when the server offers it,
// GetImage otherwise; the pointer from XFixes; own windows hidden through their shape.
#include "platform/ScreenCapturer.h"

namespace kx {

class XScreenSource : public ScreenSource {
public:
    Captured<ScreenGrab> grabScreen(QScreen* screen, const std::optional<QRectF>& rect, bool showCursor,
                                    bool excludeOwnApp) override;
    Captured<ScreenGrab> grabWindow(quint32 windowId, bool showCursor) override;
};

}  // namespace kx
