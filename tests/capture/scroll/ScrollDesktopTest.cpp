// The scrolling capture on a real X display: the fixture's page scrolled by XTest wheel
// clicks must come back whole, header once at the top and footer once at the bottom, with
// nothing of the border or the HUD in it; the global keys work while it runs and are
// released after.
#include "capture/scroll/ScrollCaptureSession.h"
#include "capture/scroll/ScrollHud.h"
#include "core/Prefs.h"
#include "platform/ScreenCapturer.h"

#include "FixturePageTest.h"
#include "SyntheticPage.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>

using namespace kx;
using namespace kx::test;

namespace {

class ScrollDesktop : public FixturePageTest {
protected:
    void SetUp() override { startFixture(400, 120); }

    std::optional<ScrollCaptureSession::Result> result_;
};

}  // namespace

TEST_F(ScrollDesktop, AutoScrollCapturesTheWholePage)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRectF rect = QRectF(fixture_->area()).translated(-QPointF(screen->geometry().topLeft()));
    ScrollCaptureSession session(screen, rect);
    session.toggleAuto();
    ASSERT_TRUE(session.model().autoScroll()) << "XTEST is available under the harness";
    session.run(QImage(), [&](ScrollCaptureSession::Result r) { result_ = std::move(r); });
    ASSERT_TRUE(session.hud() && session.border());
    EXPECT_EQ(session.keyIds().size(), 3);
    ASSERT_TRUE(waitFor([&] { return result_.has_value(); }, 120000));

    ASSERT_FALSE(result_->image.isNull()) << (result_->error ? qPrintable(result_->error->message()) : "");
    result_->image.save(artifactDir("scroll-desktop") + "/auto.png");
    EXPECT_EQ(session.model().status(), QString("Reached the end"));
    EXPECT_EQ(result_->image.size(), expectedPage_.size());
    EXPECT_EQ(differingBytes(result_->image, expectedPage_), 0);
    EXPECT_TRUE(session.keyIds().isEmpty());

    // The temporary Esc grab is gone: the fixture, which has the focus, hears Esc again.
    ASSERT_TRUE(xdotool({"key", "Escape"}));
    EXPECT_TRUE(fixture_->waitForLine([](const QString& l) { return l == "KEY Esc"; }));
}

TEST_F(ScrollDesktop, EscapeCancelsThroughTheGlobalKey)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRectF rect = QRectF(fixture_->area()).translated(-QPointF(screen->geometry().topLeft()));
    ScrollCaptureSession session(screen, rect);
    session.run(QImage(), [&](ScrollCaptureSession::Result r) { result_ = std::move(r); });
    ASSERT_EQ(session.keyIds().size(), 3);
    // Manual scrolling by the user once the first frame is in, then Esc: the fixture never
    // sees it, the capture ends.
    ASSERT_TRUE(waitFor([&] { return session.model().height() > 0; }));
    // How it looks, border and HUD included, for a person to check.
    if (Captured<ScreenGrab> shot = ScreenCapturer::captureScreen(screen, std::nullopt, false, false))
        shot->image.save(artifactDir("scroll-desktop") + "/during.png");
    const QPoint centre = fixture_->area().center();
    ASSERT_TRUE(
        xdotool({"mousemove", QString::number(centre.x()), QString::number(centre.y()), "click", "5"}));
    ASSERT_TRUE(waitFor([&] { return session.model().frames() >= 2; }, 20000));
    ASSERT_TRUE(xdotool({"key", "Escape"}));
    ASSERT_TRUE(waitFor([&] { return result_.has_value(); }, 20000));
    EXPECT_TRUE(result_->cancelled);
    EXPECT_TRUE(result_->image.isNull());
    for (const QString& l : fixture_->lines())
        EXPECT_NE(l, QString("KEY Esc"));
}
