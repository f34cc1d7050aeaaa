// A quit while the background thread reads an image: the application object's destruction
// must wait for it, or the process ends inside Qt's image reader. Each run races the quit
// against the reading, so several runs.
#include "ChildProcess.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>

using namespace kx;

TEST(BackgroundQuit, QuittingDuringAnImageReadNeverCrashes)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // Noise: a decode that takes a while, like a screen's capture.
    QImage image(1600, 1000, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<quint32*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = 0xff000000u | (random.generate() & 0xffffffu);
    }
    const QString path = dir.filePath(QStringLiteral("capture.png"));
    ASSERT_TRUE(image.save(path));

    for (int run = 0; run < 20; ++run) {
        test::ChildProcess child(QStringLiteral(KX_BACKGROUND_QUIT_HELPER), {path});
        EXPECT_EQ(child.waitExited(60000), 0) << "run " << run << ": crashed or hung";
    }
}
