// Under a real X server with a window manager: a canvas in a window, driven by xdotool,
// a crop checked in screenshots of the whole screen.
#include "CanvasHarness.h"

#include "ChildProcess.h"
#include "TestSupport.h"
#include "devtools/samples/SamplePictures.h"

#include <gtest/gtest.h>
#include <QWindow>

using namespace kx;
using namespace kx::test;

namespace {

QImage screen()
{
    return rootScreenshot(artifactDir("canvas-desktop") + "/screen.png");
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

}  // namespace

TEST(CanvasDesktop, CropWithTheRealPointerAndKeyboardLeavesNothingOfTheOldFrame)
{
    if (!haveDisplay())
        GTEST_SKIP() << "no X display";
    CaptureResult capture;
    capture.image = samples::screenshot(QSize(600, 400));
    capture.scale = 1;
    auto doc = std::make_shared<EditorDocument>(capture);
    CanvasHost window(doc, QSize(900, 650));
    window.move(60, 40);
    window.show();
    ASSERT_TRUE(waitFor([&] { return window.windowHandle() && window.windowHandle()->isExposed(); }));
    xdo({"windowactivate", "--sync", QString::number(window.winId())});
    ASSERT_TRUE(waitFor([&] { return window.isActiveWindow(); }));
    window.canvas->setFocus();
    settle();

    auto global = [&](QPointF image) {
        return window.canvas->mapToGlobal(window.canvas->toWidget(image)).toPoint();
    };
    auto at = [](QPoint p) { return QStringList{QString::number(p.x()), QString::number(p.y())}; };
    auto dragOnScreen = [&](QPointF from, QPointF to) {
        const QPoint a = global(from), b = global(to);
        QStringList args = QStringList{"mousemove"} + at(a) + QStringList{"mousedown", "1"};
        for (int i = 1; i <= 5; ++i)
            args << "mousemove" << at(a + (b - a) * i / 5);
        xdo(args << "mouseup"
                 << "1");
    };

    // The canvas as it first appears.
    const QPoint probe = global(QPointF(300, 200));
    const QImage first = screenWhen(
        [&](const QImage& s) { return s.pixelColor(probe) == capture.image.pixelColor(300, 200); });
    ASSERT_FALSE(first.isNull());

    // c + drag + Return: cropped to the dragged size, leaving nothing of the old frame behind.
    const QPoint oldShadow = global(QPointF(300, 412));
    const QPoint background = window.scroll->viewport()->mapToGlobal(QPoint(4, 4));
    ASSERT_NE(first.pixel(oldShadow), first.pixel(background));
    xdo({"key", "c"});
    ASSERT_TRUE(waitFor([&] { return doc->tool() == ToolKind::crop; }));
    dragOnScreen(QPointF(50, 40), QPointF(370, 280));
    ASSERT_TRUE(
        waitFor([&] { return doc->cropRect() && doc->cropRect()->bottomRight() == QPointF(370, 280); }));
    xdo({"key", "Return"});
    ASSERT_TRUE(waitFor([&] { return doc->base().size() == QSize(320, 240); }));
    EXPECT_EQ(doc->base().pixelColor(0, 0), capture.image.pixelColor(50, 40));
    ASSERT_TRUE(waitFor([&] { return window.canvas->size() == QSize(320, 240); }));
    const QImage cropped =
        screenWhen([&](const QImage& s) { return s.pixel(oldShadow) == s.pixel(background); });
    cropped.save(artifactDir("canvas-desktop") + "/cropped.png");
    EXPECT_EQ(cropped.pixel(oldShadow), cropped.pixel(background));
}
