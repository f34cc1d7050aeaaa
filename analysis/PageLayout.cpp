#include "analysis/PageLayout.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace kx::ocr {

namespace {

// Grey step between horizontal neighbours that counts as the edge of a glyph. Flat backgrounds
// of any shade, and the horizontal edges between them, stay blank.
constexpr int kEdge = 40;
// A vertical run of edges at least this tall is a frame or a divider, not a glyph.
constexpr int kRuleRows = 64;

struct Ink {
    int w = 0;
    int h = 0;
    std::vector<uint8_t> on;
    bool at(int x, int y) const { return on[std::size_t(y) * std::size_t(w) + std::size_t(x)] != 0; }
};

Ink inkOf(const QImage& grey)
{
    Ink ink{grey.width(), grey.height(), std::vector<uint8_t>(std::size_t(grey.width()) * grey.height())};
    for (int y = 0; y < ink.h; ++y) {
        const uchar* row = grey.constScanLine(y);
        uint8_t* out = ink.on.data() + std::size_t(y) * ink.w;
        for (int x = 0; x + 1 < ink.w; ++x)
            out[x] = std::abs(int(row[x]) - int(row[x + 1])) >= kEdge;
    }
    // Row by row, with the length of the run each column is in.
    std::vector<int> run(std::size_t(ink.w), 0);
    auto clearRule = [&](int x, int end) {
        if (run[std::size_t(x)] >= kRuleRows) {
            for (int k = end - run[std::size_t(x)]; k < end; ++k)
                ink.on[std::size_t(k) * ink.w + x] = 0;
        }
        run[std::size_t(x)] = 0;
    };
    for (int y = 0; y < ink.h; ++y) {
        const uint8_t* row = ink.on.data() + std::size_t(y) * ink.w;
        for (int x = 0; x < ink.w; ++x) {
            if (row[x])
                ++run[std::size_t(x)];
            else if (run[std::size_t(x)] != 0)
                clearRule(x, y);
        }
    }
    for (int x = 0; x < ink.w; ++x)
        clearRule(x, ink.h);
    return ink;
}

struct Metrics {
    int line = 16;  // height of a line's glyph edges
    int gap = 8;    // blank rows between two lines of a block
};

int median(std::vector<int>& v, int fallback)
{
    if (v.empty())
        return fallback;
    std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(v.size() / 2), v.end());
    return v[v.size() / 2];
}

// Medians of the runs of inked and of blank rows in narrow slices (slices, so that lines of
// neighbouring columns that do not line up are not merged).
Metrics metricsOf(const Ink& ink)
{
    constexpr int kSlice = 96;
    std::vector<int> lines, gaps;
    for (int x0 = 0; x0 < ink.w; x0 += kSlice) {
        const int x1 = std::min(ink.w, x0 + kSlice);
        int run = 0, blank = -1;  // -1: no line above yet
        for (int y = 0; y <= ink.h; ++y) {
            bool inked = false;
            for (int x = x0; y < ink.h && x < x1 && !inked; ++x)
                inked = ink.at(x, y);
            if (inked) {
                if (run == 0 && blank > 0)
                    gaps.push_back(blank);
                ++run;
            } else {
                if (run >= 4) {
                    lines.push_back(run);
                    blank = 0;
                }
                run = 0;
                if (blank >= 0)
                    ++blank;
            }
        }
    }
    return {std::clamp(median(lines, 16), 8, 96), std::max(1, median(gaps, 8))};
}

struct Span {
    int start = 0;
    int end = 0;  // exclusive
    int size() const { return end - start; }
};

// The widest run of zeros with at least `minSide` entries on either side, or an empty span.
Span widestGap(const std::vector<int>& profile, int minSide)
{
    Span best;
    const int n = int(profile.size());
    for (int i = 0; i < n;) {
        if (profile[std::size_t(i)] != 0) {
            ++i;
            continue;
        }
        int end = i;
        while (end < n && profile[std::size_t(end)] == 0)
            ++end;
        // Of equally wide gaps the one nearest the middle, so that cutting halves the work.
        const auto offCentre = [n](Span s) { return std::abs(s.start + s.end - n); };
        const Span gap{i, end};
        if (i >= minSide && end <= n - minSide &&
            (gap.size() > best.size() || (gap.size() == best.size() && offCentre(gap) < offCentre(best))))
            best = gap;
        i = end;
    }
    return best;
}

// Ink counts over any rectangle's rows or columns in O(width + height), from running sums
// kept modulo 2^16 (exact while an image edge stays below 65536 pixels).
class Splitter {
public:
    explicit Splitter(const QImage& grey) : w_(grey.width()), h_(grey.height())
    {
        const Ink ink = inkOf(grey);
        const Metrics m = metricsOf(ink);
        line_ = m.line;
        gap_ = m.gap;
        down_.assign(std::size_t(w_) * (h_ + 1), 0);
        across_.assign(std::size_t(w_ + 1) * h_, 0);
        for (int y = 0; y < h_; ++y) {
            for (int x = 0; x < w_; ++x) {
                const uint16_t on = ink.at(x, y);
                down_[std::size_t(y + 1) * w_ + x] = uint16_t(down_[std::size_t(y) * w_ + x] + on);
                across_[std::size_t(y) * (w_ + 1) + x + 1] =
                    uint16_t(across_[std::size_t(y) * (w_ + 1) + x] + on);
            }
        }
    }

    QList<QRect> blocks()
    {
        bool columns = false;
        return split(QRect(0, 0, w_, h_), 0, columns);
    }

private:
    std::vector<int> columnInk(const QRect& r) const
    {
        std::vector<int> out(std::size_t(r.width()));
        for (int x = r.left(); x <= r.right(); ++x)
            out[std::size_t(x - r.left())] =
                uint16_t(down_[std::size_t(r.bottom() + 1) * w_ + x] - down_[std::size_t(r.top()) * w_ + x]);
        return out;
    }

    std::vector<int> rowInk(const QRect& r) const
    {
        std::vector<int> out(std::size_t(r.height()));
        for (int y = r.top(); y <= r.bottom(); ++y)
            out[std::size_t(y - r.top())] = uint16_t(across_[std::size_t(y) * (w_ + 1) + r.right() + 1] -
                                                     across_[std::size_t(y) * (w_ + 1) + r.left()]);
        return out;
    }

    static Span inked(const std::vector<int>& profile)
    {
        const auto first = std::find_if(profile.begin(), profile.end(), [](int v) { return v != 0; });
        if (first == profile.end())
            return {};
        const auto last = std::find_if(profile.rbegin(), profile.rend(), [](int v) { return v != 0; });
        return {int(first - profile.begin()), int(profile.rend() - last)};
    }

    QRect inkBox(const QRect& cell) const
    {
        const Span ys = inked(rowInk(cell));
        if (ys.size() == 0)
            return {};
        const Span xs = inked(columnInk(cell));
        // +1 column: an edge is marked on its left pixel.
        return QRect(cell.left() + xs.start, cell.top() + ys.start,
                     std::min(xs.size() + 1, cell.width() - xs.start), ys.size());
    }

    // Blocks of `cell` in reading order; `columns` tells whether a vertical gutter was cut
    // anywhere inside (otherwise the caller reads the parts of its cell as one).
    QList<QRect> split(const QRect& cell, int depth, bool& columns)
    {
        const QRect box = inkBox(cell);
        if (box.isEmpty())
            return {};
        // Edges miss the flat tops of glyphs (the bar of a T): a line height of margin.
        const int margin = std::max(8, line_);
        const QList<QRect> whole{box.adjusted(-margin, -margin, margin, margin) & cell};
        if (depth > 32)
            return whole;

        // Columns: a blank gutter of two line heights through a box of several lines, with at
        // least five line heights of text on either side, so that a gutter of line numbers
        // stays with its lines while real columns and sidebars are read one after the other.
        Span gutter;
        if (box.height() >= 3 * line_)
            gutter = widestGap(columnInk(box), 5 * line_);
        if (gutter.size() < 2 * line_)
            gutter = {};
        // Rows: only at a band wider than the space between lines (a paragraph, a toolbar's
        // edge), never between the lines of one block, whose indents would look like gutters.
        Span band = widestGap(rowInk(box), 1);
        if (band.size() < std::max(2, gap_ * 3 / 2))
            band = {};
        if (gutter.size() == 0 && band.size() == 0)
            return whole;

        // The wider of the two is cut first: a toolbar above a sidebar is cut off before the
        // sidebar is, even when the toolbar's buttons leave a gutter of their own.
        if (gutter.size() >= band.size()) {
            const int mid = box.left() + (gutter.start + gutter.end) / 2;
            columns = true;
            bool ignored = false;
            // Parts span the whole cell, so that each keeps its margin.
            return split(QRect(QPoint(cell.left(), cell.top()), QPoint(mid - 1, cell.bottom())), depth + 1,
                         ignored) +
                   split(QRect(QPoint(mid, cell.top()), QPoint(cell.right(), cell.bottom())), depth + 1,
                         ignored);
        }
        // A part without columns is read as one with its neighbour, so lines keep their order.
        const int mid = box.top() + (band.start + band.end) / 2;
        bool upperColumns = false, lowerColumns = false;
        const QList<QRect> upper = split(
            QRect(QPoint(cell.left(), cell.top()), QPoint(cell.right(), mid - 1)), depth + 1, upperColumns);
        const QList<QRect> lower = split(QRect(QPoint(cell.left(), mid), QPoint(cell.right(), cell.bottom())),
                                         depth + 1, lowerColumns);
        if (!upperColumns && !lowerColumns)
            return whole;
        columns = true;
        return upper + lower;
    }

    int w_;
    int h_;
    int line_ = 16;
    int gap_ = 8;
    std::vector<uint16_t> down_;    // column x, rows above y
    std::vector<uint16_t> across_;  // row y, columns left of x
};

}  // namespace

QImage withoutRules(const QImage& page)
{
    if (page.isNull() || page.format() != QImage::Format_Grayscale8)
        return {};
    // A rule: at least this long, at most this thick; anything darker than this is on it.
    constexpr int kLong = 64, kThin = 3, kDark = 208;
    const int w = page.width(), h = page.height();
    const auto at = [w](int x, int y) { return std::size_t(y) * std::size_t(w) + std::size_t(x); };
    // Pixels on a long horizontal run, then those on a long vertical one; row by row, with the
    // length of the run each column is in, so that the image is walked in memory order.
    std::vector<uint8_t> across(std::size_t(w) * std::size_t(h), 0), down(across.size(), 0);
    std::vector<uint8_t> ruled(std::size_t(h), 0);  // rows with a pixel of either
    std::vector<int> run(std::size_t(w), 0);
    for (int y = 0; y <= h; ++y) {
        const uchar* row = y < h ? page.constScanLine(y) : nullptr;
        for (int x = 0; x < w; ++x) {
            if (row && row[x] < kDark) {
                ++run[std::size_t(x)];
                continue;
            }
            for (int k = y - run[std::size_t(x)]; run[std::size_t(x)] >= kLong && k < y; ++k) {
                down[at(x, k)] = 1;
                ruled[std::size_t(k)] = 1;
            }
            run[std::size_t(x)] = 0;
        }
        for (int x = 0; row && x < w;) {
            int end = x;
            while (end < w && row[end] < kDark)
                ++end;
            if (end - x >= kLong) {
                std::fill(across.begin() + std::ptrdiff_t(at(x, y)),
                          across.begin() + std::ptrdiff_t(at(end, y)), 1);
                ruled[std::size_t(y)] = 1;
            }
            x = std::max(end, x + 1);
        }
    }
    QImage out = page.copy();
    if (out.isNull())
        return {};
    // Only thin ones: a stack of more than kThin long runs is a bar or a block, kept as it is.
    // Rows without a rule are passed over (most of a screen).
    std::fill(run.begin(), run.end(), 0);
    bool open = false;  // a stack of rows with horizontal runs has not ended yet
    for (int y = 0; y <= h; ++y) {
        const bool marked = y < h && ruled[std::size_t(y)];
        if (!marked && !open)
            continue;
        open = false;
        for (int x = 0; x < w; ++x) {
            if (marked && across[at(x, y)]) {
                ++run[std::size_t(x)];
                open = true;
                continue;
            }
            for (int k = y - run[std::size_t(x)]; run[std::size_t(x)] <= kThin && k < y; ++k)
                out.scanLine(k)[x] = 255;
            run[std::size_t(x)] = 0;
        }
        if (!marked)
            continue;
        uchar* row = out.scanLine(y);
        for (int x = 0; x < w;) {
            int end = x;
            while (end < w && down[at(end, y)])
                ++end;
            if (end > x && end - x <= kThin)
                std::fill(row + x, row + end, uchar(255));
            x = std::max(end, x + 1);
        }
    }
    return out;
}

QList<QRect> textBlocks(const QImage& grey)
{
    if (grey.isNull() || grey.format() != QImage::Format_Grayscale8)
        return {};
    // The running sums take 5 bytes a pixel: beyond a 4K screen or so (long scrolling captures)
    // the page is read as one block.
    if (qint64(grey.width()) * grey.height() > 12'000'000 || grey.width() >= 65536 || grey.height() >= 65536)
        return {grey.rect()};
    return Splitter(grey).blocks();
}

}  // namespace kx::ocr
