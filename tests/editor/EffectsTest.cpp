// Blur and pixelation kernels and the byte-bounded effect cache.
#include "editor/EffectCache.h"
#include "editor/ImageEffects.h"

#include <gtest/gtest.h>
#include <QPainter>
#include <QRandomGenerator>
#include <atomic>
#include <cmath>
#include <thread>

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

TEST(BlurTest, staysPremultipliedAndKeepsTransparency)
{
    const QImage img = noise(120, 90, 7);
    for (double sigma : {2.0, 30.0}) {
        const QImage out = blurred(img, QRect(10, 10, 100, 70), sigma);
        for (int y = 0; y < out.height(); ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(out.constScanLine(y));
            for (int x = 0; x < out.width(); ++x) {
                const QRgb p = row[x];
                ASSERT_LE(qRed(p), qAlpha(p));
                ASSERT_LE(qGreen(p), qAlpha(p));
                ASSERT_LE(qBlue(p), qAlpha(p));
            }
        }
    }
    const QImage clear = blurred(uniform(64, 64, Qt::transparent), QRect(0, 0, 64, 64), 9);
    EXPECT_EQ(maxDeviation(clear, 0), 0);
}

TEST(BlurTest, patchEqualsTheSameAreaOfAWholeImageBlur)
{
    // Reading around the patch: a patch must not show a seam at its own border.
    const QImage img = noise(200, 160, 3);
    const QImage whole = blurred(img, img.rect(), 4);
    const QImage part = blurred(img, QRect(60, 50, 70, 40), 4);
    EXPECT_EQ(part, whole.copy(60, 50, 70, 40));
}

TEST(BlurTest, alphaMaskBlurKeepsItsFormat)
{
    QImage mask(80, 80, QImage::Format_Alpha8);
    mask.fill(0);
    QPainter(&mask).fillRect(30, 30, 20, 20, Qt::black);
    const QImage out = blurred(mask, mask.rect(), 6);
    EXPECT_EQ(out.format(), QImage::Format_Alpha8);
    EXPECT_GT(out.pixelColor(25, 40).alpha(), 0);
    EXPECT_LT(out.pixelColor(40, 40).alpha(), 255);
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
