#pragma once
// The numbers and texts of the editor window that follow from the image and the screen:
// window size, title, zoom percentage and scale badge. Pure functions.

#include "core/SourceKind.h"

#include <QList>
#include <QPoint>
#include <QRect>
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

// The most one of `count` editors opened together steps from the one before: 32 pt, less where
// their steps would take more than a quarter of the work area (`available`); 0 for one alone.
int cascadeStep(int count, const QSize& available);
// Where editor `index` of `count` opened together puts its frame, `frame` large (the size one
// editor has alone on the work area `area`; never made smaller for the others): each a step down
// and right of the one before, at most cascadeStep(), less where the area has less to spare and
// none where it has none. The run is centred on the area; with editors already open (the
// top-left corners of their frames in `open`, the latest last) it starts a step after the
// latest, or else where none of its editors lies exactly on one of them, as the area allows.
QPoint cascadeTopLeft(const QSize& frame, const QRect& area, int index, int count, const QList<QPoint>& open);

}  // namespace kx::editor
