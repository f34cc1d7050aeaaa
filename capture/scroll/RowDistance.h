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

// The matching cost: per sample min(|a - b|, kSampleCap), summed. A sample that differs a
// lot (a floating box, a hover tint, an animated spot) then weighs no more than one that
// differs moderately, so such spots cannot outvote the content around them.
inline constexpr int kSampleCap = 24;
std::uint64_t rowsClipped(const std::uint8_t* a, const std::uint8_t* b, std::size_t rows);
// rowsClipped over `rows` rows taken every `stride` rows (a quick estimate).
std::uint64_t rowsClippedStrided(const std::uint8_t* a, const std::uint8_t* b, std::size_t rows,
                                 std::size_t stride);
// The largest per-sample difference of one row (128 samples).
int rowMaxDifference(const std::uint8_t* a, const std::uint8_t* b);

// The plain loop behind rowsClipped, for the tests.
std::uint64_t rowsClippedScalar(const std::uint8_t* a, const std::uint8_t* b, std::size_t rows);

}  // namespace kx
