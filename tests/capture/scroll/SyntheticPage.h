#pragma once
// Deterministic synthetic pages and frames for the stitcher and session tests.
#include <QImage>
#include <cstdint>

namespace kx::test {

// Dark tinted blocks laid out like lines of text on white, from a fixed 64-bit LCG.
QImage makePage(int width, int height);

// Rows of random grey noise: every row differs from every other.
QImage noisePage(int width, int height, std::uint64_t seed);

// Content kinds for the stitcher's random-pair test; `pitch` is the period of the repeating
// kind (0 for the others).
enum class Content { prose, repeated, uiRows, noise, photo, gradient };
QImage contentPage(Content kind, int width, int height, int pitch = 0);

// A `height`-row window on `page` starting at row `offset`, with `header` rows of
// `headerStrip` on top and `footer` rows of `footerStrip` at the bottom.
QImage frameAt(const QImage& page, int offset, int height, const QImage& headerStrip, int header,
               const QImage& footerStrip, int footer);

// Number of differing bytes of two images in premultiplied ARGB32; -1 when sizes differ.
long long differingBytes(const QImage& a, const QImage& b);

}  // namespace kx::test
