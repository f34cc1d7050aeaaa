// Two X screens, each a display of its own for Qt: a drag on the second one must return
// that display, its scale and its pixels (the fixture window shown there).
#include "capture/overlay/OverlayView.h"
#include "capture/overlay/SelectionSession.h"
#include "core/Prefs.h"
#include "platform/ScreenCapturer.h"

#include "FixtureClient.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QWindow>

using namespace kx;
using namespace kx::test;

TEST(OverlayTwoDisplays, DragOnTheSecondDisplayReturnsItsPixels)
{
    if (!haveDisplay())
        GTEST_SKIP() << "no X display";
    if (QGuiApplication::screens().size() < 2)
        GTEST_SKIP() << "the X server shows Qt only one display";
    Prefs::registerDefaults();
    QScreen* second = QGuiApplication::screens()[1];

    QTemporaryDir dir;
    const QString expectedPath = dir.filePath("page.png");
    const QString display = qEnvironmentVariable("DISPLAY").section('.', 0, 0) + ".1";
    FixtureClient fixture({"--at", "100", "80", "--expected", expectedPath}, display);
    ASSERT_TRUE(fixture.waitReady());
    const QImage page = QImage(expectedPath).convertToFormat(QImage::Format_RGB32);

    Captured<QList<FrozenScreen>> frozen = ScreenCapturer::freezeAllScreens();
    ASSERT_TRUE(frozen) << qPrintable(frozen.error().message());
    ASSERT_EQ(frozen->size(), 2);
    std::optional<SelectionResult> result;
    bool finished = false;
    SelectionSession session(SelectionMode::area, *frozen);
    session.run([&](std::optional<SelectionResult> r) {
        finished = true;
        result = std::move(r);
    });
    ASSERT_TRUE(waitFor([&] {
        for (OverlayWindow* w : session.overlayWindows())
            if (!w->windowHandle() || !w->windowHandle()->isExposed())
                return false;
        return true;
    }));
    EXPECT_EQ(session.overlayWindows()[1]->windowHandle()->screen(), second);

    // Fixture coordinates are those of its own X screen, which is the second display's.
    const QPoint from = fixture.area().topLeft() + QPoint(20, 30);
    const QPoint to = from + QPoint(333, 222);
    ASSERT_TRUE(xdotool({"mousemove", "--screen", "1", QString::number(from.x()), QString::number(from.y()),
                         "mousedown", "1", "mousemove", "--screen", "1", QString::number(to.x()),
                         QString::number(to.y()), "mouseup", "1"}));
    ASSERT_TRUE(waitFor([&] { return finished; }, 20000));
    ASSERT_TRUE(result);
    EXPECT_EQ(result->screen, second);
    EXPECT_EQ(result->rect, QRectF(QPointF(from - second->geometry().topLeft()), QSizeF(333, 222)));
    const QImage chosen = result->frozen.copy(ScreenCapturer::pixelRect(result->rect, result->scale))
                              .convertToFormat(QImage::Format_RGB32);
    chosen.save(artifactDir("overlay-two") + "/second.png");
    EXPECT_EQ(
        maxChannelDifference(chosen, page.copy(QRect(from - fixture.area().topLeft(), QSize(333, 222)))), 0);
}
