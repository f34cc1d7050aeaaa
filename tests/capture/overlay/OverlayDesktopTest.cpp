// The overlay on a real X display with the fixture window, driven by xdotool: an area drag,
// a window pick and a colour sample, each checked against what the fixture shows. Run again
// on two X screens (OverlayTwoDisplaysTest), where Qt shows each as a display of its own.
#include "capture/overlay/OverlayView.h"
#include "capture/overlay/SelectionSession.h"
#include "core/Prefs.h"
#include "platform/ScreenCapturer.h"
#include "platform/WindowList.h"

#include "FixturePageTest.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <xcb/xcb.h>
#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>
#include <cmath>
#include <cstdlib>

using namespace kx;
using namespace kx::test;

namespace {

class OverlayDesktop : public FixturePageTest {
protected:
    void SetUp() override { startFixture(300, 160); }

    // Freezes every display and shows the overlays; true once all are on screen.
    bool start(SelectionMode mode)
    {
        Captured<QList<FrozenScreen>> frozen = ScreenCapturer::freezeAllScreens();
        if (!frozen)
            return false;
        session_ = std::make_unique<SelectionSession>(mode, *frozen);
        session_->run([this](std::optional<SelectionResult> r) {
            finished_ = true;
            result_ = std::move(r);
        });
        const QList<OverlayWindow*> windows = session_->overlayWindows();
        return waitFor([&] {
            for (OverlayWindow* w : windows)
                if (!w->windowHandle() || !w->windowHandle()->isExposed())
                    return false;
            return true;
        });
    }

    bool waitFinished()
    {
        return waitFor([&] { return finished_; }, 20000);
    }

    // The overlays are gone from the screen.
    static bool overlaysGone()
    {
        return waitFor([] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (qobject_cast<OverlayWindow*>(w) && w->isVisible())
                    return false;
            return true;
        });
    }

    // Frozen screens unlike the real ones, every pixel its own.
    static QList<FrozenScreen> patternScreens()
    {
        QList<FrozenScreen> frozen;
        for (QScreen* s : QGuiApplication::screens()) {
            QImage image((QSizeF(s->geometry().size()) * s->devicePixelRatio()).toSize(),
                         QImage::Format_ARGB32_Premultiplied);
            for (int y = 0; y < image.height(); ++y) {
                auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
                for (int x = 0; x < image.width(); ++x)
                    row[x] = qRgb((x * 7) & 0xff, (y * 5) & 0xff, 128 + ((x + y) & 0x7f));
            }
            frozen.append({s, image, s->devicePixelRatio()});
        }
        return frozen;
    }

    void runSession(SelectionMode mode, QList<FrozenScreen> frozen)
    {
        session_ = std::make_unique<SelectionSession>(mode, std::move(frozen));
        session_->run([this](std::optional<SelectionResult> r) {
            finished_ = true;
            result_ = std::move(r);
        });
    }

    // Waits until the display shows `expected` dimmed, away from the crosshair and loupe at
    // the pointer and the hint; `why` says what was wrong when it never does.
    static bool showsDimmed(OverlayWindow* window, const QImage& expected, std::string* why)
    {
        const auto dimmed = [](int c) {
            return c * (255 - int(std::lround(OverlayPainter::kDim * 255))) / 255;
        };
        int compared = 0, wrong = 0;
        QString first;
        const bool shown = waitFor([&] {
            const auto shown = ScreenCapturer::captureScreen(window->screen(), std::nullopt, false, false);
            if (!shown || shown->image.size() != expected.size())
                return false;
            compared = wrong = 0;
            for (int y = 3; y < expected.height() - 160; y += 37) {
                for (int x = 5; x < expected.width(); x += 41) {
                    if (std::abs(x - 100) < 330 && std::abs(y - 100) < 330)
                        continue;
                    const QRgb want = expected.pixel(x, y), got = shown->image.pixel(x, y);
                    ++compared;
                    if (std::abs(qRed(got) - dimmed(qRed(want))) > 2 ||
                        std::abs(qGreen(got) - dimmed(qGreen(want))) > 2 ||
                        std::abs(qBlue(got) - dimmed(qBlue(want))) > 2) {
                        if (wrong++ == 0)
                            first = QStringLiteral("%1,%2: %3 for %4")
                                        .arg(x)
                                        .arg(y)
                                        .arg(got, 8, 16)
                                        .arg(want, 8, 16);
                    }
                }
            }
            return wrong == 0;
        });
        *why = QStringLiteral("%1 of %2 points wrong, first %3")
                   .arg(wrong)
                   .arg(compared)
                   .arg(first)
                   .toStdString();
        return shown && compared > 500;
    }

    std::unique_ptr<SelectionSession> session_;
    bool finished_ = false;
    std::optional<SelectionResult> result_;
};

// Counts the expose events that show a window (not the one that says it went from the screen).
class ExposeCounter : public QObject {
public:
    int count = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed())
            ++count;
        return false;
    }
};

}  // namespace

TEST_F(OverlayDesktop, AreaDragReturnsExactlyTheDraggedPixels)
{
    const QRect area = fixture_->area();
    const QPoint from = area.topLeft() + QPoint(30, 40);
    const QPoint to = area.topLeft() + QPoint(430, 300);
    ASSERT_TRUE(start(SelectionMode::area));
    ASSERT_TRUE(xdotool({"mousemove", QString::number(from.x()), QString::number(from.y()), "mousedown", "1",
                         "mousemove", QString::number(from.x() + 100), QString::number(from.y() + 50)}));
    OverlayView* view = session_->overlayWindows().first()->view();
    ASSERT_TRUE(waitFor([&] { return view->state().selection().has_value(); }));
    // Mid-drag, as the user sees it.
    QCoreApplication::processEvents();
    if (Captured<ScreenGrab> shot = ScreenCapturer::captureScreen(view->screen(), std::nullopt, false, false))
        shot->image.save(artifactDir("overlay-desktop") + "/dragging.png");
    ASSERT_TRUE(xdotool({"mousemove", QString::number(to.x()), QString::number(to.y()), "mouseup", "1"}));
    ASSERT_TRUE(waitFinished());
    ASSERT_TRUE(result_);
    EXPECT_EQ(result_->screen, QGuiApplication::primaryScreen());
    EXPECT_EQ(result_->rect, QRectF(QPointF(from), QPointF(to)));
    const QRect pixels = ScreenCapturer::pixelRect(result_->rect, result_->scale);
    const QImage chosen = result_->frozen.copy(pixels).convertToFormat(QImage::Format_RGB32);
    // What the fixture shows there: its header and the top of its page.
    const QImage shown =
        expectedPage_.copy(QRect(from - area.topLeft(), QSize(to.x() - from.x(), to.y() - from.y())));
    chosen.save(artifactDir("overlay-desktop") + "/drag.png");
    EXPECT_EQ(maxChannelDifference(chosen, shown), 0);
    EXPECT_TRUE(overlaysGone());
}

TEST_F(OverlayDesktop, ADragToTheFarCornerTakesTheWholeDisplay)
{
    // The pointer stops on the last pixel (1919, 1079); the selection must still reach the edge.
    ASSERT_TRUE(start(SelectionMode::area));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    ASSERT_TRUE(xdotool({"mousemove", "0", "0", "mousedown", "1", "mousemove", "400", "300", "mousemove",
                         QString::number(screen.right() + 500), QString::number(screen.bottom() + 500),
                         "mouseup", "1"}));
    ASSERT_TRUE(waitFinished());
    ASSERT_TRUE(result_);
    EXPECT_EQ(result_->rect, QRectF(QPointF(0, 0), QSizeF(screen.size())));
    EXPECT_EQ(ScreenCapturer::pixelRect(result_->rect, result_->scale).size(), result_->frozen.size());
}

TEST_F(OverlayDesktop, WindowPickReturnsTheFixtureFrame)
{
    std::optional<WindowInfo> listed;
    for (const WindowInfo& w : WindowList::onScreen(false))
        if (w.id == fixture_->windowId())
            listed = w;
    ASSERT_TRUE(listed) << "the fixture is in the window list";
    ASSERT_TRUE(start(SelectionMode::window));
    const QPoint inside = fixture_->area().center();
    ASSERT_TRUE(
        xdotool({"mousemove", QString::number(inside.x()), QString::number(inside.y()), "click", "1"}));
    ASSERT_TRUE(waitFinished());
    ASSERT_TRUE(result_ && result_->window);
    EXPECT_EQ(result_->window->id, fixture_->windowId());
    EXPECT_EQ(result_->window->pid, fixture_->pid());
    EXPECT_EQ(result_->rect, QRectF(listed->frame));
    EXPECT_TRUE(result_->rect.contains(QRectF(fixture_->area())));
}

TEST_F(OverlayDesktop, ColourSampleReturnsTheFixtureColour)
{
    ASSERT_TRUE(start(SelectionMode::colorPicker));
    const QPoint onHeader = fixture_->area().topLeft() + QPoint(12, 10);
    ASSERT_TRUE(
        xdotool({"mousemove", QString::number(onHeader.x()), QString::number(onHeader.y()), "click", "1"}));
    ASSERT_TRUE(waitFinished());
    ASSERT_TRUE(result_ && result_->color);
    EXPECT_EQ(result_->color->name(), QString("#2e86c1"));
    EXPECT_EQ(result_->rect.topLeft(), QPointF(onHeader));
}

TEST_F(OverlayDesktop, EscapeCancelsAndGivesTheKeyboardBack)
{
    ASSERT_TRUE(start(SelectionMode::area));
    const QPoint inside = fixture_->area().center();
    ASSERT_TRUE(xdotool({"mousemove", QString::number(inside.x()), QString::number(inside.y())}));
    ASSERT_TRUE(waitFor([&] { return session_->overlayWindows().first()->holdsKeyboard(); }));
    ASSERT_TRUE(xdotool({"key", "Escape"}));
    ASSERT_TRUE(waitFinished());
    EXPECT_FALSE(result_);
    ASSERT_TRUE(overlaysGone());
    // The keyboard grab went with the overlay: the fixture hears the next Esc, once the window
    // manager, in its own time, has given the focus back to it.
    ASSERT_TRUE(waitFor(
        [&] {
            QByteArray focus;
            return run("xdotool", {"getwindowfocus"}, &focus) == 0 &&
                   focus.trimmed().toUInt() == fixture_->windowId();
        },
        30000));
    ASSERT_TRUE(xdotool({"key", "Escape"}));
    EXPECT_TRUE(fixture_->waitForLine([](const QString& l) { return l == "KEY Esc"; }, 30000));
}

// After the idle time a hidden overlay window gives the memory of its pixels back but stays;
// the next capture readies and reuses it (pixels in memory before the first paint), and what
// it shows is the next frozen screen, dimmed, in full: nothing of the memory given back.
TEST_F(OverlayDesktop, AWindowThatGaveItsMemoryBackShowsTheNextFrozenScreenInFull)
{
    ASSERT_TRUE(xdotool({"mousemove", "100", "100"}));
    ASSERT_TRUE(start(SelectionMode::area));
    session_->finish(std::nullopt);
    ASSERT_TRUE(overlaysGone());
    const QList<QScreen*> screens = QGuiApplication::screens();
    ASSERT_TRUE(waitFor([&] { return SelectionSession::parkedWindows().size() == screens.size(); }));
    const QList<OverlayWindow*> parked = SelectionSession::parkedWindows();
    OverlayWindow* window = parked.first();
    ASSERT_GT(window->pixelBytes(), 0);
    EXPECT_EQ(window->residentPixelBytes(), window->pixelBytes());

    SelectionSession::releaseParkedWindows();
    EXPECT_EQ(SelectionSession::parkedWindows(), parked);
    EXPECT_EQ(window->residentPixelBytes(), 0);

    SelectionSession::prepareOverlays();
    EXPECT_EQ(SelectionSession::parkedWindows(), parked);
    EXPECT_TRUE(waitFor([&] { return window->residentPixelBytes() == window->pixelBytes(); }));

    QList<FrozenScreen> frozen = patternScreens();
    const QImage expected = frozen.first().image;
    runSession(SelectionMode::area, std::move(frozen));
    EXPECT_TRUE(session_->overlayWindows().contains(window));
    ASSERT_TRUE(waitFor([&] { return window->windowHandle() && window->windowHandle()->isExposed(); }));
    std::string why;
    EXPECT_TRUE(showsDimmed(window, expected, &why)) << why;
    if (const auto shown = ScreenCapturer::captureScreen(window->screen(), std::nullopt, false, false))
        shown->image.save(artifactDir("overlay-reused") + "/shown.png");
    session_->finish(std::nullopt);
}

// Qt paints a new overlay in full when the map is reported; the server's own exposes of the
// map are left out, so the screen-sized content goes to the server once, and the overlay
// still shows in full, for a new window and for one shown again.
TEST_F(OverlayDesktop, AnOverlayIsSentToTheServerOnceAndShownInFull)
{
    ASSERT_TRUE(xdotool({"mousemove", "100", "100"}));
    SelectionSession::dropParkedWindows();
    for (const char* round : {"new window", "window shown again"}) {
        SCOPED_TRACE(round);
        finished_ = false;
        QList<FrozenScreen> frozen = patternScreens();
        const QImage expected = frozen.first().image;
        runSession(SelectionMode::area, std::move(frozen));
        OverlayWindow* window = session_->overlayWindows().first();
        ASSERT_TRUE(window->windowHandle());
        ExposeCounter exposes;
        window->windowHandle()->installEventFilter(&exposes);
        std::string why;
        EXPECT_TRUE(showsDimmed(window, expected, &why)) << why;
        // Every event the server sent so far is in, and then some time for any late one.
        auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        ASSERT_TRUE(x11 && x11->connection());
        free(xcb_get_input_focus_reply(x11->connection(), xcb_get_input_focus(x11->connection()), nullptr));
        QTest::qWait(300);
        EXPECT_EQ(exposes.count, 1);
        window->windowHandle()->removeEventFilter(&exposes);
        session_->finish(std::nullopt);
        ASSERT_TRUE(overlaysGone());
        // Off the screen for the server too, before the next round counts.
        ASSERT_TRUE(waitFor([&] { return !window->windowHandle()->isExposed(); }));
    }
}

class OverlayTwoDisplays : public OverlayDesktop {
protected:
    void SetUp() override {}
};

TEST_F(OverlayTwoDisplays, DragOnTheSecondDisplayReturnsItsPixels)
{
    if (QGuiApplication::screens().size() < 2)
        GTEST_SKIP() << "the X server shows Qt only one display";
    QScreen* second = QGuiApplication::screens()[1];
    startFixture(100, 80, {}, qEnvironmentVariable("DISPLAY").section('.', 0, 0) + ".1");
    ASSERT_TRUE(start(SelectionMode::area));
    ASSERT_EQ(session_->overlayWindows().size(), 2);
    EXPECT_EQ(session_->overlayWindows()[1]->windowHandle()->screen(), second);

    // Fixture coordinates are those of its own X screen, which is the second display's.
    const QPoint from = fixture_->area().topLeft() + QPoint(20, 30);
    const QPoint to = from + QPoint(333, 222);
    ASSERT_TRUE(xdotool({"mousemove", "--screen", "1", QString::number(from.x()), QString::number(from.y()),
                         "mousedown", "1", "mousemove", "--screen", "1", QString::number(to.x()),
                         QString::number(to.y()), "mouseup", "1"}));
    ASSERT_TRUE(waitFinished());
    ASSERT_TRUE(result_);
    EXPECT_EQ(result_->screen, second);
    EXPECT_EQ(result_->rect, QRectF(QPointF(from - second->geometry().topLeft()), QSizeF(333, 222)));
    const QImage chosen = result_->frozen.copy(ScreenCapturer::pixelRect(result_->rect, result_->scale))
                              .convertToFormat(QImage::Format_RGB32);
    chosen.save(artifactDir("overlay-two") + "/second.png");
    EXPECT_EQ(maxChannelDifference(
                  chosen, expectedPage_.copy(QRect(from - fixture_->area().topLeft(), QSize(333, 222)))),
              0);
}
