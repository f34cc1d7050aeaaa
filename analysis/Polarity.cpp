#include "analysis/Polarity.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace kx::ocr {

namespace {

// The image is judged in tiles; a tile's ground is the commonest shade over the tile and this
// far around it (so that a tile inside a bold stroke still sees the ground beside it).
constexpr int kTile = 8;
constexpr int kReach = 4;
// A step from the ground of at least this much is ink.
constexpr int kInk = 32;
// Neighbouring tiles whose grounds differ by at most this much share a region (a gradient
// stays one region; a bar, a bubble or a window on a different ground does not).
constexpr int kJoin = 12;
// A region of fewer tiles is the inside of a thick stroke or a small chip, not a ground: it
// takes the ground around it.
constexpr int kMinTiles = 6;
// Text is stretched to full contrast, but a faint ground texture never is.
constexpr int kMinContrast = 48;
// A pixel this close to a region's ground is of that ground (the edge of a window reaching
// into a tile of the desktop around it).
constexpr int kSameGround = 8;

struct Tile {
    int ground = 255;
    int region = -1;
    int dark = 0;  // ink pixels darker than the ground, and the largest such step
    int darkStep = 0;
    int light = 0;
    int lightStep = 0;
    bool border = false;  // a neighbour, diagonal ones too, belongs to another region
};

struct Region {
    int tiles = 0;
    qint64 dark = 0;
    qint64 light = 0;
    bool inverted = false;
    double gain = 1;
};

class Grounds {
public:
    explicit Grounds(const QImage& grey)
        : grey_(grey),
          w_(grey.width()),
          h_(grey.height()),
          tw_((w_ + kTile - 1) / kTile),
          th_((h_ + kTile - 1) / kTile),
          tiles_(std::size_t(tw_) * std::size_t(th_))
    {
    }

    QImage run()
    {
        measureGrounds();
        findRegions();
        absorbSmallRegions();
        countInk();
        decide();
        return map();
    }

private:
    Tile& at(int tx, int ty) { return tiles_[std::size_t(ty) * std::size_t(tw_) + std::size_t(tx)]; }

    // The commonest shade, by the fullest pair of neighbouring 4-level bins (a shade on a bin
    // edge is not split), as the mean of the pixels in that pair.
    void measureGrounds()
    {
        for (int ty = 0; ty < th_; ++ty) {
            for (int tx = 0; tx < tw_; ++tx) {
                std::array<int, 64> count{};
                std::array<int, 64> sum{};
                const int x0 = std::max(0, tx * kTile - kReach), x1 = std::min(w_, (tx + 1) * kTile + kReach);
                const int y0 = std::max(0, ty * kTile - kReach), y1 = std::min(h_, (ty + 1) * kTile + kReach);
                for (int y = y0; y < y1; ++y) {
                    const uchar* row = grey_.constScanLine(y);
                    for (int x = x0; x < x1; ++x) {
                        ++count[row[x] >> 2];
                        sum[row[x] >> 2] += row[x];
                    }
                }
                int best = 0;
                for (int b = 1; b < 63; ++b)
                    if (count[b] + count[b + 1] > count[best] + count[best + 1])
                        best = b;
                const int n = count[best] + count[best + 1];
                at(tx, ty).ground = n > 0 ? (sum[best] + sum[best + 1] + n / 2) / n : 255;
            }
        }
    }

    void findRegions()
    {
        std::vector<int> stack;
        for (int start = 0; start < int(tiles_.size()); ++start) {
            if (tiles_[std::size_t(start)].region >= 0)
                continue;
            const int id = int(regions_.size());
            regions_.push_back({});
            tiles_[std::size_t(start)].region = id;
            stack.push_back(start);
            while (!stack.empty()) {
                const int i = stack.back();
                stack.pop_back();
                ++regions_[std::size_t(id)].tiles;
                const int tx = i % tw_, ty = i / tw_;
                const int g = tiles_[std::size_t(i)].ground;
                const auto visit = [&](int nx, int ny) {
                    if (nx < 0 || ny < 0 || nx >= tw_ || ny >= th_)
                        return;
                    Tile& n = at(nx, ny);
                    if (n.region < 0 && std::abs(n.ground - g) <= kJoin) {
                        n.region = id;
                        stack.push_back(ny * tw_ + nx);
                    }
                };
                visit(tx - 1, ty);
                visit(tx + 1, ty);
                visit(tx, ty - 1);
                visit(tx, ty + 1);
            }
        }
    }

    // Ring by ring, each tile of a small region joins the largest region beside it and takes
    // the ground of its neighbour there.
    void absorbSmallRegions()
    {
        for (int pass = 0; pass < 4; ++pass) {
            std::vector<std::pair<int, int>> moves;  // tile, neighbour tile it follows
            for (int i = 0; i < int(tiles_.size()); ++i) {
                const Tile& t = tiles_[std::size_t(i)];
                if (regions_[std::size_t(t.region)].tiles >= kMinTiles)
                    continue;
                const int tx = i % tw_, ty = i / tw_;
                int follow = -1, size = 0;
                const auto consider = [&](int nx, int ny) {
                    if (nx < 0 || ny < 0 || nx >= tw_ || ny >= th_)
                        return;
                    const int n = ny * tw_ + nx;
                    const int s = regions_[std::size_t(tiles_[std::size_t(n)].region)].tiles;
                    if (s >= kMinTiles && s > size) {
                        size = s;
                        follow = n;
                    }
                };
                consider(tx - 1, ty);
                consider(tx + 1, ty);
                consider(tx, ty - 1);
                consider(tx, ty + 1);
                if (follow >= 0)
                    moves.emplace_back(i, follow);
            }
            if (moves.empty())
                break;
            for (const auto& [i, n] : moves) {
                Tile& t = tiles_[std::size_t(i)];
                --regions_[std::size_t(t.region)].tiles;
                t.region = tiles_[std::size_t(n)].region;
                t.ground = tiles_[std::size_t(n)].ground;
                ++regions_[std::size_t(t.region)].tiles;
            }
        }
    }

    void countInk()
    {
        for (int ty = 0; ty < th_; ++ty) {
            for (int tx = 0; tx < tw_; ++tx) {
                Tile& t = at(tx, ty);
                for (int y = ty * kTile; y < std::min(h_, (ty + 1) * kTile); ++y) {
                    const uchar* row = grey_.constScanLine(y);
                    for (int x = tx * kTile; x < std::min(w_, (tx + 1) * kTile); ++x) {
                        const int d = int(row[x]) - t.ground;
                        if (d <= -kInk) {
                            ++t.dark;
                            t.darkStep = std::max(t.darkStep, -d);
                        } else if (d >= kInk) {
                            ++t.light;
                            t.lightStep = std::max(t.lightStep, d);
                        }
                    }
                }
                // Diagonal neighbours too: a corner of a bar reaches into a tile beside it.
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int nx = tx + dx, ny = ty + dy;
                        if (nx >= 0 && ny >= 0 && nx < tw_ && ny < th_ && at(nx, ny).region != t.region)
                            t.border = true;
                    }
                Region& r = regions_[std::size_t(t.region)];
                r.dark += t.dark;
                r.light += t.light;
            }
        }
    }

    // A region is turned over when more of its ink is lighter than its ground; its contrast
    // is the typical strongest step of its inked tiles.
    void decide()
    {
        std::vector<std::vector<int>> steps(regions_.size());
        for (Region& r : regions_)
            r.inverted = r.light > r.dark;
        for (const Tile& t : tiles_) {
            const Region& r = regions_[std::size_t(t.region)];
            const int step = r.inverted ? (t.light > 0 ? t.lightStep : 0) : (t.dark > 0 ? t.darkStep : 0);
            if (step > 0)
                steps[std::size_t(t.region)].push_back(step);
        }
        for (std::size_t i = 0; i < regions_.size(); ++i) {
            std::vector<int>& s = steps[i];
            int contrast = 255;
            if (!s.empty()) {
                std::nth_element(s.begin(), s.begin() + std::ptrdiff_t(s.size() / 2), s.end());
                contrast = s[s.size() / 2];
            }
            // The strongest steps of a tile are its glyphs' cores; anti-aliased edges stay grey.
            regions_[i].gain = 255.0 / std::max(double(kMinContrast), contrast * 0.85);
        }
    }

    Tile& tileOf(int x, int y) { return at(x / kTile, y / kTile); }

    // The edges between regions: pixels of a region's ground that reach into a tile of another
    // region, and the blend between the two grounds along a rounded or smoothed edge, are
    // followed pixel by pixel from the region they belong to. Glyphs near an edge stay: their
    // own ground lies between them and the other region.
    std::vector<uint8_t> edges()
    {
        std::vector<uint8_t> edge(std::size_t(w_) * std::size_t(h_), 0);
        std::vector<std::pair<int, int>> queue;  // pixel, ground it belongs to
        const auto index = [this](int x, int y) { return std::size_t(y) * std::size_t(w_) + std::size_t(x); };
        const uchar* bits = grey_.constBits();
        const qsizetype stride = grey_.bytesPerLine();
        const auto value = [bits, stride](int x, int y) { return int(bits[y * stride + x]); };
        const auto joins = [&](int x, int y, int ground) {
            const Tile& t = tileOf(x, y);
            const int v = value(x, y);
            if (std::abs(v - ground) <= kSameGround)
                return true;
            const bool between = (v - t.ground) * (v - ground) < 0;
            return between && std::abs(v - t.ground) > kInk / 2;
        };
        const auto reach = [&](int x, int y, int ground, int region) {
            if (x < 0 || y < 0 || x >= w_ || y >= h_ || edge[index(x, y)])
                return;
            const Tile& t = tileOf(x, y);
            if (t.region == region || !t.border || !joins(x, y, ground))
                return;
            edge[index(x, y)] = 1;
            queue.emplace_back(y * w_ + x, ground);
        };
        for (int ty = 0; ty < th_; ++ty) {
            for (int tx = 0; tx < tw_; ++tx) {
                const Tile& t = at(tx, ty);
                if (!t.border)
                    continue;
                // Seeds: this tile's ground pixels on its rim, spreading into the tiles around.
                for (int y = ty * kTile; y < std::min(h_, (ty + 1) * kTile); ++y) {
                    for (int x = tx * kTile; x < std::min(w_, (tx + 1) * kTile); ++x) {
                        const bool rim = x % kTile == 0 || y % kTile == 0 || x % kTile == kTile - 1 ||
                                         y % kTile == kTile - 1;
                        if (!rim || std::abs(value(x, y) - t.ground) > kSameGround)
                            continue;
                        reach(x - 1, y, t.ground, t.region);
                        reach(x + 1, y, t.ground, t.region);
                        reach(x, y - 1, t.ground, t.region);
                        reach(x, y + 1, t.ground, t.region);
                    }
                }
            }
        }
        while (!queue.empty()) {
            const auto [pos, ground] = queue.back();
            queue.pop_back();
            const int x = pos % w_, y = pos / w_;
            const int region = -1;  // the seed's region never holds a reached pixel
            reach(x - 1, y, ground, region);
            reach(x + 1, y, ground, region);
            reach(x, y - 1, ground, region);
            reach(x, y + 1, ground, region);
        }
        return edge;
    }

    QImage map()
    {
        QImage out(w_, h_, QImage::Format_Grayscale8);
        if (out.isNull())
            return {};
        const std::vector<uint8_t> edge = edges();
        // Each region's stretch as a table of the step from the ground.
        std::vector<std::array<uchar, 256>> stretch(regions_.size());
        for (std::size_t i = 0; i < regions_.size(); ++i)
            for (int d = 0; d < 256; ++d)
                stretch[i][std::size_t(d)] =
                    uchar(std::clamp(255 - int(std::lround(d * regions_[i].gain)), 0, 255));
        for (int y = 0; y < h_; ++y) {
            const uchar* in = grey_.constScanLine(y);
            uchar* row = out.scanLine(y);
            const int ty = y / kTile;
            for (int x = 0; x < w_; ++x) {
                const Tile& t = at(x / kTile, ty);
                const Region& r = regions_[std::size_t(t.region)];
                const int v = in[x];
                const int d = r.inverted ? v - t.ground : t.ground - v;
                if (d <= 0 || edge[std::size_t(y) * std::size_t(w_) + std::size_t(x)]) {
                    row[x] = 255;
                    continue;
                }
                row[x] = stretch[std::size_t(t.region)][std::size_t(d)];
            }
        }
        return out;
    }

    const QImage& grey_;
    int w_, h_, tw_, th_;
    std::vector<Tile> tiles_;
    std::vector<Region> regions_;
};

}  // namespace

QImage darkOnWhite(const QImage& grey)
{
    if (grey.isNull() || grey.format() != QImage::Format_Grayscale8)
        return {};
    return Grounds(grey).run();
}

}  // namespace kx::ocr
