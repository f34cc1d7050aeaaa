#pragma once
// Captured images to and from the system clipboard. GUI thread only.
#include <QFuture>
#include <QImage>
#include <optional>

class QMimeData;

namespace kx {

struct ClipboardImage {
    QImage image;
    double scale = 1.0;  // pixels per point, from the PNG/TIFF resolution
};

struct ClipboardRead {
    std::optional<ClipboardImage> image;
    bool tooLarge = false;        // an image over the decoding limits (core/ImageLimits.h)
    QSize size;                   // its size, when known
    bool mostlyMetadata = false;  // refused: far larger than its pixels need
    int bitsPerPixel = 0;         // refused at a lower limit for this depth (ImageRead)
};

class Clipboard {
public:
    // Puts the image on the clipboard as PNG (with 72 x scale DPI), as TIFF, and as a plain
    // image for applications that ask for other forms.
    static void copy(const QImage& image, double scale);
    // The clipboard's image: PNG first, then TIFF, then any other image; nothing if none decodes.
    static std::optional<ClipboardImage> readImage();
    // The same rule with the bytes fetched now and checked and decoded on a worker.
    static QFuture<ClipboardRead> readImageAsync();

    // What copy() offers (ownership passes to the caller).
    static QMimeData* mimeDataFor(const QImage& image, double scale);
    // The reading rule of readImage() on any mime data; images over the limits are refused.
    static std::optional<ClipboardImage> imageFrom(const QMimeData& data);
    // Scale of a decoded image: max(1, pixel width / point width rounded half away from zero),
    // where the point width comes from the image's DPI; 1 without a usable DPI.
    static double scaleOf(const QImage& image);
};

}  // namespace kx
