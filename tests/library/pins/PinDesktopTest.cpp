// Pins under a real X server and window manager: above an activated window (stacking and
// pixels), on every desktop, moved by a drag, resized from an edge with the aspect kept,
// clicks passing through in click-through, Esc after a click, and outliving the editor.
#include "editor/window/EditorWindowController.h"
#include "library/pins/PinManager.h"
#include "library/pins/PinWindow.h"
#include "platform/WindowDesktop.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

using namespace kx;

namespace {

// A green window that counts the presses it gets.
class Fixture : public QWidget {
public:
    int presses = 0;

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), Qt::green); }
    void mousePressEvent(QMouseEvent*) override { ++presses; }
};

// Counts presses that reach a pin.
struct PressCounter : QObject {
    int presses = 0;
    bool eventFilter(QObject* o, QEvent* e) override
    {
        presses += e->type() == QEvent::MouseButtonPress && o->isWidgetType();
        return false;
    }
};

void xdo(const QStringList& args)
{
    test::run(QStringLiteral("xdotool"), args);
}

void pointer(const QPoint& p)
{
    xdo({"mousemove", "--sync", QString::number(p.x()), QString::number(p.y())});
}

QImage screen()
{
    const QString path = test::artifactDir("library") + "/pin-screen.png";
    test::run("import", {"-window", "root", path});
    return QImage(path);
}

// Client windows bottom to top, as the window manager stacks them.
QList<quint64> stacking()
{
    QByteArray out;
    test::run("xprop", {"-root", "_NET_CLIENT_LIST_STACKING"}, &out);
    QList<quint64> ids;
    for (const QByteArray& part : out.mid(out.indexOf('#') + 1).split(','))
        ids.append(part.trimmed().toULongLong(nullptr, 16));
    return ids;
}

QImage red(int w, int h)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::red);
    return img;
}

}  // namespace

TEST(PinDesktop, StaysAboveMovesResizesPassesClicksAndClosesOnEsc)
{
    if (!test::haveDisplay())
        GTEST_SKIP() << "no X display";
    Fixture fixture;
    fixture.setGeometry(100, 100, 800, 600);
    fixture.show();
    ASSERT_TRUE(test::waitFor([&] { return fixture.windowHandle()->isExposed(); }));

    PinWindow* pin = PinManager::shared().pin(red(300, 200), 1, QRect(300, 300, 300, 200));
    ASSERT_TRUE(test::waitFor([&] { return pin->windowHandle()->isExposed(); }));
    PressCounter counter;
    pin->installEventFilter(&counter);
    EXPECT_TRUE(test::waitFor([&] { return isOnAllDesktops(pin->windowHandle()); }));

    xdo({"windowactivate", "--sync", QString::number(fixture.winId())});
    ASSERT_TRUE(test::waitFor([&] { return fixture.isActiveWindow(); }));
    QCoreApplication::processEvents();
    const QPoint centre = pin->frameGeometry().center();
    const QList<quint64> order = stacking();
    EXPECT_GT(order.indexOf(pin->winId()), order.indexOf(fixture.winId()));
    EXPECT_GE(order.indexOf(fixture.winId()), 0);
    QImage shot = screen();
    EXPECT_EQ(QColor(shot.pixel(centre)), QColor(Qt::red));
    EXPECT_EQ(QColor(shot.pixel(150, 150)), QColor(Qt::green));

    // A drag moves it.
    const QPoint before = pin->pos();
    pointer(centre);
    xdo({"mousedown", "1"});
    ASSERT_TRUE(test::waitFor([&] { return counter.presses == 1; }));
    // The window manager tells the new place when the move ends.
    for (int i = 1; i <= 5; ++i)
        pointer(centre + QPoint(20 * i, 10 * i));
    xdo({"mouseup", "1"});
    ASSERT_TRUE(test::waitFor([&] { return (pin->pos() - before - QPoint(100, 50)).manhattanLength() <= 4; }))
        << pin->pos().x() << "," << pin->pos().y();

    // The right edge resizes it; the height follows.
    const QRect g = pin->geometry();
    const QPoint edge(g.right() - 1, g.center().y());
    pointer(edge);
    xdo({"mousedown", "1"});
    ASSERT_TRUE(test::waitFor([&] { return counter.presses == 2; }));
    for (int i = 1; i <= 4; ++i) {
        pointer(edge + QPoint(15 * i, 0));
        ASSERT_TRUE(test::waitFor([&] { return pin->width() >= g.width() + 15 * i - 2; })) << pin->width();
    }
    xdo({"mouseup", "1"});
    EXPECT_NEAR(double(pin->width()) / pin->height(), 1.5, 0.02);
    EXPECT_EQ(pin->x(), g.x());

    // Click-through: the click lands on the fixture below, and the pin stays mapped.
    pin->setClickThrough(true);
    const QPoint inside = pin->geometry().center();
    pointer(inside);
    xdo({"click", "1"});
    ASSERT_TRUE(test::waitFor([&] { return fixture.presses == 1; }));
    EXPECT_EQ(counter.presses, 2);
    EXPECT_TRUE(pin->isVisible());

    // Clickable again: a click, then Esc closes it.
    PinManager::shared().makeAllClickable();
    pointer(inside + QPoint(10, 10));
    xdo({"click", "1"});
    ASSERT_TRUE(test::waitFor([&] { return counter.presses == 3 && pin->isActiveWindow(); }));
    xdo({"key", "Escape"});
    ASSERT_TRUE(test::waitFor([&] { return PinManager::shared().pins().isEmpty(); }));
}

TEST(PinDesktop, APinOutlivesTheEditorThatMadeIt)
{
    if (!test::haveDisplay())
        GTEST_SKIP() << "no X display";
    EditorWindowController* editor =
        EditorWindowController::open(CaptureResult{red(240, 160), 1, SourceKind::area, std::nullopt, {}});
    ASSERT_TRUE(test::waitFor([&] { return editor->window()->isVisible(); }));
    editor->actions().pin();
    ASSERT_TRUE(test::waitFor([&] { return PinManager::shared().pins().size() == 1; }));
    PinWindow* pin = PinManager::shared().pins().first();
    editor->window()->close();
    ASSERT_TRUE(test::waitFor([&] { return EditorWindowController::openEditors().isEmpty(); }));
    QCoreApplication::processEvents();
    EXPECT_TRUE(PinManager::shared().pins().contains(pin));
    EXPECT_TRUE(pin->isVisible());
    PinManager::shared().closeAll();
}
