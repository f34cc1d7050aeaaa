// Faulting memory in ahead of use and giving it back: whatever it holds stays as it was,
// a range made ready is in memory (no fault left when it is written), and shared memory
// given back is out of memory.
#include "core/Prefault.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>
#include <cstring>

using namespace kx;

namespace {

const size_t kPage = size_t(::sysconf(_SC_PAGESIZE));
const size_t kBytes = 600 * kPage;

struct Mapping {
    explicit Mapping(int flags)
    {
        data =
            static_cast<char*>(::mmap(nullptr, kBytes, PROT_READ | PROT_WRITE, flags | MAP_ANONYMOUS, -1, 0));
        if (data == MAP_FAILED)
            data = nullptr;
    }
    ~Mapping()
    {
        if (data)
            ::munmap(data, kBytes);
    }
    char* data = nullptr;
};

long minorFaults()
{
    rusage u{};
    ::getrusage(RUSAGE_THREAD, &u);
    return u.ru_minflt;
}

// Faults taken while every page of the range is written once.
long faultsWritingEachPage(char* data, size_t bytes)
{
    const long before = minorFaults();
    for (size_t i = 0; i < bytes; i += kPage)
        reinterpret_cast<volatile char*>(data)[i] = char(i / kPage);
    return minorFaults() - before;
}

}  // namespace

TEST(Prefault, SharedMemoryIsInMemoryAfterwardsAndKeepsItsContents)
{
    Mapping shared(MAP_SHARED);
    ASSERT_TRUE(shared.data);
    // A few pages already written, at the edges of the threads' shares too.
    for (size_t page : {0, 149, 150, 299, 451, 599})
        std::memset(shared.data + page * kPage, int(page % 200) + 1, kPage);
    EXPECT_LT(residentBytes(shared.data, kBytes), kBytes);

    Prefault(shared.data, kBytes, 4).wait();
    EXPECT_EQ(residentBytes(shared.data, kBytes), kBytes);
    for (size_t page : {0, 149, 150, 299, 451, 599}) {
        EXPECT_EQ(shared.data[page * kPage], char(page % 200 + 1)) << page;
        EXPECT_EQ(shared.data[page * kPage + kPage - 1], char(page % 200 + 1)) << page;
    }
    EXPECT_EQ(shared.data[300 * kPage], 0);
    EXPECT_LT(faultsWritingEachPage(shared.data, kBytes), long(kBytes / kPage / 10));
}

TEST(Prefault, WritingPrefaultMakesPrivateMemoryReadyUnchanged)
{
    // A range that starts and ends inside pages, as an image inside a larger buffer may.
    Mapping own(MAP_PRIVATE);
    ASSERT_TRUE(own.data);
    std::memset(own.data + 10 * kPage, 0x5a, 3 * kPage);
    char* start = own.data + 100;
    const size_t bytes = kBytes - 300;

    Prefault(start, bytes, 3, true).wait();
    EXPECT_EQ(own.data[10 * kPage], 0x5a);
    EXPECT_EQ(own.data[13 * kPage - 1], 0x5a);
    EXPECT_EQ(own.data[13 * kPage], 0);
    // Read, private memory would only have been mapped to the zero page: every write faults.
    EXPECT_LT(faultsWritingEachPage(own.data, kBytes), long(kBytes / kPage / 10));
}

TEST(Prefault, DroppedSharedPagesLeaveMemoryAndReadAsZeros)
{
    Mapping shared(MAP_SHARED);
    ASSERT_TRUE(shared.data);
    std::memset(shared.data, 0x33, kBytes);
    ASSERT_EQ(residentBytes(shared.data, kBytes), kBytes);

    // Only the whole pages inside the range go: the first and the last are shared with
    // whatever lies next to it.
    ASSERT_TRUE(dropPages(shared.data + 10, kBytes - 20));
    EXPECT_EQ(residentBytes(shared.data, kBytes), 2 * kPage);
    EXPECT_EQ(shared.data[0], 0x33);
    EXPECT_EQ(shared.data[kBytes - 1], 0x33);
    EXPECT_EQ(shared.data[kPage], 0);
    EXPECT_EQ(shared.data[kBytes - kPage - 1], 0);

    // Private memory is not given back this way, and is left as it was.
    Mapping own(MAP_PRIVATE);
    ASSERT_TRUE(own.data);
    std::memset(own.data, 0x44, kBytes);
    EXPECT_FALSE(dropPages(own.data, kBytes));
    EXPECT_EQ(own.data[kBytes / 2], 0x44);
    EXPECT_EQ(residentBytes(own.data, kBytes), kBytes);
}
