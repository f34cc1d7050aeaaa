#include "capture/scroll/StripStore.h"

#include <sys/mman.h>
#include <unistd.h>
#include <algorithm>
#include <cstring>
#include <limits>

namespace kx {

namespace {

std::size_t pageRounded(std::size_t bytes)
{
    static const std::size_t page = std::size_t(sysconf(_SC_PAGESIZE));
    return (bytes + page - 1) / page * page;
}

struct Mapping {
    void* address;
    std::size_t bytes;
};

void unmap(void* info)
{
    auto* m = static_cast<Mapping*>(info);
    munmap(m->address, m->bytes);
    delete m;
}

}  // namespace

StripStore::~StripStore()
{
    reset(0, format_);
}

void StripStore::reset(int width, QImage::Format format)
{
    if (data_)
        munmap(data_, mapped_);
    data_ = nullptr;
    mapped_ = 0;
    capacity_ = 0;
    rows_ = 0;
    later_.clear();
    width_ = width;
    format_ = format;
    bytesPerRow_ = std::size_t(std::max(width, 0)) * 4;
}

bool StripStore::reserve(std::size_t rows)
{
    if (rows <= capacity_)
        return true;
    const std::size_t want = std::max(rows, capacity_ + capacity_ / 2);
    if (want > std::numeric_limits<std::size_t>::max() / 2 / bytesPerRow_)
        return false;
    const std::size_t bytes = pageRounded(want * bytesPerRow_);
    void* p = data_ ? mremap(data_, mapped_, bytes, MREMAP_MAYMOVE)
                    : mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED)
        return false;
#if defined(MADV_HUGEPAGE)
    // A step writes a few MB of fresh rows; faulting them in 4 KiB pages costs more than
    // the matching (about 2.5 ms for 3 MB here), in 2 MiB pages a tenth of that.
    madvise(p, bytes, MADV_HUGEPAGE);
#endif
    data_ = static_cast<unsigned char*>(p);
    mapped_ = bytes;
    capacity_ = bytes / bytesPerRow_;
    return true;
}

bool StripStore::fits(const QImage& image, int from, int count) const
{
    return from >= 0 && from + count <= image.height() && image.width() == width_ &&
           image.format() == format_ && bytesPerRow_ > 0;
}

bool StripStore::append(const QImage& image, int from, int count)
{
    if (count <= 0)
        return true;
    if (!fits(image, from, count) || !reserve(std::size_t(rows_) + std::size_t(count)))
        return false;
    for (int i = 0; i < count; ++i)
        std::memcpy(data_ + (std::size_t(rows_) + i) * bytesPerRow_, image.constScanLine(from + i),
                    bytesPerRow_);
    rows_ += count;
    return true;
}

bool StripStore::appendLater(const QImage& image, int from, int count)
{
    if (count <= 0)
        return true;
    if (!fits(image, from, count) || !reserve(std::size_t(rows_) + std::size_t(count)))
        return false;
    later_.push_back({image, from, count, rows_});
    rows_ += count;
    return true;
}

void StripStore::truncate(int rows)
{
    if (rows < 0 || rows >= rows_)
        return;
    while (!later_.empty() && later_.back().at >= rows)
        later_.pop_back();
    if (!later_.empty() && later_.back().at + later_.back().count > rows)
        later_.back().count = rows - later_.back().at;
    rows_ = rows;
}

std::size_t StripStore::bytes() const
{
    std::size_t shared = 0;
    int laterRows = 0;
    for (const Later& l : later_) {
        shared += std::size_t(l.image.sizeInBytes());
        laterRows += l.count;
    }
    return std::size_t(rows_ - laterRows) * bytesPerRow_ + shared;
}

QImage StripStore::take()
{
    if (!data_ || rows_ == 0) {
        reset(width_, format_);
        return {};
    }
    // Each frame is let go once copied, so the peak stays near the result plus one frame.
    for (Later& l : later_) {
        for (int i = 0; i < l.count; ++i)
            std::memcpy(data_ + std::size_t(l.at + i) * bytesPerRow_, l.image.constScanLine(l.from + i),
                        bytesPerRow_);
        l.image = QImage();
    }
    later_.clear();
    // Give back the unused tail; shrinking a mapping never moves it.
    const std::size_t used = pageRounded(std::size_t(rows_) * bytesPerRow_);
    if (used < mapped_ && mremap(data_, mapped_, used, 0) != MAP_FAILED)
        mapped_ = used;
    auto* mapping = new Mapping{data_, mapped_};
    QImage image(data_, width_, rows_, qsizetype(bytesPerRow_), format_, unmap, mapping);
    if (image.isNull())
        unmap(mapping);
    data_ = nullptr;
    reset(width_, format_);
    return image;
}

}  // namespace kx
