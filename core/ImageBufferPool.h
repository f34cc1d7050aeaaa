#pragma once
// Screen-sized pixel buffers kept for the next image of the same size. A fresh 33 MB buffer per
// 4K grab is a new mapping whose pages fault in and are cleared, and an unmap when it goes:
// about half the time from hot key to overlay. A buffer returns to the pool only when the last
// QImage sharing it is gone (QImage's cleanup function), so an image handed to the editor or
// the history never changes when the next grab reuses memory; a shared copy that is written to
// detaches first, as every QImage does. Free buffers are unmapped after a while unused, so an
// idle tray process holds none.
#include <QImage>
#include <QSize>
#include <memory>

namespace kx {

class ImageBufferPool {
public:
    // The process-wide pool (never destroyed: images may outlive everything else).
    static ImageBufferPool& shared();

    // `keepFree`: free buffers kept per size; `idleMs`: how long a free buffer stays unused
    // before it is unmapped (checked on the thread of the application object).
    explicit ImageBufferPool(int keepFree = 2, int idleMs = 10000);
    ~ImageBufferPool();
    ImageBufferPool(const ImageBufferPool&) = delete;
    ImageBufferPool& operator=(const ImageBufferPool&) = delete;

    // A 32-bit image of `size` (contents undefined) over a pooled buffer, or a plain QImage
    // when it is smaller than kMinBytes; null when memory runs out.
    QImage take(QSize size, QImage::Format format = QImage::Format_ARGB32_Premultiplied);

    // Unmaps the free buffers unused for at least `ms`; all of them with 0.
    void release(int ms = 0);

    int freeBuffers() const;
    // Buffers handed out and not yet back.
    int buffersInUse() const;

    static constexpr qsizetype kMinBytes = 1024 * 1024;

private:
    struct State;
    // Buffers still out keep the state alive after the pool is gone, and are unmapped then.
    std::shared_ptr<State> state_;
};

}  // namespace kx
