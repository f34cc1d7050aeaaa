// Automatic scrolling captures over the kinds of pages real applications show, scrolled by
// wheel clicks of many sizes (odd, even, whole multiples of the line pitch; the last step
// cut short by the page's end), lengths drawn from a fixed seed. Whatever the page, the
// capture ends by itself; its image is the page's own beginning (a floating element once);
// a capture that stops before the end says so; and where the pixels can tell, the page
// comes back whole.
#include "capture/scroll/ScrollCaptureSession.h"
#include "capture/scroll/VerticalStitcher.h"
#include "core/Prefs.h"
#include "platform/HotKeyManager.h"

#include "RealisticPages.h"
#include "TestSupport.h"
#include "fakes/FakeHotKeyBackend.h"

#include <gtest/gtest.h>
#include <QGuiApplication>
#include <cstdio>
#include <functional>
#include <random>
#include <set>
#include <vector>

using namespace kx;
using namespace kx::test;

namespace {

constexpr int kWidth = 640, kView = 600;

struct Outcome {
    ScrollCaptureSession::Result result;
    QString status;
    bool ended = false;
};

// `hand` (when given) runs once the capture has begun in manual mode and plays the user.
Outcome capture(RealisticScreen& screen, const std::function<void(ScrollCaptureSession&)>& hand = {})
{
    auto manager = std::make_unique<HotKeyManager>(std::make_unique<FakeHotKeyBackend>());
    ScrollCaptureSession::Environment env;
    env.grab = [&](QScreen*, const QRectF&) { return screen.grabView(); };
    env.scroller = &screen;
    env.keys = manager.get();
    env.showUi = false;
    env.settleFirstMs = 0;
    env.settleMs = 1;
    env.giveUpWaitMs = 30;
    ScrollCaptureSession s(QGuiApplication::primaryScreen(), QRectF(0, 0, kWidth, kView), env);
    if (!hand)
        s.toggleAuto();
    Outcome out;
    std::optional<ScrollCaptureSession::Result> result;
    s.run(QImage(), [&](ScrollCaptureSession::Result r) { result = std::move(r); });
    if (hand)
        hand(s);
    out.ended = waitFor([&] { return result.has_value(); }, 120000);
    out.result = result.value_or(ScrollCaptureSession::Result{});
    out.status = s.model().status();
    return out;
}

// A page of `kind`, 4 to 6 views long, drawn from `seed`.
RealisticPage seededPage(PageKind kind, std::uint64_t seed)
{
    return makeRealisticPage(kind, kWidth, kView, 4.0 + double(seed % 200) / 100, seed);
}

// Rows of the result that differ from what the page must give there.
int wrongRows(const RealisticPage& page, const QImage& image)
{
    const int offset = image.height() - page.viewHeight;
    const QImage want = page.expected(offset);
    const QImage got = image.convertToFormat(QImage::Format_RGB32);
    int wrong = 0;
    for (int y = 0; y < got.height(); ++y) {
        const QRgb* a = reinterpret_cast<const QRgb*>(got.constScanLine(y));
        const QRgb* b = reinterpret_cast<const QRgb*>(want.constScanLine(y));
        for (int x = 0; x < got.width(); ++x)
            if (a[x] != b[x] && !page.allowed(x, y, offset)) {
                ++wrong;
                break;
            }
    }
    return wrong;
}

// Banners of the page in the result joined from two of their states.
int tornBanners(const RealisticPage& page, const QImage& image)
{
    int torn = 0;
    for (const QRect& b : page.pageBanners()) {
        if (b.bottom() >= image.height())
            break;
        for (int y = b.top() + 1; y <= b.bottom(); ++y)
            if (image.pixel(2, y) != image.pixel(2, b.top())) {
                ++torn;
                break;
            }
    }
    return torn;
}

}  // namespace

// A banner fixed on screen that pulses slowly, flat near the ends of its pulse where every
// settling sees it still: where the capture begins in the pulse decides whether its changes are
// seen before a step needs them masked. From whichever point, no row may be wrong and a capture
// that ends early must say so. (Without the pass through the page first, begun 13 grabs into the
// pulse at 20 rows a click, 20 rows under the banner were taken from a frame where it covered
// them.)
TEST(ScrollRandom, AFixedPulsingBannerFromAnyPointOfItsPulse)
{
    Prefs::registerDefaults();
    Prefs::remove("scroll.maxHeight");
    std::mt19937_64 rng(2032);
    int whole = 0, runs = 0;
    for (const int start : {0, 7, 13, 21, 29, 35})
        for (const int wheel : {20, 57}) {
            const RealisticPage page = seededPage(PageKind::fixedPulsingBanner, rng());
            RealisticScreen screen;
            screen.source = &page;
            screen.page = page.page;
            screen.viewHeight = kView;
            screen.rowsPerClick = wheel;
            screen.tick = start;
            const Outcome out = capture(screen);
            const QString what = QString("pulse from %1, %2 rows per click").arg(start).arg(wheel);
            ASSERT_TRUE(out.ended) << qPrintable(what);
            const QImage& image = out.result.image;
            ASSERT_GE(image.height(), kView) << qPrintable(what);
            EXPECT_EQ(wrongRows(page, image), 0) << qPrintable(what);
            EXPECT_EQ(tornBanners(page, image), 0) << qPrintable(what);
            const bool complete = image.height() == page.page.height();
            if (!complete)
                EXPECT_FALSE(out.result.note.isEmpty())
                    << qPrintable(what) << ": " << image.height() << " rows";
            whole += complete;
            ++runs;
        }
    std::printf("fixed pulsing banner: %d of %d whole\n", whole, runs);
    EXPECT_GE(whole, runs / 3);
}

TEST(ScrollRandom, NeverAWrongPageAlwaysAnEndAndEveryEarlyStopSaysSo)
{
    Prefs::registerDefaults();
    Prefs::remove("scroll.maxHeight");
    // Pages the pixels cannot follow to the end: repeating rows decide nothing, a blank
    // stretch hides how far the page moved.
    // A banner fixed on screen that pulses may end a capture early, with the notice, depending
    // on where in its pulse the capture begins (see the test above).
    const auto mayStopEarly = [](PageKind k) {
        return k == PageKind::identical || k == PageKind::turnsIdentical || k == PageKind::blankStretch ||
               k == PageKind::sidebar || k == PageKind::boxOverIdentical || k == PageKind::fixedPulsingBanner;
    };
    std::mt19937_64 rng(2028);
    int whole = 0, early = 0;
    for (int k = 0; k <= int(kLastPageKind); ++k) {
        const PageKind kind = PageKind(k);
        // Past a box floating in the middle, clicks larger than half a view too.
        std::vector<int> wheels{13, 20, 37, 40, 57, 85};
        if (kind == PageKind::floatingBox)
            wheels.insert(wheels.end(), {171, 250});
        for (const int wheel : wheels) {
            const RealisticPage page = seededPage(kind, rng());
            RealisticScreen screen;
            screen.source = &page;
            screen.page = page.page;
            screen.viewHeight = kView;
            screen.rowsPerClick = wheel;
            const Outcome out = capture(screen);
            const QString what = QString("%1, %2 rows per click, page of %3 rows")
                                     .arg(pageKindName(kind))
                                     .arg(wheel)
                                     .arg(page.page.height());
            ASSERT_TRUE(out.ended) << qPrintable(what);
            // Lines repeating at a whole number of clicks look the same after every click:
            // the first screen comes back with the notice (below) that the rest could not be.
            EXPECT_FALSE(out.result.error) << qPrintable(what);
            const QImage& image = out.result.image;
            ASSERT_FALSE(image.isNull())
                << qPrintable(what) << " " << qPrintable(out.result.error ? out.result.error->message() : "");
            ASSERT_EQ(image.width(), kWidth) << qPrintable(what);
            ASSERT_GE(image.height(), kView) << qPrintable(what);
            ASSERT_LE(image.height(), page.page.height()) << qPrintable(what);
            const int wrong = wrongRows(page, image);
            EXPECT_EQ(wrong, 0) << qPrintable(what) << ": " << image.height() << " rows";
            EXPECT_EQ(tornBanners(page, image), 0) << qPrintable(what);
            if (wrong)
                image.save(artifactDir("scroll-random") +
                           QString("/%1-%2.png").arg(pageKindName(kind)).arg(wheel));
            const bool complete = image.height() == page.page.height();
            if (!complete) {
                EXPECT_FALSE(out.result.note.isEmpty())
                    << qPrintable(what) << ": " << image.height() << " rows";
                EXPECT_NE(out.status, QString("Reached the end")) << qPrintable(what);
            }
            if (!mayStopEarly(kind)) {
                EXPECT_TRUE(complete) << qPrintable(what) << ": " << image.height() << " rows, note \""
                                      << qPrintable(out.result.note) << "\"";
            }
            whole += complete;
            early += !complete;
            std::printf("%-18s %2d rows a click: %s\n", pageKindName(kind), wheel,
                        complete ? "whole"
                                 : qPrintable("first " + QString::number(image.height()) + " of " +
                                              QString::number(page.page.height()) + " rows"));
        }
    }
    // Both outcomes were exercised.
    EXPECT_GT(whole, 0);
    EXPECT_GT(early, 0);
}

namespace {

// A capture of `page` on `screen` that must come back whole, without a note.
void expectWhole(RealisticScreen& screen, const RealisticPage& page, const QString& what)
{
    screen.source = &page;
    screen.page = page.page;
    screen.viewHeight = kView;
    const Outcome out = capture(screen);
    ASSERT_TRUE(out.ended) << qPrintable(what);
    const QImage& image = out.result.image;
    ASSERT_FALSE(image.isNull()) << qPrintable(what) << " "
                                 << qPrintable(out.result.error ? out.result.error->message() : "");
    EXPECT_EQ(wrongRows(page, image), 0) << qPrintable(what);
    EXPECT_EQ(image.height(), page.page.height()) << qPrintable(what);
    EXPECT_TRUE(out.result.note.isEmpty()) << qPrintable(what) << ": " << qPrintable(out.result.note);
    EXPECT_EQ(out.status, QString("Reached the end")) << qPrintable(what);
}

}  // namespace

// Smooth scrolling animates each wheel step: the frames a step settles on must be taken once
// the view has stopped, however few rows the last pixels of the move change (lines of text
// with gaps between them). Taken earlier, with those rows masked as an animation, the steps
// missed and auto mode gave up half-way.
TEST(ScrollRandom, SmoothScrollingIsFollowedToTheEnd)
{
    Prefs::registerDefaults();
    Prefs::remove("scroll.maxHeight");
    std::mt19937_64 rng(2029);
    for (const PageKind kind : {PageKind::varied, PageKind::sticky, PageKind::floatingButton, PageKind::hover,
                                PageKind::spinner, PageKind::numberedNames}) {
        for (const int wheel : {19, 40, 57, 114}) {
            const RealisticPage page = seededPage(kind, rng());
            RealisticScreen screen;
            screen.rowsPerClick = wheel;
            screen.smooth = true;
            expectWhole(screen, page,
                        QString("%1, %2 rows per smooth click").arg(pageKindName(kind)).arg(wheel));
        }
    }
}

// A canvas on the page three fifths of the view tall, drawn anew at every grab, with smooth
// scrolling on and off: it comes out as one grab showed it, the page around it right, and a
// capture that ends before the page does says so. No capture stops at it: seen changing at ever
// other rows of the view, it must not add up to a mask over the whole view, and the last pixel
// of a glide beside it, which changes a row of each line of text, is still the view moving.
TEST(ScrollRandom, ACanvasRedrawnAtEveryGrabComesOutOfOneFrame)
{
    Prefs::registerDefaults();
    Prefs::remove("scroll.maxHeight");
    std::mt19937_64 rng(2030);
    int whole = 0;
    for (const bool smooth : {false, true})
        for (const int wheel : {40, 57}) {
            RealisticPage page = seededPage(PageKind::varied, rng());
            page.canvas = QRect(kWidth / 4, 700, kWidth / 2, kView * 3 / 5);
            RealisticScreen screen;
            screen.rowsPerClick = wheel;
            screen.smooth = smooth;
            const QString what =
                QString("canvas, %1 rows per %2click").arg(wheel).arg(smooth ? "smooth " : "");
            screen.source = &page;
            screen.page = page.page;
            screen.viewHeight = kView;
            const Outcome out = capture(screen);
            ASSERT_TRUE(out.ended) << qPrintable(what);
            const QImage& image = out.result.image;
            ASSERT_GE(image.height(), kView) << qPrintable(what);
            EXPECT_EQ(wrongRows(page, image), 0) << qPrintable(what);
            if (image.height() < page.page.height()) {
                EXPECT_FALSE(out.result.note.isEmpty()) << qPrintable(what);
            }
            whole += image.height() == page.page.height();
            std::set<int> states;
            for (int y = page.canvas.top(); y <= std::min(page.canvas.bottom(), image.height() - 1); ++y)
                states.insert(page.canvasState(image, y));
            EXPECT_LE(states.size(), 1u) << qPrintable(what);
            std::printf("canvas %2d rows a %sclick: %d of %d rows\n", wheel, smooth ? "smooth " : "",
                        image.height(), page.page.height());
        }
    EXPECT_EQ(whole, 4);
}

// A busy application carries out some wheel steps late, after the frames of the step were
// taken, two steps in a row: they must not be taken for the end (nor moved two steps at once).
TEST(ScrollRandom, StepsCarriedOutLateAreWaitedFor)
{
    Prefs::registerDefaults();
    Prefs::remove("scroll.maxHeight");
    std::mt19937_64 rng(2030);
    for (const PageKind kind : {PageKind::varied, PageKind::sticky, PageKind::numberedNames}) {
        for (const int wheel : {20, 57}) {
            for (const bool smooth : {false, true}) {
                const RealisticPage page = seededPage(kind, rng());
                RealisticScreen screen;
                screen.rowsPerClick = wheel;
                screen.smooth = smooth;
                screen.late = [](int step) { return step % 4 == 2 || step % 4 == 3; };
                screen.lag = 5;
                expectWhole(screen, page,
                            QString("%1, %2 rows per click, smooth %3")
                                .arg(pageKindName(kind))
                                .arg(wheel)
                                .arg(smooth));
            }
        }
    }
}

namespace {

// The user's hand: moves the view by `step` rows at a time until `to`, each position held
// until the session has grabbed it a few times.
void scrollByHand(RealisticScreen& screen, int step, int to)
{
    for (int at = 0; at < to;) {
        at = std::min(at + step, to);
        screen.offset = at;
        const int seen = screen.grabs;
        ASSERT_TRUE(waitFor([&] { return screen.grabs > seen + 3; }, 60000));
    }
}

}  // namespace

// Scrolled by hand to the end, then Auto-scroll: the frames taken by hand are kept; where the
// pixels can follow the hand the page is whole and "Reached the end", otherwise the image is
// what could be placed (never a wrong row) and says so. A hand that jumps further than a view,
// or identical lines, place nothing: Done gives the first screen with the notice.
TEST(ScrollRandom, ManualStepsAreKeptAndEveryEarlyEndSaysSo)
{
    Prefs::registerDefaults();
    Prefs::remove("scroll.maxHeight");
    std::mt19937_64 rng(2031);
    int whole = 0, early = 0;
    for (int k = 0; k <= int(kLastPageKind); ++k) {
        const PageKind kind = PageKind(k);
        const RealisticPage page = seededPage(kind, rng());
        const int end = page.page.height() - kView;
        // Hand steps: small, then (Done, no auto) larger than the view.
        for (const int hand : {int(kView / 5 + rng() % 60), kView + 40}) {
            const bool thenAuto = hand < kView;
            RealisticScreen screen;
            screen.source = &page;
            screen.page = page.page;
            screen.viewHeight = kView;
            screen.rowsPerClick = 20 + int(rng() % 40);
            const Outcome out = capture(screen, [&](ScrollCaptureSession& s) {
                ASSERT_TRUE(waitFor([&] { return s.model().height() > 0; }, 60000));  // the first frame is in
                scrollByHand(screen, hand, end);
                if (thenAuto)
                    s.toggleAuto();
                else
                    s.requestDone();
            });
            const QString what = QString("%1, by hand %2 rows a time%3")
                                     .arg(pageKindName(kind))
                                     .arg(hand)
                                     .arg(thenAuto ? ", then auto" : "");
            ASSERT_TRUE(out.ended) << qPrintable(what);
            ASSERT_FALSE(out.result.error)
                << qPrintable(what) << ": " << qPrintable(out.result.error->message());
            const QImage& image = out.result.image;
            ASSERT_GE(image.height(), kView) << qPrintable(what);
            EXPECT_EQ(wrongRows(page, image), 0) << qPrintable(what) << ": " << image.height() << " rows";
            const bool complete = image.height() == page.page.height();
            if (complete) {
                EXPECT_TRUE(out.result.note.isEmpty())
                    << qPrintable(what) << ": " << qPrintable(out.result.note);
                EXPECT_EQ(out.status, QString("Reached the end")) << qPrintable(what);
            } else {
                EXPECT_FALSE(out.result.note.isEmpty())
                    << qPrintable(what) << ": " << image.height() << " rows";
                EXPECT_NE(out.status, QString("Reached the end")) << qPrintable(what);
            }
            if (!thenAuto) {
                EXPECT_EQ(image.height(), kView) << qPrintable(what);
            }
            if (thenAuto &&
                (kind == PageKind::varied || kind == PageKind::numberedNames || kind == PageKind::sticky)) {
                EXPECT_TRUE(complete) << qPrintable(what) << ": " << image.height() << " rows";
            }
            whole += complete;
            early += !complete;
            std::printf("%-18s hand %3d%s: %s\n", pageKindName(kind), hand,
                        thenAuto ? " then auto" : "          ",
                        complete ? "whole"
                                 : qPrintable("first " + QString::number(image.height()) + " rows, \"" +
                                              out.result.note + "\""));
        }
    }
    EXPECT_GT(whole, 0);
    EXPECT_GT(early, 0);
}

// By hand, then Auto-scroll, past a box floating in the middle of the view. Over identical
// rows the hand's steps cannot be placed (a hover tint and the box broke the repeats up, so a
// small shift seemed the only fit), and over varied rows steps larger than the rows below the
// box cannot show what the box hides: the image stops early, never with a wrong row, and
// says so. Smaller steps, larger than half a view or not, give the whole page.
TEST(ScrollRandom, HandStepsPastAFloatingBoxThenAuto)
{
    Prefs::registerDefaults();
    Prefs::remove("scroll.maxHeight");
    struct Case {
        PageKind kind;
        int hand;
        bool whole;
    } const cases[] = {
        {PageKind::boxOverIdentical, 149, false}, {PageKind::boxOverIdentical, 149, false},
        {PageKind::boxOverIdentical, 149, false}, {PageKind::boxOverIdentical, 131, false},
        {PageKind::floatingBox, 175, true},       {PageKind::floatingBox, 290, true},
        {PageKind::floatingBox, 420, false},
    };
    std::mt19937_64 rng(2032);
    for (const Case& c : cases) {
        const RealisticPage page = seededPage(c.kind, rng());
        RealisticScreen screen;
        screen.source = &page;
        screen.page = page.page;
        screen.viewHeight = kView;
        screen.rowsPerClick = 20 + int(rng() % 40);
        const Outcome out = capture(screen, [&](ScrollCaptureSession& s) {
            ASSERT_TRUE(waitFor([&] { return s.model().height() > 0; }, 60000));
            scrollByHand(screen, c.hand, page.page.height() - kView);
            s.toggleAuto();
        });
        const QString what = QString("%1, by hand %2 rows a time, then auto, %3 rows a click")
                                 .arg(pageKindName(c.kind))
                                 .arg(c.hand)
                                 .arg(screen.rowsPerClick);
        ASSERT_TRUE(out.ended) << qPrintable(what);
        ASSERT_FALSE(out.result.image.isNull()) << qPrintable(what);
        const QImage& image = out.result.image;
        EXPECT_EQ(wrongRows(page, image), 0) << qPrintable(what) << ": " << image.height() << " rows";
        const bool complete = image.height() == page.page.height();
        EXPECT_EQ(complete, c.whole) << qPrintable(what) << ": " << image.height() << " rows";
        EXPECT_EQ(out.result.note.isEmpty(), complete)
            << qPrintable(what) << ": " << image.height() << " rows";
        EXPECT_EQ(out.status == QString("Reached the end"), complete) << qPrintable(what);
    }
}

// A box floating over identical rows, with a hover tint away from the pointer: a view moved
// by anything but whole repeats fits a small shift best (the box and the tint nearly match
// themselves there), and nothing else exactly (they break the repeats up). Without a
// distance to expect, that is no match: never a step of a few rows for a jump of hundreds.
TEST(ScrollRandom, OneFitOverIdenticalRowsUnderABoxIsNoStep)
{
    const RealisticPage page = seededPage(PageKind::boxOverIdentical, 7);
    VerticalStitcher::RowMask pointer(kView, 0);
    std::fill(pointer.begin(), pointer.begin() + 51, VerticalStitcher::kPointer);
    for (const int offset : {1341, 563, 302, 447, 1063}) {
        VerticalStitcher st(page.view(0, 0), pointer);
        const VerticalStitcher::Outcome out = st.add(page.view(offset, 0), 0, pointer);
        EXPECT_EQ(out.kind, VerticalStitcher::Outcome::Kind::noMatch)
            << "view moved by " << offset << ", read as " << out.dy;
    }
}

// Identical rows up to shortly before the page's end: the wheel's distance places steps over
// them provisionally, and the end cuts the last one short. Once the wheel goes back after a
// miss, moving on no longer shows that step held: it is taken back, never kept (it was, as
// 455 wrong rows at 40 rows a click).
TEST(ScrollRandom, AStepOverRepeatsCutShortByTheEndIsNeverKept)
{
    Prefs::registerDefaults();
    Prefs::remove("scroll.maxHeight");
    std::mt19937_64 rng(5);
    for (const int wheel : {13, 20, 37, 40, 57, 85, 114, 171}) {
        const RealisticPage page = seededPage(kTableNearEnd, rng());
        RealisticScreen screen;
        screen.source = &page;
        screen.page = page.page;
        screen.viewHeight = kView;
        screen.rowsPerClick = wheel;
        const Outcome out = capture(screen);
        ASSERT_TRUE(out.ended) << wheel;
        const QImage& image = out.result.image;
        ASSERT_FALSE(image.isNull()) << wheel;
        ASSERT_LE(image.height(), page.page.height()) << wheel;
        EXPECT_EQ(wrongRows(page, image), 0) << wheel << " rows a click: " << image.height() << " rows";
        if (image.height() < page.page.height()) {
            EXPECT_FALSE(out.result.note.isEmpty()) << wheel;
        }
    }
}
