#pragma once
// PNG with a chosen filter and zlib level: Qt's writer cannot pick the filter, and its adaptive
// filtering costs most of the encoding time. The "up" filter (the default) goes through the
// project's own writer (rows filtered and checksummed 16 bytes at a time, deflated in bands on
// several cores for large images); the other filters through libpng.

#include <QByteArray>
#include <QImage>
#include <optional>

namespace kx {

struct PngSettings {
    enum class Filter { none, sub, up, paeth, adaptive };
    Filter filter = Filter::up;
    int level = 1;  // zlib, 0…9
    // Bands deflated on several cores into one stream ("up" filter only): 0 chooses by the
    // image's size and the cores, 1 writes the stream on the calling thread.
    int bands = 0;
};

// The settings chosen by measurement on screenshots (see bench/core/RESULTS.md).
PngSettings defaultPngSettings();

// The image as PNG bytes with a pHYs chunk of `dotsPerMeter` (none when <= 0). Opaque
// formats are written as RGB, formats with alpha as RGBA (straight alpha), 8-bit grey as
// grey; other formats (palettes, 16-bit channels) go through Qt's writer, which keeps them.
// Nothing when encoding fails.
std::optional<QByteArray> encodePng(const QImage& image, int dotsPerMeter,
                                    PngSettings settings = defaultPngSettings());

}  // namespace kx
