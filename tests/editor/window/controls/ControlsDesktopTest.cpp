// The inspector and the backdrop popover in a real editor window, driven by xdotool: a width
// drag on a selected arrow is one undo step, a backdrop edit reaches the saved file, and the
// popover closes on an outside click and opens again.
#include "../EditorHostClient.h"
#include "ChildProcess.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>

using namespace kx::test;

namespace {

void drag(QPoint from, QPoint to)
{
    xdotool({"mousemove", QString::number(from.x()), QString::number(from.y()), "mousedown", "1"});
    for (int i = 1; i <= 8; ++i) {
        const QPoint p = from + (to - from) * i / 8;
        xdotool({"mousemove", QString::number(p.x()), QString::number(p.y())});
    }
    xdotool({"mouseup", "1"});
}

void click(QPoint at)
{
    xdotool({"mousemove", QString::number(at.x()), QString::number(at.y()), "click", "1"});
}

void keyToEditor(const QString& key)
{
    xdotool({"search", "--name", "Kaptorix — ", "windowactivate", "--sync", "key", key});
}

QImage screen()
{
    return rootScreenshot().convertToFormat(QImage::Format_RGB32);
}

// Where the handle of a horizontal slider at fraction t sits (the style's groove margins).
QPoint handle(const QRect& slider, double t)
{
    const int margin = 8;
    return {slider.x() + margin + int(t * (slider.width() - 2 * margin)), slider.center().y()};
}

}  // namespace

TEST(ControlsDesktop, WidthDragUndoesInOneStepAndBackdropEditsReachTheSavedFile)
{
    if (!haveDisplay())
        GTEST_SKIP() << "no X display";
    QTemporaryDir dir;
    const QString source = writePicture(dir, {900, 600}, 1);
    const QString saves = dir.filePath("saves");
    EditorHostClient h({"--save-folder", saves, "--file-pattern", "framed", source});
    QRect canvas;
    ASSERT_TRUE(waitFor([&] { return (canvas = h.where("class:kx::CanvasView")).width() > 100; }, 20000));

    // An arrow, then selected with the select tool.
    const QPoint c = canvas.center();
    drag(c + QPoint(-150, 0), c + QPoint(150, 60));
    keyToEditor("v");
    click(c + QPoint(0, 30));
    const QPoint away(5, 5);
    xdotool({"mousemove", QString::number(away.x()), QString::number(away.y())});
    const int stepsBefore = h.doc().value(3).toInt();
    const QImage before = screen().copy(canvas);

    const QRect width = h.where("lineWidth");
    ASSERT_TRUE(width.isValid()) << "no line-width slider for the selected arrow";
    drag(handle(width, 2.0 / 15), handle(width, 0.9));
    xdotool({"mousemove", QString::number(away.x()), QString::number(away.y())});
    EXPECT_EQ(h.doc().value(3).toInt(), stepsBefore + 1) << "a drag of many steps is one undo step";
    EXPECT_TRUE(waitFor([&] { return screen().copy(canvas) != before; }, 10000));
    keyToEditor("ctrl+z");
    QImage undone;
    EXPECT_TRUE(waitFor([&] { return (undone = screen().copy(canvas)) == before; }, 10000))
        << "undo did not restore the arrow exactly";
    if (undone != before) {
        before.save(artifactDir("editor") + "/controls-before.png");
        undone.save(artifactDir("editor") + "/controls-undone.png");
    }

    // Padding moved while the backdrop is off turns it on.
    const QRect backdrop = h.where("symbol:sparkles.rectangle.stack");
    ASSERT_TRUE(backdrop.isValid());
    click(backdrop.center());
    QRect padding;
    ASSERT_TRUE(waitFor([&] { return (padding = h.where("padding")).isValid(); }, 20000));
    EXPECT_EQ(h.doc().value(0), "0");
    drag(handle(padding, 64.0 / 160), handle(padding, 0.55));
    const QStringList state = h.doc();
    ASSERT_EQ(state.value(0), "1");
    const double pad = state.value(1).toDouble();

    // An outside click closes the popover; Ctrl+S writes the framed image.
    click(QPoint(5, 1075));
    ASSERT_TRUE(waitFor([&] { return !h.where("padding").isValid(); }, 20000));
    keyToEditor("ctrl+s");
    const QString first = QDir(saves).filePath("framed.png");
    ASSERT_TRUE(waitFor([&] { return !QImage(first).isNull(); }, 20000));
    const int grow = 2 * int(std::lround(pad));
    EXPECT_EQ(QImage(first).size(), QSize(900 + grow, 600 + grow));

    // The next click on Backdrop opens it again.
    click(backdrop.center());
    EXPECT_TRUE(waitFor([&] { return h.where("padding").isValid(); }, 20000));
    rootScreenshot(artifactDir("editor") + "/controls-after.png");
}
