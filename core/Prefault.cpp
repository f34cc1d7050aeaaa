#include "core/Prefault.h"

#include <sys/mman.h>
#include <unistd.h>
#include <algorithm>
#include <cstdint>
#include <latch>
#include <memory>

namespace kx {

namespace {

#ifndef MADV_POPULATE_WRITE
constexpr int MADV_POPULATE_WRITE = 23;  // Linux 5.14
#endif

uintptr_t pageSize()
{
    static const auto size = uintptr_t(::sysconf(_SC_PAGESIZE));
    return size;
}

// The whole pages inside a range: the pages it shares with other data are not ours to drop.
struct Pages {
    uintptr_t begin = 0, end = 0;
    bool empty() const { return end <= begin; }
    void* start() const { return reinterpret_cast<void*>(begin); }
    size_t length() const { return end - begin; }
};

Pages inside(const void* data, size_t bytes)
{
    const uintptr_t page = pageSize();
    const auto from = reinterpret_cast<uintptr_t>(data);
    return {(from + page - 1) & ~(page - 1), (from + bytes) & ~(page - 1)};
}

void readEachPage(uintptr_t from, uintptr_t to, uintptr_t page)
{
    for (uintptr_t p = from; p < to; p = (p & ~(page - 1)) + page)
        (void)*reinterpret_cast<const volatile char*>(p);
}

}  // namespace

Prefault::Prefault(const void* data, size_t bytes, int threads, bool write)
{
    if (!data || bytes == 0)
        return;
    const uintptr_t page = pageSize();
    const auto first = reinterpret_cast<uintptr_t>(data);
    const uintptr_t begin = first & ~(page - 1);
    const uintptr_t end = first + bytes;
    const uintptr_t pages = (end - begin + page - 1) / page;
    // At most half the cores: the owner and the X server have work to do meanwhile.
    const int cores = int(std::max(2u, std::thread::hardware_concurrency()));
    const int n = int(std::clamp<uintptr_t>(pages, 1, uintptr_t(std::clamp(threads, 1, cores / 2))));
    const uintptr_t share = (pages + uintptr_t(n) - 1) / uintptr_t(n) * page;
    // Every thread is started before any of them faults: a thread's stack is a new mapping,
    // which would wait for the faulting ones.
    auto go = std::make_shared<std::latch>(n);
    for (int i = 0; i < n; ++i) {
        const uintptr_t from = std::max(first, begin + uintptr_t(i) * share);
        const uintptr_t to = std::min(end, begin + uintptr_t(i + 1) * share);
        threads_.emplace_back([go, from, to, page, write] {
            go->arrive_and_wait();
            if (from >= to)
                return;
            // Whole pages only for the kernel's populate; a partial first or last page is read.
            const Pages whole = inside(reinterpret_cast<const void*>(from), to - from);
            if (write && !whole.empty() &&
                ::madvise(whole.start(), whole.length(), MADV_POPULATE_WRITE) == 0) {
                readEachPage(from, std::min(to, whole.begin), page);
                readEachPage(std::max(from, whole.end), to, page);
                return;
            }
            readEachPage(from, to, page);
        });
    }
}

Prefault::~Prefault()
{
    wait();
}

void Prefault::wait()
{
    for (std::thread& t : threads_) {
        if (t.joinable())
            t.join();
    }
    threads_.clear();
}

bool dropPages(const void* data, size_t bytes)
{
    const Pages p = inside(data, bytes);
    return data && (p.empty() || ::madvise(p.start(), p.length(), MADV_REMOVE) == 0);
}

size_t residentBytes(const void* data, size_t bytes)
{
    const Pages p = inside(data, bytes);
    if (!data || p.empty())
        return 0;
    std::vector<unsigned char> in(p.length() / pageSize());
    if (::mincore(p.start(), p.length(), in.data()) != 0)
        return 0;
    return size_t(std::count_if(in.begin(), in.end(), [](unsigned char c) { return c & 1; })) * pageSize();
}

}  // namespace kx
