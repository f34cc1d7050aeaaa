#include "CanvasHarness.h"

#include <gtest/gtest.h>
#include <cmath>

using namespace kx;
using namespace kx::test;

namespace {

struct CanvasPointer : CanvasFixture {
    const Annotation& only()
    {
        EXPECT_EQ(d().annotations().size(), 1);
        return d().annotations().first();
    }
};

}  // namespace

TEST_F(CanvasPointer, ClicksWithoutADragLeaveNoObjectAndNoUndoStep)
{
    for (ToolKind t : {ToolKind::rect, ToolKind::pen, ToolKind::blur, ToolKind::magnifier}) {
        use(t);
        mouse.click(QPointF(50, 50));
        EXPECT_TRUE(d().annotations().isEmpty()) << rawValue(t).toStdString();
        EXPECT_TRUE(d().undoStack().isEmpty()) << rawValue(t).toStdString();
        EXPECT_TRUE(d().selectedID().isNull());
    }
    // A line shorter than 4 screen points is dropped; at zoom 2 a 3-pixel line is 6 points.
    use(ToolKind::line);
    mouse.drag(QPointF(50, 50), QPointF(52, 52));
    EXPECT_TRUE(d().annotations().isEmpty());
    host->scroll->setMagnification(2.0);
    mouse.drag(QPointF(50, 50), QPointF(52, 52));
    EXPECT_EQ(d().annotations().size(), 1);
    EXPECT_EQ(d().undoStack().size(), 1);
}

TEST_F(CanvasPointer, DrawingMakesOneSelectedObjectAndOneUndoStep)
{
    use(ToolKind::rect);
    mouse.drag(QPointF(20, 30), QPointF(120, 90));
    const Annotation& a = only();
    EXPECT_EQ(a.kind, ToolKind::rect);
    EXPECT_EQ(a.p1, QPointF(20, 30));
    EXPECT_EQ(a.p2, QPointF(120, 90));
    EXPECT_EQ(a.style, d().style());
    EXPECT_EQ(d().selectedID(), a.id);
    EXPECT_EQ(d().undoStack().size(), 1);
    d().undo();
    EXPECT_TRUE(d().annotations().isEmpty());
}

TEST_F(CanvasPointer, PointsOutsideTheImageActAtItsEdge)
{
    use(ToolKind::ellipse);
    mouse.drag(QPointF(300, 200), QPointF(520, -40));
    EXPECT_EQ(only().p2, QPointF(400, 0));

    // While moving, the pointer itself stops at the edge.
    use(ToolKind::select);
    mouse.drag(QPointF(301, 30), QPointF(900, 30));
    EXPECT_EQ(only().p1.x(), 399);
}

TEST_F(CanvasPointer, ShiftConstrainsShapesLinesAndPenStrokes)
{
    use(ToolKind::rect);
    mouse.drag(QPointF(100, 100), QPointF(130, 180), Qt::ShiftModifier);
    EXPECT_EQ(d().annotations().last().p2, QPointF(180, 180));

    use(ToolKind::arrow);
    mouse.drag(QPointF(100, 100), QPointF(200, 110), Qt::ShiftModifier);
    const Annotation arrow = d().annotations().last();
    EXPECT_NEAR(arrow.p2.y(), 100, 1e-9);
    EXPECT_NEAR(arrow.p2.x(), 100 + std::hypot(100.0, 10.0), 1e-9);

    use(ToolKind::pen);
    mouse.press(QPointF(10, 10));
    mouse.move(QPointF(30, 40));
    mouse.move(QPointF(60, 20));
    mouse.move(QPointF(90, 90), Qt::ShiftModifier);
    mouse.release(QPointF(90, 90));
    EXPECT_EQ(d().annotations().last().points, (QList<QPointF>{QPointF(10, 10), QPointF(90, 90)}));
    EXPECT_EQ(d().undoStack().size(), 3);
}

TEST_F(CanvasPointer, PenSkipsSamplesCloserThanOnePointTwoScreenPoints)
{
    use(ToolKind::pen);
    mouse.press(QPointF(10, 10));
    mouse.move(QPointF(10.5, 10));
    mouse.move(QPointF(12, 10));
    mouse.release(QPointF(12, 10));
    EXPECT_EQ(only().points, (QList<QPointF>{QPointF(10, 10), QPointF(12, 10)}));
}

TEST_F(CanvasPointer, MovingSelectsAndShiftLocksTheAxis)
{
    use(ToolKind::rect);
    mouse.drag(QPointF(20, 20), QPointF(80, 60));
    use(ToolKind::select);
    const auto before = d().undoStack().size();

    // A click that moves nothing leaves no undo step.
    mouse.click(QPointF(20, 40));
    EXPECT_EQ(d().undoStack().size(), before);
    EXPECT_FALSE(d().selectedID().isNull());

    mouse.drag(QPointF(20, 30), QPointF(50, 35), Qt::ShiftModifier);
    EXPECT_EQ(only().p1, QPointF(50, 20));
    EXPECT_EQ(d().undoStack().size(), before + 1);

    // A click on nothing ends the selection without an undo step.
    mouse.click(QPointF(300, 250));
    EXPECT_TRUE(d().selectedID().isNull());
    EXPECT_EQ(d().undoStack().size(), before + 1);
}

TEST_F(CanvasPointer, CtrlClickMovesAnObjectInsteadOfDrawing)
{
    use(ToolKind::rect);
    mouse.drag(QPointF(20, 20), QPointF(80, 60));
    use(ToolKind::arrow);
    mouse.drag(QPointF(20, 40), QPointF(120, 40), Qt::ControlModifier);
    EXPECT_EQ(only().kind, ToolKind::rect);
    EXPECT_EQ(only().p1, QPointF(120, 20));
}

TEST_F(CanvasPointer, HandlesReshapeTheSelectionWithAnyToolButCropOwnsItsPress)
{
    use(ToolKind::rect);
    mouse.drag(QPointF(20, 20), QPointF(80, 60));
    use(ToolKind::select);
    mouse.click(QPointF(50, 20));
    use(ToolKind::ellipse);                          // the tool change drops the selection...
    d().select(only().id);                           // ...so select again, keeping the ellipse tool
    mouse.drag(QPointF(81, 61), QPointF(150, 100));  // within 9 points of the corner
    EXPECT_EQ(only().p2, QPointF(150, 100));
    EXPECT_EQ(d().annotations().size(), 1);

    // Reshaping a line with Shift pivots around its fixed end.
    use(ToolKind::line);
    mouse.drag(QPointF(200, 200), QPointF(300, 200));
    mouse.drag(QPointF(300, 200), QPointF(250, 260), Qt::ShiftModifier);
    const Annotation line = d().annotations().last();
    EXPECT_EQ(line.p1, QPointF(200, 200));
    EXPECT_NEAR(line.p2.x() - 200, line.p2.y() - 200, 1e-9);

    // With the crop tool a press on the selection's handle starts a crop instead.
    use(ToolKind::crop);
    d().select(d().annotations().first().id);
    mouse.drag(QPointF(150, 100), QPointF(250, 180));
    ASSERT_TRUE(d().cropRect().has_value());
    EXPECT_EQ(*d().cropRect(), QRectF(150, 100, 100, 80));
}

TEST_F(CanvasPointer, MagnifierLensAndSourceMoveSeparately)
{
    use(ToolKind::magnifier);
    mouse.drag(QPointF(40, 40), QPointF(100, 90));
    const Annotation drawn = only();
    EXPECT_FALSE(drawn.lensRect().intersects(drawn.sourceRect()));  // placed beside the source
    use(ToolKind::select);

    const QPointF inLens = drawn.lensRect().center();
    mouse.drag(inLens, inLens + QPointF(-10, 30));
    EXPECT_EQ(only().lensCenter, drawn.lensCenter + QPointF(-10, 30));
    EXPECT_EQ(only().p1, drawn.p1);

    mouse.drag(QPointF(50, 50), QPointF(60, 55));
    EXPECT_EQ(only().p1, drawn.p1 + QPointF(10, 5));
    EXPECT_EQ(only().lensCenter, drawn.lensCenter + QPointF(-10, 30));
}

TEST_F(CanvasPointer, PicturesKeepTheirAspectRatioWhenResized)
{
    d().addPicture(filled(200, 100, Qt::red), 1.0);
    settle();
    const Annotation pic = only();
    const QPointF corner = pic.handlePoint(Handle::bottomRight);
    mouse.drag(corner, corner + QPointF(-60, 0));
    const QRectF r = only().sourceRect();
    EXPECT_NEAR(r.width() / r.height(), 2.0, 1e-9);
    EXPECT_EQ(r.topLeft(), pic.sourceRect().topLeft());
    EXPECT_NEAR(r.width(), pic.sourceRect().width() - 60, 1e-9);
}

TEST_F(CanvasPointer, EachStepClickAddsTheNextNumber)
{
    use(ToolKind::step);
    for (int i = 0; i < 3; ++i)
        mouse.click(QPointF(30 + 40 * i, 30));
    ASSERT_EQ(d().annotations().size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(d().annotations()[i].number, i + 1);
        EXPECT_EQ(d().annotations()[i].p1, QPointF(30 + 40 * i, 30));
    }
    EXPECT_EQ(d().undoStack().size(), 3);
}

TEST_F(CanvasPointer, CropGesturesDrawReshapeAndMoveTheRectangle)
{
    use(ToolKind::crop);
    mouse.drag(QPointF(100, 80), QPointF(40, 20));
    EXPECT_EQ(*d().cropRect(), QRectF(40, 20, 60, 60));

    // A corner dragged beyond the image is cut at the edge; the next drag starts from there.
    mouse.drag(QPointF(40, 20), QPointF(-50, -50));
    EXPECT_EQ(*d().cropRect(), QRectF(0, 0, 100, 80));
    mouse.drag(QPointF(0, 0), QPointF(10, 5));
    EXPECT_EQ(*d().cropRect(), QRectF(10, 5, 90, 75));

    // Moved, it stops at the edges and keeps its size.
    mouse.drag(QPointF(50, 50), QPointF(500, 500));
    EXPECT_EQ(*d().cropRect(), QRectF(310, 225, 90, 75));

    // Shift draws a square; a click outside starts anew and, without a drag, drops the crop.
    mouse.drag(QPointF(10, 10), QPointF(40, 100), Qt::ShiftModifier);
    EXPECT_EQ(*d().cropRect(), QRectF(10, 10, 90, 90));
    mouse.drag(QPointF(200, 20), QPointF(202, 60));
    EXPECT_FALSE(d().cropRect().has_value());
    EXPECT_TRUE(d().undoStack().isEmpty());  // crop gestures record nothing
}

TEST_F(CanvasPointer, AGestureWhoseObjectVanishedDoesNothing)
{
    use(ToolKind::rect);
    mouse.press(QPointF(10, 10));
    mouse.move(QPointF(50, 50));
    d().undo();  // removes the object mid-gesture
    mouse.move(QPointF(90, 90));
    mouse.release(QPointF(90, 90));
    EXPECT_TRUE(d().annotations().isEmpty());
}

TEST_F(CanvasPointer, UndoOrRedoDuringAMoveEndsTheGesture)
{
    use(ToolKind::rect);
    mouse.drag(QPointF(20, 20), QPointF(80, 60));
    use(ToolKind::select);
    const Annotation drawn = only();

    mouse.press(QPointF(35, 20));  // on the edge, away from the handles
    mouse.move(QPointF(75, 20));
    canvas->perform(CanvasView::Action::undo);  // takes back the move in progress
    mouse.move(QPointF(115, 20));
    mouse.release(QPointF(115, 20));
    EXPECT_EQ(only().p1, drawn.p1) << "the undone move does not come back unrecorded";
    ASSERT_EQ(d().redoStack().size(), 1);

    canvas->perform(CanvasView::Action::redo);
    EXPECT_EQ(only().p1, drawn.p1 + QPointF(40, 0));
    EXPECT_EQ(only().p2, drawn.p2 + QPointF(40, 0));

    // A reshape is ended the same way.
    mouse.press(drawn.p2 + QPointF(40, 0));
    mouse.move(QPointF(200, 200));
    canvas->perform(CanvasView::Action::undo);
    mouse.move(QPointF(250, 250));
    mouse.release(QPointF(250, 250));
    EXPECT_EQ(only().p1, drawn.p1 + QPointF(40, 0));
    EXPECT_EQ(only().p2, drawn.p2 + QPointF(40, 0));
}
