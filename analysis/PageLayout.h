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

}  // namespace kx::ocr
