#pragma once
// The picture size that an HEVC sequence parameter set codes, read before any decoder sees it:
// a HEIF file's `ispe` box can declare a small image while its coded stream is huge.
#include <QByteArray>
#include <QList>
#include <QSize>
#include <optional>

namespace kx {

// pic_width/height_in_luma_samples of one SPS NAL unit (with its two-byte header, emulation
// prevention bytes still in); nothing when it is not a readable SPS.
std::optional<QSize> hevcSpsSize(const QByteArray& nal);

// The sizes coded by every SPS of a HEIF file: those of its `hvcC` boxes and those carried in
// the data of its `hvc1` items. Nothing when an SPS or the boxes leading to one cannot be read.
std::optional<QList<QSize>> heifCodedSizes(const QByteArray& file);

}  // namespace kx
