// The editor under a real X server, driven by xdotool through the EditorHost program:
// drawing, saving twice with a file manager on the session bus, copying (also at 1x),
// closing through the window manager, adding a capture through the area selection, and the
// style inspector and backdrop popover.
#include "ChildProcess.h"
#include "EditorHostClient.h"
#include "TestSupport.h"
#include "fakes/FakeFileManager.h"

#include "editor/ToolKind.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QRect>
#include <QTemporaryDir>
#include <QUrl>

using namespace kx::test;

namespace {

// One xdotool command line, split at blanks.
void xdo(const QString& line)
{
    xdotool(line.split(QLatin1Char(' ')));
}

void click(QPoint at)
{
    xdo(QStringLiteral("mousemove %1 %2 click 1").arg(at.x()).arg(at.y()));
}

// Press, eight moves, release: one step at a time, as a hand drags.
void drag(QPoint from, QPoint to)
{
    xdo(QStringLiteral("mousemove %1 %2 mousedown 1").arg(from.x()).arg(from.y()));
    for (int i = 1; i <= 8; ++i) {
        const QPoint p = from + (to - from) * i / 8;
        xdo(QStringLiteral("mousemove %1 %2").arg(p.x()).arg(p.y()));
    }
    xdo("mouseup 1");
}

void keyToEditor(const QString& key)
{
    xdotool({"search", "--name", "Kaptorix — ", "windowactivate", "--sync", "key", key});
}

// Where the handle of a horizontal slider at fraction t sits (the style's groove margins).
QPoint handle(const QRect& slider, double t)
{
    const int margin = 8;
    return {slider.x() + margin + int(t * (slider.width() - 2 * margin)), slider.center().y()};
}

QImage onScreen(const QRect& area)
{
    return rootScreenshot().convertToFormat(QImage::Format_RGB32).copy(area);
}

// The area once two screenshots in a row agree: a repaint still on its way is not taken.
QImage steadyOnScreen(const QRect& area)
{
    QImage last = onScreen(area), now;
    waitFor([&] { return (now = onScreen(area)) == last || (last = now, false); }, 20000);
    return now;
}

QImage clipboardPng()
{
    QByteArray out;
    if (run("xclip", {"-selection", "clipboard", "-t", "image/png", "-o"}, &out, 5000) != 0)
        return {};
    return QImage::fromData(out, "PNG");
}

QImage argb(const QImage& i)
{
    return i.convertToFormat(QImage::Format_ARGB32);
}

bool mapped()
{
    return xdotool({"search", "--onlyvisible", "--name", "Kaptorix — "});
}

}  // namespace

TEST(EditorDesktop, AddCaptureBelowThroughTheAreaSelection)
{
    if (!haveDisplay())
        GTEST_SKIP() << "no X display";
    QTemporaryDir dir;
    EditorHostClient h({writePicture(dir, {800, 600}, 1)});
    ASSERT_TRUE(waitFor(mapped, 20000));
    QRect add;
    ASSERT_TRUE(
        waitFor([&] { return (add = h.where("symbol:plus.rectangle.on.rectangle")).isValid(); }, 20000));
    // Add capture, then the fourth item: "Add below".
    click(add.center());
    ASSERT_TRUE(waitFor([&] { return h.where("class:QMenu").isValid(); }, 20000)) << "no menu";
    xdo("key Down Down Down Return");
    ASSERT_TRUE(waitFor([] { return !mapped(); }, 20000)) << "the editor did not step aside";
    const QString pid = QString::number(h.process.processId());
    const bool selecting = waitFor([&] { return xdotool({"search", "--onlyvisible", "--pid", pid}); }, 20000);
    rootScreenshot(artifactDir("editor") + "/add-capture.png");
    ASSERT_TRUE(selecting) << "no area selection";
    xdo("mousemove 300 300 mousedown 1 mousemove 500 400 mousemove 700 500 mouseup 1");
    ASSERT_TRUE(waitFor(mapped, 20000));
    QStringList doc;
    EXPECT_TRUE(waitFor([&] { return (doc = h.doc()).value(5) == "800"; }, 20000))
        << "image now " << doc.value(4).toStdString() << " x " << doc.value(5).toStdString();
    EXPECT_EQ(doc.value(4), "800");
}

TEST(EditorDesktop, DrawSaveTwiceCopyCopyAtOneXAndCloseThroughTheWindowManager)
{
    if (!haveDisplay())
        GTEST_SKIP() << "no X display";
    QTemporaryDir dir;
    FakeFileManager fm;
    QDBusConnection bus = QDBusConnection::sessionBus();
    ASSERT_TRUE(bus.registerObject("/org/freedesktop/FileManager1", &fm, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(bus.registerService("org.freedesktop.FileManager1"));

    QImage image;
    const QString source = writePicture(dir, {2400, 1600}, 2, &image);
    const QString saves = dir.filePath("saves");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("KAPTORIX_DATA_DIR", dir.filePath("history"));
    EditorHostClient h({"--history", "--save-folder", saves, "--file-pattern", "edited", source}, env);
    QString entryLine;
    ASSERT_TRUE(h.waitLine("entry ", &entryLine));
    const QString historyPng = dir.filePath("history/" + entryLine + ".png");
    ASSERT_TRUE(waitFor(mapped, 20000));
    QRect canvas;
    ASSERT_TRUE(waitFor([&] { return (canvas = h.where("class:kx::CanvasView")).width() > 100; }, 20000));

    // r, then a drag: a rectangle.
    const int cx = canvas.center().x(), cy = canvas.center().y();
    click(QPoint(cx, cy));
    ASSERT_TRUE(waitFor(
        [&] {
            xdo("key r");
            return h.doc().value(6) == QString::number(int(kx::ToolKind::rect));
        },
        20000));
    drag(QPoint(cx - 120, cy - 80), QPoint(cx + 120, cy + 80));

    ASSERT_TRUE(waitFor([&] { return h.doc().value(7) == "1"; }, 20000)) << "nothing drawn";
    const auto saved = [&] { return QDir(saves).entryList({"*.png"}, QDir::Files, QDir::Name); };
    xdo("key ctrl+s");
    ASSERT_TRUE(waitFor([&] { return saved().size() == 1; }, 20000));
    xdo("key ctrl+s");
    ASSERT_TRUE(waitFor([&] { return saved().size() == 2; }, 20000));
    const QStringList names{"edited.png", "edited 2.png"};
    ASSERT_TRUE(saved().contains(names[0]) && saved().contains(names[1])) << qPrintable(saved().join(", "));
    ASSERT_TRUE(waitFor([&] { return fm.shown.size() == 2; }, 20000));
    EXPECT_EQ(QUrl(fm.shown[1]), QUrl::fromLocalFile(QDir(saves).filePath(names[1])));
    const QImage finished = argb(QImage(QDir(saves).filePath(names[0])));
    EXPECT_NE(finished, argb(image)) << "the rectangle was not drawn";

    xdo("key ctrl+c");
    QImage copied;
    ASSERT_TRUE(waitFor([&] { return !(copied = clipboardPng()).isNull(); }, 20000));
    EXPECT_EQ(argb(copied), finished);

    // More export options, second item: Copy @1x.
    const QPoint more = h.where("symbol:ellipsis").center();
    click(more);
    ASSERT_TRUE(waitFor([&] { return h.where("class:QMenu").isValid(); }, 20000)) << "no menu";
    xdo("key Down Down Return");
    ASSERT_TRUE(waitFor([&] { return clipboardPng().size() == QSize(1200, 800); }, 20000));

    keyToEditor("alt+F4");
    // The window goes on the press: the keys would otherwise stay down and close the next window.
    xdo("keyup F4 alt");
    ASSERT_TRUE(waitFor([&] { return argb(QImage(historyPng)) == finished; }, 20000));
    EXPECT_EQ(h.process.state(), QProcess::Running);
    bus.unregisterService("org.freedesktop.FileManager1");
}

// The inspector and the backdrop popover: a width drag on a selected arrow is one undo step, a
// backdrop edit reaches the saved file, and the popover closes on an outside click and opens again.
TEST(EditorDesktop, WidthDragUndoesInOneStepAndBackdropEditsReachTheSavedFile)
{
    if (!haveDisplay())
        GTEST_SKIP() << "no X display";
    QTemporaryDir dir;
    const QString source = writePicture(dir, {900, 600}, 1);
    const QString saves = dir.filePath("saves");
    EditorHostClient h({"--save-folder", saves, "--file-pattern", "framed", source});
    ASSERT_TRUE(waitFor(mapped, 20000));
    QRect canvas;
    ASSERT_TRUE(waitFor([&] { return (canvas = h.where("class:kx::CanvasView")).width() > 100; }, 20000));

    // An arrow, then selected with the select tool: each step waits until the editor has it.
    const QPoint c = canvas.center();
    drag(c + QPoint(-150, 0), c + QPoint(150, 60));
    ASSERT_TRUE(waitFor([&] { return h.doc().value(7) == "1"; }, 20000)) << "no arrow drawn";
    keyToEditor("v");
    ASSERT_TRUE(
        waitFor([&] { return h.doc().value(6) == QString::number(int(kx::ToolKind::select)); }, 20000));
    click(c + QPoint(0, 30));
    QRect width;
    ASSERT_TRUE(waitFor([&] { return (width = h.where("lineWidth")).isValid(); }, 20000))
        << "no line-width slider for the selected arrow";
    xdo("mousemove 5 5");  // no hover over the canvas
    const int stepsBefore = h.doc().value(3).toInt();
    const QImage before = steadyOnScreen(canvas);

    drag(handle(width, 2.0 / 15), handle(width, 0.9));
    xdo("mousemove 5 5");
    EXPECT_TRUE(waitFor([&] { return onScreen(canvas) != before; }, 20000));
    EXPECT_TRUE(waitFor([&] { return h.doc().value(3).toInt() > stepsBefore; }, 20000));
    // The key comes after the whole drag, so once the undo shows, every move has been handled.
    keyToEditor("ctrl+z");
    QImage undone;
    EXPECT_TRUE(waitFor([&] { return (undone = onScreen(canvas)) == before; }, 20000))
        << "undo did not restore the arrow exactly";
    EXPECT_EQ(h.doc().value(3).toInt(), stepsBefore) << "a drag of many steps is one undo step";
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
    ASSERT_TRUE(waitFor([&] { return h.doc().value(0) == "1"; }, 20000)) << "the backdrop stayed off";

    // An outside click closes the popover; Ctrl+S writes the framed image.
    click(QPoint(5, 1075));
    ASSERT_TRUE(waitFor([&] { return !h.where("padding").isValid(); }, 20000));
    keyToEditor("ctrl+s");
    const QString first = QDir(saves).filePath("framed.png");
    ASSERT_TRUE(waitFor([&] { return !QImage(first).isNull(); }, 20000));
    // Read after the save: the key came after the whole drag, so this is its last padding.
    const double pad = h.doc().value(1).toDouble();
    const int grow = 2 * int(std::lround(pad));
    EXPECT_EQ(QImage(first).size(), QSize(900 + grow, 600 + grow));

    // The next click on Backdrop opens it again.
    click(backdrop.center());
    EXPECT_TRUE(waitFor([&] { return h.where("padding").isValid(); }, 20000));
    rootScreenshot(artifactDir("editor") + "/controls-after.png");
}
