// Pooled image buffers: reused only when no image shares them any more, so an image somebody
// still holds (the editor, the history) never changes when the next grab takes memory.
#include "core/ImageBufferPool.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QElapsedTimer>
#include <QtConcurrent/QtConcurrent>

using namespace kx;

namespace {

const QSize kScreen(1000, 600);  // 2.4 MB, above the pooling threshold

bool allPixels(const QImage& image, QRgb value)
{
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (line[x] != value)
                return false;
        }
    }
    return true;
}

}  // namespace

TEST(ImageBufferPool, ABufferReturnsOnlyWhenTheLastImageSharingItIsGone)
{
    ImageBufferPool pool(2, 60000);
    QImage grab = pool.take(kScreen);
    ASSERT_FALSE(grab.isNull());
    EXPECT_EQ(grab.size(), kScreen);
    EXPECT_EQ(grab.format(), QImage::Format_ARGB32_Premultiplied);
    grab.fill(0xff102030u);
    const uchar* first = grab.constBits();

    // The editor keeps a copy; the grab itself goes.
    const QImage held = grab;
    grab = QImage();
    EXPECT_EQ(pool.freeBuffers(), 0);
    EXPECT_EQ(pool.buffersInUse(), 1);

    QImage next = pool.take(kScreen);
    EXPECT_NE(next.constBits(), first);
    next.fill(0xffa0b0c0u);
    EXPECT_TRUE(allPixels(held, 0xff102030u));

    next = QImage();
    EXPECT_EQ(pool.freeBuffers(), 1);
    const uchar* second = pool.take(kScreen).constBits();  // taken and given back at once
    EXPECT_NE(second, first);
    EXPECT_TRUE(allPixels(held, 0xff102030u));
}

TEST(ImageBufferPool, AFreeBufferIsReusedForTheSameSizeOnly)
{
    ImageBufferPool pool(2, 60000);
    const uchar* first = pool.take(kScreen).constBits();
    EXPECT_EQ(pool.freeBuffers(), 1);
    {
        const QImage other = pool.take(QSize(kScreen.width(), kScreen.height() + 1));
        EXPECT_NE(other.constBits(), first);
        EXPECT_EQ(pool.freeBuffers(), 1);
    }
    const QImage again = pool.take(kScreen);
    EXPECT_EQ(again.constBits(), first);
    EXPECT_EQ(pool.buffersInUse(), 1);
}

TEST(ImageBufferPool, WritingToAnImageThatSharesTheBufferDetachesIt)
{
    ImageBufferPool pool(2, 60000);
    QImage grab = pool.take(kScreen);
    grab.fill(0xff0000ffu);
    QImage edited = grab;
    edited.fill(0xffff0000u);  // the editor draws on its copy
    EXPECT_TRUE(allPixels(grab, 0xff0000ffu));
    EXPECT_NE(edited.constBits(), grab.constBits());

    // The copy owns its pixels now: the buffer goes back with the grab, the copy stays intact.
    grab = QImage();
    EXPECT_EQ(pool.freeBuffers(), 1);
    QImage reused = pool.take(kScreen);
    reused.fill(0xff00ff00u);
    EXPECT_TRUE(allPixels(edited, 0xffff0000u));
}

TEST(ImageBufferPool, ImagesDroppedOnOtherThreadsReturnTheirBuffers)
{
    ImageBufferPool pool(8, 60000);
    QList<QImage> images;
    for (int i = 0; i < 6; ++i) {
        images.append(pool.take(kScreen));
        images.last().fill(Qt::white);
    }
    QList<QFuture<void>> done;
    for (QImage& image : images)
        done.append(
            QtConcurrent::run([image = std::exchange(image, QImage())]() mutable { image = QImage(); }));
    for (QFuture<void>& f : done)
        f.waitForFinished();
    EXPECT_EQ(pool.buffersInUse(), 0);
    EXPECT_EQ(pool.freeBuffers(), 6);
}

TEST(ImageBufferPool, KeepsFewFreeBuffersAndUnmapsThemWhenIdle)
{
    ImageBufferPool pool(2, 200);
    {
        QList<QImage> burst;
        for (int i = 0; i < 5; ++i)
            burst.append(pool.take(kScreen));
    }
    EXPECT_EQ(pool.freeBuffers(), 2);
    EXPECT_TRUE(test::waitFor([&] { return pool.freeBuffers() == 0; }, 20000));

    // Small images are not worth a pool.
    const QImage icon = pool.take(QSize(64, 64));
    EXPECT_FALSE(icon.isNull());
    EXPECT_EQ(pool.buffersInUse(), 0);
}

TEST(ImageBufferPool, AnImageMayOutliveItsPool)
{
    QImage survivor;
    {
        ImageBufferPool pool(2, 60000);
        survivor = pool.take(kScreen);
        survivor.fill(0xff445566u);
    }
    EXPECT_TRUE(allPixels(survivor, 0xff445566u));
    survivor = QImage();  // its buffer is unmapped now, not handed to a pool that is gone
}

// The idle release frees what came back long ago and keeps what came back a moment ago, which
// the next grab of that size reuses as it was (a fresh buffer is cleared).
TEST(ImageBufferPool, TheIdleReleaseFreesOldBuffersAndKeepsRecentOnes)
{
    ImageBufferPool pool(2, 600000);  // the pool's own timer stays out of the way
    constexpr int kAgeMs = 1500;
    const QSize other(800, 700);
    QImage old = pool.take(kScreen), recent = pool.take(other);
    old.fill(0xff112233u);
    recent.fill(0xff445566u);
    QElapsedTimer since;
    since.start();
    old = QImage();
    ASSERT_TRUE(test::waitFor([&] { return since.elapsed() > kAgeMs; }, 20000));
    recent = QImage();
    ASSERT_EQ(pool.freeBuffers(), 2);

    pool.release(kAgeMs);
    EXPECT_EQ(pool.freeBuffers(), 1);
    EXPECT_TRUE(allPixels(pool.take(other), 0xff445566u)) << "the recent buffer was not kept";
    EXPECT_FALSE(allPixels(pool.take(kScreen), 0xff112233u)) << "the old buffer was kept";
    pool.release(0);  // everything free, however recent
    EXPECT_EQ(pool.freeBuffers(), 0);
}
