#pragma once
// The numbers and texts of the editor window that follow from the image and the screen:
// window size, title, zoom percentage and scale badge. Pure functions.

#include "core/SourceKind.h"

#include <QMargins>
#include <QRectF>
#include <QSize>
#include <QSizeF>
#include <QString>

namespace kx::editor {

// Rail width and header height around the canvas, and the smallest content.
constexpr double kRailWidth = 60;
constexpr double kHeaderHeight = 52;
constexpr QSize kMinimumWindow{780, 460};

// A scale that is not finite or not above 0 counts as 1 (sizes divide by it).
double saneScale(double scale);
// The content size for an image of `pixels` at `scale` on a screen whose available
// area is `visible`: the image plus chrome, at least 880 × 560, at most 92 % of the area.
QSizeF contentSize(const QSize& pixels, double scale, const QSizeF& visible);
// "Kaptorix — Area 1200×800" in the interface language.
QString windowTitle(SourceKind kind, const QSize& pixels);
// "13%" for 0.125: the nearest whole percent, halves away from zero.
QString zoomText(double zoom);
// "@2x", "@1.5x", "@1.25x"; empty at a scale of 1 or less.
QString scaleBadge(double scale);
// "1200 × 800 px".
QString pixelSize(const QSize& pixels);

// Editor `index` of `count` opened together: the room of the work area (`available`) it leaves
// to the others, so that each sits one step down and right of the one before, every title bar
// in view. A step is 32 pt, less where `count` windows would take more than a quarter of the area.
QMargins cascadeRoom(int index, int count, const QSize& available);

}  // namespace kx::editor
