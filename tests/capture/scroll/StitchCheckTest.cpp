// The flag kernels under the stitcher's sample-for-sample check: the vector forms against
// plain loops, and the meaning of each flag on hand-made rows.
#include "capture/scroll/StitchCheck.h"

#include <gtest/gtest.h>
#include <array>
#include <random>

using namespace kx::stitch;

namespace {

using Row = std::array<std::uint8_t, S>;

// Values around the background (100) and around each other, so that every comparison of
// the kernels lands on both sides of its threshold.
Row randomRow(std::mt19937& rng)
{
    static constexpr std::uint8_t values[] = {97,  98,  99,  100, 101, 102, 103,
                                              150, 151, 152, 153, 155, 0,   255};
    Row row;
    for (auto& v : row)
        v = values[rng() % std::size(values)];
    return row;
}

bool sameFlags(const Samples& a, const Samples& b)
{
    return a.lo == b.lo && a.hi == b.hi;
}

// The longest run of neighbouring flags, one sample at a time.
int longestRun(const Samples& s)
{
    int best = 0;
    for (int i = 0, run = 0; i < S; ++i)
        best = std::max(best, run = s.test(i) ? run + 1 : 0);
    return best;
}

}  // namespace

TEST(StitchCheck, VectorKernelsEqualThePlainLoops)
{
    std::mt19937 rng(5);
    for (int i = 0; i < 2000; ++i) {
        const Row a = randomRow(rng), b = randomRow(rng), aSame = randomRow(rng), bSame = randomRow(rng);
        const std::uint8_t bg = i % 2 ? 100 : 152;
        const RowFlags v = compareRow(a.data(), b.data(), aSame.data(), bSame.data(), bg);
        const RowFlags p = compareRowScalar(a.data(), b.data(), aSame.data(), bSame.data(), bg);
        ASSERT_TRUE(sameFlags(v.tell, p.tell)) << i;
        ASSERT_TRUE(sameFlags(v.differ, p.differ)) << i;
        ASSERT_TRUE(sameFlags(v.stillA, p.stillA)) << i;
        ASSERT_TRUE(sameFlags(v.stillB, p.stillB)) << i;
        ASSERT_TRUE(sameFlags(stillInPlace(b.data(), aSame.data(), a.data(), bg),
                              stillInPlaceScalar(b.data(), aSame.data(), a.data(), bg)))
            << i;
    }
}

TEST(StitchCheck, FlagsMeanWhatTheCheckCountsOn)
{
    const std::uint8_t bg = 200;
    Row a, b, aSame, bSame;
    a.fill(bg);
    b.fill(bg);
    aSame.fill(bg);
    bSame.fill(bg);
    a[3] = b[3] = 201;                          // near the background in both: tells nothing
    a[10] = 50, b[10] = 52;                     // the same content, within the tolerance
    a[20] = 50, b[20] = 53;                     // differs
    a[70] = 50, b[70] = 90, aSame[70] = 91;     // b's sample stays where it was on screen
    a[100] = 60, b[100] = 10, bSame[100] = 58;  // a's sample stays where it is now
    a[127] = bg, b[127] = 30;                   // content in one frame only
    for (const RowFlags& f : {compareRow(a.data(), b.data(), aSame.data(), bSame.data(), bg),
                              compareRowScalar(a.data(), b.data(), aSame.data(), bSame.data(), bg)}) {
        EXPECT_FALSE(f.tell.test(3));
        EXPECT_FALSE(f.tell.test(0));
        EXPECT_EQ(f.tell.count(), 5);
        EXPECT_TRUE(f.tell.test(10) && !f.differ.test(10));
        EXPECT_EQ(f.differ.count(), 4);
        EXPECT_TRUE(f.differ.test(20) && f.differ.test(127));
        EXPECT_TRUE(sameFlags(f.stillB, Samples::range(70, 70)));
        EXPECT_TRUE(sameFlags(f.stillA, Samples::range(100, 100)));
    }
    // Still in place: not background, as before at its place, not what moved there.
    Row moved = b;
    moved[70] = 89;  // what moved there looks alike: nothing can be said
    EXPECT_TRUE(sameFlags(stillInPlace(b.data(), aSame.data(), a.data(), bg), Samples::range(70, 70)));
    EXPECT_FALSE(stillInPlace(b.data(), aSame.data(), moved.data(), bg).any());
}

TEST(StitchCheck, RunsCountsAndRangesOfFlags)
{
    std::mt19937_64 rng(9);
    for (int i = 0; i < 3000; ++i) {
        Samples s;
        // Sparse to dense, and runs placed across the middle of the 128 flags.
        const int density = i % 8;
        for (int k = 0; k < S; ++k)
            if (int(rng() % 8) < density)
                s.set(k);
        if (i % 5 == 0)
            s.add(Samples::range(60 + i % 5, 63 + i % 7));
        int naive = 0;
        for (int k = 0; k < S; ++k)
            naive += s.test(k);
        ASSERT_EQ(s.count(), naive) << i;
        const int run = longestRun(s);
        for (const int n : {1, 2, 3, 4, 5, 9})
            ASSERT_EQ(s.block(n), run >= n) << i << " " << n;
        const int left = int(rng() % S), right = left + int(rng() % std::uint64_t(S - left));
        Samples cut = s;
        cut.clear(left, right);
        for (int k = 0; k < S; ++k)
            ASSERT_EQ(cut.test(k), s.test(k) && (k < left || k > right)) << i << " " << k;
    }
    // A run that crosses from the low to the high word.
    Samples across;
    across.set(63);
    across.set(64);
    across.set(65);
    EXPECT_TRUE(across.block(3));
    EXPECT_FALSE(across.block(4));
    EXPECT_EQ(Samples::range(0, 127).count(), 128);
}

TEST(StitchCheck, BackgroundIsTheMostCommonSample)
{
    std::mt19937 rng(3);
    for (int i = 0; i < 200; ++i) {
        kx::StitchSignature sig;
        sig.height = 1 + i % 9;
        sig.rows.resize(std::size_t(sig.height) * S);
        // A few values, one of them more common at every fourth place only.
        for (std::size_t k = 0; k < sig.rows.size(); ++k)
            sig.rows[k] = k % 4 == std::size_t(i % 4) && rng() % 3 ? std::uint8_t(40 + i % 4)
                                                                   : std::uint8_t(rng() % 5 * 50);
        std::array<int, 256> counts{};
        for (const std::uint8_t v : sig.rows)
            ++counts[v];
        const int want = int(std::max_element(counts.begin(), counts.end()) - counts.begin());
        ASSERT_EQ(backgroundLevel(sig), want) << i;
    }
}
