#include "core/ImageBufferPool.h"

#include <sys/mman.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <algorithm>
#include <cstdint>
#include <mutex>
#include <vector>

namespace kx {

namespace {

qint64 nowMs()
{
    return QDeadlineTimer::current().deadline();
}

constexpr size_t kHugePage = size_t(2) << 20;

// A screen-sized buffer in 4 KiB pages takes one fault and one page clearing per page when
// first written (about 20 ms for a 4K screen); in huge pages it is a few dozen faults (about
// 4 ms). The mapping starts on a huge page boundary so that all of it but the tail can be
// huge pages; where the kernel has none the advice is simply ignored.
struct Mapping {
    uchar* data = nullptr;
    size_t length = 0;
};

Mapping mapPixels(size_t bytes)
{
    const auto page = size_t(::sysconf(_SC_PAGESIZE));
    const size_t length = (bytes + page - 1) / page * page;
    void* base =
        ::mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED)
        return {};
    // The unaligned head and what is left after the buffer go again.
    const auto start = reinterpret_cast<uintptr_t>(base);
    const uintptr_t aligned = (start + kHugePage - 1) & ~(uintptr_t(kHugePage) - 1);
    if (aligned > start)
        ::munmap(base, aligned - start);
    const size_t tail = (start + length + kHugePage) - (aligned + length);
    if (tail > 0)
        ::munmap(reinterpret_cast<void*>(aligned + length), tail);
#ifdef MADV_HUGEPAGE
    ::madvise(reinterpret_cast<void*>(aligned), length, MADV_HUGEPAGE);
#endif
    return {reinterpret_cast<uchar*>(aligned), length};
}

}  // namespace

struct ImageBufferPool::State : std::enable_shared_from_this<State> {
    struct Buffer {
        std::shared_ptr<State> state;
        uchar* data = nullptr;
        size_t bytes = 0;   // what the image uses
        size_t mapped = 0;  // the whole mapping at `data`
        qint64 freedAt = 0;
    };

    State(int keep, int idle) : keepFree(keep), idleMs(idle) {}

    static void unmap(Buffer* b)
    {
        ::munmap(b->data, b->mapped);
        delete b;
    }

    // QImage's cleanup function: the last image over the buffer is gone. Any thread.
    static void giveBack(void* info)
    {
        auto* b = static_cast<Buffer*>(info);
        const std::shared_ptr<State> state = std::move(b->state);
        state->put(b);
    }

    void put(Buffer* b)
    {
        std::vector<Buffer*> surplus;
        {
            std::lock_guard lock(mutex);
            --inUse;
            if (closed) {
                surplus.push_back(b);
            } else {
                b->freedAt = nowMs();
                free.push_back(b);
                // The oldest of this size beyond what is kept goes at once.
                int same = 0;
                for (auto it = free.rbegin(); it != free.rend(); ++it) {
                    if ((*it)->bytes == b->bytes && ++same > keepFree)
                        surplus.push_back(*it);
                }
                std::erase_if(free, [&](Buffer* f) {
                    return std::find(surplus.begin(), surplus.end(), f) != surplus.end();
                });
            }
        }
        for (Buffer* s : surplus)
            unmap(s);
        scheduleRelease();
    }

    void release(int ms)
    {
        std::vector<Buffer*> old;
        {
            std::lock_guard lock(mutex);
            const qint64 before = nowMs() - ms;
            for (Buffer* b : free) {
                if (ms <= 0 || b->freedAt <= before)
                    old.push_back(b);
            }
            std::erase_if(free, [&](Buffer* b) { return std::find(old.begin(), old.end(), b) != old.end(); });
        }
        for (Buffer* b : old)
            unmap(b);
    }

    // Looks again `idleMs` after the last return, on the application object's thread.
    void scheduleRelease()
    {
        QCoreApplication* app = QCoreApplication::instance();
        if (!app)
            return;
        {
            std::lock_guard lock(mutex);
            if (releaseScheduled || free.empty())
                return;
            releaseScheduled = true;
        }
        std::weak_ptr<State> weak = weak_from_this();
        QMetaObject::invokeMethod(
            app,
            [weak, app, ms = idleMs] {
                QTimer::singleShot(ms, app, [weak] {
                    const std::shared_ptr<State> state = weak.lock();
                    if (!state)
                        return;
                    {
                        std::lock_guard lock(state->mutex);
                        state->releaseScheduled = false;
                    }
                    state->release(state->idleMs);
                    state->scheduleRelease();
                });
            },
            Qt::QueuedConnection);
    }

    std::mutex mutex;
    std::vector<Buffer*> free;
    int inUse = 0;
    bool closed = false;
    bool releaseScheduled = false;
    const int keepFree;
    const int idleMs;
};

ImageBufferPool& ImageBufferPool::shared()
{
    static auto* pool = new ImageBufferPool;
    return *pool;
}

ImageBufferPool::ImageBufferPool(int keepFree, int idleMs)
    : state_(std::make_shared<State>(std::max(0, keepFree), std::max(0, idleMs)))
{
}

ImageBufferPool::~ImageBufferPool()
{
    {
        std::lock_guard lock(state_->mutex);
        state_->closed = true;
    }
    state_->release(0);
}

QImage ImageBufferPool::take(QSize size, QImage::Format format)
{
    if (size.isEmpty() || QImage::toPixelFormat(format).bitsPerPixel() != 32)
        return QImage(size, format);
    const qsizetype stride = qsizetype(size.width()) * 4;
    const size_t bytes = size_t(stride) * size_t(size.height());
    if (qsizetype(bytes) < kMinBytes)
        return QImage(size, format);
    State::Buffer* buffer = nullptr;
    {
        std::lock_guard lock(state_->mutex);
        // The most recently returned first: its pages are the likeliest to be resident.
        for (auto it = state_->free.rbegin(); it != state_->free.rend(); ++it) {
            if ((*it)->bytes == bytes) {
                buffer = *it;
                state_->free.erase(std::next(it).base());
                break;
            }
        }
        ++state_->inUse;
    }
    if (!buffer) {
        const Mapping m = mapPixels(bytes);
        if (!m.data) {
            std::lock_guard lock(state_->mutex);
            --state_->inUse;
            return {};
        }
        buffer = new State::Buffer{nullptr, m.data, bytes, m.length, 0};
    }
    buffer->state = state_;
    return QImage(buffer->data, size.width(), size.height(), stride, format, &State::giveBack, buffer);
}

void ImageBufferPool::release(int ms)
{
    state_->release(ms);
}

int ImageBufferPool::freeBuffers() const
{
    std::lock_guard lock(state_->mutex);
    return int(state_->free.size());
}

int ImageBufferPool::buffersInUse() const
{
    std::lock_guard lock(state_->mutex);
    return state_->inUse;
}

}  // namespace kx
