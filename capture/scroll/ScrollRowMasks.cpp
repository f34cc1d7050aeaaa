#include "capture/scroll/ScrollRowMasks.h"

#include <QHashFunctions>
#include <algorithm>
#include <cmath>
#include <vector>

namespace kx::rowmask {

namespace {

constexpr int kMinScrolledRows = 32;  // rows a move must explain; an animation in place is smaller
constexpr int kShownScrolledRows =
    64;  // rows not of one colour that a move explains beside a large animation
constexpr int kSpreadScrolledRows = 16;  // rows a move explains over half the view, at least

// Of the columns the stitcher matches: an overlay scroll bar's thumb moves otherwise.
std::vector<std::size_t> rowHashes(const QImage& image)
{
    std::vector<std::size_t> hashes(std::size_t(std::max(image.height(), 0)));
    const qsizetype rowBytes = qsizetype(VerticalStitcher::matchedColumns(image.width())) * image.depth() / 8;
    for (int y = 0; y < image.height(); ++y)
        hashes[std::size_t(y)] = qHashBits(image.constScanLine(y), size_t(rowBytes));
    return hashes;
}

}  // namespace

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

bool scrolled(const QImage& before, const QImage& after, const VerticalStitcher::RowMask& changed)
{
    const int h = after.height();
    if (before.size() != after.size() || before.format() != after.format() || int(changed.size()) != h)
        return false;
    std::vector<int> rows;
    for (int r = 0; r < h; ++r)
        if (changed[std::size_t(r)])
            rows.push_back(r);
    if (int(rows.size()) < kMinScrolledRows)
        return false;
    const std::vector<std::size_t> was = rowHashes(before), now = rowHashes(after);
    // Rows of one colour match any other such row: they tell no distance.
    std::vector<char> flat(std::size_t(h), 0);
    for (const int r : rows) {
        const QRgb* p = reinterpret_cast<const QRgb*>(after.constScanLine(r));
        flat[std::size_t(r)] =
            after.depth() == 32 && std::all_of(p, p + after.width(), [&](QRgb c) { return c == p[0]; });
    }
    // Rows whose picture the grab before shows nowhere (drawn anew, as a canvas is) fit no
    // distance and tell none.
    std::vector<std::size_t> known = was;
    std::sort(known.begin(), known.end());
    std::vector<char> fresh(std::size_t(h), 0);
    for (const int r : rows)
        fresh[std::size_t(r)] = !std::binary_search(known.begin(), known.end(), now[std::size_t(r)]);
    // One distance must explain at least half of the changed rows that can be compared at it
    // (rows that came into view at an edge cannot): the rest may animate as well. Fewer rows
    // do when they lie all over the view (a glide's last pixel beside a canvas changes a row
    // of each line of text); an animation in place is one spot. Or it explains many rows that
    // show something, and a large part of the page animates beside them (a canvas redrawn for
    // every frame while the view glides).
    for (int d = -(h - 1); d < h; ++d) {
        if (d == 0)
            continue;
        int comparable = 0, explained = 0, shown = 0, first = h, last = -1;
        for (const int r : rows)
            if (r + d >= 0 && r + d < h && !fresh[std::size_t(r)]) {
                ++comparable;
                const bool same = now[std::size_t(r)] == was[std::size_t(r + d)];
                explained += same;
                shown += same && !flat[std::size_t(r)];
                if (same) {
                    first = std::min(first, r);
                    last = r;
                }
            }
        const bool spread = explained >= kSpreadScrolledRows && 2 * (last - first) >= h;
        if (((explained >= kMinScrolledRows || spread) && 2 * explained >= comparable) ||
            shown >= kShownScrolledRows)
            return true;
    }
    return false;
}

bool sameRows(const VerticalStitcher::RowMask& before, const VerticalStitcher::RowMask& now)
{
    if (before.size() != now.size() || count(before) == 0 || count(now) == 0)
        return false;
    int apart = 0;
    for (std::size_t r = 0; r < now.size(); ++r)
        apart += bool(now[r]) != bool(before[r]);
    return apart <= kSpread;
}

VerticalStitcher::RowMask smallParts(VerticalStitcher::RowMask mask, int rows)
{
    // Clearing a run leaves the rows still to be read as they were.
    forEachRun(mask, [&](int from, int to) {
        if (to - from > rows)
            std::fill(mask.begin() + from, mask.begin() + to, 0);
    });
    return mask;
}

bool samePicture(const QImage& a, const QImage& b)
{
    constexpr double kSame = 0.9;  // correlation of the grey levels, at least
    // Every other row and every fourth column: the settle compares parts up to a quarter of a
    // 4K view with up to sixteen others, on the UI thread.
    constexpr int kRowStep = 2, kColumnStep = 4;
    if (a.size() != b.size() || a.isNull())
        return false;
    const QImage x = a.convertToFormat(QImage::Format_RGB32), y = b.convertToFormat(QImage::Format_RGB32);
    // A picture and its blurred stand-in (a small copy scaled up) correlate nearly as well as
    // one picture in two states; the stand-in lacks the fine detail: the steps between
    // neighbouring pixels, against the spread of the levels, tell them apart, whatever the
    // brightness or contrast of either.
    constexpr double kSharper = 1.6;
    double sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0, n = 0, gx = 0, gy = 0;
    for (int r = 0; r < x.height(); r += kRowStep) {
        const QRgb* u = reinterpret_cast<const QRgb*>(x.constScanLine(r));
        const QRgb* v = reinterpret_cast<const QRgb*>(y.constScanLine(r));
        for (int c = 0; c < x.width(); c += kColumnStep) {
            const double p = qGray(u[c]), q = qGray(v[c]);
            sx += p;
            sy += q;
            sxx += p * p;
            syy += q * q;
            sxy += p * q;
            ++n;
            if (c + 1 < x.width()) {
                gx += std::abs(p - qGray(u[c + 1]));
                gy += std::abs(q - qGray(v[c + 1]));
            }
        }
    }
    const double vx = sxx - sx * sx / n, vy = syy - sy * sy / n;
    // Flat in either: one picture only when both are flat.
    if (vx < n || vy < n)
        return vx < n && vy < n;
    const double sharpX = gx / std::sqrt(vx), sharpY = gy / std::sqrt(vy);
    if (std::max(sharpX, sharpY) > kSharper * std::min(sharpX, sharpY))
        return false;
    return (sxy - sx * sy / n) / std::sqrt(vx * vy) >= kSame;
}

bool flatBlock(const QImage& image, int from, int to)
{
    const QImage frame = image.convertToFormat(QImage::Format_RGB32);
    const int w = frame.width(), h = frame.height();
    const int minWidth = std::max(48, w / 6);
    from = std::max(from, 0);
    to = std::min(to, h);
    if (to - from < kFlatRows || w < minWidth + 2)
        return false;
    bool atTop = false;  // the block under way began at the top edge
    // Per row the longest run of one colour with something else on either side (the page's
    // ground runs to the edges); rows whose runs overlap in one colour by the width at least.
    QRgb colour = 0;
    int left = 0, right = 0, rows = 0;
    for (int y = from; y < to; ++y) {
        const QRgb* p = reinterpret_cast<const QRgb*>(frame.constScanLine(y));
        int bestFrom = 0, bestTo = 0;
        for (int x = 0; x < w;) {
            const QRgb c = p[x] & 0xffffff;
            int e = x + 1;
            while (e < w && (p[e] & 0xffffff) == c)
                ++e;
            if (x > 0 && e < w && e - x > bestTo - bestFrom) {
                bestFrom = x;
                bestTo = e;
            }
            x = e;
        }
        const QRgb c = p[bestFrom] & 0xffffff;
        const int l = std::max(left, bestFrom), r = std::min(right, bestTo);
        if (rows > 0 && c == colour && r - l >= minWidth) {
            left = l;
            right = r;
            ++rows;
        } else if (bestTo - bestFrom >= minWidth) {
            colour = c;
            left = bestFrom;
            right = bestTo;
            rows = 1;
            atTop = y == 0;
        } else {
            rows = 0;
        }
        if (rows >= kFlatRows && !atTop)
            return true;
    }
    return false;
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
