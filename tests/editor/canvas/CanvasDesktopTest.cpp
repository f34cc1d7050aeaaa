// Under a real X server with a window manager: a canvas in a window, driven by xdotool,
// checked in screenshots of the whole screen.
#include "CanvasHarness.h"

#include "ChildProcess.h"
#include "TestSupport.h"
#include "devtools/samples/SamplePictures.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QFile>
#include <QLinearGradient>
#include <QPainter>
#include <QWindow>

using namespace kx;
using namespace kx::test;

namespace {

QImage screen()
{
    return rootScreenshot(artifactDir(QStringLiteral("canvas-desktop")) + QStringLiteral("/screen.png"));
}

// Takes screenshots until one satisfies `ok` (the screen is repainted asynchronously).
QImage screenWhen(const std::function<bool(const QImage&)>& ok)
{
    QImage shot;
    waitFor(
        [&] {
            shot = screen();
            return !shot.isNull() && ok(shot);
        },
        15000);
    return shot;
}

void xdo(const QStringList& args)
{
    ASSERT_EQ(run(QStringLiteral("xdotool"), args), 0) << args.join(' ').toStdString();
}

struct Window : CanvasHost {
    using CanvasHost::CanvasHost;
    void addShortcut(const QKeySequence& keys, CanvasView::Action action)
    {
        auto* a = new QAction(this);
        a->setShortcut(keys);
        a->setShortcutContext(Qt::WindowShortcut);
        connect(a, &QAction::triggered, this, [this, action] { canvas->perform(action); });
        addAction(a);
    }
};

}  // namespace

TEST(CanvasDesktop, DrawUndoAndCropWithTheRealPointerAndKeyboard)
{
    if (!haveDisplay())
        GTEST_SKIP() << "no X display";
    CaptureResult capture;
    capture.image = samples::screenshot(QSize(600, 400));
    capture.scale = 1;
    auto doc = std::make_shared<EditorDocument>(capture);
    Window window(doc, QSize(900, 650));
    window.addShortcut(QKeySequence::Undo, CanvasView::Action::undo);
    window.addShortcut(QKeySequence::Redo, CanvasView::Action::redo);
    window.move(60, 40);
    window.show();
    ASSERT_TRUE(waitFor([&] { return window.windowHandle() && window.windowHandle()->isExposed(); }));
    xdo({QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(window.winId())});
    ASSERT_TRUE(waitFor([&] { return window.isActiveWindow(); }));
    window.canvas->setFocus();
    settle();

    auto global = [&](QPointF image) {
        return window.canvas->mapToGlobal(window.canvas->toWidget(image)).toPoint();
    };
    auto at = [](QPoint p) { return QStringList{QString::number(p.x()), QString::number(p.y())}; };
    auto dragOnScreen = [&](QPointF from, QPointF to) {
        const QPoint a = global(from), b = global(to);
        QStringList args{QStringLiteral("mousemove")};
        args << at(a) << QStringLiteral("mousedown") << QStringLiteral("1");
        for (int i = 1; i <= 5; ++i)
            args << QStringLiteral("mousemove") << at(a + (b - a) * i / 5);
        args << QStringLiteral("mouseup") << QStringLiteral("1");
        xdo(args);
    };

    // The canvas as it first appears.
    const QPoint probe = global(QPointF(300, 200));
    const QImage first = screenWhen(
        [&](const QImage& s) { return s.pixelColor(probe) == capture.image.pixelColor(300, 200); });
    ASSERT_FALSE(first.isNull());

    // r + drag: a rectangle with its handles.
    xdo({QStringLiteral("key"), QStringLiteral("r")});
    ASSERT_TRUE(waitFor([&] { return doc->tool() == ToolKind::rect; }));
    dragOnScreen(QPointF(100, 250), QPointF(400, 350));
    ASSERT_TRUE(waitFor([&] { return doc->annotations().size() == 1; }));
    ASSERT_TRUE(waitFor([&] { return doc->annotations().first().p2 == QPointF(400, 350); }));
    EXPECT_EQ(doc->annotations().first().p1, QPointF(100, 250));
    const QPoint edge = global(QPointF(175, 250)), corner = global(QPointF(400, 350));
    const QImage drawn = screenWhen([&](const QImage& s) {
        const QColor e = s.pixelColor(edge), c = s.pixelColor(corner);
        return e.red() > 200 && e.green() < 110 && c.lightness() > 235;
    });
    drawn.save(artifactDir(QStringLiteral("canvas-desktop")) + QStringLiteral("/drawn.png"));
    EXPECT_GT(drawn.pixelColor(edge).red(), 200);  // the red outline
    EXPECT_LT(drawn.pixelColor(edge).green(), 110);
    EXPECT_GT(drawn.pixelColor(corner).lightness(), 235);  // the white handle disc

    // Ctrl+Z: the screen is again exactly as it was.
    xdo({QStringLiteral("key"), QStringLiteral("ctrl+z")});
    ASSERT_TRUE(waitFor([&] { return doc->annotations().isEmpty(); }));
    const QImage undone = screenWhen([&](const QImage& s) { return maxChannelDifference(s, first) == 0; });
    EXPECT_EQ(maxChannelDifference(undone, first), 0);

    // c + drag + Return: cropped to the dragged size, leaving nothing of the old frame behind.
    const QPoint oldShadow = global(QPointF(300, 412));
    const QPoint background = window.scroll->viewport()->mapToGlobal(QPoint(4, 4));
    ASSERT_NE(first.pixel(oldShadow), first.pixel(background));
    xdo({QStringLiteral("key"), QStringLiteral("c")});
    ASSERT_TRUE(waitFor([&] { return doc->tool() == ToolKind::crop; }));
    dragOnScreen(QPointF(50, 40), QPointF(370, 280));
    ASSERT_TRUE(
        waitFor([&] { return doc->cropRect() && doc->cropRect()->bottomRight() == QPointF(370, 280); }));
    xdo({QStringLiteral("key"), QStringLiteral("Return")});
    ASSERT_TRUE(waitFor([&] { return doc->base().size() == QSize(320, 240); }));
    EXPECT_EQ(doc->base().pixelColor(0, 0), capture.image.pixelColor(50, 40));
    ASSERT_TRUE(waitFor([&] { return window.canvas->size() == QSize(320, 240); }));
    const QImage cropped =
        screenWhen([&](const QImage& s) { return s.pixel(oldShadow) == s.pixel(background); });
    cropped.save(artifactDir(QStringLiteral("canvas-desktop")) + QStringLiteral("/cropped.png"));
    EXPECT_EQ(cropped.pixel(oldShadow), cropped.pixel(background));
}
