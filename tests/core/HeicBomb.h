#pragma once
// HEIC files whose `ispe` box declares one size while their coded stream (the HEVC sequence
// parameter set) says another: the shape of the size bombs that fuzzing finds.
#include <QByteArray>
#include <QSize>

namespace kx::test {

// `heic` (one image, as libheif writes it) with its SPS coding `coded` and its `ispe` declaring
// `declared`; the item offsets are moved along. Empty when the file has not that shape.
QByteArray heicBomb(const QByteArray& heic, QSize declared, QSize coded);

// An SPS NAL unit (header included, emulation prevention applied) coding `coded` with chroma
// format `chroma` (3: 4:4:4, then `separatePlanes` is its separate_colour_plane_flag).
QByteArray spsUnit(QSize coded, int chroma, bool separatePlanes = false);

}  // namespace kx::test
