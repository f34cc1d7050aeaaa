#pragma once
// Backdrop and frame settings of an export, and the geometry of a framed image.

#include "core/RawEnum.h"

#include <QColor>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QtGlobal>
#include <utility>

namespace kx {

struct BeautifySettings {
    enum class Background : int { ocean = 0, sunset, mint, grape, graphite, white, transparent };
    enum class Edge : int { none = 0, torn, burnt, zigzag, stamp, polaroid, window };

    bool enabled = false;
    double padding = 64;       // points, times the scale
    double cornerRadius = 10;  // points
    bool shadow = true;
    Background background = Background::ocean;
    Edge edge = Edge::none;
    double edgeSize = 1;
    quint64 seed = 7;

    bool operator==(const BeautifySettings&) const = default;
};

template <>
struct RawNames<BeautifySettings::Background> {
    static constexpr std::array<std::string_view, 7> names{"ocean",    "sunset", "mint",       "grape",
                                                           "graphite", "white",  "transparent"};
};
template <>
struct RawNames<BeautifySettings::Edge> {
    static constexpr std::array<std::string_view, 7> names{"none",  "torn",     "burnt", "zigzag",
                                                           "stamp", "polaroid", "window"};
};

// Start (top-left) and end (bottom-right) colours of a backdrop; both invalid for transparent.
std::pair<QColor, QColor> gradientColors(BeautifySettings::Background background);

// Localised name of a frame style ("Polaroid" in every language).
QString title(BeautifySettings::Edge edge);
bool usesCorners(BeautifySettings::Edge edge);  // offers the corner radius
bool hasSize(BeautifySettings::Edge edge);      // offers the edge size
bool isRandom(BeautifySettings::Edge edge);     // offers a new random seed

// Where everything sits in a framed image (pixels, origin top-left).
struct FrameLayout {
    int pad = 0;        // backdrop margin
    double side = 0;    // frame inset left and right of the image
    double top = 0;     // frame inset above the image
    double bottom = 0;  // frame inset below the image
    QSize canvas;       // the whole output
    QRectF frame;       // the canvas minus the margin
    QRectF image;       // where the image goes
    // Position of the image's top-left corner inside the canvas.
    QPointF origin() const { return image.topLeft(); }
};

// Largest side and pixel count of a framed image. The side is what the raster painter's
// 24.8 fixed-point coordinates reach; the pixel count keeps the bitmap affordable.
inline constexpr int kMaxCanvasSide = (1 << 23) - 1;
inline constexpr qint64 kMaxCanvasPixels = 300'000'000;

// The layout for an image of `imageSize` pixels at `scale` pixels per point. Out-of-range
// values (negative, not finite, huge) are brought into a safe range first.
FrameLayout frameLayout(const QSize& imageSize, const BeautifySettings& settings, double scale);

// Settings with every number in a range the frame generators can work with.
BeautifySettings sanitized(const BeautifySettings& settings);

}  // namespace kx
