#pragma once
// What the stitcher's sample-for-sample check of one shift is made of: which samples of a
// pair of rows tell and differ, which stay at their place on screen (a box floating over
// the page), and the blocks of rows such samples make.

#include "capture/scroll/RowDistance.h"
#include "capture/scroll/StitchSignature.h"
#include "capture/scroll/VerticalStitcher.h"

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <vector>

namespace kx::stitch {

constexpr int S = kSignatureSamples;
constexpr int kExactLevels = 2;             // a sample this close counts as equal
constexpr std::uint64_t kMinEvidence = 64;  // samples that moved, at least

inline bool close(std::uint8_t a, std::uint8_t b)
{
    return std::abs(int(a) - int(b)) <= kExactLevels;
}

// 128 flags, one per sample.
struct Samples {
    std::uint64_t lo = 0, hi = 0;
    void set(int s) { (s < 64 ? lo : hi) |= std::uint64_t(1) << (s & 63); }
    void add(const Samples& o)
    {
        lo |= o.lo;
        hi |= o.hi;
    }
    int count() const { return std::popcount(lo) + std::popcount(hi); }
    bool test(int s) const { return (s < 64 ? lo : hi) >> (s & 63) & 1; }
    // Whether `n` neighbouring samples are flagged: a box is a block, coincidences are not.
    bool block(int n) const
    {
        for (int s = 0, run = 0; s < 128; ++s)
            if ((run = test(s) ? run + 1 : 0) >= n)
                return true;
        return false;
    }
    bool any() const { return lo | hi; }
    int first() const { return lo ? std::countr_zero(lo) : 64 + std::countr_zero(hi); }
    int last() const { return hi ? 127 - std::countl_zero(hi) : 63 - std::countl_zero(lo); }
};

// Of one row's samples `a` matched against `b`, counts those that tell (not background in
// both; not a spot that stays at its place on screen: `aSame` and `bSame` are the rows at
// the same screen rows in the other frame) and, of those, the ones that differ. Flags the
// samples excused as staying in place in `stillA` (at a's screen row) and `stillB`.
void tally(const std::uint8_t* a, const std::uint8_t* b, const std::uint8_t* aSame, const std::uint8_t* bSame,
           std::uint8_t bg, std::uint64_t& counted, std::uint64_t& differing, Samples& stillA,
           Samples& stillB);

// Blocks of rows with samples flagged as staying in place, taller than a line of text;
// `stays(r, left, right)` tells whether row r shows samples [left, right] as they were at
// their place. Rows [top, bottom) and samples [left, right], with a margin.
std::vector<VerticalStitcher::Box> boxesOf(const std::vector<Samples>& flags,
                                           const std::function<bool(int, int, int)>& stays);

// The most common sample value: the page's background.
int backgroundLevel(const StitchSignature& sig);

}  // namespace kx::stitch
