// The scrolling capture's loop against a fake screen: a tall page seen through a window
// of the capture rectangle's size, a wheel that moves it a fixed (unknown to the session)
// distance per click, and a hot-key backend that records grabs.
#include "capture/scroll/ScrollCaptureSession.h"
#include "capture/scroll/ScrollHud.h"
#include "core/Prefs.h"
#include "platform/HotKeyManager.h"
#include "platform/XTestScroller.h"

#include "SyntheticPage.h"
#include "TestSupport.h"
#include "fakes/FakeHotKeyBackend.h"
#include "fakes/FakeScroller.h"

#include <gtest/gtest.h>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QSet>
#include "ui/ChromeButton.h"

using namespace kx;
using namespace kx::test;

namespace {

using FakePage = FakeScrollPage;
using FakeKeys = FakeHotKeyBackend;

class ScrollSessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Prefs::registerDefaults();
        Prefs::remove("scroll.maxHeight");
        auto backend = std::make_unique<FakeKeys>();
        keys_ = backend.get();
        manager_ = std::make_unique<HotKeyManager>(std::move(backend));
        page_.page = makePage(300, 3000);
        page_.viewHeight = 400;
    }

    ScrollCaptureSession::Environment environment()
    {
        ScrollCaptureSession::Environment env;
        env.grab = [this](QScreen*, const QRectF&) { return page_.grab(); };
        env.scroller = &page_;
        env.keys = manager_.get();
        env.settleFirstMs = 0;
        env.settleMs = 1;
        return env;
    }

    std::unique_ptr<ScrollCaptureSession> make()
    {
        return std::make_unique<ScrollCaptureSession>(QGuiApplication::primaryScreen(),
                                                      QRectF(100, 100, 300, 400), environment());
    }

    // Runs to the end and returns the result.
    ScrollCaptureSession::Result runToEnd(ScrollCaptureSession& s, const QImage& initial = {},
                                          const std::function<void()>& whileRunning = {})
    {
        std::optional<ScrollCaptureSession::Result> result;
        s.run(initial, [&](ScrollCaptureSession::Result r) { result = std::move(r); });
        if (whileRunning)
            whileRunning();
        EXPECT_TRUE(waitFor([&] { return result.has_value(); }, 60000));
        return result.value_or(ScrollCaptureSession::Result{});
    }

    FakePage page_;
    FakeKeys* keys_ = nullptr;
    std::unique_ptr<HotKeyManager> manager_;
};

}  // namespace

TEST_F(ScrollSessionTest, AutoScrollReachesTheEndAndStitchesTheWholePage)
{
    auto s = make();
    s->toggleAuto();
    EXPECT_TRUE(s->model().autoScroll());
    const auto r = runToEnd(*s);
    ASSERT_FALSE(r.image.isNull());
    EXPECT_FALSE(r.error);
    EXPECT_EQ(differingBytes(r.image, page_.page), 0);
    EXPECT_EQ(s->model().status(), QString("Reached the end"));
    EXPECT_EQ(s->model().height(), 3000);
    // One click first, then as many as half the rectangle takes once a click was measured.
    ASSERT_GE(page_.clicks.size(), 3);
    EXPECT_EQ(page_.clicks[0], 1);
    EXPECT_EQ(page_.clicks[1], 5);  // 200 points / 37 points per click
    // The temporary keys were there during the capture and are gone after it.
    EXPECT_TRUE(keys_->held.isEmpty());
    EXPECT_TRUE(s->keyIds().isEmpty());
}

TEST_F(ScrollSessionTest, MissesScrollBackHalveTheStepAndStopAutoMode)
{
    // Every click jumps further than the rectangle is high: nothing ever matches.
    page_.rowsPerClick = 450;
    page_.page = makePage(300, 60000);
    auto s = make();
    s->toggleAuto();
    QObject::connect(&s->model(), &ScrollCaptureModel::changed, [&] {
        if (!s->model().autoScroll() && s->model().warning())
            s->requestDone();
    });
    const auto r = runToEnd(*s);
    EXPECT_FALSE(s->model().autoScroll());
    EXPECT_EQ(s->model().warning().value_or(QString()),
              QString("Could not follow the scroll, stopped auto mode."));
    EXPECT_EQ(s->scrollStep(), 40);  // 200, 100, 50, then never below 40
    // Each miss posted a step forward and the same step back.
    ASSERT_EQ(page_.clicks.size(), 8);
    for (int i = 0; i < 8; i += 2)
        EXPECT_EQ(page_.clicks[i], -page_.clicks[i + 1]);
    EXPECT_EQ(r.image.height(), 400);  // only the first frame was accepted
}

TEST_F(ScrollSessionTest, CancelThrowsTheFramesAway)
{
    auto s = make();
    const auto r = runToEnd(*s, {}, [&] {
        ASSERT_TRUE(waitFor([&] { return page_.grabs > 3; }));
        page_.offset = 120;  // the user scrolls a little
        ASSERT_TRUE(waitFor([&] { return s->model().frames() == 2; }));
        // Esc through the global key.
        ASSERT_EQ(s->keyIds().size(), 3);
        ASSERT_EQ(keys_->held.size(), 3);
        keys_->onPressed(s->keyIds()[0]);
    });
    EXPECT_TRUE(r.cancelled);
    EXPECT_TRUE(r.image.isNull());
    EXPECT_FALSE(r.error);
    EXPECT_TRUE(keys_->held.isEmpty());
}

TEST_F(ScrollSessionTest, DoneWithOnlyTheFirstFrameReturnsItUnchanged)
{
    auto s = make();
    const QImage first = page_.page.copy(0, 0, 300, 400);
    const auto r = runToEnd(*s, first, [&] { keys_->onPressed(s->keyIds()[1]); });  // Return
    EXPECT_FALSE(r.cancelled);
    EXPECT_EQ(r.image.cacheKey(), first.cacheKey());
}

TEST_F(ScrollSessionTest, ManualModeWarnsOnMissesAndNeverEndsOnItsOwn)
{
    auto s = make();
    const auto r = runToEnd(*s, {}, [&] {
        // Frames without change for a while: the capture keeps waiting.
        const int before = page_.grabs;
        ASSERT_TRUE(waitFor([&] { return page_.grabs > before + 10; }));
        EXPECT_EQ(s->model().frames(), 1);
        page_.offset = 390;  // too far to match
        ASSERT_TRUE(waitFor([&] { return s->model().warning().has_value(); }));
        EXPECT_EQ(*s->model().warning(), QString("Scroll slower or only downwards"));
        page_.offset = 150;
        ASSERT_TRUE(waitFor([&] { return s->model().frames() == 2; }));
        EXPECT_FALSE(s->model().warning());
        EXPECT_EQ(s->model().status(), QString("Capturing… keep scrolling"));
        s->model().onDone();
    });
    EXPECT_EQ(differingBytes(r.image, page_.page.copy(0, 0, 300, 550)), 0);
}

TEST_F(ScrollSessionTest, HeightLimitEndsTheCaptureWithWhatItHas)
{
    Prefs::set("scroll.maxHeight", 100);  // below the floor of 2000 rows
    auto s = make();
    s->toggleAuto();
    const auto r = runToEnd(*s);
    EXPECT_EQ(s->model().warning().value_or(QString()), QString("Maximum height reached"));
    EXPECT_GE(r.image.height(), 2000);
    EXPECT_LT(r.image.height(), 2000 + 400);
    EXPECT_EQ(differingBytes(r.image, page_.page.copy(0, 0, 300, r.image.height())), 0);

    EXPECT_EQ(ScrollCaptureSession::heightLimit(100, 400), 2000);
    EXPECT_EQ(ScrollCaptureSession::heightLimit(30000, 400), 30000);
    // Near the stitcher's cap one more frame must still fit.
    EXPECT_EQ(ScrollCaptureSession::heightLimit(60000, 1000), 59001);
}

TEST_F(ScrollSessionTest, FailuresAreReportedNotSwallowed)
{
    page_.failGrabsFrom = 0;
    auto s = make();
    const auto r = runToEnd(*s);
    EXPECT_FALSE(r.cancelled);
    ASSERT_TRUE(r.error);
    EXPECT_EQ(r.error->message(), QString("gone"));
    EXPECT_TRUE(keys_->held.isEmpty());

    // Without synthetic input, auto mode is refused with a warning.
    page_.xtest = false;
    auto t = make();
    t->toggleAuto();
    EXPECT_FALSE(t->model().autoScroll());
    EXPECT_EQ(t->model().warning().value_or(QString()),
              QString("Allow Accessibility for auto-scroll, then try again."));
}

TEST_F(ScrollSessionTest, AVanishingDisplayEndsTheCaptureWithWhatItHas)
{
    // Manual mode never ends on its own: only the display going away ends it.
    auto s = make();
    const auto r = runToEnd(*s, {}, [&] {
        ASSERT_TRUE(waitFor([&] { return page_.grabs > 3; }));
        page_.offset = 120;
        ASSERT_TRUE(waitFor([&] { return s->model().frames() == 2; }));
        Q_EMIT qGuiApp->screenRemoved(s->screen());
    });
    EXPECT_FALSE(r.cancelled);
    EXPECT_FALSE(r.error);
    ASSERT_FALSE(r.image.isNull());
    EXPECT_EQ(differingBytes(r.image, page_.page.copy(0, 0, 300, 520)), 0);
    EXPECT_TRUE(keys_->held.isEmpty());
}

TEST(ScrollHudPlacement, BelowAboveBesideOrAtTheBottom)
{
    const QRectF screen(0, 0, 1920, 1080);
    const QSizeF hud(400, 60);
    auto at = [&](QRectF rect) { return hudPlacement(screen, rect, hud); };
    EXPECT_EQ(at(QRectF(700, 100, 500, 400)), QPointF(750, 512));
    EXPECT_EQ(at(QRectF(700, 600, 500, 440)), QPointF(750, 528));
    // Near the left edge the HUD keeps 8 points from it.
    EXPECT_EQ(at(QRectF(0, 100, 200, 400)).x(), 8);
    // Neither below nor above: beside the rectangle.
    EXPECT_EQ(at(QRectF(100, 20, 1000, 1040)), QPointF(1112, 510));
    EXPECT_EQ(at(QRectF(800, 20, 1100, 1040)), QPointF(388, 510));
    // The whole display: no free place; 24 points above the bottom edge.
    EXPECT_EQ(at(QRectF(0, 0, 1920, 1080)), QPointF(760, 1080 - 24 - 60));
}

TEST(ScrollHudView, FollowsTheModel)
{
    ScrollCaptureModel model;
    model.setStatus("Capturing… scrolling");
    model.setFrames(3);
    model.setHeight(2400);
    model.setWarning(QString("Scroll slower or only downwards"));
    ScrollHud hud(&model);
    hud.show();
    auto texts = [&] {
        QStringList out;
        for (QLabel* l : hud.findChildren<QLabel*>())
            if (l->isVisibleTo(&hud))
                out << l->text();
        for (ChromeButton* b : hud.findChildren<ChromeButton*>())
            out << b->title();
        return out;
    };
    EXPECT_EQ(texts(), QStringList({"Capturing… scrolling", "3 frames · 2400 px",
                                    "Scroll slower or only downwards", "Auto-scroll", "Done ↩", "Cancel ⎋"}));
    hud.grab().save(artifactDir("scroll") + "/hud.png");

    model.setAutoScroll(true);
    model.setWarning(std::nullopt);
    model.setFrames(4);
    EXPECT_EQ(texts(),
              QStringList({"Capturing… scrolling", "4 frames · 2400 px", "Pause", "Done ↩", "Cancel ⎋"}));
    hud.grab().save(artifactDir("scroll") + "/hud-auto.png");
}
