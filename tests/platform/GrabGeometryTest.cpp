// Pixel geometry of grabs, the pairing of Qt screens with X monitors, pixel conversion, and the
// freeze over every screen (with a fake screen source).
#include "platform/CaptureError.h"
#include "platform/ScreenCapturer.h"
#include "platform/ScreenPlacement.h"
#include "platform/XConnection.h"

#include "fakes/FakeScreenSource.h"

#include <gtest/gtest.h>
#include <QGuiApplication>
#include <QScreen>
#include <vector>

namespace kx {
namespace {

TEST(GrabGeometry, RectanglesRoundHalvesAwayFromZeroAndKeepOnePixel)
{
    // 200.5 and 101.0 pixels: the half goes up.
    EXPECT_EQ(ScreenCapturer::pixelRect(QRectF(0, 0, 100.25, 50.5), 2.0).size(), QSize(201, 101));
    EXPECT_EQ(ScreenCapturer::pixelRect(QRectF(0, 0, 100.25, 50.5), 1.0).size(), QSize(100, 51));
    EXPECT_EQ(ScreenCapturer::pixelRect(QRectF(10.25, 20.75, 5, 5), 2.0).topLeft(), QPoint(21, 42));
    // Smaller than a pixel still asks for one.
    EXPECT_EQ(ScreenCapturer::pixelRect(QRectF(3, 3, 0.2, 0.1), 1.0).size(), QSize(1, 1));
    EXPECT_EQ(ScreenCapturer::pixelRect(QRectF(3, 3, 0, 0), 2.0).size(), QSize(1, 1));
}

TEST(GrabGeometry, PlacementMapsPointsToRootPixelsAndBack)
{
    ScreenPlacement p;
    p.logical = QRect(1280, 0, 960, 540);
    p.native = QRect(1280, 0, 1920, 1080);
    p.dpr = 2.0;
    EXPECT_EQ(p.toNative(QPointF(1280 + 100, 50)), QPointF(1280 + 200, 100));
    EXPECT_EQ(p.toLogical(QPointF(1280 + 200, 100)), QPointF(1280 + 100, 50));
    EXPECT_EQ(p.nativeRectOf(QRectF(10, 10, 100.25, 50.5)), QRect(1280 + 20, 20, 201, 101));
}

TEST(GrabGeometry, QtScreensPairWithMonitorsByNameAndSize)
{
    const QList<NativeOutput> outputs{
        {0, "DP-1", QRect(0, 0, 2560, 1440)},
        {0, "HDMI-1", QRect(2560, 0, 1920, 1080)},
        {1, "screen", QRect(0, 0, 1280, 1024)},
    };
    const QList<QtScreenFacts> screens{
        {"HDMI-1", QRect(2560, 0, 1920, 1080), 1.0},
        {"DP-1", QRect(0, 0, 1280, 720), 2.0},
        {"screen", QRect(0, 0, 1280, 1024), 1.0},
        {"unknown", QRect(5000, 0, 800, 600), 1.5},
    };
    const QList<ScreenPlacement> placed = placeScreens(screens, outputs);
    ASSERT_EQ(placed.size(), 4);
    EXPECT_EQ(placed[0].native, QRect(2560, 0, 1920, 1080));
    EXPECT_EQ(placed[1].native, QRect(0, 0, 2560, 1440));
    EXPECT_EQ(placed[1].dpr, 2.0);
    EXPECT_EQ(placed[2].xScreen, 1);
    // No monitor of that name: the geometry scaled by the ratio, on the first X screen.
    EXPECT_EQ(placed[3].xScreen, 0);
    EXPECT_EQ(placed[3].native, QRect(5000, 0, 1200, 900));
}

TEST(GrabGeometry, ZPixmapOfEitherByteOrderBecomesOpaqueArgb)
{
    // Two pixels: red and blue, padding byte zero, as a little- and a big-endian server sends them.
    const uchar lsb[] = {0x00, 0x00, 0xff, 0x00, 0xff, 0x00, 0x00, 0x00};
    const uchar msb[] = {0x00, 0xff, 0x00, 0x00, 0x00, 0x00, 0x00, 0xff};
    for (const auto& [data, lsbFirst] : {std::pair{lsb, true}, std::pair{msb, false}}) {
        const QImage img = imageFromZPixmap(data, 2, 1, 8, lsbFirst);
        ASSERT_EQ(img.size(), QSize(2, 1));
        EXPECT_EQ(img.pixel(0, 0), qRgb(255, 0, 0)) << lsbFirst;
        EXPECT_EQ(img.pixel(1, 0), qRgb(0, 0, 255)) << lsbFirst;
    }
}

// Rows wider than the four-pixel steps, with a tail, padded rows and a junk pad byte: every
// pixel comes out with its own colour and opaque, in either byte order.
TEST(GrabGeometry, WideZPixmapRowsKeepEveryPixel)
{
    const int width = 13, height = 3, stride = width * 4 + 12;
    const auto colour = [](int x, int y) { return qRgb(x * 19, y * 71 + x, 255 - x * 7); };
    for (const bool lsbFirst : {true, false}) {
        std::vector<uchar> data(size_t(stride) * height, 0x5a);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const QRgb c = colour(x, y);
                const uchar bytes[4] = {uchar(qBlue(c)), uchar(qGreen(c)), uchar(qRed(c)), uchar(0x13)};
                for (int i = 0; i < 4; ++i)
                    data[size_t(y * stride + x * 4 + i)] = bytes[lsbFirst ? i : 3 - i];
            }
        }
        const QImage img = imageFromZPixmap(data.data(), width, height, stride, lsbFirst);
        ASSERT_EQ(img.size(), QSize(width, height));
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                EXPECT_EQ(img.pixel(x, y), colour(x, y)) << x << "," << y << " lsb " << lsbFirst;
    }
}

TEST(GrabGeometry, CropOfAFrozenDisplayTakesThePixelRectClippedToTheImage)
{
    // Each pixel carries its own coordinates, so the crop's origin can be read off it.
    QImage frozen(600, 400, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < frozen.height(); ++y) {
        for (int x = 0; x < frozen.width(); ++x)
            frozen.setPixel(x, y, qRgb(x % 256, y % 256, x / 256 * 16 + y / 256));
    }
    struct Row {
        double scale;
        QRectF points;
        QRect pixels;  // none: nothing left
    };
    const QList<Row> rows{
        {1.0, {10, 20, 30, 40}, {10, 20, 30, 40}},
        {1.5, {10, 20, 30, 40}, {15, 30, 45, 60}},
        {1.5, {10.5, 0.25, 3, 1}, {16, 0, 5, 2}},  // 15.75 and 0.375 round, 4.5 and 1.5 round up
        {2.0, {10.25, 20.75, 5, 5}, {21, 42, 10, 10}},
        {2.0, {250, 150, 100, 100}, {500, 300, 100, 100}},  // clipped at the right and bottom edges
        {2.0, {-10, -10, 20, 20}, {0, 0, 20, 20}},          // and at the left and top
        {1.5, {500, 10, 20, 20}, {}},
        {2.0, {10, 10, 0.2, 0.2}, {}},  // a sliver gives nothing
        {2.0, {10.2, 10.2, 0.3, 0.3}, {20, 20, 1, 1}},
    };
    const QDateTime when(QDate(2026, 12, 7), QTime(1, 2, 3), Qt::UTC);
    for (const Row& r : rows) {
        const auto c = ScreenCapturer::crop(frozen, r.scale, r.points, SourceKind::window, when);
        ASSERT_EQ(c.has_value(), !r.pixels.isEmpty()) << r.scale;
        if (!c)
            continue;
        EXPECT_EQ(c->image.size(), r.pixels.size()) << r.scale;
        EXPECT_EQ(c->image.pixel(0, 0), frozen.pixel(r.pixels.topLeft())) << r.scale;
        EXPECT_EQ(c->scale, r.scale);
        EXPECT_EQ(c->kind, SourceKind::window);
        EXPECT_EQ(c->date, when);
    }
}

class FreezeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QGuiApplication::screens().size() < 2)
            GTEST_SKIP() << "needs the two-screen offscreen configuration";
        ScreenCapturer::setSource(&fake);
    }
    void TearDown() override { ScreenCapturer::setSource(nullptr); }
    test::FakeScreenSource fake;
};

TEST_F(FreezeTest, OneImagePerScreenInScreenOrder)
{
    const auto frozen = ScreenCapturer::freezeAllScreens();
    ASSERT_TRUE(frozen);
    const QList<QScreen*> screens = QGuiApplication::screens();
    ASSERT_EQ(frozen->size(), screens.size());
    for (int i = 0; i < screens.size(); ++i) {
        EXPECT_EQ((*frozen)[i].screen, screens[i]);
        EXPECT_EQ((*frozen)[i].scale, screens[i]->devicePixelRatio());
        EXPECT_EQ((*frozen)[i].image.size(), screens[i]->geometry().size() * screens[i]->devicePixelRatio());
        // Whole screens, without the pointer, with Kaptorix's own windows in the picture.
        EXPECT_FALSE(fake.calls[i].rect || fake.calls[i].showCursor || fake.calls[i].excludeOwnApp);
    }
}

TEST_F(FreezeTest, FailureOfTheSecondScreenFailsTheWholeFreeze)
{
    fake.failOnCall = 1;
    const auto frozen = ScreenCapturer::freezeAllScreens();
    ASSERT_FALSE(frozen);
    EXPECT_EQ(frozen.error().kind(), CaptureError::Kind::noDisplay);
    EXPECT_EQ(fake.calls.size(), 2);
}

}  // namespace
}  // namespace kx
