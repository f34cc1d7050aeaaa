#pragma once
// Distance between runs of signature rows (128 grey samples per row): the sum of the
// absolute differences of corresponding bytes. Consecutive rows are contiguous, so a
// run of n rows is one block of n * 128 bytes.

#include <cstddef>
#include <cstdint>

namespace kx {

inline constexpr int kSignatureSamples = 128;

// Vectorised form (SSE2 on x86-64, NEON on AArch64, else the scalar loop).
std::uint64_t rowsDistance(const std::uint8_t* a, const std::uint8_t* b, std::size_t rows);

// Plain loop with the same result; the reference the vector form is tested against.
std::uint64_t rowsDistanceScalar(const std::uint8_t* a, const std::uint8_t* b, std::size_t rows);

// Like rowsDistance, but stops early once the running sum exceeds `limit` and then returns
// a value above `limit` (not necessarily the full sum). The running sum only grows, so the
// answer "exceeds limit or not" is the same as with the full sum.
std::uint64_t rowsDistanceBounded(const std::uint8_t* a, const std::uint8_t* b, std::size_t rows,
                                  std::uint64_t limit);

// The matching cost: per sample min(|a - b|, kSampleCap), summed. A sample that differs a
// lot (a floating box, a hover tint, an animated spot) then weighs no more than one that
// differs moderately, so such spots cannot outvote the content around them.
inline constexpr int kSampleCap = 24;
std::uint64_t rowsClipped(const std::uint8_t* a, const std::uint8_t* b, std::size_t rows);
// rowsClipped with the early stop of rowsDistanceBounded.
std::uint64_t rowsClippedBounded(const std::uint8_t* a, const std::uint8_t* b, std::size_t rows,
                                 std::uint64_t limit);
// rowsClipped over `rows` rows taken every `stride` rows (a quick estimate).
std::uint64_t rowsClippedStrided(const std::uint8_t* a, const std::uint8_t* b, std::size_t rows,
                                 std::size_t stride);
// The plain loop behind rowsClipped, for the tests.
std::uint64_t rowsClippedScalar(const std::uint8_t* a, const std::uint8_t* b, std::size_t rows);

}  // namespace kx
