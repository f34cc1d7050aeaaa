#include "capture/scroll/StripStore.h"

#include <cstdlib>
#include <cstring>

namespace kx {

StripStore::~StripStore()
{
    std::free(data_);
}

void StripStore::reset(int width, QImage::Format format)
{
    std::free(data_);
    data_ = nullptr;
    capacity_ = 0;
    rows_ = 0;
    width_ = width;
    format_ = format;
    bytesPerRow_ = std::size_t(width) * 4;
}

bool StripStore::reserve(std::size_t rows)
{
    if (rows <= capacity_)
        return true;
    const std::size_t grown = capacity_ + capacity_ / 2;
    const std::size_t want = rows > grown ? rows : grown;
    auto* p = static_cast<unsigned char*>(std::realloc(data_, want * bytesPerRow_));
    if (!p)
        return false;
    data_ = p;
    capacity_ = want;
    return true;
}

bool StripStore::append(const QImage& image, int from, int count)
{
    if (count <= 0)
        return true;
    if (from < 0 || from + count > image.height() || image.width() != width_ || image.format() != format_ ||
        bytesPerRow_ == 0)
        return false;
    if (!reserve(std::size_t(rows_) + std::size_t(count)))
        return false;
    for (int i = 0; i < count; ++i)
        std::memcpy(data_ + (std::size_t(rows_) + i) * bytesPerRow_, image.constScanLine(from + i),
                    bytesPerRow_);
    rows_ += count;
    return true;
}

QImage StripStore::take()
{
    if (!data_ || rows_ == 0)
        return {};
    // Give back the unused tail before the block becomes the image.
    if (auto* p = static_cast<unsigned char*>(std::realloc(data_, std::size_t(rows_) * bytesPerRow_)))
        data_ = p;
    QImage image(
        data_, width_, rows_, qsizetype(bytesPerRow_), format_, [](void* block) { std::free(block); }, data_);
    if (image.isNull())
        std::free(data_);
    data_ = nullptr;
    capacity_ = 0;
    rows_ = 0;
    return image;
}

}  // namespace kx
