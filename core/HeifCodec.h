#pragma once
// HEIC through libheif (x265), with the resolution carried in an EXIF block.
#include <QByteArray>
#include <QImage>
#include <optional>

namespace kx {

std::optional<QByteArray> encodeHeic(const QImage& image, double quality, double dpi);

struct HeicDecoded {
    QImage image;
    double dpi = 0;  // 0 when the file has no resolution
};
std::optional<HeicDecoded> decodeHeic(const QByteArray& bytes);

// True when the bytes start like a HEIF container.
bool looksLikeHeif(const QByteArray& bytes);

// Minimal little-endian TIFF/EXIF block with X/YResolution in inches; and its reader.
QByteArray exifWithResolution(double dpi);
double resolutionFromExif(const QByteArray& tiff);

}  // namespace kx
