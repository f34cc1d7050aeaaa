#include "TestSupport.h"
#include "core/AtomicFile.h"
#include "core/HeifCodec.h"
#include "core/ImageUtils.h"
#include "core/ModuleLoader.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QTemporaryDir>
#include <QtEndian>
#include <csignal>

using namespace kx;

namespace {
QImage sample(int w, int h, bool alpha = false)
{
    QImage img(w, h, alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    img.fill(alpha ? Qt::transparent : Qt::white);
    QPainter p(&img);
    p.fillRect(0, 0, w / 2, h / 2, QColor(200, 40, 40));
    p.fillRect(w / 2, h / 2, w - w / 2, h - h / 2, QColor(20, 90, 200));
    return img;
}

int dpiOf(const QByteArray& bytes)
{
    QBuffer b(const_cast<QByteArray*>(&bytes));
    b.open(QIODevice::ReadOnly);
    QImageReader r(&b);
    const QImage img = r.read();
    return int(std::lround(img.dotsPerMeterX() * 0.0254));
}
}  // namespace

TEST(Encoding, PngIsLosslessAndCarriesDpi)
{
    const QImage img = sample(64, 40, true);
    const auto png = encoded(img, ImageFormat::png, 0.1, 2.0);
    ASSERT_TRUE(png);
    EXPECT_TRUE(png->startsWith("\x89PNG"));
    EXPECT_EQ(dpiOf(*png), 144);
    const auto back = decodeImage(*png);
    ASSERT_TRUE(back);
    EXPECT_DOUBLE_EQ(back->scale, 2.0);
    EXPECT_EQ(test::maxChannelDifference(back->image, img), 0) << "quality must not make PNG lossy";
    EXPECT_EQ(dpiOf(*encoded(img, ImageFormat::png, 0.9, 1.0)), 72);
}

TEST(Encoding, JpegAt72DpiOverWhite)
{
    const QImage img = sample(80, 60, true);  // transparent margins
    const auto jpg = encoded(img, ImageFormat::jpg, 0.9, 1.0);
    ASSERT_TRUE(jpg);
    EXPECT_TRUE(jpg->startsWith("\xFF\xD8"));
    EXPECT_EQ(dpiOf(*jpg), 72);
    const auto back = decodeImage(*jpg);
    ASSERT_TRUE(back);
    const QColor corner = back->image.pixelColor(79, 2);  // was transparent
    EXPECT_GT(std::min({corner.red(), corner.green(), corner.blue()}), 240);
    // Lower quality gives fewer bytes.
    const QImage busy = sample(400, 300);
    EXPECT_LT(encoded(busy, ImageFormat::jpg, 0.2, 1.0)->size(),
              encoded(busy, ImageFormat::jpg, 1.0, 1.0)->size());
}

TEST(Encoding, HeicRoundTripsSizeAndResolution)
{
    for (const QSize size : {QSize(320, 200), QSize(101, 57)}) {
        const QImage img = sample(size.width(), size.height());
        const auto heic = encoded(img, ImageFormat::heic, 0.8, 2.0);
        ASSERT_TRUE(heic) << size.width();
        EXPECT_TRUE(looksLikeHeif(*heic));
        const auto back = decodeImage(*heic);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->image.size(), size);
        EXPECT_DOUBLE_EQ(back->scale, 2.0);
        // Lossy, but the colours of large flat areas survive.
        const QColor c = back->image.pixelColor(size.width() / 4, size.height() / 4);
        EXPECT_NEAR(c.red(), 200, 12);
        EXPECT_NEAR(c.blue(), 40, 12);
    }
    EXPECT_DOUBLE_EQ(resolutionFromExif(exifWithResolution(216)), 216);
    EXPECT_DOUBLE_EQ(resolutionFromExif(QByteArray("garbage")), 0);
}

TEST(Encoding, NothingForNullOrBadInput)
{
    EXPECT_FALSE(encoded(QImage(), ImageFormat::png, 1, 1));
    EXPECT_FALSE(decodeImage(QByteArray()));
    EXPECT_FALSE(decodeImage(QByteArray("not an image at all")));
    EXPECT_DOUBLE_EQ(scaleFromDotsPerMeter(0), 1.0);
    EXPECT_DOUBLE_EQ(scaleFromDotsPerMeter(5669), 2.0);
    EXPECT_DOUBLE_EQ(scaleFromDotsPerMeter(2835), 1.0);
}

TEST(Modules, FoundOnceOrRefusedWithTheReason)
{
    QString error;
    void* heif = moduleEntry("kaptorix-heif", "kx_heif_module", &error);
    EXPECT_TRUE(heif) << error.toStdString();
    EXPECT_EQ(moduleEntry("kaptorix-heif", "kx_heif_module"), heif);
    EXPECT_FALSE(moduleEntry("kaptorix-heif", "no_such_entry", &error));
    EXPECT_TRUE(error.contains("libkaptorix-heif.so: ")) << error.toStdString();
    EXPECT_FALSE(moduleEntry("kaptorix-none", "kx_heif_module", &error));
    EXPECT_EQ(error, "module libkaptorix-none.so not found");
}

TEST(Decoding, AHeicDeclaringAHugeSizeIsRefusedBeforeDecoding)
{
    QByteArray heic = *encoded(sample(64, 64), ImageFormat::heic, 0.5, 1.0);
    const qsizetype ispe = heic.indexOf("ispe");
    ASSERT_GT(ispe, 0);
    qToBigEndian<quint32>(28009, heic.data() + ispe + 8);
    qToBigEndian<quint32>(26161, heic.data() + ispe + 12);
    EXPECT_FALSE(decodeHeic(heic));
    EXPECT_FALSE(decodeImage(heic));
}

TEST(Decoding, ResolutionsBelowHalfAPointPerPixelCountAsOne)
{
    for (int dpm : {1, 19, 700}) {
        QImage img = sample(8, 8);
        img.setDotsPerMeterX(dpm);
        img.setDotsPerMeterY(dpm);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(img.save(&buffer, "png"));
        EXPECT_DOUBLE_EQ(decodeImage(png)->scale, 1.0) << dpm;
    }
    EXPECT_DOUBLE_EQ(scaleFromDpi(36), 0.5);
}

TEST(Scaling, ResizedRoundsAndFittedNeverEnlarges)
{
    const QImage img = sample(700, 300);
    EXPECT_EQ(resized(img, QSizeF(0.4, 0.4)).size(), QSize(1, 1));
    EXPECT_EQ(resized(img, QSizeF(10.5, 3.49)).size(), QSize(11, 3));
    EXPECT_TRUE(resized(QImage(), QSizeF(3, 3)).isNull());

    const QImage same = fitted(img, 700);
    EXPECT_EQ(same.cacheKey(), img.cacheKey()) << "no shrinking needed: the same image";
    EXPECT_EQ(fitted(sample(1400, 300), 700).size(), QSize(700, 150));
    EXPECT_EQ(fitted(sample(300, 1400), 520).size(), QSize(111, 520));

    const QImage ctx = makeBitmapContext(5, 4);
    EXPECT_EQ(ctx.format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(ctx.pixel(2, 2), 0u);
    EXPECT_TRUE(makeBitmapContext(0, 4).isNull());
}

TEST(AtomicFiles, WriteAndSetAside)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/sub/index.json";
    ASSERT_TRUE(writeFileAtomically(path, "one"));
    ASSERT_TRUE(writeFileAtomically(path, "two"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "two");
    f.close();
    const QString first = setAside(path);
    ASSERT_FALSE(first.isEmpty());
    EXPECT_TRUE(first.startsWith(path + ".bad-"));
    EXPECT_FALSE(QFile::exists(path));
    ASSERT_TRUE(writeFileAtomically(path, "three"));
    const QString second = setAside(path);
    EXPECT_NE(first, second) << "a second bad file must not overwrite the first";
    EXPECT_TRUE(QFile::exists(first));
    EXPECT_TRUE(setAside(path).isEmpty());
    EXPECT_FALSE(writeFileAtomically("/proc/definitely/not/here", "x"));
}

TEST(AtomicFiles, AWriteCutShortLeavesTheOldFileWhole)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/index.json";
    const QByteArray old(3000, 'o');
    ASSERT_TRUE(writeFileAtomically(path, old));
    // The disk "fills" after 4 KiB: the write fails part way (EFBIG instead of SIGXFSZ).
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = writeFileAtomically(path, QByteArray(1 << 20, 'n'));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(written);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"index.json"});
}
