#pragma once
// What the stitcher's sample-for-sample check of one shift is made of: which samples of a
// pair of rows tell and differ, which stay at their place on screen (a box floating over
// the page), and the blocks of rows such samples make.

#include "capture/scroll/RowDistance.h"
#include "capture/scroll/StitchSignature.h"
#include "capture/scroll/VerticalStitcher.h"

#include <algorithm>
#include <bit>
#include <cstddef>
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

// Bits set in x. The baseline x86-64 instruction set has no population count, and
// std::popcount then calls a library routine; this stays inline.
inline int popcount64(std::uint64_t x)
{
    x -= (x >> 1) & 0x5555555555555555ull;
    x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Full;
    return int((x * 0x0101010101010101ull) >> 56);
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
    // Clears samples [left, right].
    void clear(int left, int right)
    {
        const Samples r = range(left, right);
        lo &= ~r.lo;
        hi &= ~r.hi;
    }
    Samples without(const Samples& o) const { return {lo & ~o.lo, hi & ~o.hi}; }
    int count() const { return popcount64(lo) + popcount64(hi); }
    bool test(int s) const { return (s < 64 ? lo : hi) >> (s & 63) & 1; }
    // Whether `n` neighbouring samples are flagged: a box is a block, coincidences are not.
    // A flag that survives and-ing with the flags 1 .. n - 1 samples on starts such a run.
    bool block(int n) const
    {
        Samples run = *this;
        for (int i = 1; i < n && run.any(); ++i)
            run = run.both(shiftedDown(i));
        return n <= 0 || run.any();
    }
    Samples both(const Samples& o) const { return {lo & o.lo, hi & o.hi}; }
    // Flag s + i moved to s.
    Samples shiftedDown(int i) const
    {
        if (i >= 128)
            return {};
        if (i >= 64)
            return {hi >> (i - 64), 0};
        return {i == 0 ? lo : lo >> i | hi << (64 - i), hi >> i};
    }
    bool any() const { return lo | hi; }
    int first() const { return lo ? std::countr_zero(lo) : 64 + std::countr_zero(hi); }
    int last() const { return hi ? 127 - std::countl_zero(hi) : 63 - std::countl_zero(lo); }
    // Samples [left, right] (0 <= left <= right < 128).
    static Samples range(int left, int right)
    {
        auto upTo = [](int s) {  // samples [0, s)
            Samples m;
            m.lo = s >= 64 ? ~std::uint64_t(0) : (std::uint64_t(1) << s) - 1;
            m.hi = s <= 64 ? 0 : s >= 128 ? ~std::uint64_t(0) : (std::uint64_t(1) << (s - 64)) - 1;
            return m;
        };
        return upTo(right + 1).without(upTo(left));
    }
};

// One row's samples `a` matched against `b` (the same content if the shift is right), and
// against `aSame` and `bSame`, the rows at the same screen rows in the other frame.
struct RowFlags {
    Samples tell;    // not background in both
    Samples differ;  // of those, the ones that differ
    Samples stillA;  // differ, but a's sample stays at its place on screen (not background)
    Samples stillB;  // the same for b's
};
RowFlags compareRow(const std::uint8_t* a, const std::uint8_t* b, const std::uint8_t* aSame,
                    const std::uint8_t* bSame, std::uint8_t bg);
// The plain loop behind compareRow, for the tests.
RowFlags compareRowScalar(const std::uint8_t* a, const std::uint8_t* b, const std::uint8_t* aSame,
                          const std::uint8_t* bSame, std::uint8_t bg);

// Samples of row `b` that stay as they were at their place (`aSame`) where the content
// moved (`aMoved`, the row that moved there, shows other samples), not background.
Samples stillInPlace(const std::uint8_t* b, const std::uint8_t* aSame, const std::uint8_t* aMoved,
                     std::uint8_t bg);
Samples stillInPlaceScalar(const std::uint8_t* b, const std::uint8_t* aSame, const std::uint8_t* aMoved,
                           std::uint8_t bg);

// Blocks of rows with samples flagged as staying in place, taller than a line of text;
// `stays(r, left, right)` tells whether row r shows samples [left, right] as they were at
// their place. Rows [top, bottom) and samples [left, right], with a margin.
std::vector<VerticalStitcher::Box> boxesOf(const std::vector<Samples>& flags,
                                           const std::function<bool(int, int, int)>& stays);

// Per-row flags of one check, kept between steps so that a step allocates nothing.
struct CheckBuffers {
    std::vector<Samples> inPlace, tell, differ, still;
};

// Whether samples [left, right] of a row (plainRow: all of them) show at most one level besides
// the background `bg` (a blank row, a photo's flat placeholder): such samples look the same
// moved or not and tell nothing.
inline bool plainSamples(const std::uint8_t* row, int left, int right, int bg)
{
    int other = -1;
    for (int s = left; s <= right; ++s) {
        if (close(row[s], std::uint8_t(bg)))
            continue;
        if (other < 0)
            other = row[s];
        else if (!close(row[s], std::uint8_t(other)))
            return false;
    }
    return true;
}
inline bool plainRow(const std::uint8_t* row, int bg)
{
    return plainSamples(row, 0, kSignatureSamples - 1, bg);
}

// Whether any sample of a row differs from the background `bg`: the row shows something.
inline bool showsBesides(const std::uint8_t* row, int bg)
{
    return std::any_of(row, row + kSignatureSamples,
                       [&](std::uint8_t v) { return !close(v, std::uint8_t(bg)); });
}

// The most common sample value: the page's background.
int backgroundLevel(const StitchSignature& sig);
// The level of most rows that are one level all across (the page's ground between lines of
// text), or else backgroundLevel(): a frame mostly covered by a photo or its placeholder has
// that as its most common level.
int groundLevel(const StitchSignature& sig);

}  // namespace kx::stitch
