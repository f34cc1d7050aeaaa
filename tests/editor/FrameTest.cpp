// Frame geometry, edge generators and the framed output's pixel rules.
#include "EditorTestPages.h"
#include "editor/BeautifySettings.h"
#include "editor/EdgeShape.h"
#include "editor/Exporter.h"

#include <gtest/gtest.h>
#include <limits>

using namespace kx;
using namespace kx::test;

namespace {

using Edge = BeautifySettings::Edge;
using Background = BeautifySettings::Background;

BeautifySettings settings(Edge edge, Background background = Background::ocean)
{
    BeautifySettings s;
    s.enabled = true;
    s.padding = 64;
    s.edge = edge;
    s.background = background;
    return s;
}

TEST(FrameLayoutTest, geometryTable)
{
    const QSize image(1000, 600);
    struct Row {
        Edge edge;
        QSize canvas;
        QPointF origin;
    };
    const Row rows[] = {
        {Edge::none, {1256, 856}, {128, 128}},   {Edge::torn, {1256, 856}, {128, 128}},
        {Edge::burnt, {1256, 856}, {128, 128}},  {Edge::zigzag, {1256, 856}, {128, 128}},
        {Edge::stamp, {1320, 920}, {160, 160}},  {Edge::polaroid, {1312, 984}, {156, 156}},
        {Edge::window, {1256, 920}, {128, 192}},
    };
    for (const Row& r : rows) {
        const FrameLayout f = frameLayout(image, settings(r.edge), 2);
        EXPECT_EQ(f.canvas, r.canvas) << rawValue(r.edge).toStdString();
        EXPECT_EQ(f.origin(), r.origin) << rawValue(r.edge).toStdString();
        EXPECT_EQ(f.image.size(), QSizeF(image));
    }
    const FrameLayout polaroid = frameLayout(image, settings(Edge::polaroid), 2);
    EXPECT_DOUBLE_EQ(polaroid.bottom, 3.6 * polaroid.side);
    EXPECT_DOUBLE_EQ(polaroid.frame.height(), 600 + 28 + 3.6 * 28);
    // A larger image: stamp inset from the image, not the minimum.
    EXPECT_DOUBLE_EQ(frameLayout(QSize(2000, 1000), settings(Edge::stamp), 1).side, 50);
    // Padding rounds half away from zero.
    BeautifySettings half = settings(Edge::none);
    half.padding = 10.25;
    EXPECT_EQ(frameLayout(image, half, 2).pad, 21);
}

TEST(BeautifyTest, disabledReturnsTheVeryImage)
{
    const QImage page = screenshot({50, 40});
    BeautifySettings off = settings(Edge::burnt);
    off.enabled = false;
    EXPECT_EQ(Exporter::beautify(page, off, 2).cacheKey(), page.cacheKey());
}

TEST(BeautifyTest, transparentMarginKeepsOnlyTheShadow)
{
    const QImage page = screenshot({200, 120});
    BeautifySettings s = settings(Edge::none, Background::transparent);
    s.padding = 40;
    const QImage out = Exporter::beautify(page, s, 1);
    ASSERT_EQ(out.size(), QSize(280, 200));
    EXPECT_EQ(out.pixelColor(2, 2).alpha(), 0);
    EXPECT_EQ(out.pixelColor(277, 2).alpha(), 0);
    EXPECT_GT(out.pixelColor(140, 165).alpha(), 20) << "the shadow falls below the frame";
    EXPECT_EQ(out.pixelColor(140, 100), page.pixelColor(100, 60)) << "the image sits unscaled at the padding";
    s.shadow = false;
    EXPECT_EQ(Exporter::beautify(page, s, 1).pixelColor(140, 165).alpha(), 0);
}

TEST(BeautifyTest, randomEdgesFollowTheSeed)
{
    const QImage page = screenshot({160, 100});
    for (Edge e : {Edge::torn, Edge::burnt}) {
        BeautifySettings s = settings(e);
        const QImage a = Exporter::beautify(page, s, 1), b = Exporter::beautify(page, s, 1);
        EXPECT_EQ(a, b) << "same seed, same edge";
        s.seed = 8;
        EXPECT_NE(Exporter::beautify(page, s, 1), a) << "new seed, new edge";
    }
    // The torn rim lies outside the cut image; the window's title bar above the image.
    const QRectF r(0, 0, 400, 300);
    const EdgeShape::Torn t = EdgeShape::torn(r, 1, 1, 7);
    EXPECT_TRUE(t.rim.boundingRect().contains(t.image.boundingRect().adjusted(1, 1, -1, -1)));
    const QImage win = Exporter::beautify(page, settings(Edge::window), 2);
    const QImage clean = Exporter::beautify(page, settings(Edge::none), 2);
    EXPECT_EQ(win.height() - clean.height(), 64);
}

TEST(EdgeShapeTest, noiseIsSmoothBoundedAndSeeded)
{
    for (double x = -5; x < 5; x += 0.173) {
        const double v = EdgeShape::value(x, 7);
        EXPECT_GE(v, 0);
        EXPECT_LE(v, 1);
        EXPECT_LT(std::abs(EdgeShape::value(x + 0.001, 7) - v), 0.01);
    }
    EXPECT_DOUBLE_EQ(EdgeShape::value(3, 7), EdgeShape::value(3, 7));
    EXPECT_NE(EdgeShape::value(3, 7), EdgeShape::value(3, 8));
    // Wrapping seeds are fine.
    EXPECT_GE(EdgeShape::layered(std::numeric_limits<quint64>::max(), 1.5), 0);
}

TEST(EdgeShapeTest, stampBitesAndZigzagDepth)
{
    const QRectF r(0, 0, 270, 270);
    const QPainterPath stamp = EdgeShape::stamp(r, 10);
    // q = 10 notches per side, 11 points each.
    EXPECT_EQ(stamp.elementCount(), 4 * 10 * 11 + 1);
    EXPECT_FALSE(stamp.contains(QPointF(13.5, 268))) << "inside the first bite of the bottom edge";
    EXPECT_TRUE(stamp.contains(QPointF(27, 268))) << "the straight part between bites";
    EXPECT_FALSE(stamp.contains(QPointF(1, 269))) << "corners are cut";
    const QPainterPath zig = EdgeShape::zigzag(r, 1, 1);
    EXPECT_TRUE(zig.contains(QPointF(135, 135)));
    EXPECT_FALSE(zig.contains(QPointF(0.5, 135))) << "depth 7 at a whole period";
    EXPECT_TRUE(zig.contains(QPointF(8, 135)));
}

TEST(EdgeShapeTest, degenerateSizesNeverStallOrDivide)
{
    const QImage page = screenshot({120, 80});
    const double odd[] = {
        0.0,    -3.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
        1e-300, 1e12};
    for (Edge e : allCases<Edge>()) {
        for (double v : odd) {
            BeautifySettings s = settings(e);
            s.edgeSize = v;
            const QImage edge = Exporter::beautify(page, s, 1);
            EXPECT_FALSE(edge.isNull());
            s = settings(e);
            s.padding = v;
            s.cornerRadius = v;
            const QImage padded = Exporter::beautify(page, s, v);
            EXPECT_FALSE(padded.isNull());
            EXPECT_GE(padded.width(), page.width());
        }
    }
    for (double v : odd) {
        EXPECT_FALSE(EdgeShape::zigzag(QRectF(0, 0, 100, 100), v, v).isEmpty());
        EXPECT_FALSE(EdgeShape::stamp(QRectF(0, 0, 100, 100), v).isEmpty());
        EXPECT_FALSE(EdgeShape::burnt(QRectF(0, 0, 100, 100), v, 1).isEmpty());
        EXPECT_LE(EdgeShape::torn(QRectF(0, 0, 1e9, 100), v, v, 1).image.elementCount(),
                  4 * (EdgeShape::kMaxSamplesPerSide + 1));
    }
}

TEST(BeautifyTest, tallImagesKeepTheirPadding)
{
    // Far past 32767 px (the old 16-bit painter limit): backdrop and image are still drawn there.
    QImage tall(40, 100'000, QImage::Format_ARGB32_Premultiplied);
    tall.fill(Qt::red);
    const QImage out = Exporter::beautify(tall, settings(Edge::none), 1);
    ASSERT_EQ(out.size(), QSize(168, 100'128));
    EXPECT_EQ(out.pixelColor(64 + 20, 64 + 99'990), QColor(Qt::red));
    const QColor backdrop = out.pixelColor(20, out.height() - 20);
    EXPECT_EQ(backdrop.alpha(), 255);
    EXPECT_NE(backdrop, QColor(Qt::red));
    EXPECT_NE(out.pixelColor(64 + 20, out.height() - 20), QColor(Qt::red));  // below the image
}

}  // namespace
