// The overlay as widgets, on two offscreen displays (the second at scale 2) with synthetic
// frozen images: results, keyboard, cancel paths and what the views paint.
#include "capture/overlay/OverlayView.h"
#include "capture/overlay/SelectionSession.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QWindow>

using namespace kx;

namespace {

QList<FrozenScreen> freezeSynthetic()
{
    QList<FrozenScreen> frozen;
    unsigned seed = 1;
    for (QScreen* s : QGuiApplication::screens()) {
        const double scale = s->devicePixelRatio();
        frozen.append(
            {s, kx::test::noiseImage((QSizeF(s->geometry().size()) * scale).toSize(), seed++), scale});
    }
    return frozen;
}

// For a move, `button` is the button held (NoButton: plain pointer motion).
void send(QWidget* w, QEvent::Type type, QPointF pos, Qt::MouseButton button = Qt::LeftButton,
          Qt::KeyboardModifiers mods = {})
{
    const bool move = type == QEvent::MouseMove;
    const Qt::MouseButtons held = move                                 ? Qt::MouseButtons(button)
                                  : type == QEvent::MouseButtonRelease ? Qt::NoButton
                                                                       : Qt::MouseButtons(button);
    QMouseEvent e(type, pos, w->mapToGlobal(pos), move ? Qt::NoButton : button, held, mods);
    QApplication::sendEvent(w, &e);
}

void key(QWidget* w, QEvent::Type type, int k)
{
    QKeyEvent e(type, k, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

struct Finished {
    int calls = 0;
    std::optional<SelectionResult> result;
};

class SelectionSessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(QGuiApplication::screens().size(), 2) << "needs the two-screen offscreen configuration";
        QCursor::setPos(QGuiApplication::screens()[1]->geometry().center());
    }

    SelectionSession* start(SelectionMode mode, QList<WindowInfo> windows = {})
    {
        session_ = std::make_unique<SelectionSession>(mode, freezeSynthetic(), windows);
        session_->run([this](std::optional<SelectionResult> r) {
            ++run_.calls;
            run_.result = std::move(r);
        });
        return session_.get();
    }
    OverlayView* view(int i) { return session_->overlayWindows()[i]->view(); }

    std::unique_ptr<SelectionSession> session_;
    Finished run_;
};

}  // namespace

TEST_F(SelectionSessionTest, AreaDragOnTheSecondDisplayReturnsItsPixels)
{
    SelectionSession* s = start(SelectionMode::area);
    ASSERT_EQ(s->overlayWindows().size(), 2);
    EXPECT_EQ(SelectionSession::active(), s);
    OverlayView* v = view(1);
    ASSERT_TRUE(kx::test::waitFor([&] { return s->overlayWindows()[1]->holdsKeyboard(); }))
        << "the overlay under the pointer takes the keyboard";

    send(v, QEvent::MouseButtonPress, {10.3, 10.3});
    send(v, QEvent::MouseMove, {60.2, 40.6});
    send(v, QEvent::MouseButtonRelease, {60.2, 40.6});

    ASSERT_EQ(run_.calls, 1);
    ASSERT_TRUE(run_.result);
    const SelectionResult& r = *run_.result;
    EXPECT_EQ(r.screen, QGuiApplication::screens()[1]);
    EXPECT_EQ(r.scale, 2.0);
    EXPECT_EQ(r.rect, QRectF(10.5, 10.5, 49.5, 30.0));
    const QRect pixels((r.rect.topLeft() * 2).toPoint(), (r.rect.size() * 2).toSize());
    // The second display's own synthetic picture, not the first one's.
    const QImage secondDisplay = kx::test::noiseImage(QSize(3200, 2000), 2);
    EXPECT_EQ(r.frozen.copy(pixels), secondDisplay.copy(pixels));
    EXPECT_EQ(pixels, QRect(21, 21, 99, 60));
    EXPECT_EQ(r.frozen.cacheKey(), v->frozen().cacheKey());
    EXPECT_EQ(SelectionSession::active(), nullptr);
    EXPECT_TRUE(s->overlayWindows().isEmpty());
}

TEST_F(SelectionSessionTest, KeyboardFollowsThePointerAndEscapeCancelsOnce)
{
    SelectionSession* s = start(SelectionMode::area);
    ASSERT_TRUE(kx::test::waitFor([&] { return s->overlayWindows()[1]->holdsKeyboard(); }));
    QEnterEvent enter(QPointF(50, 50), QPointF(50, 50), QPointF(50, 50));
    QApplication::sendEvent(view(0), &enter);
    EXPECT_TRUE(s->overlayWindows()[0]->holdsKeyboard());
    EXPECT_FALSE(s->overlayWindows()[1]->holdsKeyboard());

    key(view(0), QEvent::KeyPress, Qt::Key_Escape);
    EXPECT_EQ(run_.calls, 1);
    EXPECT_FALSE(run_.result);
    s->finish(SelectionResult{});  // a late second finish changes nothing
    EXPECT_EQ(run_.calls, 1);
    EXPECT_FALSE(run_.result);
}

TEST_F(SelectionSessionTest, RightClickAndAVanishingDisplayCancel)
{
    start(SelectionMode::window);
    send(view(0), QEvent::MouseButtonPress, {5, 5}, Qt::RightButton);
    EXPECT_EQ(run_.calls, 1);
    EXPECT_FALSE(run_.result);

    run_ = {};
    start(SelectionMode::colorPicker);
    Q_EMIT qGuiApp->screenRemoved(QGuiApplication::screens()[1]);
    EXPECT_EQ(run_.calls, 1);
    EXPECT_FALSE(run_.result);
}

// Colour picks are checked in OverlayLogicTest and on a real display.
TEST_F(SelectionSessionTest, WindowPickOnTheSecondDisplayUsesItsOwnCoordinates)
{
    WindowInfo front;
    front.id = 7;
    front.frame = QRect(1300, 20, 200, 150);
    front.owner = "Fixture";
    WindowInfo back = front;
    back.id = 8;
    back.frame = QRect(1250, 0, 600, 500);
    start(SelectionMode::window, {front, back});
    send(view(1), QEvent::MouseMove, {30, 30}, Qt::NoButton);
    EXPECT_EQ(view(1)->state().hovered(), 0);
    send(view(1), QEvent::MouseButtonPress, {30, 30});
    ASSERT_TRUE(run_.result && run_.result->window);
    EXPECT_EQ(run_.result->window->id, 7u);
    EXPECT_EQ(run_.result->rect, QRectF(20, 20, 200, 150));
}

// What is on screen after many partial repaints must equal a full repaint of the same
// state: a decoration left behind or a region not repainted shows up here.
TEST_F(SelectionSessionTest, PartialRepaintsMatchAFullRepaint)
{
    SelectionSession* s = start(SelectionMode::area);
    OverlayWindow* w = s->overlayWindows()[0];
    OverlayView* v = view(0);
    ASSERT_TRUE(kx::test::waitFor([&] { return w->windowHandle() && w->windowHandle()->isExposed(); }));
    for (int i = 0; i < 12; ++i) {
        send(v, QEvent::MouseMove, {100.0 + i * 37, 80.0 + i * 29}, Qt::NoButton);
        QCoreApplication::processEvents();
    }
    send(v, QEvent::MouseButtonPress, {500, 300});
    for (int i = 0; i < 8; ++i) {
        send(v, QEvent::MouseMove, {700.0 - i * 40, 520.0 + i * 10});
        QCoreApplication::processEvents();
    }
    QCoreApplication::processEvents();
    const QImage shown = w->screen()->grabWindow(w->winId()).toImage().convertToFormat(QImage::Format_RGB32);
    const QImage full = v->grab().toImage().convertToFormat(QImage::Format_RGB32);
    shown.save(kx::test::artifactDir("overlay") + "/partial.png");
    full.save(kx::test::artifactDir("overlay") + "/full.png");
    ASSERT_EQ(shown.size(), full.size());
    EXPECT_EQ(kx::test::maxChannelDifference(shown, full), 0);

    // Outside the selection the frozen screen is dimmed; inside it is untouched.
    const QRectF sel = *v->state().selection();
    const QPoint inside = sel.center().toPoint();
    EXPECT_EQ(full.pixel(inside), v->frozen().pixel(inside) | 0xFF000000u);
    const QRgb raw = v->frozen().pixel(1200, 20);
    const QRgb dim = full.pixel(1200, 20);
    EXPECT_NEAR(qRed(dim), qRed(raw) * 0.58, 1.0);
    EXPECT_NEAR(qBlue(dim), qBlue(raw) * 0.58, 1.0);
}

// Events reach the view through its window, as the platform delivers them: Qt hands a child
// widget whole points, yet at scale 2 an odd device pixel lies on a half point, and the loupe
// shows device pixels, so each must be reachable as an edge.
TEST_F(SelectionSessionTest, AtScaleTwoAnEdgeFallsOnAnOddDevicePixel)
{
    SelectionSession* s = start(SelectionMode::area);
    QWindow* w = s->overlayWindows()[1]->windowHandle();
    ASSERT_TRUE(w);
    ASSERT_TRUE(kx::test::waitFor([&] { return w->isExposed(); }));
    const QPointF origin = w->mapToGlobal(QPoint(0, 0));
    const auto post = [&](QEvent::Type type, QPointF at, Qt::MouseButtons held) {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent e(type, at, origin + at, button, held, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    };
    post(QEvent::MouseMove, {20.5, 30.5}, Qt::NoButton);
    ASSERT_TRUE(view(1)->state().mouse());
    const auto sample = view(1)->state().loupeAt(*view(1)->state().mouse());
    ASSERT_TRUE(sample);
    EXPECT_EQ(sample->pixel, QPoint(41, 61));

    post(QEvent::MouseButtonPress, {20.5, 30.5}, Qt::LeftButton);
    post(QEvent::MouseMove, {121.5, 81.5}, Qt::LeftButton);
    post(QEvent::MouseButtonRelease, {121.5, 81.5}, Qt::NoButton);
    ASSERT_EQ(run_.calls, 1);
    ASSERT_TRUE(run_.result);
    EXPECT_EQ(run_.result->rect, QRectF(20.5, 30.5, 101, 51));
}
