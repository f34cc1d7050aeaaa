// Geometry of the annotation model: tool table, bounds, hit tests, handles, lens placement.
#include "EditorTestPages.h"
#include "core/Localisation.h"
#include "editor/Annotation.h"

#include <gtest/gtest.h>
#include <QJsonObject>
#include <QSet>

using namespace kx;
using namespace kx::test;

namespace {

Annotation box(ToolKind kind, QPointF p1, QPointF p2, double lineWidth = 4, FillMode fill = FillMode::none)
{
    Annotation a = annotation(kind, p1, p2, kRed);
    a.style.lineWidth = lineWidth;
    a.style.fill = fill;
    return a;
}

TEST(ToolKindTest, tableHasSixteenKindsWithUniqueKeysAndFifteenTools)
{
    const QList<ToolKind> all = allToolKinds();
    ASSERT_EQ(all.size(), 16);
    QSet<QString> keys;
    for (ToolKind k : all) {
        EXPECT_EQ(toolKindFromRaw(rawValue(k)), k);
        EXPECT_FALSE(symbol(k).isEmpty());
        EXPECT_FALSE(title(k).isEmpty());
        EXPECT_FALSE(detail(k).isEmpty());
        if (k != ToolKind::picture) {
            EXPECT_EQ(key(k).size(), 1) << rawValue(k).toStdString();
            keys.insert(key(k));
        }
    }
    EXPECT_EQ(keys.size(), 15);
    EXPECT_TRUE(key(ToolKind::picture).isEmpty());
    EXPECT_EQ(toolKindFromRaw("picture"), ToolKind::picture);
    EXPECT_FALSE(tools().contains(ToolKind::picture));
    EXPECT_EQ(tools().size(), 15);
    EXPECT_EQ(toolKindFromRaw("Select"), std::nullopt);
    EXPECT_FALSE(detail(ToolKind::text).contains(QChar(0x2318))) << "the Command sign has no place here";
}

TEST(RGBATest, jsonNeedsAllFourComponents)
{
    const RGBA c{0.25, 0.5, 0.75, 1};
    EXPECT_EQ(RGBA::fromJson(c.toJson()), c);
    QJsonObject missing = c.toJson();
    missing.remove("a");
    EXPECT_EQ(RGBA::fromJson(missing), std::nullopt);
}

TEST(AnnotationTest, boundsPerKind)
{
    pinEditorFonts();
    Annotation pen = box(ToolKind::pen, {}, {});
    EXPECT_EQ(pen.bounds(), QRectF());
    pen.points = {QPointF(5, 9)};
    EXPECT_EQ(pen.bounds(), QRectF(5, 9, 0, 0));
    pen.points << QPointF(15, 3) << QPointF(-5, 20);
    EXPECT_EQ(pen.bounds(), QRectF(-5, 3, 20, 17));

    Annotation step = box(ToolKind::step, {100, 100}, {});
    step.style.fontSize = 8;  // radius never below 10
    EXPECT_EQ(step.bounds(), QRectF(90, 90, 20, 20));
    step.style.fontSize = 40;
    EXPECT_EQ(step.bounds(), QRectF(66, 66, 68, 68));

    Annotation text = box(ToolKind::text, {10, 20}, {});
    const QRectF empty = text.bounds();
    EXPECT_GT(empty.width(), 0);
    EXPECT_GT(empty.height(), 0);
    EXPECT_TRUE(text.hit(QPointF(11, 21), 0)) << "an empty text can still be grabbed";
    text.text = "Hello\nworld, longer line";
    const QRectF two = text.bounds();
    EXPECT_EQ(two.topLeft(), QPointF(10, 20));
    EXPECT_GT(two.height(), 1.8 * empty.height());
    EXPECT_EQ(two.width(), std::ceil(two.width()));

    const Annotation r = box(ToolKind::rect, {50, 40}, {10, 80});
    EXPECT_EQ(r.bounds(), QRectF(10, 40, 40, 40));
}

TEST(AnnotationTest, hitTestPerKind)
{
    const double t = 3;
    // Unfilled shapes are hit on their outline only.
    const Annotation frame = box(ToolKind::rect, {0, 0}, {100, 60}, 4);
    EXPECT_TRUE(frame.hit({0, 30}, t));
    EXPECT_TRUE(frame.hit({-4.9, 30}, t));
    EXPECT_FALSE(frame.hit({-5.1, 30}, t));
    EXPECT_FALSE(frame.hit({50, 30}, t));
    EXPECT_TRUE(frame.hit({50, 55.5}, t));
    const Annotation filled = box(ToolKind::ellipse, {0, 0}, {100, 60}, 4, FillMode::tint);
    EXPECT_TRUE(filled.hit({50, 30}, t));
    EXPECT_TRUE(filled.hit({1, 1}, t)) << "filled ellipses are hit on their whole box";
    const Annotation thin = box(ToolKind::rect, {0, 0}, {8, 60}, 4);
    EXPECT_TRUE(thin.hit({4, 30}, t)) << "a box thinner than its band is hit anywhere";

    for (ToolKind k :
         {ToolKind::crop, ToolKind::blur, ToolKind::pixelate, ToolKind::spotlight, ToolKind::picture}) {
        const Annotation a = box(k, {10, 10}, {50, 50});
        EXPECT_TRUE(a.hit({30, 30}, t)) << rawValue(k).toStdString();
        EXPECT_TRUE(a.hit({7, 30}, t));
        EXPECT_FALSE(a.hit({6.9, 30}, t));
    }
    EXPECT_FALSE(box(ToolKind::select, {0, 0}, {100, 100}).hit({50, 50}, 10));

    for (ToolKind k : {ToolKind::arrow, ToolKind::line, ToolKind::ruler}) {
        const Annotation a = box(k, {0, 0}, {100, 0}, 6);
        EXPECT_TRUE(a.hit({50, 6}, t)) << rawValue(k).toStdString();
        EXPECT_FALSE(a.hit({50, 6.1}, t));
        EXPECT_FALSE(a.hit({106.5, 0}, t)) << "beyond the end point";
    }
    EXPECT_TRUE(box(ToolKind::line, {0, 0}, {0, 0}, 6).hit({3, 4}, t)) << "a zero-length line is a dot";

    Annotation pen = box(ToolKind::pen, {}, {}, 4);
    pen.points = {QPointF(0, 0)};
    EXPECT_FALSE(pen.hit({0, 0}, t)) << "a single sample is never hit";
    pen.points << QPointF(100, 0) << QPointF(100, 100);
    EXPECT_TRUE(pen.hit({100, 50}, t));
    EXPECT_TRUE(pen.hit({50, 5}, t));
    EXPECT_FALSE(pen.hit({50, 5.1}, t));
    Annotation marker = pen;
    marker.kind = ToolKind::highlighter;
    EXPECT_TRUE(marker.hit({50, 8}, t)) << "the marker is 2.5 times wider";
    EXPECT_FALSE(marker.hit({50, 8.1}, t));

    Annotation step = box(ToolKind::step, {0, 0}, {});
    step.style.fontSize = 20;  // radius 17
    EXPECT_TRUE(step.hit({20, 0}, t));
    EXPECT_FALSE(step.hit({20.1, 0}, t));
}

TEST(AnnotationTest, magnifierIsHitOnSourceAndLens)
{
    Annotation m = box(ToolKind::magnifier, {0, 0}, {40, 20});
    m.lensCenter = QPointF(200, 200);  // zoom 2: lens 80 x 40
    EXPECT_EQ(m.lensRect(), QRectF(160, 180, 80, 40));
    EXPECT_TRUE(m.hit({20, 10}, 0));
    EXPECT_TRUE(m.hit({239, 219}, 0));
    EXPECT_FALSE(m.hit({100, 100}, 0));
    EXPECT_EQ(m.bounds(), QRectF(0, 0, 240, 220));
    EXPECT_EQ(m.handlePoint(Handle::lens), QPointF(240, 220));
    m.style.zoom = 0.5;  // a lens never shrinks below the source
    EXPECT_EQ(m.lensRect().size(), QSizeF(40, 20));
}

TEST(AnnotationTest, handleSetsAndPositions)
{
    EXPECT_EQ(box(ToolKind::rect, {}, {}).handles(), boxHandles());
    EXPECT_EQ(box(ToolKind::arrow, {}, {}).handles(), (QList<Handle>{Handle::start, Handle::end}));
    EXPECT_EQ(box(ToolKind::magnifier, {}, {}).handles().last(), Handle::lens);
    EXPECT_TRUE(box(ToolKind::text, {}, {}).handles().isEmpty());
    EXPECT_TRUE(box(ToolKind::step, {}, {}).handles().isEmpty());
    const Annotation a = box(ToolKind::rect, {100, 80}, {0, 0});
    EXPECT_EQ(a.handlePoint(Handle::topLeft), QPointF(0, 0));
    EXPECT_EQ(a.handlePoint(Handle::top), QPointF(50, 0));
    EXPECT_EQ(a.handlePoint(Handle::right), QPointF(100, 40));
    EXPECT_EQ(a.handlePoint(Handle::bottomLeft), QPointF(0, 80));
    EXPECT_EQ(a.handlePoint(Handle::start), QPointF(100, 80));
}

TEST(AnnotationTest, draggingHandlesKeepsOppositeSideAndFlips)
{
    Annotation a = box(ToolKind::rect, {10, 10}, {50, 30});
    a.drag(Handle::topLeft, {70, 60});  // past the bottom-right corner
    EXPECT_EQ(a.p1, QPointF(50, 30));
    EXPECT_EQ(a.p2, QPointF(70, 60));

    a = box(ToolKind::rect, {10, 10}, {50, 30});
    a.drag(Handle::right, {0, 999});  // only x counts, and it flips to the left
    EXPECT_EQ(a.p1, QPointF(0, 10));
    EXPECT_EQ(a.p2, QPointF(10, 30));

    a = box(ToolKind::rect, {10, 10}, {50, 30});
    a.drag(Handle::top, {999, 30});  // collapses to zero height, no minimum
    EXPECT_EQ(a.sourceRect(), QRectF(10, 30, 40, 0));

    a = box(ToolKind::rect, {10, 10}, {50, 30});
    a.drag(Handle::bottomLeft, {20, 5});
    EXPECT_EQ(a.p1, QPointF(20, 5));
    EXPECT_EQ(a.p2, QPointF(50, 10));

    Annotation line = box(ToolKind::line, {1, 2}, {3, 4});
    line.drag(Handle::start, {7, 8});
    line.drag(Handle::end, {-1, -2});
    EXPECT_EQ(line.p1, QPointF(7, 8));
    EXPECT_EQ(line.p2, QPointF(-1, -2));
}

TEST(AnnotationTest, lensHandleSetsZoomWithinLimits)
{
    Annotation m = box(ToolKind::magnifier, {0, 0}, {40, 20});
    m.lensCenter = QPointF(200, 200);  // lens top-left (160, 180)
    m.drag(Handle::lens, {160 + 3 * 40, 0});
    EXPECT_DOUBLE_EQ(m.style.zoom, 3);
    EXPECT_EQ(m.lensRect().topLeft(), QPointF(160, 180)) << "the lens keeps its top-left corner";
    m.drag(Handle::lens, {100, 0});  // left of the lens itself
    EXPECT_DOUBLE_EQ(m.style.zoom, kMinLensZoom);
    m.drag(Handle::lens, {5000, 0});
    EXPECT_DOUBLE_EQ(m.style.zoom, kMaxLensZoom);
    EXPECT_EQ(m.lensRect().topLeft(), QPointF(160, 180));

    Annotation sliver = box(ToolKind::magnifier, {0, 0}, {0.5, 20});
    sliver.lensCenter = QPointF(50, 50);
    const QPointF left = sliver.lensRect().topLeft();
    sliver.drag(Handle::lens, left + QPointF(5, 0));  // narrow source: the distance itself
    EXPECT_DOUBLE_EQ(sliver.style.zoom, 5);
}

TEST(AnnotationTest, lensPlacementFallsBackLeftBelowAboveThenClamps)
{
    const QRectF bounds(0, 0, 1000, 600);
    auto placed = [&](QPointF p1, QPointF p2) {
        Annotation m = box(ToolKind::magnifier, p1, p2, 2);  // zoom 2
        m.placeLens(bounds);
        return m.lensCenter;
    };
    // 100 x 50 source, lens 200 x 100, gap 6 + 28 = 34.
    EXPECT_EQ(placed({100, 100}, {200, 150}), QPointF(200 + 34 + 100, 125)) << "right of the source";
    EXPECT_EQ(placed({800, 100}, {900, 150}), QPointF(800 - 34 - 100, 125)) << "left when the right is full";
    // Too wide for either side: below, centred under the source.
    Annotation wide = box(ToolKind::magnifier, {300, 50}, {700, 100}, 2);
    wide.placeLens(bounds);  // lens 800 x 100, gap 6 + 112
    EXPECT_EQ(wide.lensCenter, QPointF(500, 100 + 118 + 50));
    // Too wide for the sides and too low for below: above.
    Annotation low = box(ToolKind::magnifier, {300, 450}, {700, 500}, 2);
    low.placeLens(bounds);
    EXPECT_EQ(low.lensCenter, QPointF(500, 450 - 118 - 50));
    // A lens wider than the area is not clamped on that axis; a high one is clamped in y.
    Annotation huge = box(ToolKind::magnifier, {0, 0}, {600, 40}, 2);
    huge.placeLens(bounds);
    EXPECT_EQ(huge.lensCenter.x(), 300);
    EXPECT_GE(huge.lensCenter.y() - 40, 0);
    EXPECT_LE(huge.lensCenter.y() + 40, 600);
}

TEST(AnnotationTest, equalityComparesImagesByIdentity)
{
    Annotation a = box(ToolKind::picture, {0, 0}, {10, 10});
    Annotation b = a;
    EXPECT_EQ(a, b);
    QImage img(4, 4, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::red);
    a.image = img;
    b.image = img;
    EXPECT_EQ(a, b);
    b.image = img.copy();
    EXPECT_NE(a, b) << "an equal-looking copy is another image";
    b.image = img;
    b.style.zoom = 3;
    EXPECT_NE(a, b);
}

}  // namespace
