#pragma once
// The pixel rows a stitched image will be made of, kept in one growing block that becomes
// the final image without a second copy. The block is an anonymous mapping that grows
// through mremap: growing never copies what is kept, and rows reserved but not yet written
// cost no memory beyond the page being filled (2 MiB pages where the system gives them). Rows of an image the
// store may keep a reference to are copied only by take(), so that handing over a whole frame costs nothing
// while the user waits.

#include <QImage>
#include <cstddef>
#include <vector>

namespace kx {

class StripStore {
public:
    StripStore() = default;
    ~StripStore();
    StripStore(const StripStore&) = delete;
    StripStore& operator=(const StripStore&) = delete;

    // Starts over for rows of `width` pixels in `format`; drops what was kept.
    void reset(int width, QImage::Format format);

    // Appends rows [from, from + count) of `image` (same width and format). False when
    // the memory cannot be had; the store is unchanged then.
    bool append(const QImage& image, int from, int count);
    // The same, but the rows are copied by take(); until then the store shares `image`.
    bool appendLater(const QImage& image, int from, int count);

    // Drops every row from `rows` on (a step taken back).
    void truncate(int rows);

    int rows() const { return rows_; }
    // Pixel memory held: the rows written and the images shared for later rows.
    std::size_t bytes() const;

    // Hands the rows over as an image (null when empty or when the memory cannot be had)
    // and empties the store.
    QImage take();

private:
    struct Later {
        QImage image;
        int from, count, at;
    };
    bool fits(const QImage& image, int from, int count) const;
    bool reserve(std::size_t rows);

    unsigned char* data_ = nullptr;
    std::size_t mapped_ = 0;    // bytes
    std::size_t capacity_ = 0;  // rows
    int rows_ = 0;
    int width_ = 0;
    std::size_t bytesPerRow_ = 0;
    QImage::Format format_ = QImage::Format_RGB32;
    std::vector<Later> later_;
};

}  // namespace kx
