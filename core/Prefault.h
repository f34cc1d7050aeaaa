#pragma once
// Faulting memory in ahead of its first use, without changing what it holds, and giving it
// back. A fresh screen-sized buffer at 4K is 8,000 pages; faulted in one by one by the code
// that first writes to it they cost 20 to 40 ms. A Prefault does it on threads of its own
// while the owner goes on with something else. Writing to the range meanwhile is safe,
// unmapping it is not: the owner waits for (or destroys) the Prefault first.
#include <cstddef>
#include <thread>
#include <vector>

namespace kx {

class Prefault {
public:
    // By default every page is read once, which maps shared memory ready for writing and
    // holds up no other thread's mappings. `write` allocates private memory too (a read would
    // only map the zero page there), in one call per thread.
    Prefault(const void* data, size_t bytes, int threads = 4, bool write = false);
    ~Prefault();
    Prefault(const Prefault&) = delete;
    Prefault& operator=(const Prefault&) = delete;

    // Returns when every page of the range has been faulted in.
    void wait();

private:
    std::vector<std::thread> threads_;
};

// Gives the pages of a shared-memory range back to the system; the mapping stays and reads
// as zeros until written again. False (and nothing done) where the memory is not shared.
bool dropPages(const void* data, size_t bytes);

// Bytes of the whole pages inside the range that are in memory now.
size_t residentBytes(const void* data, size_t bytes);

}  // namespace kx
