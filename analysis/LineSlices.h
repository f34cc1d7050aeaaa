#pragma once
// Lines far wider than a screen (an image at the pixel limit filled with text) are read in slices:
// the reader's memory and time grow with the length of a line (a line 16384 px long took it 400 MB
// and four times as long per character as lines a quarter as long). A strip of such a block is cut
// at blank columns near even places, each slice is read on its own, and the pieces of each line are
// joined again into one line.

#include "analysis/OCRService.h"

#include <QImage>
#include <QList>
#include <vector>

namespace kx::ocr {

// Blocks wider than this many source pixels are read in slices.
constexpr int kMaxSliceWidth = 4096;

// Where rows [top, end) of the grey block are cut so that no slice is wider than kMaxSliceWidth:
// 0, the cuts, then the width. Each cut is the column with the least ink within a few hundred
// pixels of its even place: a blank column where there is one, so that no glyph is cut.
std::vector<int> sliceCuts(const QImage& grey, int top, int end);

// The lines read from the slices of one strip, left to right, with the pieces of each line joined
// into one: a piece continues the line at its height, after a blank when the gap between them is a
// word's. In order from the top.
QList<TextObservation> joinSlices(const std::vector<QList<TextObservation>>& slices);

}  // namespace kx::ocr
