#pragma once
// Made-up screenshots for the developer modes, tests and benchmarks: a desktop gradient, a
// window with a title bar and a sidebar, lines of text and coloured tiles. The same size and
// seed always give the same pixels (fonts permitting), so pictures can be compared.
#include <QImage>
#include <QSize>

namespace kx::samples {

// `seed` varies the tiles and the text; the layout scales with the size.
QImage screenshot(QSize size, int seed = 0);

}  // namespace kx::samples
