#pragma once
// The overlay's backdrop in one pass over the pixels, on several threads: the frozen screen
// drawn over the target and darkened outside the clear rectangle. Pixel for pixel what
// QPainter gives with drawImage() and a translucent black fillRect(), which take two passes
// on one thread (about 10 ms for a 4K screen).
#include <QImage>
#include <QRect>
#include <optional>

namespace kx {

// Draws `source` (premultiplied ARGB32) over `target` (premultiplied ARGB32 or RGB32) inside
// `area`, the source's pixel (0, 0) landing on `origin`, then lays black at `dimAlpha`
// (0..255) over the part of `area` outside `clear`. All rectangles are in target pixels.
// False, with nothing drawn, when the formats differ from the above or `area` is not
// inside both images.
bool drawDimmed(QImage& target, const QRect& area, const QImage& source, QPoint origin,
                const std::optional<QRect>& clear, int dimAlpha);

}  // namespace kx
