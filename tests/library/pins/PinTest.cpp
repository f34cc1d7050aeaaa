// Pins: first frame, zoom and fade limits, the opacity check mark, the aspect-keeping edge
// resize, and closing (keys, double click, close square, closeAll, click-through).
#include "library/pins/PinGeometry.h"
#include "library/pins/PinManager.h"
#include "library/pins/PinWindow.h"

#include <gtest/gtest.h>
#include <QMenu>
#include <QNativeGestureEvent>
#include <QPointingDevice>
#include <QSystemTrayIcon>
#include <QTest>
#include <QWheelEvent>
#include <QWindow>

using namespace kx;

namespace {

QImage picture(int w, int h)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::darkMagenta);
    return img;
}

QAction* findAction(QMenu* menu, const QString& text)
{
    for (QAction* a : menu->actions()) {
        if (a->text() == text)
            return a;
        if (a->menu())
            if (QAction* inner = findAction(a->menu(), text))
                return inner;
    }
    return nullptr;
}

}  // namespace

TEST(PinGeometry, StartFrameFitsCentresAndStaysOnScreen)
{
    const QRectF visible(0, 25, 1440, 875);
    const QSizeF base = pin::baseSize(QSize(3000, 2000), 2);
    EXPECT_EQ(base, QSizeF(1500, 1000));
    const QRectF f = pin::startFrame(base, std::nullopt, visible);
    EXPECT_EQ(f.size(), QSizeF(1181.25, 787.5));
    EXPECT_DOUBLE_EQ(pin::zoomOf(f, base), 0.7875);
    EXPECT_EQ(f.center(), visible.center());
    // Over the captured area, moved left where it would pass the right edge.
    EXPECT_EQ(pin::startFrame(QSizeF(400, 300), QRectF(1300, 100, 400, 300), visible),
              QRectF(1040, 100, 400, 300));
    EXPECT_EQ(pin::startFrame(QSizeF(400, 300), QRectF(-50, 0, 400, 300), visible), QRectF(0, 25, 400, 300));
}

TEST(PinGeometry, ZoomFadeAndOpacityLimits)
{
    const QSizeF base(200, 100);
    const QRectF frame(100, 100, 200, 100);
    EXPECT_EQ(pin::zoomedFrame(frame, base, 20), QRectF(200 - 800, 150 - 400, 1600, 800));
    EXPECT_EQ(pin::zoomedFrame(frame, base, 0.01), QRectF(190, 145, 20, 10));
    EXPECT_DOUBLE_EQ(pin::steppedZoom(0.05, 1.1), 0.1 * 1.1);
    EXPECT_DOUBLE_EQ(pin::fadedAlpha(0.2, -10), 0.15);
    EXPECT_DOUBLE_EQ(pin::fadedAlpha(0.95, 10), 1.0);
    EXPECT_EQ(pin::checkedOpacity(0.5), 50);
    EXPECT_EQ(pin::checkedOpacity(0.63), -1);
}

TEST(PinGeometry, EdgeResizeKeepsTheAspectAndTheOppositeSide)
{
    const QRectF start(100, 100, 300, 200);
    const QSizeF aspect(3, 2);
    struct Case {
        Qt::Edges edges;
        QPointF delta;
        QRectF expected;
    } cases[] = {
        {Qt::RightEdge, {60, 0}, QRectF(100, 80, 360, 240)},
        {Qt::LeftEdge, {60, 0}, QRectF(160, 120, 240, 160)},
        {Qt::BottomEdge, {0, 40}, QRectF(70, 100, 360, 240)},
        {Qt::TopEdge | Qt::LeftEdge, {-30, -50}, QRectF(25, 50, 375, 250)},
        {Qt::RightEdge, {-1000, 0}, QRectF(100, 186.6666666, 40, 26.6666666)},
    };
    for (const Case& c : cases) {
        const QRectF r = pin::resizedFrame(start, c.edges, c.delta, aspect);
        EXPECT_NEAR(r.left(), c.expected.left(), 1e-3);
        EXPECT_NEAR(r.top(), c.expected.top(), 1e-3);
        EXPECT_NEAR(r.width(), c.expected.width(), 1e-3);
        EXPECT_NEAR(r.width() / r.height(), 1.5, 1e-9);
    }
    EXPECT_EQ(pin::edgesAt(QSizeF(300, 200), QPointF(298, 2)), Qt::RightEdge | Qt::TopEdge);
    EXPECT_EQ(pin::edgesAt(QSizeF(300, 200), QPointF(150, 100)), Qt::Edges());
}

TEST(PinWindowTest, KeysZoomAboutTheCentreWithinLimits)
{
    PinWindow* w = PinManager::shared().pin(picture(400, 200), 1);
    const QPoint centre = w->geometry().center();
    for (int i = 0; i < 40; ++i)
        QTest::keyClick(w, Qt::Key_Plus);
    EXPECT_DOUBLE_EQ(w->zoom(), 8.0);
    EXPECT_EQ(w->size(), QSize(3200, 1600));
    EXPECT_LE((w->geometry().center() - centre).manhattanLength(), 2);
    for (int i = 0; i < 60; ++i)
        QTest::keyClick(w, Qt::Key_Minus);
    EXPECT_DOUBLE_EQ(w->zoom(), 0.1);
    EXPECT_EQ(w->size(), QSize(40, 20));
    PinManager::shared().closeAll();
}

TEST(PinWindowTest, WheelClicksZoomOrFadeOnEitherAxisAndPinchZooms)
{
    PinWindow* w = PinManager::shared().pin(picture(400, 200), 1);
    auto wheel = [&](QPoint angle, Qt::KeyboardModifiers mods) {
        QWheelEvent e(QPointF(10, 10), w->mapToGlobal(QPointF(10, 10)), QPoint(), angle, Qt::NoButton, mods,
                      Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(w, &e);
    };
    wheel(QPoint(0, 120), Qt::NoModifier);  // one click: delta 10, 10 %
    EXPECT_EQ(w->width(), 440);
    w->setAlpha(0.5);
    wheel(QPoint(120, 0), Qt::ControlModifier | Qt::ShiftModifier);  // arriving as a horizontal scroll
    EXPECT_DOUBLE_EQ(w->alpha(), 0.6);
    EXPECT_EQ(w->width(), 440);
    wheel(QPoint(0, -120), Qt::ControlModifier | Qt::ShiftModifier | Qt::KeypadModifier);
    EXPECT_DOUBLE_EQ(w->alpha(), 0.5);

    QNativeGestureEvent pinch(Qt::ZoomNativeGesture, QPointingDevice::primaryPointingDevice(), 2, QPointF(),
                              QPointF(), QPointF(), 0.5, QPointF());
    QCoreApplication::sendEvent(w, &pinch);
    EXPECT_EQ(w->width(), 660);
    // Alt or Ctrl alone zoom: Alt+wheel belongs to the window manager's desktop switching.
    wheel(QPoint(0, 120), Qt::AltModifier);
    wheel(QPoint(0, 120), Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(w->alpha(), 0.5);
    EXPECT_EQ(w->width(), 798);
    PinManager::shared().closeAll();
}

TEST(PinWindowTest, OpacityMenuCheckMarkAndTrayOnlyClickThrough)
{
    PinWindow* w = PinManager::shared().pin(picture(300, 300), 1);
    std::unique_ptr<QMenu> menu(w->buildMenu());
    findAction(menu.get(), "50%")->trigger();
    EXPECT_DOUBLE_EQ(w->alpha(), 0.5);
    menu.reset(w->buildMenu());
    EXPECT_TRUE(findAction(menu.get(), "50%")->isChecked());
    EXPECT_FALSE(findAction(menu.get(), "100%")->isChecked());
    w->wheelBy(13, true);  // 0.63: in no menu item
    menu.reset(w->buildMenu());
    for (const char* v : {"100%", "85%", "70%", "50%", "30%"})
        EXPECT_FALSE(findAction(menu.get(), v)->isChecked()) << v;
    findAction(menu.get(), "200%")->trigger();
    EXPECT_EQ(w->width(), 600);
    const bool tray = QSystemTrayIcon::isSystemTrayAvailable();
    EXPECT_EQ(findAction(menu.get(), "Click-through (restore from the tray menu)") != nullptr, tray);
    PinManager::shared().closeAll();
}

TEST(PinWindowTest, ClosingPathsRemoveAfterOneTurnAndClickThroughComesBack)
{
    PinManager& m = PinManager::shared();
    auto closesAfterOneTurn = [&](const std::function<void(PinWindow*)>& gesture) {
        PinWindow* w = m.pin(picture(200, 200), 1);
        gesture(w);
        EXPECT_TRUE(m.pins().contains(w));  // not inside the handler
        QCoreApplication::processEvents();
        EXPECT_FALSE(m.pins().contains(w));
    };
    closesAfterOneTurn([](PinWindow* w) { QTest::keyClick(w, Qt::Key_Escape); });
    closesAfterOneTurn([](PinWindow* w) { QTest::mouseDClick(w, Qt::LeftButton, {}, QPoint(100, 100)); });
    closesAfterOneTurn(
        [](PinWindow* w) { QTest::mousePress(w, Qt::LeftButton, {}, w->closeSquare().center()); });

    PinWindow* a = m.pin(picture(200, 200), 1);
    PinWindow* b = m.pin(picture(200, 200), 1);
    a->setClickThrough(true);
    EXPECT_TRUE(a->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_TRUE(a->isVisible());
    m.makeAllClickable();
    EXPECT_FALSE(a->testAttribute(Qt::WA_TransparentForMouseEvents));
    b->setClickThrough(true);
    m.closeAll();
    EXPECT_TRUE(m.pins().isEmpty());
    EXPECT_FALSE(b->isVisible());
}
