#pragma once
// Encoding, decoding, drawing contexts and scaling for captured images.
#include "core/Enums.h"

#include <QByteArray>
#include <QImage>
#include <QSizeF>
#include <optional>

namespace kx {

// Dots per metre for a scale (pixels per point): 72 dpi per point.
int dotsPerMeterForScale(double scale);
// Scale from a stored resolution; 1 when there is none.
double scaleFromDotsPerMeter(int dotsPerMeter);
double scaleFromDpi(double dpi);

// The image as file bytes in a format, with DPI = 72 × scale. `quality` (0…1) applies to
// JPEG and HEIC only; PNG is always lossless. JPEG has no alpha: transparent pixels are
// composited over white. Nothing when encoding fails.
std::optional<QByteArray> encoded(const QImage& image, ImageFormat format, double quality, double scale);

struct DecodedImage {
    QImage image;
    double scale = 1.0;  // from the file's DPI
};
// PNG, JPEG, HEIC or anything Qt reads; the scale comes from the file's resolution. Images
// over the pixel limit are refused (core/ImageReading.h tells why).
std::optional<DecodedImage> decodeImage(const QByteArray& bytes);

// Every image from outside is kept as premultiplied ARGB32 in sRGB, whatever the file held
// (1-bit, indexed, grey, 16-bit, another colour space): Qt's smooth scaling and TIFF writing go
// wrong on some of those. Converted in place where the pixel size allows.
QImage toCanonical(QImage image);

// A transparent premultiplied ARGB32 image (BGRA in memory); null when it cannot be made.
QImage makeBitmapContext(int width, int height);

// High-quality scale to max(1, round(size)); null when the target cannot be allocated.
QImage resized(const QImage& image, const QSizeF& size);

// Shrinks so the longer edge is at most maxEdge, keeping the aspect ratio; never enlarges.
// Returns the same image (no copy) when nothing needs shrinking or shrinking fails.
QImage fitted(const QImage& image, double maxEdge);

}  // namespace kx
