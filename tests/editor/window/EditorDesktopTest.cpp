// The editor under a real X server, driven by xdotool through the EditorHost program:
// drawing, saving twice with a file manager on the session bus, copying (also at 1x),
// closing through the window manager, and adding a capture through the area selection.
#include "ChildProcess.h"
#include "EditorHostClient.h"

#include "editor/ToolKind.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

using namespace kx::test;

namespace {

// Stands in for the desktop's file manager.
class FakeFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QStringList shown;
public Q_SLOTS:
    void ShowItems(const QStringList& uris, const QString&) { shown += uris; }
};

// One xdotool command line, split at blanks.
void xdo(const QString& line)
{
    xdotool(line.split(QLatin1Char(' ')));
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
    xdo(QStringLiteral("mousemove %1 %2 click 1").arg(add.center().x()).arg(add.center().y()));
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
    xdo(QStringLiteral("mousemove %1 %2 click 1").arg(cx).arg(cy));
    ASSERT_TRUE(waitFor(
        [&] {
            xdo("key r");
            return h.doc().value(6) == QString::number(int(kx::ToolKind::rect));
        },
        20000));
    xdo(QStringLiteral("mousemove %1 %2 mousedown 1").arg(cx - 120).arg(cy - 80));
    xdo(QStringLiteral("mousemove %1 %2").arg(cx).arg(cy));
    xdo(QStringLiteral("mousemove %1 %2 mouseup 1").arg(cx + 120).arg(cy + 80));

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
    xdo(QStringLiteral("mousemove %1 %2 click 1").arg(more.x()).arg(more.y()));
    xdo("key Down Down Return");
    ASSERT_TRUE(waitFor([&] { return clipboardPng().size() == QSize(1200, 800); }, 20000));

    xdotool({"search", "--name", "Kaptorix — ", "windowactivate", "--sync", "key", "alt+F4"});
    // The window goes on the press: the keys would otherwise stay down and close the next window.
    xdo("keyup F4 alt");
    ASSERT_TRUE(waitFor([&] { return argb(QImage(historyPng)) == finished; }, 20000));
    EXPECT_EQ(h.process.state(), QProcess::Running);
    bus.unregisterService("org.freedesktop.FileManager1");
}

#include "EditorDesktopTest.moc"
