#include "core/ScreenGeometry.h"

#include <gtest/gtest.h>

using namespace kx;

TEST(ScreenLookup, FirstContainingElsePrimary)
{
    // Primary 1920x1080 at the origin, a second display above it.
    const QList<QRect> frames{QRect(0, 0, 1920, 1080), QRect(0, -900, 1600, 900)};
    EXPECT_EQ(screenIndexContaining(frames, QPointF(10, 10)), 0);
    EXPECT_EQ(screenIndexContaining(frames, QPointF(10, -1)), 1);
    EXPECT_EQ(screenIndexContaining(frames, QPointF(1599.5, -900)), 1);
    EXPECT_EQ(screenIndexContaining(frames, QPointF(1919.9, 1079.9)), 0);
    // Right and bottom edges belong to the neighbour, not to this display.
    EXPECT_EQ(screenIndexContaining(frames, QPointF(1920, 5), 1), 1);
    EXPECT_EQ(screenIndexContaining(frames, QPointF(5000, 5000), 0), 0);
    EXPECT_EQ(screenIndexContaining(frames, QPointF(5000, 5000), 1), 1);
    EXPECT_EQ(screenIndexContaining(frames, QPointF(5000, 5000), 7), 0);
    EXPECT_EQ(screenIndexContaining({}, QPointF(0, 0)), -1);

    // Second display to the right, primary second in the list.
    const QList<QRect> side{QRect(1920, 0, 2560, 1440), QRect(0, 0, 1920, 1080)};
    EXPECT_EQ(screenIndexContaining(side, QPointF(2000, 100), 1), 0);
    EXPECT_EQ(screenIndexContaining(side, QPointF(100, 100), 1), 1);
}
