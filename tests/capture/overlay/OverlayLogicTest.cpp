#include "capture/overlay/OverlayGeometry.h"
#include "capture/overlay/OverlayState.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QImage>
#include <QTextLayout>

using namespace kx;
using End = OverlayReaction::End;

namespace {

QImage randomImage(int w, int h, unsigned seed)
{
    return kx::test::noiseImage(QSize(w, h), seed);
}

OverlayState areaState(QSizeF bounds = {400, 300}, double scale = 1, SelectionMode mode = SelectionMode::area)
{
    return OverlayState(mode, bounds,
                        randomImage(int(bounds.width() * scale), int(bounds.height() * scale), 1), scale, {});
}

WindowInfo windowInfo(quint32 id, QRect frame, QString owner = "App", QString title = {})
{
    WindowInfo w;
    w.id = id;
    w.frame = frame;
    w.owner = owner;
    w.title = title;
    return w;
}

}  // namespace

TEST(DragGeometry, SnapsClampsSquaresAndReachesTheEdge)
{
    struct Row {
        QPointF from, to;
        QSizeF bounds;
        double scale;
        bool shift;
        QRectF expected;
    };
    const Row rows[] = {
        // Scale 2: corners rounded to half points, halves away from zero.
        {{10.3, 10.3}, {20.2, 20.6}, {800, 600}, 2, false, {10.5, 10.5, 9.5, 10.0}},
        // Scale 1: whole points; a drag up and to the left is normalised.
        {{50.5, 40.4}, {10.2, 9.6}, {800, 600}, 1, false, {10, 10, 41, 30}},
        {{-20, 590}, {900, 700}, {800, 600}, 1, false, {0, 590, 800, 10}},  // clamped to the view
        // A drag ending on the last pixel reaches the edge; one pixel short keeps its size.
        {{0, 0}, {1919, 1079}, {1920, 1080}, 1, false, {0, 0, 1920, 1080}},
        {{1919, 1079}, {1000, 500}, {1920, 1080}, 1, false, {1000, 500, 920, 580}},
        {{0, 0}, {959.5, 539.5}, {960, 540}, 2, false, {0, 0, 960, 540}},
        {{0, 0}, {1918, 1078}, {1920, 1080}, 1, false, {0, 0, 1918, 1078}},
        {{0, 0}, {959, 539}, {960, 540}, 2, false, {0, 0, 959, 539}},
        // Shift squares each axis in its own direction, then the edges cut the square.
        {{10, 10}, {40, 20}, {800, 600}, 1, true, {10, 10, 30, 30}},
        {{100, 100}, {80, 140}, {800, 600}, 1, true, {60, 100, 40, 40}},
        {{780, 10}, {790, 60}, {800, 600}, 1, true, {780, 10, 20, 50}},
    };
    for (const Row& r : rows)
        EXPECT_EQ(dragRect(r.from, r.to, r.bounds, r.scale, r.shift), r.expected)
            << r.to.x() << "," << r.to.y() << " scale " << r.scale;
    EXPECT_EQ(selectionSizeText(QRectF(10.5, 10.5, 9.5, 10.0), 2), QString("19 × 20 px"));
    EXPECT_EQ(selectionSizeText(QRectF(10, 10, 41, 30), 1), QString("41 × 30 px"));
}

TEST(WindowLabel, AForeignTitleCannotReorderTheSize)
{
    // Logical order "522 × 203" must also be the visual order, whatever the title holds.
    for (const QString& title : {QStringLiteral("report\u202Egpj.exe"), QStringLiteral("x\u2069\u202Eevil"),
                                 QStringLiteral("\u05E9\u05DC\u05D5\u05DD")}) {
        WindowInfo w;
        w.owner = QStringLiteral("mail\u202E");
        w.title = title;
        const QString text = windowLabelText(w, QRectF(0, 0, 522, 203), 1);
        QTextLayout layout(text, QFont());
        layout.beginLayout();
        const QTextLine line = layout.createLine();
        layout.endLayout();
        const int at = text.lastIndexOf(QStringLiteral("522"));
        ASSERT_GE(at, 0);
        EXPECT_LT(line.cursorToX(at), line.cursorToX(text.lastIndexOf(QStringLiteral("203"))))
            << text.toStdString();
    }
}

// A 1526 × 953 px window at 2× has a frame of 763 × 477 whole points; the label gives the
// pixels the capture will have, not the rounded points doubled.
TEST(WindowLabel, ShowsTheSizeTheCaptureWillHave)
{
    WindowInfo w;
    w.owner = QStringLiteral("Terminal");
    w.pixelSize = QSize(1526, 953);
    EXPECT_TRUE(windowLabelText(w, QRectF(0, 0, 763, 477), 2).endsWith(QStringLiteral("1526 × 953")))
        << windowLabelText(w, QRectF(0, 0, 763, 477), 2).toStdString();
    w.pixelSize = QSize();  // unknown: from the points
    EXPECT_TRUE(windowLabelText(w, QRectF(0, 0, 763, 477), 2).endsWith(QStringLiteral("1526 × 954")));
}

TEST(OverlayDrag, SpaceMovesTheRectangleAtItsSize)
{
    OverlayState s = areaState();
    s.mousePressed({10, 10});
    s.mouseDragged({50, 40}, false);
    EXPECT_EQ(*s.selection(), QRectF(10, 10, 40, 30));
    s.spacePressed();
    s.mouseDragged({70, 45}, false);
    EXPECT_EQ(*s.selection(), QRectF(30, 15, 40, 30));
    s.spaceReleased();
    s.mouseDragged({100, 100}, false);  // resizing again, from the moved anchor
    EXPECT_EQ(*s.selection(), QRectF(30, 15, 70, 85));
    const OverlayReaction end = s.mouseReleased(false);
    EXPECT_EQ(end.end, End::chosen);
    EXPECT_EQ(end.rect, QRectF(30, 15, 70, 85));
}

TEST(OverlayDrag, ShiftIsReadAtEachDragAndAtRelease)
{
    OverlayState s = areaState();
    s.mousePressed({10, 10});
    s.mouseDragged({40, 20}, true);
    EXPECT_EQ(*s.selection(), QRectF(10, 10, 30, 30));
    // Let go of Shift before releasing: the release reads it again.
    const OverlayReaction end = s.mouseReleased(false);
    EXPECT_EQ(end.rect, QRectF(10, 10, 30, 10));
}

TEST(OverlayDrag, TinyDragsAndClicksKeepTheOverlayUp)
{
    OverlayState s = areaState({400, 300}, 2);
    for (QPointF to : {QPointF(10, 10), QPointF(12.7, 40), QPointF(40, 12.6)}) {
        s.mousePressed({10, 10});
        s.mouseDragged(to, false);
        const OverlayReaction r = s.mouseReleased(false);
        EXPECT_EQ(r.end, End::none);
        EXPECT_TRUE(r.redraw);
        EXPECT_FALSE(s.anchor());
        EXPECT_FALSE(s.selection());
    }
    // Exactly 3 x 3 points is enough.
    s.mousePressed({10, 10});
    s.mouseDragged({13, 13}, false);
    EXPECT_EQ(s.mouseReleased(false).end, End::chosen);
}

TEST(OverlayCancel, EscapeAndRightClickCancelInEveryMode)
{
    for (auto mode : {SelectionMode::area, SelectionMode::window, SelectionMode::colorPicker,
                      SelectionMode::scrollArea}) {
        OverlayState s = areaState({400, 300}, 1, mode);
        EXPECT_EQ(s.escapePressed().end, End::cancelled);
        EXPECT_EQ(s.rightPressed().end, End::cancelled);
    }
    // A release without a press ends nothing; drags without a press draw nothing.
    OverlayState s = areaState();
    EXPECT_EQ(s.mouseReleased(false).end, End::none);
    EXPECT_FALSE(s.mouseDragged({20, 20}, false).redraw);
}

TEST(WindowPicking, FrontMostWindowUnderThePointerWins)
{
    // The display starts at (1920, 0); windows are in global points, front to back.
    const QList<WindowInfo> windows = {
        windowInfo(1, QRect(2000, 100, 300, 200), "Front"),
        windowInfo(2, QRect(1950, 50, 600, 500), "Back"),
        windowInfo(3, QRect(100, 100, 400, 400), "Other display"),
        windowInfo(4, QRect(1800, 700, 400, 300), "Straddling"),
    };
    const QList<LocalWindow> local = localWindows(windows, {1920, 0}, {1280, 1024});
    ASSERT_EQ(local.size(), 3);
    EXPECT_EQ(local[0].rect, QRectF(80, 100, 300, 200));
    EXPECT_EQ(local[2].info.id, 4u);
    EXPECT_EQ(local[2].rect, QRectF(-120, 700, 400, 300));  // whole frame, past the edge

    OverlayState s(SelectionMode::window, {1280, 1024}, randomImage(1280, 1024, 2), 1, local);
    s.mouseMoved({100, 150});
    EXPECT_EQ(s.hovered(), 0);
    s.mouseMoved({500, 150});
    EXPECT_EQ(s.hovered(), 1);
    s.mouseMoved({900, 150});
    EXPECT_FALSE(s.hovered());
    EXPECT_EQ(s.mousePressed({900, 150}).end, End::none);  // no window: nothing

    const OverlayReaction pick = s.mousePressed({10, 800});
    EXPECT_EQ(pick.end, End::chosen);
    ASSERT_TRUE(pick.window);
    EXPECT_EQ(pick.window->owner, QString("Straddling"));
    EXPECT_EQ(pick.rect, QRectF(-120, 700, 400, 300));
}

TEST(Loupe, CentrePixelIsTheFrozenPixel)
{
    for (double scale : {1.0, 2.0}) {
        const QImage frozen = randomImage(int(320 * scale), int(200 * scale), 7);
        LoupeSampler sampler(frozen, scale);
        for (QPointF p : {QPointF(0, 0), QPointF(123.4, 77.9), QPointF(319.9, 199.9), QPointF(5.2, 150)}) {
            const auto sample = sampler.sample(p);
            ASSERT_TRUE(sample);
            const QPoint px = pixelPoint(p, scale, frozen.size());
            EXPECT_EQ(sample->pixel, px);
            EXPECT_EQ(sample->image.pixel(7, 7), frozen.pixel(px)) << "scale " << scale;
            EXPECT_EQ(sample->color.rgb(), frozen.pixel(px));
            // Neighbours line up; beyond the image the sample is clear.
            for (int d : {-7, -1, 1, 7}) {
                const QPoint q = px + QPoint(d, 0);
                const QRgb got = sample->image.pixel(7 + d, 7);
                if (frozen.rect().contains(q))
                    EXPECT_EQ(got, frozen.pixel(q));
                else
                    EXPECT_EQ(qAlpha(got), 0);
            }
        }
    }
}

TEST(Loupe, ResamplesOnlyOnAnotherPixel)
{
    LoupeSampler sampler(randomImage(200, 200, 3), 2);
    sampler.sample({10.0, 10.0});
    sampler.sample({10.4, 10.2});  // the same pixel (20, 20) at scale 2
    EXPECT_EQ(sampler.samplesMade(), 1);
    sampler.sample({10.5, 10.2});  // pixel (21, 20)
    EXPECT_EQ(sampler.samplesMade(), 2);
}

TEST(Loupe, ColourPickReturnsTheClickedPixel)
{
    const QImage frozen = randomImage(600, 400, 9);
    OverlayState s(SelectionMode::colorPicker, {300, 200}, frozen, 2, {});
    const OverlayReaction r = s.mousePressed({100.75, 50.25});
    EXPECT_EQ(r.end, End::chosen);
    EXPECT_EQ(r.rect, QRectF(100.75, 50.25, 0, 0));
    ASSERT_TRUE(r.color);
    EXPECT_EQ(r.color->rgb(), frozen.pixel(201, 100));
}

TEST(Loupe, CardFlipsAwayFromTheEdges)
{
    const QSizeF bounds(1000, 800);
    EXPECT_EQ(loupeCard({500, 300}, bounds, 24).topLeft(), QPointF(522, 322));
    // Within 161 points of the right edge it goes left; within 185 (area) or 207 (colour
    // picker) of the bottom it goes up.
    EXPECT_EQ(loupeCard({839, 300}, bounds, 24).left(), 861);
    EXPECT_EQ(loupeCard({840, 300}, bounds, 24).left(), 840 - 22 - 135);
    EXPECT_EQ(loupeCard({500, 615}, bounds, 24).top(), 637);
    EXPECT_EQ(loupeCard({500, 616}, bounds, 24).top(), 616 - 22 - 135 - 24);
    EXPECT_EQ(loupeCard({500, 593}, bounds, 46).top(), 615);
    EXPECT_EQ(loupeCard({500, 593.5}, bounds, 46).top(), 593.5 - 22 - 135 - 46);
}
