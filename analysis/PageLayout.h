#pragma once
// Where the text of a screen image lies, before it is read: blocks of text in reading order,
// so that side-by-side columns (two columns, a sidebar beside a document) are read one after
// the other instead of across.

#include <QImage>
#include <QList>
#include <QRect>

namespace kx::ocr {

// Blocks of a Grayscale8 image in reading order, each the text with a margin of its own
// background; empty for an image without text.
QList<QRect> textBlocks(const QImage& grey);

// The dark-on-white Grayscale8 page with its thin straight rules (grid lines of a table,
// separators, underlines, frames) turned white: the engine reads a row of cells crossed by
// grid lines as graphics. Glyph strokes are never this long and thin. Same size.
QImage withoutRules(const QImage& page);

}  // namespace kx::ocr
