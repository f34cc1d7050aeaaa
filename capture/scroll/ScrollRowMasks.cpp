#include "capture/scroll/ScrollRowMasks.h"

#include <algorithm>

namespace kx::rowmask {

void widen(VerticalStitcher::RowMask& mask, int by)
{
    const VerticalStitcher::RowMask in = mask;
    const int n = int(in.size());
    for (int r = 0; r < n; ++r)
        if (in[std::size_t(r)])
            for (int k = std::max(0, r - by); k <= std::min(n - 1, r + by); ++k)
                mask[std::size_t(k)] = 1;
}

int count(const VerticalStitcher::RowMask& mask)
{
    return int(std::count(mask.begin(), mask.end(), char(1)));
}

std::optional<VerticalStitcher::RowMask> inPlace(const VerticalStitcher::RowMask& before,
                                                 const VerticalStitcher::RowMask& now)
{
    if (before.size() != now.size() || count(before) == 0 || count(now) == 0 ||
        count(now) > int(now.size()) / 2)
        return std::nullopt;
    VerticalStitcher::RowMask around = before;
    widen(around, kSpread);
    for (std::size_t r = 0; r < now.size(); ++r)
        if (now[r] && !around[r])
            return std::nullopt;
    VerticalStitcher::RowMask both = now;
    for (std::size_t r = 0; r < now.size(); ++r)
        both[r] = both[r] || before[r];
    widen(both, kSpread);
    return both;
}

VerticalStitcher::RowMask withPointer(VerticalStitcher::RowMask mask,
                                      const VerticalStitcher::RowMask& pointer)
{
    mask.resize(pointer.size(), 0);
    for (std::size_t r = 0; r < pointer.size(); ++r)
        mask[r] = mask[r] ? mask[r] : pointer[r];
    return mask;
}

}  // namespace kx::rowmask
