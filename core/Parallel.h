#pragma once
// Splits [0, count) into bands run on the global thread pool; the calling thread takes part.

#include <functional>

namespace kx {

// Calls work(begin, end) for bands of at least `minPerBand` items; small jobs run inline.
void parallelFor(int count, int minPerBand, const std::function<void(int, int)>& work);

}  // namespace kx
