#pragma once
// Tesseract behind OCRService: image preparation, strips read in parallel, line assembly,
// and a small cache of initialised engines (loading the models costs ~100 ms per engine).

#include "analysis/OCRService.h"

#include <QImage>
#include <QStringList>

namespace kx::ocr {

// Grey, alpha flattened over white, ready for the engine.
QImage prepared(const QImage& image);

// Row where a strip of the grey image may end: the nearest uniform row at or above `target`
// (not above `lowest`), so that no line of text is cut; `target` itself when none is found.
int cutRow(const QImage& grey, int target, int lowest);

// Reads the image with the given models; thread-safe (each call takes its own engine).
OCRResult recognize(const QImage& image, const QStringList& languages, const QString& dataDir);

// The application is quitting: running recognitions stop at the next word and fail, and
// later ones fail at once. Thread-safe; there is no way back.
void cancelAll();

// See OCRService::setExitHook.
void setExitHook(void (*hook)());

}  // namespace kx::ocr
