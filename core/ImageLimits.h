#pragma once
// How large an image from outside (a file, the clipboard, a HEIC) may be before it is decoded.
// Qt's own process-wide limit stays at its default; these bound every decode of ours.
#include <QtGlobal>
#include <algorithm>

namespace kx {

// Memory one decoded image may take, so that the tray process stays within about 1 GB: a
// 1920 px wide capture 100,000 rows tall (768 MB) fits.
constexpr qint64 maxDecodeBytes = qint64(1024) * 1024 * 1024;
// Pixels of one image whatever its file says: at most 400 megapixels, and never more than the
// memory bound holds at 4 bytes a pixel (268,435,456).
constexpr qint64 maxImagePixels = std::min<qint64>(400'000'000, maxDecodeBytes / 4);
// HEIC is decoded from memory, so its file is read whole: its length is bounded first.
constexpr qint64 maxHeicFileBytes = qint64(256) * 1024 * 1024;

}  // namespace kx
