#include "core/Parallel.h"

#include <QThreadPool>
#include <QtConcurrent/QtConcurrentMap>
#include <algorithm>
#include <utility>
#include <vector>

namespace kx {

void parallelFor(int count, int minPerBand, const std::function<void(int, int)>& work)
{
    if (count <= 0)
        return;
    const int threads = std::max(1, QThreadPool::globalInstance()->maxThreadCount());
    const int maxBands = std::max(1, count / std::max(1, minPerBand));
    const int bands = std::min(maxBands, threads * 2);
    if (bands <= 1) {
        work(0, count);
        return;
    }
    std::vector<std::pair<int, int>> ranges;
    ranges.reserve(size_t(bands));
    for (int i = 0; i < bands; ++i)
        ranges.emplace_back(int(qint64(count) * i / bands), int(qint64(count) * (i + 1) / bands));
    // Blocking map lets the calling thread run bands too, so nesting inside a pool thread
    // cannot starve.
    QtConcurrent::blockingMap(ranges, [&work](const std::pair<int, int>& r) { work(r.first, r.second); });
}

}  // namespace kx
