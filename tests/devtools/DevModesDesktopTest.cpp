// The frame test on a real X screen: the grab equals that region of the root window.
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

TEST(DevModesDesktop, FrameTestFramesARealGrab)
{
    if (!kx::test::haveDisplay())
        GTEST_SKIP() << "no X display";
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", home.filePath("config"));
    env.insert("XDG_DATA_HOME", home.filePath("data"));
    env.remove("QT_QPA_PLATFORM");
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(qEnvironmentVariable("KX_BINARY_DIR") + "/app/kaptorix", {"--frame-test", home.filePath("out")});
    ASSERT_TRUE(p.waitForFinished(120000));
    EXPECT_EQ(p.exitCode(), 0);

    QFile note(home.filePath("out/frame-test.txt"));
    ASSERT_TRUE(note.open(QIODevice::ReadOnly));
    EXPECT_EQ(note.readAll(), "ok 1000x640 @1.0x");

    // The harness screen is 1920 x 1080: the region starts at 15 % of each side.
    const QString root = home.filePath("root.png");
    ASSERT_EQ(kx::test::run("import", {"-window", "root", root}), 0);
    const QImage expected = QImage(root).copy(288, 162, 1000, 640).convertToFormat(QImage::Format_RGB32);
    const QImage original =
        QImage(home.filePath("out/real-original.png")).convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(kx::test::maxChannelDifference(original, expected), 0);

    for (const char* edge : {"none", "torn", "burnt", "zigzag", "stamp", "polaroid", "window"}) {
        const QImage framed(home.filePath("out/real-frame-%1.png").arg(edge));
        EXPECT_GT(framed.width(), 1000) << edge;
        EXPECT_GT(framed.height(), 640) << edge;
    }
    EXPECT_EQ(QImage(home.filePath("out/real-frames-sheet.png")).size(), QSize(2700, 1920));
}
