// The scrolling capture's loop against a fake screen: a tall page seen through a window
// of the capture rectangle's size, a wheel that moves it a fixed (unknown to the session)
// distance per click, and a hot-key backend that records grabs.
#include "capture/scroll/ScrollCaptureSession.h"
#include "capture/scroll/ScrollHud.h"
#include "capture/scroll/ScrollRowMasks.h"
#include "core/Localisation.h"
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
#include <QPainter>
#include <QScopeGuard>
#include <QScreen>
#include <QSet>
#include <map>
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
        env.giveUpWaitMs = giveUpWaitMs_;
        // These count the capture's own clicks and grabs; the pass before it is tested alone.
        env.preload = false;
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
    int giveUpWaitMs_ = 60000;
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
    giveUpWaitMs_ = 50;  // then the capture ends by itself
    auto s = make();
    s->toggleAuto();
    const auto r = runToEnd(*s);
    EXPECT_FALSE(s->model().autoScroll());
    EXPECT_FALSE(r.note.isEmpty());
    EXPECT_EQ(s->model().warning().value_or(QString()),
              QString("Could not follow the scroll, stopped auto mode."));
    // Not "Auto-scrolling…" beside the warning that auto mode stopped.
    EXPECT_EQ(s->model().status(), QString("Paused – scroll manually"));
    EXPECT_EQ(s->scrollStep(), 40);  // 200, 100, 50, then never below 40
    // Each miss posted a step forward and the same step back.
    ASSERT_EQ(page_.clicks.size(), 8);
    for (int i = 0; i < 8; i += 2)
        EXPECT_EQ(page_.clicks[i], -page_.clicks[i + 1]);
    EXPECT_EQ(r.image.height(), 400);  // only the first frame was accepted
}

// A page whose upper `band` rows of the view never scroll and take no wheel; `clients`
// says whether the wheel reaches an application at all (not over the desktop).
struct BandPage : FakeScrollPage {
    int band = 0;
    bool clients = true;
    bool scroll(QPoint at, int n) override { return at.y() >= 100 + band && FakeScrollPage::scroll(at, n); }
    std::optional<quint32> clientAt(QPoint) const override
    {
        return clients ? std::optional<quint32>(7) : std::nullopt;
    }
};

// Auto mode finds a wheel point below a tall static band; with nothing scrollable, or over
// the desktop, it ends with a clear failure instead of "Reached the end", never wheeling there.
TEST_F(ScrollSessionTest, TheWheelGoesWhereTheContentScrolls)
{
    const QImage band = noisePage(300, 400, 3);
    giveUpWaitMs_ = 500;
    for (const auto& [rows, clients] : {std::pair{240, true}, {400, true}, {0, false}}) {
        BandPage page;
        page.page = makePage(300, 3000);
        page.viewHeight = 400;
        page.band = rows;
        page.clients = clients;
        ScrollCaptureSession::Environment env = environment();
        env.scroller = &page;
        env.grab = [&](QScreen*, const QRectF&) {
            return ScreenGrab{frameAt(page.page, page.offset, 400, band, rows, QImage(), 0), 1.0};
        };
        ScrollCaptureSession s(QGuiApplication::primaryScreen(), QRectF(100, 100, 300, 400), env);
        s.toggleAuto();
        const auto r = runToEnd(s);
        if (rows < 400 && clients) {
            EXPECT_EQ(differingBytes(r.image, frameAt(page.page, 0, 3000, band, rows, QImage(), 0)), 0);
            EXPECT_EQ(s.model().status(), QString("Reached the end"));
        } else {
            EXPECT_TRUE(r.image.isNull());
            ASSERT_TRUE(r.error) << rows;
            EXPECT_TRUE(r.error->message().startsWith("Nothing in the selection scrolls")) << rows;
            EXPECT_EQ(page.offset, 0);
        }
        EXPECT_TRUE(clients || page.clicks.isEmpty());
    }
}

// Odd wheel steps over lines that repeat every 26 rows between a varied top and end, with a box in the corner
// that changes on every grab: the page comes back whole outside the box, the end is found, and the animation
// does not keep each step waiting for all its settling tries.
TEST_F(ScrollSessionTest, OddStepsRepeatedLinesAndAnAnimatedCorner)
{
    page_.page = contentPage(Content::repeated, 300, 3000, 26);
    QPainter(&page_.page).drawImage(0, 0, noisePage(300, 300, 5));
    QPainter(&page_.page).drawImage(0, 2800, noisePage(300, 200, 6));
    page_.rowsPerClick = 39;
    int tick = 0;
    ScrollCaptureSession::Environment env = environment();
    env.grab = [&](QScreen*, const QRectF&) {
        Captured<ScreenGrab> g = page_.grab();
        QPainter(&g->image).fillRect(220, 320, 60, 60, QColor::fromHsv(tick++ * 37 % 360, 200, 200));
        return g;
    };
    ScrollCaptureSession s(QGuiApplication::primaryScreen(), QRectF(100, 100, 300, 400), env);
    s.toggleAuto();
    const auto r = runToEnd(s);
    ASSERT_EQ(r.image.height(), 3000);
    EXPECT_EQ(s.model().status(), QString("Reached the end"));
    EXPECT_EQ(differingBytes(r.image.copy(0, 0, 300, 2920), page_.page.copy(0, 0, 300, 2920)), 0);
    EXPECT_LT(page_.grabs, 6 * page_.clicks.size());
}

// A canvas on the page redrawn at every grab, in a new palette every other grab and in between
// with its stripes one stripe on, so that every other pair of grabs looks as if the view moved:
// a pair that changes just the rows the still pair before changed is the canvas again, and
// every frame handed on has the canvas masked.
TEST_F(ScrollSessionTest, ACanvasThatLooksMovedEveryOtherGrabIsMasked)
{
    constexpr int kTop = 1000, kRows = 160, kStripe = 10;
    const QColor kEdge(255, 0, 255);  // the canvas's left edge, in every state: tells its rows
    int tick = 0;
    ScrollCaptureSession::Environment env = environment();
    env.grab = [&](QScreen*, const QRectF&) {
        Captured<ScreenGrab> g = page_.grab();
        const int t = tick++, top = kTop - page_.offset;
        QPainter p(&g->image);
        p.fillRect(0, top, 300, kRows, Qt::white);  // nothing beside it, as on a web page
        for (int y = 0; y < kRows; y += kStripe)
            p.fillRect(62, top + y, 180, kStripe,
                       QColor::fromHsv(((t / 2) * 97 + (y / kStripe + t % 2) * 31) % 360, 200, 200));
        p.fillRect(60, top, 2, kRows, kEdge);
        return g;
    };
    std::vector<ScrollCaptureSession::StitchCall> calls;
    env.record = [&](const ScrollCaptureSession::StitchCall& c) { calls.push_back(c); };
    ScrollCaptureSession s(QGuiApplication::primaryScreen(), QRectF(100, 100, 300, 400), env);
    s.toggleAuto();
    const auto r = runToEnd(s);
    ASSERT_EQ(r.image.height(), 3000);
    EXPECT_EQ(s.model().status(), QString("Reached the end"));
    int shown = 0;
    for (const auto& c : calls) {
        if (c.kind != ScrollCaptureSession::StitchCall::Kind::add)
            continue;
        for (int y = 0; y < c.frame.height(); ++y)
            if (c.frame.pixel(60, y) == kEdge.rgb()) {
                ++shown;
                EXPECT_TRUE(y < int(c.rows.size()) && c.rows[std::size_t(y)]) << "row " << y;
            }
    }
    EXPECT_GT(shown, 0);
}

// Photos at the page's foot that load only once the view stands at the end: the still view
// takes them, and the capture that reached the end says nothing went wrong.
TEST_F(ScrollSessionTest, PhotosThatLoadAtTheEndAreTakenWithoutANotice)
{
    constexpr int kPhoto = 260;  // more than half the view
    QImage loaded = makePage(300, 3000).convertToFormat(QImage::Format_RGB32);
    const QImage picture = contentPage(Content::photo, 260, kPhoto, 4).convertToFormat(QImage::Format_RGB32);
    QPainter(&loaded).drawImage(20, 3000 - kPhoto - 10, picture);
    page_.page = loaded;
    QPainter(&page_.page).fillRect(20, 3000 - kPhoto - 10, 260, kPhoto, QColor(136, 136, 136));
    int atEnd = 0;
    ScrollCaptureSession::Environment env = environment();
    env.grab = [&](QScreen*, const QRectF&) {
        if (page_.offset == 3000 - 400 && ++atEnd == 3)
            page_.page = loaded;
        return page_.grab();
    };
    ScrollCaptureSession s(QGuiApplication::primaryScreen(), QRectF(100, 100, 300, 400), env);
    s.toggleAuto();
    const auto r = runToEnd(s);
    EXPECT_GE(atEnd, 3);
    EXPECT_EQ(r.note, QString());
    EXPECT_EQ(s.model().status(), QString("Reached the end"));
    EXPECT_EQ(differingBytes(r.image, loaded), 0);
}

// A photo that loads only a while after it showed, its grey placeholder until then: before the
// step that scrolls the placeholder out of the view, the view is watched longer, so the photo
// comes out loaded. One block of flat colour that never changes costs that wait once.
TEST_F(ScrollSessionTest, APlaceholderLeavingTheViewIsWatchedUntilThePhotoLoads)
{
    const QRect at(20, 1400, 260, 200);
    const QImage picture =
        contentPage(Content::photo, at.width(), at.height(), 8).convertToFormat(QImage::Format_RGB32);
    QImage loaded = makePage(300, 3000).convertToFormat(QImage::Format_RGB32);
    QPainter(&loaded).drawImage(at.topLeft(), picture);
    for (const bool loads : {true, false}) {
        SCOPED_TRACE(loads ? "loads" : "a flat block");
        page_.offset = 0;
        page_.page = loaded;
        QPainter(&page_.page).fillRect(at, QColor(136, 136, 136));
        int firstSeen = -1, grabs = 0;
        std::map<int, int> grabsAt;
        ScrollCaptureSession::Environment env = environment();
        env.grab = [&](QScreen*, const QRectF&) {
            ++grabs;
            if (firstSeen < 0 && at.top() < page_.offset + 400 && at.bottom() >= page_.offset)
                firstSeen = grabs;
            ++grabsAt[page_.offset];
            if (loads && firstSeen > 0 && grabs - firstSeen == 9)
                page_.page = loaded;  // nine grabs after it showed
            return page_.grab();
        };
        ScrollCaptureSession s(QGuiApplication::primaryScreen(), QRectF(100, 100, 300, 400), env);
        s.toggleAuto();
        const auto r = runToEnd(s);
        ASSERT_EQ(r.image.height(), 3000);
        EXPECT_EQ(r.note, QString());
        EXPECT_EQ(differingBytes(r.image, page_.page), 0);
        // Watched longer at one view only (the end, where the wheel finds nothing, aside).
        const auto watched = std::count_if(grabsAt.begin(), grabsAt.end(), [](const auto& g) {
            return g.first < 3000 - 400 && g.second >= 7;
        });
        EXPECT_EQ(watched, 1);
    }
}

// Most rows of the view change at every turn of the wheel, in place as far as the pixels tell
// (as text scrolling over a background photo fixed on screen does): whatever the stitcher makes
// of it, the capture ends with the first screen and a notice, never with no image.
TEST_F(ScrollSessionTest, AViewThatChangesUnderTheWheelIsNoSelectionThatDoesNotScroll)
{
    page_.page = makePage(300, 400);  // the offset stays 0: only the pixels change
    giveUpWaitMs_ = 50;
    auto view = [&](int turn, bool halfway) {
        QImage v = page_.page.convertToFormat(QImage::Format_RGB32);
        const QImage photo =
            contentPage(Content::photo, 300, 250, 20 + turn).convertToFormat(QImage::Format_RGB32);
        QPainter p(&v);
        p.setOpacity(halfway ? 0.1 : 0.18);
        p.drawImage(0, 150, photo);
        return v;
    };
    const QImage first = view(0, false);
    ScrollCaptureSession::Environment env = environment();
    qsizetype shown = 0;
    env.grab = [&](QScreen*, const QRectF&) -> Captured<ScreenGrab> {
        // A smooth scroll: the first grab after a turn shows the change under way.
        const bool halfway = page_.clicks.size() != shown;
        shown = page_.clicks.size();
        return ScreenGrab{shown == 0 ? first : view(int(shown), halfway), 1.0};
    };
    ScrollCaptureSession s(QGuiApplication::primaryScreen(), QRectF(100, 100, 300, 400), env);
    s.toggleAuto();
    const auto r = runToEnd(s);
    ASSERT_FALSE(r.error) << qPrintable(r.error->message());
    EXPECT_EQ(r.note, QString("Could not follow the scroll: the image ends where stitching stopped."));
    EXPECT_EQ(differingBytes(r.image, first), 0);
}

// Auto mode gives up: the notice names a part of the page changing in place over most of the view
// (a canvas 360 rows tall in a 400-row view, redrawn at every grab) when every miss had one, and
// says only that the scroll could not be followed when the steps jump past the view, the canvas
// on the page or not.
TEST_F(ScrollSessionTest, GivingUpBesideAPartThatKeepsChangingSaysSo)
{
    const struct {
        int canvasRows, rowsPerClick;
        const char* note;
        int canvasTop = 600;
    } cases[] = {
        {360, 37,
         "Could not follow the scroll past a part of the page that keeps changing (a canvas or a video): "
         "the image ends there."},
        {0, 450, "Could not follow the scroll: the image ends where stitching stopped."},
        {360, 450, "Could not follow the scroll: the image ends where stitching stopped.", 700}};
    giveUpWaitMs_ = 50;
    for (const auto& c : cases) {
        page_.offset = 0;
        page_.rowsPerClick = c.rowsPerClick;
        page_.page = makePage(300, 6000);
        int tick = 0;
        ScrollCaptureSession::Environment env = environment();
        env.grab = [&](QScreen*, const QRectF&) {
            Captured<ScreenGrab> g = page_.grab();
            if (c.canvasRows > 0)
                QPainter(&g->image).drawImage(40, c.canvasTop - page_.offset,
                                              noisePage(220, c.canvasRows, tick++));
            return g;
        };
        ScrollCaptureSession s(QGuiApplication::primaryScreen(), QRectF(100, 100, 300, 400), env);
        s.toggleAuto();
        const auto r = runToEnd(s);
        EXPECT_EQ(r.note, QString(c.note)) << c.canvasRows << " at " << c.canvasTop;
        EXPECT_LT(r.image.height(), 6000);
    }
}

// An overlay scroll bar's thumb fading at the right edge, in the strip the stitcher leaves out:
// no content changes there, so settling neither waits for it nor masks its rows.
TEST_F(ScrollSessionTest, AThumbFadingAtTheRightEdgeIsNoAnimation)
{
    page_.page = makePage(640, 3000);
    int tick = 0;
    ScrollCaptureSession::Environment env = environment();
    env.grab = [&](QScreen*, const QRectF&) {
        Captured<ScreenGrab> g = page_.grab();
        QPainter(&g->image).fillRect(630, 100, 8, 72, QColor::fromHsv(0, 0, 40 + tick++ * 7 % 200));
        return g;
    };
    std::vector<ScrollCaptureSession::StitchCall> calls;
    env.record = [&](const ScrollCaptureSession::StitchCall& c) { calls.push_back(c); };
    ScrollCaptureSession s(QGuiApplication::primaryScreen(), QRectF(100, 100, 640, 400), env);
    s.toggleAuto();
    const auto r = runToEnd(s);
    ASSERT_EQ(r.image.height(), 3000);
    EXPECT_EQ(s.model().status(), QString("Reached the end"));
    for (const auto& c : calls)
        EXPECT_EQ(std::count(c.rows.begin(), c.rows.end(), VerticalStitcher::kAnimated), 0);
    EXPECT_LT(page_.grabs, 3 * page_.clicks.size() + 8);
}

// Manual mode with a band animating in place: while the user does not scroll nothing is
// added and nothing is warned about; a scroll is then stitched, the box left out.
TEST_F(ScrollSessionTest, ManualModeLearnsWhatAnimatesInPlace)
{
    int tick = 0;
    ScrollCaptureSession::Environment env = environment();
    env.grab = [&](QScreen*, const QRectF&) {
        Captured<ScreenGrab> g = page_.grab();
        const int t = tick++;
        QPainter(&g->image).fillRect(0, 150, 300, 60, QColor::fromHsv(t * 37 % 360, 200, 60 + t * 53 % 190));
        return g;
    };
    ScrollCaptureSession s(QGuiApplication::primaryScreen(), QRectF(100, 100, 300, 400), env);
    const auto r = runToEnd(s, {}, [&] {
        ASSERT_TRUE(waitFor([&] { return page_.grabs > 20; }));
        EXPECT_EQ(s.model().frames(), 1);
        EXPECT_FALSE(s.model().warning());
        page_.offset = 150;
        ASSERT_TRUE(waitFor([&] { return s.model().frames() == 2; }));
        s.requestDone();
    });
    ASSERT_EQ(r.image.height(), 550);
    EXPECT_EQ(differingBytes(r.image.copy(0, 0, 300, 150), page_.page.copy(0, 0, 300, 150)), 0);
    EXPECT_EQ(differingBytes(r.image.copy(0, 220, 300, 330), page_.page.copy(0, 220, 300, 330)), 0);
}

TEST_F(ScrollSessionTest, CancelThrowsTheFramesAway)
{
    auto s = make();
    const auto r = runToEnd(*s, {}, [&] {
        ASSERT_TRUE(waitFor([&] { return s->model().height() > 0; }));  // the first frame is in
        page_.offset = 120;                                             // the user scrolls a little
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

// A wheel that moves the content further per click after a while, and back by less.
struct DriftingWheel : FakeScrollPage {
    int forward = 0;  // rows per click forward once the drift starts
    int from = 0;     // clicks before the drift starts
    int done = 0;
    bool scroll(QPoint at, int n) override
    {
        if (n > 0 && done >= from) {
            clicks.append(n);
            offset = std::clamp(offset + n * forward, 0, page.height() - viewHeight);
            return true;
        }
        done += n > 0 ? n : 0;
        return FakeScrollPage::scroll(at, n);
    }
};

// After auto mode gives up over rows that repeat, the screen rests elsewhere than the last
// frame taken and stays still: the capture ends by itself with a note, and nothing more is
// added while nothing moves. A manual capture whose last frame could not be placed says so.
TEST_F(ScrollSessionTest, StillFramesAfterGivingUpDoNotKeepTheCaptureGoing)
{
    QImage page = contentPage(Content::repeated, 300, 4000, 26);
    QPainter(&page).drawImage(0, 0, noisePage(300, 500, 8));
    DriftingWheel wheel;
    wheel.page = page;
    wheel.viewHeight = 400;
    wheel.rowsPerClick = 39;
    wheel.forward = 41;  // then 10 rows further per 5-click step than asked, 39 back
    wheel.from = 6;
    ScrollCaptureSession::Environment env = environment();
    // Auto mode's last step over the repeating rows was only the wheel's guess and is taken
    // back when it gives up. The screen then rests one step (the last distance) below the
    // frame taken before it: a guess at the last distance would place that still frame.
    ScrollCaptureSession* session = nullptr;
    QList<int> heights;  // the stitched height after each step
    bool rested = false;
    env.grab = [&](QScreen*, const QRectF&) {
        if (session && !session->model().autoScroll() && !rested && heights.size() >= 3) {
            rested = true;
            const int kept = heights[heights.size() - 2];
            wheel.offset = kept - wheel.viewHeight + (kept - heights[heights.size() - 3]);
        }
        return wheel.grab();
    };
    env.scroller = &wheel;
    env.giveUpWaitMs = 400;
    ScrollCaptureSession s(QGuiApplication::primaryScreen(), QRectF(100, 100, 300, 400), env);
    session = &s;
    QObject::connect(&s.model(), &ScrollCaptureModel::changed, [&] {
        if (heights.isEmpty() || heights.back() != s.model().height())
            heights.append(s.model().height());
    });
    s.toggleAuto();
    int framesAtGiveUp = -1;
    const auto r = runToEnd(s, {}, [&] {
        ASSERT_TRUE(waitFor([&] { return !s.model().autoScroll(); }, 30000));
        framesAtGiveUp = s.model().frames();
    });
    ASSERT_FALSE(r.image.isNull());
    EXPECT_FALSE(r.note.isEmpty());
    EXPECT_TRUE(rested);
    EXPECT_EQ(s.model().frames(), framesAtGiveUp);
    // A correct beginning of the page.
    EXPECT_EQ(differingBytes(r.image, page.copy(0, 0, 300, r.image.height())), 0);

    auto m = make();
    const auto manual = runToEnd(*m, {}, [&] {
        ASSERT_TRUE(waitFor([&] { return m->model().height() > 0; }));
        page_.offset = 390;  // too far to place
        ASSERT_TRUE(waitFor([&] { return m->model().warning().has_value(); }));
        m->requestDone();
    });
    EXPECT_EQ(manual.image.height(), 400);
    EXPECT_FALSE(manual.note.isEmpty());
}

TEST_F(ScrollSessionTest, HeightLimitEndsTheCaptureWithWhatItHas)
{
    // Small limits keep the test small: read as stored, not into the range Settings offers.
    Prefs::readIntoOfferedRangeForTests(false);
    const auto ranged = qScopeGuard([] { Prefs::readIntoOfferedRangeForTests(true); });
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
        ASSERT_TRUE(waitFor([&] { return s->model().height() > 0; }));  // the first frame is in
        page_.offset = 120;
        ASSERT_TRUE(waitFor([&] { return s->model().frames() == 2; }));
        Q_EMIT qGuiApp->screenRemoved(s->screen());
    });
    EXPECT_FALSE(r.cancelled);
    EXPECT_FALSE(r.error);
    ASSERT_FALSE(r.image.isNull());
    EXPECT_EQ(differingBytes(r.image, page_.page.copy(0, 0, 300, 520)), 0);
    EXPECT_FALSE(r.note.isEmpty());
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

// On a small screen (640x360 at scale 2 leaves 304 points) the HUD puts its buttons under the
// texts rather than run off it, in every language; where there is room it keeps one row. One
// frame is counted in the singular.
TEST(ScrollHudView, FitsASmallScreenAndCountsOneFrame)
{
    const auto back = qScopeGuard([] { Lang::overrideForTests("en"); });
    const struct {
        const char* lang;
        QString one;
    } cases[] = {{"en", "1 frame · 480 px"}, {"de", "1 Bild · 480 px"}, {"hu", "1 képkocka · 480 px"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lang);
        Lang::overrideForTests(c.lang);
        ScrollCaptureModel model;
        model.setAutoScroll(false);
        model.setStatus(kx::tr("Loading the page before capturing…", "Az oldal betöltése a rögzítés előtt…",
                               "Die Seite wird vor der Aufnahme geladen…"));
        model.setFrames(1);
        model.setHeight(480);
        ScrollHud hud(&model);
        const int wide = hud.width();
        hud.fitTo(1904);
        EXPECT_EQ(hud.width(), wide);
        hud.fitTo(304);
        hud.show();
        EXPECT_LE(hud.width(), 304);
        for (ChromeButton* b : hud.findChildren<ChromeButton*>()) {
            const QRect r(b->mapTo(&hud, QPoint(0, 0)), b->size());
            EXPECT_TRUE(QRect(QPoint(0, 0), hud.size()).contains(r)) << qPrintable(b->title());
        }
        QStringList labels;
        for (QLabel* l : hud.findChildren<QLabel*>())
            labels << l->text();
        EXPECT_TRUE(labels.contains(c.one)) << qPrintable(labels.join(" | "));
        model.setFrames(2);
        EXPECT_TRUE(hud.width() <= 304);
        hud.grab().save(artifactDir("scroll") + QString("/hud-small-%1.png").arg(c.lang));
    }
}

// Done by hand after steps nothing could place: identical lines moved by whole lines (every
// frame looks like the first), and a jump further than the view. The first screen comes back
// with the notice that the rest could not be followed, never as a plain capture.
TEST_F(ScrollSessionTest, ManualDoneWithNoPlacedStepSaysSo)
{
    const std::pair<Content, int> cases[] = {{Content::repeated, 26 * 3}, {Content::prose, 450}};
    for (const auto& [content, jump] : cases) {
        SCOPED_TRACE(jump);
        page_.page = contentPage(content, 300, 3000, 26);
        page_.offset = 0;
        auto s = make();
        const auto r = runToEnd(*s, {}, [&] {
            ASSERT_TRUE(waitFor([&] { return s->model().height() > 0; }));
            page_.offset = jump;
            const int seen = page_.grabs;
            ASSERT_TRUE(waitFor([&] { return page_.grabs > seen + 3; }));
            s->requestDone();
        });
        EXPECT_EQ(differingBytes(r.image, page_.page.copy(0, 0, 300, 400)), 0);
        EXPECT_TRUE(r.note.startsWith("Could not follow the scroll")) << qPrintable(r.note);
    }
}

// The border window is its dashes: a gap between two dashes shows the screen, and nothing of
// it covers the captured rectangle.
TEST(ScrollBorderShape, TheWindowIsCutToItsDashes)
{
    const QSize outer(208, 108);  // a 200 × 100 rectangle grown by 4 on every side
    const QRegion dashes = ScrollBorder::dashes(outer);
    EXPECT_FALSE(dashes.intersects(QRect(4, 4, 200, 100)));
    // Along the top, 1.5 in from the corner: 8 on (to 9.5), 5 off (to 14.5), 8 on.
    const std::pair<QPoint, bool> at[] = {{{0, 1}, true},   {{5, 2}, true},   {{8, 0}, true},
                                          {{11, 1}, false}, {{13, 2}, false}, {{16, 1}, true},
                                          {{22, 1}, true},  {{5, 3}, false},  {{100, 50}, false}};
    for (const auto& [point, covered] : at)
        EXPECT_EQ(dashes.contains(point), covered) << point.x() << "," << point.y();
    // About 8 of every 13 points of the 3-point band are covered.
    qint64 area = 0;
    for (const QRect& r : dashes)
        area += qint64(r.width()) * r.height();
    const double band = 2.0 * 3 * (208 + 108 - 6);
    EXPECT_NEAR(area / band, 8.0 / 13, 0.04);
}

// Two grabs while the view glides, a canvas redrawn in between beside the text: the glide must
// be told from an animation in place however much of the view the canvas changes, down to its
// last pixels (a row of each line of text changes), and a canvas that changes alone, or a view
// that glides past nothing but blank rows, is no glide.
TEST(ScrollRowMasks, AGlideIsToldBesideALargeCanvas)
{
    const QImage page = makePage(480, 3000).convertToFormat(QImage::Format_RGB32);
    const struct {
        int shift, canvasRows;
        bool blank, glides;
    } cases[] = {{0, 300, false, false}, {40, 0, false, true},   {40, 150, false, true},
                 {40, 240, false, true}, {12, 280, false, true}, {40, 240, true, false},
                 {2, 330, false, true}};
    for (const auto& c : cases) {
        auto grab = [&](int offset, int state) {
            QImage f =
                c.blank ? QImage(480, 480, QImage::Format_RGB32) : page.copy(0, 600 + offset, 480, 480);
            if (c.blank)
                f.fill(Qt::white);
            QPainter p(&f);
            const QImage noise = noisePage(240, c.canvasRows, std::uint64_t(state + 1));
            if (c.canvasRows > 0)
                p.drawImage(120, 120, noise);
            return f;
        };
        const QImage before = grab(0, 0), after = grab(c.shift, 1);
        const VerticalStitcher::RowMask changed = ScrollCaptureSession::differingRows(before, after);
        EXPECT_EQ(rowmask::scrolled(before, after, changed), c.glides)
            << "shift " << c.shift << ", canvas " << c.canvasRows << (c.blank ? ", blank" : "");
    }
}

namespace {

// A page whose photos get their pixels only a while after they first came into view, grey
// until then; and a wheel that, once, comes back `shortBack` clicks less far than asked (an
// application that drops clicks of a long way back).
struct LatePhotoPage : FakeScrollPage {
    QImage loaded;
    std::vector<QRect> photos;
    std::vector<int> seenAt;
    int lateGrabs = 12;
    int shortBack = 0, shortBackAsked = 0;
    bool scroll(QPoint at, int n) override
    {
        if (n < 0 && shortBack != 0) {
            shortBackAsked = shortBack;
            n += std::exchange(shortBack, 0);
            clicks.append(n - shortBackAsked);  // what was asked
            offset = std::clamp(offset + n * rowsPerClick, 0, page.height() - viewHeight);
            return true;
        }
        return FakeScrollPage::scroll(at, n);
    }
    Captured<ScreenGrab> grabLate()
    {
        seenAt.resize(photos.size(), -1);
        for (std::size_t i = 0; i < photos.size(); ++i) {
            const QRect& p = photos[i];
            if (seenAt[i] < 0 && p.bottom() >= offset && p.top() < offset + viewHeight)
                seenAt[i] = grabs;
            if (seenAt[i] >= 0 && grabs - seenAt[i] >= lateGrabs)
                QPainter(&page).drawImage(p.topLeft(), loaded.copy(p));
        }
        return grab();
    }
};

}  // namespace

// Auto mode first takes the wheel down the page and back before it keeps a row: photos that
// load only a while after they came into view are loaded when their rows are taken, and a
// way back that lands below the start is mended before the first frame is taken anew. The
// capture then starts from the page as it stands at the start.
TEST_F(ScrollSessionTest, ThePageIsLoadedOnceBeforeAnyRowIsKept)
{
    // The way back overshoots the top by the clicks the end swallowed; seven fewer land 232 rows
    // below it, where 168 rows the start showed are still there to tell the distance; nine fewer
    // 306 rows, too far for any match: the view is taken most of a view further up; forty fewer
    // (an application that dropped most of the way back), a view at a time until the top; two fewer,
    // 74 rows below, up onto it rather than taken for near enough. Begun
    // 518 rows down the page, three more clicks land 138 rows above the start, from where no
    // step of the capture would reach past it: down onto the start, or less than a click below.
    const struct {
        int shortBack, start;
    } cases[] = {{0, 0}, {2, 0}, {7, 0}, {9, 0}, {40, 0}, {-3, 518}};
    for (const auto& [shortBack, start] : cases) {
        SCOPED_TRACE(QString("%1 clicks short, begun at row %2").arg(shortBack).arg(start).toStdString());
        LatePhotoPage page;
        page.loaded = makePage(300, 3000).convertToFormat(QImage::Format_RGB32);
        page.photos = {QRect(20, 300, 260, 200), QRect(20, 1500, 260, 240), QRect(20, 2700, 260, 220)};
        for (std::size_t i = 0; i < page.photos.size(); ++i)
            QPainter(&page.loaded)
                .drawImage(page.photos[i].topLeft(), contentPage(Content::photo, page.photos[i].width(),
                                                                 page.photos[i].height(), int(i) + 3)
                                                         .convertToFormat(QImage::Format_RGB32));
        page.page = page.loaded;
        for (const QRect& p : page.photos)
            QPainter(&page.page).fillRect(p, QColor(221, 221, 221));
        page.viewHeight = 400;
        page.shortBack = shortBack;
        page.offset = start;
        ScrollCaptureSession::Environment env = environment();
        env.preload = true;
        env.scroller = &page;
        env.grab = [&](QScreen*, const QRectF&) { return page.grabLate(); };
        ScrollCaptureSession s(QGuiApplication::primaryScreen(), QRectF(100, 100, 300, 400), env);
        s.toggleAuto();
        EXPECT_EQ(s.model().status(), QString("Loading the page before capturing…"));
        std::optional<ScrollCaptureSession::Result> result;
        s.run({}, [&](ScrollCaptureSession::Result r) { result = std::move(r); });
        ASSERT_TRUE(waitFor([&] { return result.has_value(); }, 60000));
        ASSERT_EQ(result->image.height(), 3000 - start) << qPrintable(result->note);
        EXPECT_EQ(result->note, QString());
        EXPECT_EQ(differingBytes(result->image, page.loaded.copy(0, start, 300, 3000 - start)), 0);
        // Down to the end first, then back in one turn (and, when it fell short, once more).
        int down = 0, i = 0;
        for (; i < page.clicks.size() && page.clicks[i] > 0; ++i)
            down += page.clicks[i];
        ASSERT_LT(i, page.clicks.size());
        EXPECT_GE(down * page.rowsPerClick, 3000 - 400 - start);
        EXPECT_LT(page.clicks[i], 0);
        ASSERT_LT(i + 1, page.clicks.size());
        EXPECT_EQ(page.clicks[i + 1]<0, shortBack> 0);  // fell short: once more up
    }
}

// By hand the first frame is the view as it was selected, even when the view moves before it
// ever stands still (a spinner in it, the user's wheel at once): the top of the page stays.
TEST_F(ScrollSessionTest, ByHandTheFirstFrameIsTheViewAsSelected)
{
    int tick = 0;
    ScrollCaptureSession::Environment env = environment();
    env.grab = [&](QScreen*, const QRectF&) {
        Captured<ScreenGrab> g = page_.grab();
        QPainter(&g->image).fillRect(20, 40, 30, 30, QColor::fromHsv(tick++ * 40 % 360, 200, 200));
        if (tick == 2)
            page_.offset = 120;  // the first turn of the wheel, before any settling could end
        return g;
    };
    ScrollCaptureSession s(QGuiApplication::primaryScreen(), QRectF(100, 100, 300, 400), env);
    std::optional<ScrollCaptureSession::Result> result;
    s.run({}, [&](ScrollCaptureSession::Result r) { result = std::move(r); });
    ASSERT_TRUE(waitFor([&] { return s.model().frames() == 2; }));
    s.requestDone();
    ASSERT_TRUE(waitFor([&] { return result.has_value(); }));
    ASSERT_EQ(result->image.height(), 520);
    // The page's top rows, but for the spinner's square.
    EXPECT_EQ(differingBytes(result->image.copy(0, 80, 300, 440), page_.page.copy(0, 80, 300, 440)), 0);
    EXPECT_EQ(differingBytes(result->image.copy(60, 0, 240, 80), page_.page.copy(60, 0, 240, 80)), 0);
}

// Whether a view is the one the capture started from: a photo that loaded in it keeps it the
// same view; text moved under fixed bands, with blank rows between the lines, does not, however
// many rows the bands and the blank stretches keep alike, also when the lines land where lines
// were and the blank rows are an off-white no byte of which equals the others; lines that
// repeat, only the same pixels.
TEST(ScrollSameView, LoadedPartsStayMovedTextUnderBandsDoesNot)
{
    const QColor white(Qt::white), offWhite(252, 252, 250);
    auto view = [](QColor background, int pitch, int line, bool photo) {
        QImage v(300, 400, QImage::Format_RGB32);
        v.fill(background);
        QPainter p(&v);
        p.fillRect(0, 0, 300, 60, QColor(40, 60, 80));    // a fixed header
        p.fillRect(0, 370, 300, 30, QColor(90, 90, 90));  // and footer
        for (int y = 64; y + 14 < 360; y += pitch, ++line) {
            p.fillRect(4, y, 8 + line * 13 % 30, 12, QColor::fromHsv(line * 37 % 360, 160, 200));
            p.fillRect(20, y + 2, 120 + line * 7 % 140, 6, QColor(30, 30, 30));
            p.fillRect(20, y + 12, 200, 2, QColor(30, 30, 30));  // alike in every line
        }
        p.fillRect(160, 200, 120, 60, photo ? QColor(200, 120, 40) : QColor(221, 221, 221));
        return v;
    };
    const struct {
        QColor background;
        int pitch, line;
        bool photo, same;
    } cases[] = {
        {white, 26, 0, true, true},       {offWhite, 26, 0, true, true},    {white, 48, 0, false, true},
        {white, 48, 1, false, false},     {offWhite, 26, 20, false, false}, {offWhite, 26, 20, true, false},
        {offWhite, 48, 20, false, false},
    };
    for (const auto& c : cases) {
        const QImage start = view(c.background, c.pitch, 0, false);
        EXPECT_EQ(ScrollCaptureSession::sameView(start, view(c.background, c.pitch, c.line, c.photo)), c.same)
            << "background " << qPrintable(c.background.name()) << ", lines every " << c.pitch
            << " from line " << c.line << (c.photo ? ", photo loaded" : "");
    }
    const QImage lines = contentPage(Content::repeated, 300, 400, 20).convertToFormat(QImage::Format_RGB32);
    const QImage onePeriod = contentPage(Content::repeated, 300, 420, 20)
                                 .convertToFormat(QImage::Format_RGB32)
                                 .copy(0, 20, 300, 400);
    EXPECT_EQ(ScrollCaptureSession::sameView(lines, onePeriod),
              ScrollCaptureSession::identical(lines, onePeriod));
}
