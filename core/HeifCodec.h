#pragma once
// HEIC through libheif (x265), with the resolution carried in an EXIF block.
#include "core/ImageLimits.h"

#include <QByteArray>
#include <QImage>
#include <optional>

namespace kx {

std::optional<QByteArray> encodeHeic(const QImage& image, double quality, double dpi);

struct HeicDecoded {
    QImage image;
    double dpi = 0;  // 0 when the file has no resolution
};
// Nothing for a file that does not decode, or whose declared, coded or decoded size is over
// `maxPixels`; that size then goes to `refused` (0 × 0 when it is not known). The coded size
// is read before decoding.
std::optional<HeicDecoded> decodeHeic(const QByteArray& bytes, qint64 maxPixels = maxImagePixels,
                                      QSize* refused = nullptr);

// True when the bytes start like a HEIF container.
bool looksLikeHeif(const QByteArray& bytes);

// Minimal little-endian TIFF/EXIF block with X/YResolution in inches; and its reader.
QByteArray exifWithResolution(double dpi);
double resolutionFromExif(const QByteArray& tiff);

}  // namespace kx
