#pragma once
// The charred cut of the burnt-paper frame.

#include <QImage>
#include <QPainterPath>

namespace kx {

// `image` cut along `path` (in the image's own pixels) with a burnt band inside the cut:
// wide faint brown first, narrow dark and opaque at the edge, reaching 3.4 * amp inwards.
// Each pixel's colour follows from its distance to the cut, so the cost does not grow
// with the width of the band. Null when memory runs out.
QImage charredCut(const QImage& image, const QPainterPath& path, double amp);

// The colour the burnt band lays over a pixel `distance` pixels inside the cut
// (premultiplied, alpha in 0...1 per channel).
struct CharColor {
    float r, g, b, a;
};
CharColor charColorAt(double distance, double amp);

}  // namespace kx
