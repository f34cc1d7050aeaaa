#pragma once
// The blur and pixelation kernels. Both work on premultiplied pixels, read edge-clamped
// pixels around the area they produce, and cost the same per pixel at every strength.
// Large images are split into bands that run on the global thread pool.

#include <QImage>
#include <QPoint>
#include <QRect>

namespace kx {

// Gaussian-like blur of `area` of `source` (three box passes each way; large strengths work
// on a reduced copy). The result has the size of `area`, in Format_ARGB32_Premultiplied
// (Format_Alpha8 when the source is Alpha8). Null when `area` is empty or memory runs out.
QImage blurred(const QImage& source, const QRect& area, double sigma);

// Blocks of `blockSize` pixels, each filled with the average of its pixels. The block grid
// passes through `gridOrigin` (image pixels). The result has the size of `area`.
QImage pixelated(const QImage& source, const QRect& area, double blockSize, const QPoint& gridOrigin);

// Widths of the three box passes that approximate a Gaussian of `sigma`.
void boxWidthsForSigma(double sigma, int widths[3]);

}  // namespace kx
