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
#include <QScopeGuard>
#include <QScreen>
#include <QTemporaryDir>
#include <algorithm>

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

namespace {

// Rows of `image` that differ from the same rows of `expected` outside `masks`.
int differingRows(const QImage& image, const QImage& expected, const QList<QRect>& masks, int rows)
{
    const QImage a = image.convertToFormat(QImage::Format_RGB32);
    int n = 0;
    for (int y = 0; y < rows; ++y) {
        const QRgb* p = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const QRgb* q = reinterpret_cast<const QRgb*>(expected.constScanLine(y));
        for (int x = 0; x < a.width(); ++x)
            if (p[x] != q[x] &&
                std::none_of(masks.begin(), masks.end(), [&](const QRect& m) { return m.contains(x, y); })) {
                ++n;
                break;
            }
    }
    return n;
}

struct Variant {
    const char* name;
    QStringList args;
    int maxHeight;  // 0: the default
};

class ScrollVariants : public FixturePageTest, public ::testing::WithParamInterface<Variant> {};

QByteArray currentDesktop()
{
    QByteArray out;
    runTool("xprop", {"-root", "_NET_CURRENT_DESKTOP"}, &out);
    return out;
}

ScrollCaptureSession::Result autoCapture(const QRect& area)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    ScrollCaptureSession session(screen, QRectF(area).translated(-QPointF(screen->geometry().topLeft())));
    session.toggleAuto();
    std::optional<ScrollCaptureSession::Result> result;
    session.run(QImage(), [&](ScrollCaptureSession::Result r) { result = std::move(r); });
    EXPECT_TRUE(waitFor([&] { return result.has_value(); }, 180000));
    return result.value_or(ScrollCaptureSession::Result{});
}

}  // namespace

// Each variant of the page comes back byte for byte outside what animates or floats, or
// the capture stops with a note and a correct beginning: never a repeated row.
TEST_P(ScrollVariants, WholePageOrACorrectBeginning)
{
    startFixture(400, 120, GetParam().args);
    // A limit below what Settings offers, so that a short page reaches it.
    Prefs::readIntoOfferedRangeForTests(GetParam().maxHeight == 0);
    const auto ranged = qScopeGuard([] { Prefs::readIntoOfferedRangeForTests(true); });
    if (GetParam().maxHeight)
        Prefs::set("scroll.maxHeight", GetParam().maxHeight);
    else
        Prefs::remove("scroll.maxHeight");
    ASSERT_TRUE(xdotool({"mousemove", "5", "5"}));  // no hover in the first frame
    const ScrollCaptureSession::Result r = autoCapture(fixture_->area());
    ASSERT_FALSE(r.image.isNull()) << (r.error ? qPrintable(r.error->message()) : "");
    r.image.save(artifactDir("scroll-desktop") + QString("/%1.png").arg(GetParam().name));
    ASSERT_EQ(r.image.width(), expectedPage_.width());
    if (r.image.height() == expectedPage_.height()) {
        EXPECT_EQ(differingRows(r.image, expectedPage_, masks_, r.image.height()), 0);
    } else {
        EXPECT_FALSE(r.note.isEmpty());
        ASSERT_LT(r.image.height(), expectedPage_.height());
        EXPECT_GT(r.image.height(), fixture_->area().height());
        // Above the band drawn once at the bottom, the page's own beginning.
        EXPECT_EQ(differingRows(r.image, expectedPage_, masks_, r.image.height() - 200), 0);
    }
    EXPECT_EQ(GetParam().maxHeight > 0, r.image.height() < expectedPage_.height());
}

INSTANTIATE_TEST_SUITE_P(
    Pages, ScrollVariants,
    ::testing::Values(
        Variant{"oddBands", {"--header", "77", "--footer", "31", "--wheel-step", "39"}, 0},
        Variant{"repeated", {"--repeat", "26", "--wheel-step", "57"}, 0},
        Variant{"hover", {"--hover", "--wheel-step", "75"}, 0},
        Variant{"stillBox", {"--box", "still", "--wheel-step", "101"}, 0},
        Variant{"animatedBox", {"--box", "animated"}, 0}, Variant{"bannerMid", {"--banner", "mid"}, 0},
        Variant{"bannerEnd", {"--banner", "end"}, 0}, Variant{"short", {"--page-height", "700"}, 0},
        // A "back to top" button floating near the bottom: once, at the end.
        Variant{"floatingButton", {"--button", "--header", "0", "--footer", "0"}, 0},
        // `seq` in a terminal: only the left edge shows anything.
        Variant{"terminal", {"--terminal", "--header", "0", "--footer", "0", "--wheel-step", "51"}, 0},
        // report_001.txt …: rows alike but for a number, 85 pixels a click.
        Variant{"fileList", {"--file-list", "--wheel-step", "85"}, 0},
        Variant{"overLimit", {"--page-height", "4000"}, 2000}),
    [](const auto& info) { return std::string(info.param.name); });

// Over the desktop background, and over a static band taller than the selection, nothing
// scrolls: a clear failure, no wheel click on the root window, the workspace unchanged.
TEST_F(ScrollDesktop, NothingScrollsGivesAClearFailure)
{
    const QByteArray desktop = currentDesktop();
    ASSERT_FALSE(desktop.isEmpty());
    for (const QRect& area : {QRect(1300, 700, 400, 300), QRect(fixture_->area().topLeft(), QSize(640, 0))}) {
        QRect a = area;
        if (a.height() == 0) {  // the fixture again, with a header taller than the selection
            fixture_ = std::make_unique<FixtureClient>(QStringList{"--at", "400", "120", "--header", "400"});
            ASSERT_TRUE(fixture_->waitReady());
            a = QRect(fixture_->area().topLeft(), QSize(640, 380));
        }
        const ScrollCaptureSession::Result r = autoCapture(a);
        EXPECT_TRUE(r.image.isNull());
        ASSERT_TRUE(r.error);
        EXPECT_TRUE(r.error->message().startsWith("Nothing in the selection scrolls"));
        EXPECT_EQ(currentDesktop(), desktop);
    }
    for (const QString& l : fixture_->lines())
        EXPECT_FALSE(l.startsWith("SCROLL"));
}
