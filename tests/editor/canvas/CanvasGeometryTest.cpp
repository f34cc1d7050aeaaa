#include "editor/canvas/CanvasGeometry.h"

#include <gtest/gtest.h>
#include <cmath>

using namespace kx;
using namespace kx::canvas;

namespace {

Annotation from(ToolKind kind, QPointF p1, QPointF p2 = {})
{
    Annotation a;
    a.kind = kind;
    a.p1 = p1;
    a.p2 = p2;
    return a;
}

void expectNear(QPointF actual, QPointF expected)
{
    EXPECT_NEAR(actual.x(), expected.x(), 1e-9);
    EXPECT_NEAR(actual.y(), expected.y(), 1e-9);
}

}  // namespace

TEST(CanvasGeometry, ShiftSnapsLinesToFortyFiveDegreesKeepingTheirLength)
{
    const Annotation arrow = from(ToolKind::arrow, QPointF(100, 100));
    // Nearly horizontal: flat, same length.
    const QPointF flat = constrain(QPointF(200, 110), arrow, true);
    EXPECT_NEAR(flat.y(), 100, 1e-9);
    EXPECT_NEAR(flat.x(), 100 + std::hypot(100.0, 10.0), 1e-9);
    // Steep up-left: the diagonal.
    const QPointF diag = constrain(QPointF(40, 30), arrow, true);
    EXPECT_NEAR(diag.x() - 100, diag.y() - 100, 1e-9);
    EXPECT_LT(diag.x(), 100);
    // Exactly half-way between 0° and 45° rounds away from zero, to 45°.
    const double t = std::tan(M_PI / 8);
    const QPointF half = constrain(QPointF(200, 100 + 100 * t), arrow, true);
    EXPECT_NEAR(half.x() - 100, half.y() - 100, 1e-6);
    // Without Shift, and for kinds that do not constrain, the point itself.
    expectNear(constrain(QPointF(7, 9), arrow, false), QPointF(7, 9));
    expectNear(constrain(QPointF(7, 9), from(ToolKind::pen, QPointF()), true), QPointF(7, 9));
}

TEST(CanvasGeometry, PicturesKeepTheirProportionsWithTheOppositeEdgesFixed)
{
    Annotation pic = from(ToolKind::picture, QPointF(100, 100), QPointF(300, 200));  // image 2:1
    const QSize image(400, 200);

    Annotation br = pic;
    br.drag(Handle::bottomRight, QPointF(500, 210));
    br = keepingAspect(br, Handle::bottomRight, image);
    expectNear(br.p1, QPointF(100, 100));
    expectNear(br.p2, QPointF(500, 300));

    Annotation tl = pic;
    tl.drag(Handle::topLeft, QPointF(250, 120));
    tl = keepingAspect(tl, Handle::topLeft, image);
    expectNear(tl.p2, QPointF(300, 200));  // the opposite corner stays
    expectNear(tl.p1, QPointF(250, 175));

    // The top handle sets the height; the width follows.
    Annotation top = pic;
    top.drag(Handle::top, QPointF(200, 50));
    top = keepingAspect(top, Handle::top, image);
    expectNear(top.p1, QPointF(100, 50));
    expectNear(top.p2, QPointF(400, 200));

    // Never narrower than 24 pixels, even when dragged past the opposite corner.
    Annotation tiny = pic;
    tiny.drag(Handle::bottomRight, QPointF(101, 101));
    tiny = keepingAspect(tiny, Handle::bottomRight, image);
    EXPECT_NEAR(tiny.p2.x() - tiny.p1.x(), 24, 1e-9);
    EXPECT_NEAR(tiny.p2.y() - tiny.p1.y(), 12, 1e-9);
}

TEST(CanvasGeometry, CropRectanglesStayInsideTheImage)
{
    const QSizeF image(400, 300);
    // A rectangle collapsed onto the right edge stays there, not at the origin, so the
    // next drag continues from where the pointer is.
    Annotation edge = cropAnnotation(QRectF(400, 40, 0, 100));
    const QRectF kept = clampedCrop(edge, image);
    EXPECT_EQ(kept.topLeft(), QPointF(400, 40));
    EXPECT_EQ(kept.height(), 100);
    Annotation next = cropAnnotation(kept);
    next.drag(Handle::left, QPointF(350, 60));
    EXPECT_EQ(clampedCrop(next, image), QRectF(350, 40, 50, 100));

    // Moving stops at the edges without changing the size (the left and top here).
    EXPECT_EQ(movedCrop(QRectF(10, 10, 80, 60), QPointF(-50, -5), image), QRectF(0, 5, 80, 60));

    EXPECT_EQ(clampToImage(QPointF(-3, 900), image), QPointF(0, 300));
    EXPECT_EQ(clampToImage(QPointF(qQNaN(), 5), image), QPointF(0, 5));
    EXPECT_EQ(cropBadgeText(QRectF(0, 0, 120.9, 80.2)), QString::fromUtf8("120 × 80"));
}
