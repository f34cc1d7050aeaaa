#pragma once
// How large an image from outside (a file, the clipboard, a HEIC) may be before it is decoded.
// Qt's own process-wide limit stays at its default; these bound every decode of ours.
#include <QtGlobal>
#include <algorithm>

namespace kx {

// Memory one decoded image may take: a 1920 px wide capture 100,000 rows tall (768 MB) fits.
// Opening one makes no second full copy (decoded and made premultiplied in place, the history's
// PNG and thumbnail and the editor's view read from it), and the history's text recognition takes
// the image in bands of 8 megapixels and lines longer than 4096 px in slices, so the tray process
// peaks at about 1.1 times the image (1.1 GB at the limit) and its recognition process at about
// 60-200 MB whatever the image (bench/core/open-peak.sh, bench/analysis). A decoder format wider
// than 32 bits a pixel counts with its conversion (core/ImageReading.cpp). HEIC is the exception:
// libheif holds the coded picture beside its RGBA while it decodes, 7 bytes a pixel (1.8 GB at the
// limit), before the RGBA becomes the image itself.
constexpr qint64 maxDecodeBytes = qint64(1024) * 1024 * 1024;
// Pixels of one image whatever its file says: at most 400 megapixels, and never more than the
// memory bound holds at 4 bytes a pixel (268,435,456).
constexpr qint64 maxImagePixels = std::min<qint64>(400'000'000, maxDecodeBytes / 4);
// Pixels of an image its decoder gives at `bits` a pixel: one narrower or wider than 32 bits is
// turned into 32 bits as it is read, and both are held at once for a moment (an 8-bit grey
// image opens up to 214 megapixels).
constexpr qint64 maxPixelsAtDepth(int bits, qint64 maxPixels = maxImagePixels)
{
    const qint64 held = bits == 32 ? 32 : std::max(bits, 1) + 32;
    return std::min(maxPixels, maxPixels * 32 / held);
}
// HEIC is decoded from memory, so its file is read whole: its length is bounded first.
constexpr qint64 maxHeicFileBytes = qint64(256) * 1024 * 1024;

}  // namespace kx
