#pragma once
// Images from outside read within bounds: the format and the dimensions come first (the decoder
// reads only a header from the device), a size over the limit is refused before any pixel is
// allocated, and nothing raises Qt's process-wide allocation limit.
#include "core/ImageLimits.h"
#include "core/ImageUtils.h"

#include <QIODevice>
#include <QSize>

namespace kx {

struct ImageRead {
    std::optional<DecodedImage> image;
    bool tooLarge = false;  // refused for its size, not because it is unreadable
    QSize size;             // the refused size, when the file tells it
    // Refused because the file is far larger than its pixels need (metadata, not pixels): `size`
    // is then the image's own, which is within the limits.
    bool mostlyMetadata = false;
    // Refused for the memory its decoded form takes: the decoder's bits a pixel (not 32), which
    // lower the limit (maxPixelsAtDepth). 0 otherwise.
    int bitsPerPixel = 0;
};

ImageRead readImage(QIODevice& device, qint64 maxPixels = maxImagePixels);
ImageRead readImageFile(const QString& path, qint64 maxPixels = maxImagePixels);
ImageRead readImageData(const QByteArray& bytes, qint64 maxPixels = maxImagePixels);

// What the user is told about an image refused as mostlyMetadata: `name` is the file's name, or
// empty for the clipboard image; `size` its pixels.
QString mostlyMetadataLine(const QString& name, QSize size);

}  // namespace kx
