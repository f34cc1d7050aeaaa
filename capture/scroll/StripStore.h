#pragma once
// The pixel rows a stitched image will be made of, kept in one growing block that becomes
// the final image without a second copy. Large blocks grow through realloc, which on
// Linux remaps pages instead of copying them, so the peak stays near the final size.

#include <QImage>
#include <cstddef>

namespace kx {

class StripStore {
public:
    StripStore() = default;
    ~StripStore();
    StripStore(const StripStore&) = delete;
    StripStore& operator=(const StripStore&) = delete;

    // Starts over for rows of `bytesPerRow` bytes in `format`; drops what was kept.
    void reset(int width, QImage::Format format);

    // Appends rows [from, from + count) of `image` (same width and format). False when
    // the memory cannot be had; the store is unchanged then.
    bool append(const QImage& image, int from, int count);

    int rows() const { return rows_; }
    std::size_t bytes() const { return capacity_ * bytesPerRow_; }

    // Hands the rows over as an image (null when empty) and empties the store.
    QImage take();

private:
    bool reserve(std::size_t rows);

    unsigned char* data_ = nullptr;
    std::size_t capacity_ = 0;  // rows
    int rows_ = 0;
    int width_ = 0;
    std::size_t bytesPerRow_ = 0;
    QImage::Format format_ = QImage::Format_RGB32;
};

}  // namespace kx
