#pragma once
// The engine reads dark text on a light ground. Screens mix both ways: a light window on a
// dark desktop, a dark editor inside a light page, white text on a coloured bar, light text in
// a coloured bubble. The way each part is turned is decided by its own ground, not by the page
// or by a row of it.

#include <QImage>

namespace kx::ocr {

// The Grayscale8 image with every region of even ground (a window, a bar, a bubble, an
// editor) turned over when its text is lighter than its ground, and stretched so that its
// ground is white and its text dark. Same size; a null image for a null or non-grey one.
QImage darkOnWhite(const QImage& grey);

}  // namespace kx::ocr
