#include "ui/WindowPolicy.h"

#include <gtest/gtest.h>

using kx::WindowPolicy;

TEST(WindowPolicy, DecisionPerSettingWindowKindAndState)
{
    struct Row {
        bool showDock;
        Qt::WindowFlags flags;
        bool minimised;
        bool managed, skip, bar;
    } rows[] = {
        {false, Qt::Window, false, true, true, false},
        {false, Qt::Dialog, false, true, true, false},
        {false, Qt::Window, true, true, false, false},  // a minimised window keeps a way back
        {true, Qt::Window, false, true, false, true},
        {true, Qt::Dialog | Qt::WindowTitleHint, true, true, false, false},
        {false, Qt::Tool | Qt::FramelessWindowHint, false, false, false, false},
        {true, Qt::Popup, false, false, false, false},
        {true, Qt::Window | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint, false, false, false,
         false},
        {false, Qt::ToolTip, false, false, false, false},
    };
    for (const Row& r : rows) {
        const auto d = WindowPolicy::decide(r.showDock, r.flags, r.minimised);
        EXPECT_EQ(d.managed, r.managed) << int(r.flags);
        EXPECT_EQ(d.skipTaskbar, r.skip) << int(r.flags) << r.showDock << r.minimised;
        EXPECT_EQ(d.menuBar, r.bar) << int(r.flags);
    }
}

// A window never opens larger than the work area, frame included, and sits centred in it.
TEST(WindowPolicy, FittedKeepsTheFramedWindowInsideTheWorkArea)
{
    const QMargins frame(4, 30, 4, 4);
    struct Row {
        QSize wanted;
        QRect available;
        QRect client;
    } rows[] = {
        {{400, 300}, {0, 0, 1920, 1080}, {760, 403, 400, 300}},     // fits: centred, untouched
        {{940, 680}, {0, 12, 960, 528}, {10, 42, 940, 494}},        // help at scale 2 on 1080p
        {{2000, 500}, {100, 0, 1280, 800}, {104, 163, 1272, 500}},  // too wide only
        {{940, 680}, {0, 0, 10, 20}, {4, 30, 2, 1}},                // no room: nothing negative
    };
    for (const Row& r : rows) {
        const QRect got = WindowPolicy::fitted(r.wanted, frame, r.available);
        EXPECT_EQ(got, r.client) << r.wanted.width() << "×" << r.wanted.height();
        if (r.available.width() > 100) {
            EXPECT_TRUE(r.available.contains(got.marginsAdded(frame)));
        }
    }
}

// A window placed off the centre (one of a cascade) lands with its frame where the placement
// says, at the size it has centred; a placement past the area's edges is brought back onto it,
// never made smaller.
TEST(WindowPolicy, APlacementMovesTheFrameButNeverShrinksIt)
{
    const QMargins frame(4, 30, 4, 4);
    const QRect area(0, 24, 1920, 1056);
    for (const QSize wanted : {QSize(1000, 600), QSize(1900, 1000)}) {
        SCOPED_TRACE(wanted.width());
        const QRect centred = WindowPolicy::fitted(wanted, frame, area);
        const QSize outer = centred.marginsAdded(frame).size();
        const struct {
            QPoint asked, got;  // the frame's top-left
        } rows[] = {
            {{100, 200}, {std::min(100, 1920 - outer.width()), std::min(200, 24 + 1056 - outer.height())}},
            {{-50, 0}, {0, 24}},
            {{5000, 5000}, {1920 - outer.width(), 24 + 1056 - outer.height()}},
        };
        for (const auto& r : rows) {
            QSize told;
            const QRect got =
                WindowPolicy::fitted(wanted, frame, area, [&](const QSize& outer, const QRect& on) {
                    told = outer;
                    EXPECT_EQ(on, area);
                    return r.asked;
                });
            EXPECT_EQ(told, outer);
            EXPECT_EQ(got.size(), centred.size()) << r.asked.x();
            EXPECT_EQ(got.topLeft() - QPoint(frame.left(), frame.top()), r.got) << r.asked.x();
            EXPECT_TRUE(area.contains(got.marginsAdded(frame))) << r.asked.x();
        }
    }
}

// A told frame in logical pixels never comes out smaller than the device pixels it covers.
TEST(WindowPolicy, ToldFrameRoundsUpToWholeLogicalPixels)
{
    const struct {
        QMargins native;
        qreal ratio;
        QMargins logical;
    } rows[] = {
        {{1, 20, 1, 5}, 1, {1, 20, 1, 5}},
        {{1, 84, 1, 5}, 2, {1, 42, 1, 3}},
        {{3, 30, 3, 3}, 1.5, {2, 20, 2, 2}},
    };
    for (const auto& r : rows)
        EXPECT_EQ(WindowPolicy::logicalFrame(r.native, r.ratio), r.logical) << r.ratio;
}
