#pragma once
// What the selection overlay is asked to choose and what it hands back.
#include "platform/WindowInfo.h"

#include <QColor>
#include <QImage>
#include <QRectF>
#include <QString>
#include <optional>

class QScreen;

namespace kx {

enum class SelectionMode { area, window, colorPicker, scrollArea };

struct SelectionResult {
    QScreen* screen = nullptr;  // the display the choice was made on
    // Points from that display's top-left corner, y down. Area and scroll area: the
    // selection; window: the window's frame on that display (it may reach past the
    // edges); colour picker: the clicked point with zero size.
    QRectF rect;
    QImage frozen;                     // the display's frozen image, full size in pixels
    double scale = 1.0;                // pixels per point of that display
    std::optional<WindowInfo> window;  // window picks only
    std::optional<QColor> color;       // colour picks whose pixel could be sampled
};

// The hint shown at the bottom of the overlay, localised.
QString selectionHint(SelectionMode mode);

}  // namespace kx
