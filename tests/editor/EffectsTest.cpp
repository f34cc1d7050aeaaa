// Blur and pixelation kernels and the byte-bounded effect cache.
#include "editor/EffectCache.h"
#include "editor/ImageEffects.h"

#include <gtest/gtest.h>
#include <QPainter>
#include <QRandomGenerator>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

using namespace kx;

namespace {

QImage uniform(int w, int h, QColor c)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(c);
    return img;
}

QImage noise(int w, int h, quint32 seed)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    QRandomGenerator rng(seed);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < w; ++x)
            row[x] =
                qPremultiply(qRgba(rng.bounded(256), rng.bounded(256), rng.bounded(256), rng.bounded(256)));
    }
    return img;
}

int maxDeviation(const QImage& img, QRgb expected)
{
    int worst = 0;
    for (int y = 0; y < img.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = row[x];
            worst =
                std::max({worst, std::abs(qRed(p) - qRed(expected)), std::abs(qGreen(p) - qGreen(expected)),
                          std::abs(qBlue(p) - qBlue(expected)), std::abs(qAlpha(p) - qAlpha(expected))});
        }
    }
    return worst;
}

// Standard deviation of the alpha profile along the middle row.
double spreadX(const QImage& out)
{
    double sum = 0, sum2 = 0, mass = 0;
    const auto* row = reinterpret_cast<const QRgb*>(out.constScanLine(out.height() / 2));
    for (int x = 0; x < out.width(); ++x) {
        const double a = qAlpha(row[x]);
        sum += a * x;
        sum2 += a * x * x;
        mass += a;
    }
    const double mean = sum / mass;
    return std::sqrt(sum2 / mass - mean * mean);
}

TEST(BlurTest, uniformImageStaysUniformUpToTheCorners)
{
    const QColor c = QColor::fromRgb(90, 160, 30, 200);
    const QImage img = uniform(300, 200, c);
    const QRgb expected = img.pixel(0, 0);
    for (double sigma : {1.0, 3.0, 12.0, 40.0, 250.0}) {
        // The whole image, and a patch that runs into the corner: edge pixels repeat outwards.
        const QImage whole = blurred(img, img.rect(), sigma);
        ASSERT_EQ(whole.size(), img.size());
        EXPECT_EQ(maxDeviation(whole, expected), 0) << "sigma " << sigma;
        const QImage corner = blurred(img, QRect(250, 150, 50, 50), sigma);
        EXPECT_EQ(maxDeviation(corner, expected), 0) << "sigma " << sigma;
    }
}

TEST(BlurTest, spreadMatchesTheRequestedSigma)
{
    for (double sigma : {2.0, 5.0, 16.0, 60.0}) {
        const int size = int(sigma * 12) + 41;
        // A bright stripe wide enough to survive 8 bits after spreading; its own
        // variance (n^2 - 1) / 12 is taken off the measure.
        const int n = std::max(5, int(sigma / 2) | 1);
        QImage stripe = uniform(size, 64, Qt::transparent);
        QPainter(&stripe).fillRect(size / 2 - n / 2, 0, n, 64, Qt::white);
        const QImage out = blurred(stripe, stripe.rect(), sigma);
        const double got = std::sqrt(std::max(0.0, std::pow(spreadX(out), 2) - (double(n) * n - 1) / 12));
        EXPECT_NEAR(got, sigma, 0.06 * sigma + 0.3) << "sigma " << sigma;
    }
}

// Three box passes each way, one channel at a time, over the area grown by their reach (edge
// pixels repeat outwards), each pass rounded to 8 bits: what the vectorised kernels compute.
QImage referenceBlur(const QImage& src, const QRect& area, double sigma)
{
    int widths[3];
    boxWidthsForSigma(sigma, widths);
    const int m = widths[0] / 2 + widths[1] / 2 + widths[2] / 2;
    int w = area.width() + 2 * m, h = area.height() + 2 * m;
    std::vector<QRgb> px(size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            px[size_t(y * w + x)] = src.pixel(std::clamp(area.x() - m + x, 0, src.width() - 1),
                                              std::clamp(area.y() - m + y, 0, src.height() - 1));
    for (int pass = 0; pass < 6; ++pass) {
        const int n = widths[pass % 3], dx = pass < 3 ? 1 : 0, dy = 1 - dx;
        const uint32_t inv = (65536 + n / 2) / n;
        const int nw = w - dx * (n - 1), nh = h - dy * (n - 1);
        std::vector<QRgb> out(size_t(nw) * nh, 0);
        for (int y = 0; y < nh; ++y)
            for (int x = 0; x < nw; ++x)
                for (int shift = 0; shift < 32; shift += 8) {
                    uint32_t sum = 0;
                    for (int i = 0; i < n; ++i)
                        sum += (px[size_t((y + dy * i) * w + x + dx * i)] >> shift) & 0xff;
                    out[size_t(y * nw + x)] |= ((sum * inv + 32768) >> 16) << shift;
                }
        px.swap(out);
        w = nw;
        h = nh;
    }
    QImage ref(area.size(), QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y)
        std::copy_n(px.data() + size_t(y) * w, w, reinterpret_cast<QRgb*>(ref.scanLine(y)));
    return ref;
}

TEST(BlurTest, equalsPlainBoxPassesAtOddSizesAndEdgesAlsoForAlphaMasks)
{
    const QImage img = noise(203, 77, 3);
    const QImage mask = img.convertToFormat(QImage::Format_Alpha8);
    for (double sigma : {0.8, 2.5, 4.0, 7.5})
        for (const QRect area : {img.rect(), QRect(1, 2, 37, 61), QRect(150, 40, 53, 37),
                                 QRect(-5, 70, 30, 20), QRect(60, 20, 70, 30)}) {
            SCOPED_TRACE(testing::Message()
                         << "sigma " << sigma << " x " << area.x() << " w " << area.width());
            const QImage ref = referenceBlur(img, area, sigma);
            EXPECT_EQ(blurred(img, area, sigma), ref);
            const QImage alpha = blurred(mask, area, sigma);
            ASSERT_EQ(alpha.format(), QImage::Format_Alpha8);
            EXPECT_EQ(alpha, ref.convertToFormat(QImage::Format_Alpha8));
        }
}

TEST(BlurTest, strongBlurAtTheEdgesEqualsBlurOfTheImagePaddedWithItsEdges)
{
    const QImage img = noise(203, 77, 5);
    const int pad = 300;
    QImage padded(img.width() + 2 * pad, img.height() + 2 * pad, img.format());
    for (int y = 0; y < padded.height(); ++y)
        for (int x = 0; x < padded.width(); ++x)
            padded.setPixel(x, y, img.pixel(std::clamp(x - pad, 0, 202), std::clamp(y - pad, 0, 76)));
    for (double sigma : {30.0, 90.0})
        for (const QRect area : {QRect(-3, 5, 60, 80), QRect(170, 0, 33, 40)})
            EXPECT_EQ(blurred(img, area, sigma), blurred(padded, area.translated(pad, pad), sigma)) << sigma;
}

TEST(BlurTest, strongBlurKeepsALinearRampAwayFromItsEnds)
{
    // A symmetric kernel leaves a ramp as it is: neither darker nor shifted, whatever the
    // reduction and enlargement do in between.
    QImage ramp(1024, 40, QImage::Format_ARGB32_Premultiplied);
    for (int x = 0; x < 1024; ++x)
        for (int y = 0; y < 40; ++y)
            ramp.setPixel(x, y, qRgb(x / 4, 255 - x / 4, 128));
    for (double sigma : {20.0, 50.0}) {
        const QImage out = blurred(ramp, QRect(400, 10, 224, 20), sigma);
        double drift = 0;
        for (int x = 0; x < 224; ++x) {
            const QRgb p = out.pixel(x, 10), q = ramp.pixel(400 + x, 10);
            EXPECT_LE(std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)), 2) << x;
            drift += qRed(p) - qRed(q) + qGreen(p) - qGreen(q);
        }
        EXPECT_LT(std::abs(drift / 448), 0.1) << sigma;
    }
}

TEST(PixelateTest, blocksStartAtTheGridOriginAndHoldTheirAverage)
{
    // Columns 0..9 hold x * 10 in red; rows are equal.
    QImage img(40, 40, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x)
            img.setPixel(x, y, qRgb(x * 6, y * 6, 0));
    // Area (5, 5, 20, 20), grid through its bottom-left corner (5, 25), blocks of 4.
    const QImage out = pixelated(img, QRect(5, 5, 20, 20), 4, QPoint(5, 25));
    ASSERT_EQ(out.size(), QSize(20, 20));
    // The first block column covers x 5..8: average red (5+6+7+8)/4 * 6 = 39.
    EXPECT_EQ(qRed(out.pixel(0, 19)), 39);
    EXPECT_EQ(qRed(out.pixel(3, 19)), 39);
    EXPECT_EQ(qRed(out.pixel(4, 19)), 63);
    // Rows are counted upwards from y = 25: the bottom block holds rows 21..24.
    EXPECT_EQ(qGreen(out.pixel(0, 19)), 135);
    EXPECT_EQ(qGreen(out.pixel(0, 16)), 135);
    EXPECT_EQ(qGreen(out.pixel(0, 15)), 111);
}

TEST(PixelateTest, partialBlocksAverageTheirWholeBlockAndEdgesClamp)
{
    QImage img(30, 30, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x)
            img.setPixel(x, y, qRgb(x * 8, 0, 0));
    // A block of 8 from x = 26 reaches beyond the image: columns 30..33 repeat column 29.
    const QImage out = pixelated(img, QRect(26, 0, 4, 8), 8, QPoint(26, 8));
    const int expected = (26 + 27 + 28 + 29 * 5) * 8 / 8;
    EXPECT_EQ(qRed(out.pixel(0, 0)), expected);
    // A patch narrower than its block still takes the block's average, not its own.
    const QImage narrow = pixelated(img, QRect(0, 0, 2, 2), 6, QPoint(0, 2));
    EXPECT_EQ(qRed(narrow.pixel(0, 0)), (0 + 1 + 2 + 3 + 4 + 5) * 8 / 6);
}

// Scratch buffers are per thread: concurrent blurs of mixed sizes equal their solo results.
TEST(BlurTest, concurrentBlursOfMixedSizesMatchTheirSoloResults)
{
    const QImage src = noise(700, 500, 9);
    const std::vector<std::pair<QRect, double>> jobs{{{0, 0, 700, 500}, 4},
                                                     {{50, 40, 90, 310}, 2},
                                                     {{10, 10, 640, 480}, 30},
                                                     {{300, 0, 400, 60}, -9},
                                                     {{33, 71, 111, 222}, 1.5}};
    auto run = [&](size_t i) {
        const auto& [area, s] = jobs[i];
        return s < 0 ? pixelated(src, area, -s, {}) : blurred(src, area, s);
    };
    std::vector<QImage> solo;
    for (size_t i = 0; i < jobs.size(); ++i)
        solo.push_back(run(i));
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (size_t t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (size_t round = 0; round < 12; ++round)
                mismatches += run((t + round) % jobs.size()) != solo[(t + round) % jobs.size()];
        });
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(mismatches.load(), 0);
}

TEST(EffectCacheTest, computesOncePerKeyAndNewVersionRecomputes)
{
    EffectCache cache;
    const QImage base = noise(200, 100, 1);
    const QImage a = cache.patch(ToolKind::blur, QRectF(10.4, 10, 50, 40), 6, base);
    ASSERT_FALSE(a.isNull());
    EXPECT_EQ(a.size(), QSize(51, 40)) << "whole pixels around the rectangle";
    const QImage b = cache.patch(ToolKind::blur, QRectF(10.4, 10, 50, 40), 6, base);
    EXPECT_EQ(a.cacheKey(), b.cacheKey());
    EXPECT_EQ(cache.computed(), 1);
    cache.patch(ToolKind::pixelate, QRectF(10.4, 10, 50, 40), 6, base);
    cache.patch(ToolKind::blur, QRectF(10.4, 10, 50, 40), 7, base);
    EXPECT_EQ(cache.computed(), 3);
    cache.bumpVersion();
    cache.patch(ToolKind::blur, QRectF(10.4, 10, 50, 40), 6, base);
    EXPECT_EQ(cache.computed(), 4);
}

TEST(EffectCacheTest, patchesAreClippedToTheImage)
{
    EffectCache cache;
    const QImage base = noise(100, 80, 2);
    EXPECT_TRUE(cache.patch(ToolKind::blur, QRectF(200, 10, 30, 30), 5, base).isNull());
    EXPECT_TRUE(cache.patch(ToolKind::rect, QRectF(0, 0, 30, 30), 5, base).isNull());
    EXPECT_EQ(cache.patch(ToolKind::pixelate, QRectF(-20, 60, 50, 50), 5, base).size(), QSize(30, 20));
    EXPECT_EQ(EffectCache::clippedRect(QRectF(-20, 60, 50, 50), base.size()), QRect(0, 60, 30, 20));
    EXPECT_TRUE(EffectCache::clippedRect(QRectF(0, 0, qQNaN(), 5), base.size()).isEmpty());
}

TEST(EffectCacheTest, evictsLeastRecentlyUsedByBytes)
{
    const QImage base = noise(400, 400, 5);
    const qint64 patchBytes = 100 * 100 * 4;
    EffectCache cache(3 * patchBytes);
    for (int i = 0; i < 3; ++i)
        cache.patch(ToolKind::pixelate, QRectF(i * 100, 0, 100, 100), 8, base);
    EXPECT_EQ(cache.bytes(), 3 * patchBytes);
    cache.patch(ToolKind::pixelate, QRectF(0, 0, 100, 100), 8, base);    // touch the first
    cache.patch(ToolKind::pixelate, QRectF(300, 0, 100, 100), 8, base);  // evicts the second
    EXPECT_EQ(cache.count(), 3);
    EXPECT_LE(cache.bytes(), cache.maxBytes());
    const int before = cache.computed();
    cache.patch(ToolKind::pixelate, QRectF(0, 0, 100, 100), 8, base);
    EXPECT_EQ(cache.computed(), before) << "the recently used patch stayed";
    cache.patch(ToolKind::pixelate, QRectF(100, 0, 100, 100), 8, base);
    EXPECT_EQ(cache.computed(), before + 1) << "the least recently used patch went";

    // A slider sweep over a large area never grows the cache past its budget.
    for (int s = 2; s < 40; ++s)
        cache.patch(ToolKind::blur, QRectF(0, 0, 300, 300), s, base);
    EXPECT_LE(cache.bytes(), cache.maxBytes());
    // A patch larger than the whole budget is still returned, just not kept.
    EXPECT_FALSE(cache.patch(ToolKind::blur, QRectF(0, 0, 400, 400), 3, base).isNull());
    EXPECT_LE(cache.bytes(), cache.maxBytes());
}

}  // namespace
