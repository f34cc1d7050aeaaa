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

}  // namespace kx
