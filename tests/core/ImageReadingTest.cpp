// Images from outside within bounds: the HEIC whose coded stream is far larger than its
// declared size, PNGs over the pixel limit, and files that are not images at all.
#include "HeicBomb.h"
#include "TestSupport.h"
#include "core/HeifCodec.h"
#include "core/HevcSize.h"
#include "core/ImageReading.h"
#include "core/ModuleLoader.h"
#include "core/heif/HeifModule.h"

#include <gtest/gtest.h>
#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>

#include <sys/resource.h>

using namespace kx;

namespace {

QImage picture(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(QColor(30, 120, 200));
    QPainter(&img).fillRect(0, 0, w / 2, h / 2, QColor(220, 60, 20));
    return img;
}

QByteArray heic(int w, int h)
{
    return encoded(picture(w, h), ImageFormat::heic, 0.5, 1.0).value_or(QByteArray());
}

// Peak resident memory of this process so far, in MB.
long peakRssMb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024;
}

// Bytes this process has read through read(2) and friends.
qint64 bytesRead()
{
    QFile io("/proc/self/io");
    if (!io.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : io.readAll().split('\n'))
        if (line.startsWith("rchar:"))
            return line.mid(6).trimmed().toLongLong();
    return -1;
}

}  // namespace

TEST(HevcSize, ReadsTheCodedSizeOfWhatTheEncoderWrote)
{
    const auto sizes = heifCodedSizes(heic(96, 64));
    ASSERT_TRUE(sizes);
    ASSERT_FALSE(sizes->isEmpty());
    for (const QSize& s : *sizes)
        EXPECT_EQ(s, QSize(96, 64));
    EXPECT_FALSE(
        heifCodedSizes(QByteArray("\0\0\0\x0c"
                                  "ftypheic",
                                  12)));
    EXPECT_FALSE(hevcSpsSize(QByteArray("\x42\x01", 2)));
}

// The reported file: `ispe` says 24 × 16, the coded stream 28009 × 26161 (here 28000 × 26160,
// whole coding blocks). Refused before the decoder allocates anything.
TEST(HeicBomb, ASmallDeclaredSizeWithAHugeCodedStreamIsRefusedBeforeDecoding)
{
    const QByteArray bomb = test::heicBomb(heic(64, 64), QSize(24, 16), QSize(28000, 26160));
    ASSERT_FALSE(bomb.isEmpty());
    EXPECT_LT(bomb.size(), 4000);
    const auto coded = heifCodedSizes(bomb);
    ASSERT_TRUE(coded);
    EXPECT_TRUE(coded->contains(QSize(28000, 26160)));

    const long before = peakRssMb();
    QSize refused;
    EXPECT_FALSE(decodeHeic(bomb, maxImagePixels, &refused));
    EXPECT_EQ(refused, QSize(28000, 26160));
    const ImageRead read = readImageData(bomb);
    EXPECT_FALSE(read.image);
    EXPECT_TRUE(read.tooLarge);
    EXPECT_EQ(read.size, QSize(28000, 26160));
    EXPECT_FALSE(decodeImage(bomb));
    EXPECT_LT(peakRssMb() - before, 200);
}

// The same shape at a size the test can afford to decode: with the coded size checked first
// it never reaches the decoder; the decoder's own plane, larger than declared, is refused too.
TEST(HeicBomb, TheDecodedPlaneIsCheckedAgainstTheDeclaredSize)
{
    const QByteArray bomb = test::heicBomb(heic(64, 64), QSize(24, 16), QSize(1024, 768));
    ASSERT_FALSE(bomb.isEmpty());
    QSize refused;
    EXPECT_FALSE(decodeHeic(bomb, 100'000, &refused));
    EXPECT_EQ(refused, QSize(1024, 768));

    auto* module = reinterpret_cast<HeifModule* (*)()>(moduleEntry("kaptorix-heif", KX_HEIF_MODULE_ENTRY))();
    ASSERT_TRUE(module);
    QList<QByteArray> exif;
    refused = {};
    EXPECT_FALSE(module->decode(bomb, &exif, maxImagePixels, &refused));
    EXPECT_EQ(refused.width() > 24 || refused.height() > 16, true)
        << refused.width() << "x" << refused.height();

    // An honest file of the same pixels decodes.
    const auto fine = decodeHeic(heic(64, 64), 100'000);
    ASSERT_TRUE(fine);
    EXPECT_EQ(fine->image.size(), QSize(64, 64));
}

TEST(ImageReading, APngOverThePixelLimitIsRefusedFromItsHeader)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("huge.png");
    ASSERT_TRUE(test::writeOversizedPng(path));
    const long before = peakRssMb();
    const ImageRead read = readImageFile(path);
    EXPECT_FALSE(read.image);
    EXPECT_TRUE(read.tooLarge);
    EXPECT_EQ(read.size, QSize(20000, 20000));
    EXPECT_LT(peakRssMb() - before, 100);
}

TEST(ImageReading, ImagesAboveQtsOwnLimitButWithinOursDecode)
{
    // 9000 × 5000 ARGB is 172 MB: over Qt's default 128 MB, which stays as it is.
    const int qtLimit = QImageReader::allocationLimit();
    QImage img(9000, 5000, QImage::Format_ARGB32);
    img.fill(QColor(10, 200, 30, 128));
    QByteArray png;
    {
        QBuffer b(&png);
        b.open(QIODevice::WriteOnly);
        ASSERT_TRUE(img.save(&b, "png"));
    }
    img = QImage();
    const ImageRead read = readImageData(png);
    ASSERT_TRUE(read.image);
    EXPECT_EQ(read.image->image.size(), QSize(9000, 5000));
    EXPECT_EQ(read.image->image.pixel(8999, 4999), qRgba(10, 200, 30, 128));
    EXPECT_EQ(QImageReader::allocationLimit(), qtLimit);
    // A tighter bound of the caller's refuses it.
    EXPECT_TRUE(readImageData(png, 1'000'000).tooLarge);
}

TEST(ImageReading, AHugeFileThatIsNoImageIsNotReadWhole)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("sparse.png");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_TRUE(f.resize(qint64(5) * 1024 * 1024 * 1024));  // sparse: no blocks on disk
    f.close();
    const qint64 before = bytesRead();
    const ImageRead read = readImageFile(path);
    EXPECT_FALSE(read.image);
    EXPECT_FALSE(read.tooLarge);
    EXPECT_LT(bytesRead() - before, 1024 * 1024);

    // Text named .png, and a truncated PNG, are simply unreadable.
    QFile text(dir.filePath("notes.png"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly) && text.write("just some text\n"));
    text.close();
    EXPECT_FALSE(readImageFile(text.fileName()).image);
    EXPECT_FALSE(readImageFile(text.fileName()).tooLarge);
    QByteArray png;
    {
        QBuffer b(&png);
        b.open(QIODevice::WriteOnly);
        ASSERT_TRUE(test::noiseImage(QSize(300, 200), 7).save(&b, "png"));
    }
    const ImageRead truncated = readImageData(png.left(png.size() / 2));
    EXPECT_FALSE(truncated.image);
    EXPECT_FALSE(truncated.tooLarge);
    const ImageRead cutHeic = readImageData(heic(64, 64).left(300));
    EXPECT_FALSE(cutHeic.image);
    EXPECT_FALSE(cutHeic.tooLarge);
}
