// Images from outside within bounds: the HEIC whose coded stream is far larger than its
// declared size, PNGs over the pixel limit, and files that are not images at all.
#include "HeicBomb.h"
#include "PeakMemory.h"
#include "TestSupport.h"
#include "core/HeifCodec.h"
#include "core/HevcSize.h"
#include "core/ImageReading.h"
#include "core/Localisation.h"
#include "core/ModuleLoader.h"
#include "core/heif/HeifModule.h"

#include <gtest/gtest.h>
#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <array>
#include <functional>

using namespace kx;
using kx::test::resetPeakMb;
using kx::test::statusMb;

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

quint32 crc32Of(const QByteArray& bytes, quint32 crc = 0xffffffffu)
{
    static const auto table = [] {
        std::array<quint32, 256> t{};
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xedb88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    for (const char b : bytes)
        crc = table[(crc ^ quint8(b)) & 0xff] ^ (crc >> 8);
    return crc;
}

QByteArray bigEndian(quint32 v)
{
    const char b[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    return QByteArray(b, 4);
}

// `image` as a PNG with one chunk of `type` holding `megabytes` of text after its header,
// written piece by piece so that the test itself holds little of it.
bool writePngWithChunk(const QString& path, const QImage& image, const char* type, int megabytes)
{
    QByteArray png;
    QBuffer b(&png);
    b.open(QIODevice::WriteOnly);
    if (!image.save(&b, "png"))
        return false;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    const qsizetype afterHeader = 8 + 8 + 13 + 4;
    f.write(png.left(afterHeader));
    const QByteArray piece(1024 * 1024, 'a');
    QByteArray start = QByteArray(type) + QByteArray("Comment\0", 8);
    quint32 crc = crc32Of(start);
    f.write(bigEndian(quint32(qint64(megabytes) * piece.size() + 8)));
    f.write(start);
    for (int i = 0; i < megabytes; ++i) {
        crc = crc32Of(piece, crc);
        f.write(piece);
    }
    f.write(bigEndian(~crc));
    f.write(png.mid(afterHeader));
    return f.flush();
}

// A PNG of `size` that is its header and the start of its pixels only: the decoder knows size
// and format, and would allocate the image before finding that the pixels end.
QByteArray pngHeaderOnly(QSize size, int bitDepth, int colourType)
{
    const auto chunk = [](const QByteArray& type, const QByteArray& data) {
        return bigEndian(quint32(data.size())) + type + data + bigEndian(~crc32Of(type + data));
    };
    QByteArray ihdr = bigEndian(quint32(size.width())) + bigEndian(quint32(size.height()));
    ihdr += char(bitDepth);
    ihdr += char(colourType);
    ihdr += QByteArray(3, '\0');  // compression, filter, interlace
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", ihdr) +
           chunk("IDAT", QByteArray("\x78\x9c", 2));
}

// `image` as a JPEG with `megabytes` of comment segments after its start marker.
bool writeJpegWithComments(const QString& path, const QImage& image, int megabytes)
{
    QByteArray jpeg;
    QBuffer b(&jpeg);
    b.open(QIODevice::WriteOnly);
    if (!image.save(&b, "jpeg"))
        return false;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(jpeg.left(2));
    const QByteArray segment = QByteArray("\xff\xfe\xff\xff", 4) + QByteArray(65533, 'c');
    for (qint64 written = 0; written < qint64(megabytes) * 1024 * 1024; written += segment.size())
        f.write(segment);
    f.write(jpeg.mid(2));
    return f.flush();
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
    // Kept premultiplied, as every image from outside.
    EXPECT_EQ(read.image->image.pixel(8999, 4999), qPremultiply(qRgba(10, 200, 30, 128)));
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

// Well under the pixel limit, a 16-bit image still decodes to 8 bytes a pixel and is converted
// beside itself: 100 megapixels take 1.2 GB, over the memory bound; at 8 bits they fit.
TEST(ImageReading, ADeepPngIsBoundedByItsDecodedBytesNotOnlyItsPixels)
{
    const struct {
        int depth, colourType;
        bool refused;
    } table[]{{16, 6, true}, {16, 2, true}, {8, 6, false}};
    for (const auto& c : table) {
        SCOPED_TRACE(c.depth * 10 + c.colourType);
        const ImageRead read = readImageData(pngHeaderOnly(QSize(10000, 10000), c.depth, c.colourType));
        EXPECT_FALSE(read.image);  // the pixels are cut off
        EXPECT_EQ(read.tooLarge, c.refused);
        EXPECT_EQ(read.size, c.refused ? QSize(10000, 10000) : QSize());
    }
}

// Under the pixel limit but over the memory one: the decoder's depth is what refuses it, and
// the read says so, so the user is not told a false limit. (An 8-bit grey image is widened to
// 32 bits as it opens: 5 bytes a pixel for a moment.)
TEST(ImageReading, AnImageRefusedForItsDepthSaysItsBitsAPixel)
{
    const struct {
        QSize size;
        int depth, colourType;
        bool refused;
        int bits;
    } table[]{
        {{15000, 15000}, 8, 0, true, 8},    // grey, 225 megapixels
        {{14000, 14000}, 8, 0, false, 0},   // grey, 196 megapixels
        {{15000, 15000}, 8, 2, false, 0},   // colour, 225 megapixels
        {{10000, 10000}, 16, 6, true, 64},  // 16-bit colour with alpha
        {{17000, 17000}, 8, 2, true, 0},    // over the pixel limit whatever the depth
    };
    for (const auto& c : table) {
        SCOPED_TRACE(QStringLiteral("%1x%2 %3/%4")
                         .arg(c.size.width())
                         .arg(c.size.height())
                         .arg(c.depth)
                         .arg(c.colourType)
                         .toStdString());
        const ImageRead read = readImageData(pngHeaderOnly(c.size, c.depth, c.colourType));
        EXPECT_EQ(read.tooLarge, c.refused);
        EXPECT_EQ(read.bitsPerPixel, c.bits);
    }
    EXPECT_EQ(maxPixelsAtDepth(8), 214'748'364);
    EXPECT_EQ(maxPixelsAtDepth(32), maxImagePixels);
}

// Metadata beside a few pixels: Qt's decoders keep text chunks and comment segments whole (and
// more than once). A PNG opens without them; a file far larger than its pixels need is refused.
TEST(ImageReading, MetadataFarLargerThanThePixelsIsNeitherKeptNorDecoded)
{
    QTemporaryDir dir;
    const QImage pixels = picture(64, 48);
    const struct {
        const char* name;
        std::function<bool(const QString&)> write;
        bool opens;
    } cases[] = {
        {"text.png", [&](const QString& p) { return writePngWithChunk(p, pixels, "tEXt", 96); }, true},
        {"exif.png", [&](const QString& p) { return writePngWithChunk(p, pixels, "eXIf", 96); }, true},
        {"comments.jpg", [&](const QString& p) { return writeJpegWithComments(p, pixels, 96); }, false},
    };
    for (const auto& c : cases) {
        const QString path = dir.filePath(c.name);
        ASSERT_TRUE(c.write(path)) << c.name;
        const long before = resetPeakMb();
        const ImageRead read = readImageFile(path);
        EXPECT_LT(statusMb("VmHWM:") - before, 24) << c.name;
        EXPECT_EQ(bool(read.image), c.opens) << c.name;
        EXPECT_EQ(read.tooLarge, !c.opens) << c.name;
        if (read.image) {
            EXPECT_EQ(read.image->image.size(), QSize(64, 48));
            EXPECT_LE(
                test::maxChannelDifference(read.image->image.convertToFormat(QImage::Format_RGB32), pixels),
                0);
        }
        QFile::remove(path);
    }
}

// A photo with 200 MB of metadata is refused for that, and the user is told so, not that the
// image has too many pixels.
TEST(ImageReading, AJpegFarLargerThanItsPixelsNeedIsRefusedAsMostlyMetadata)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("holiday.jpg");
    ASSERT_TRUE(picture(640, 480).save(path, "jpeg"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite) && f.resize(qint64(200) * 1024 * 1024));  // sparse
    }
    const ImageRead read = readImageFile(path);
    EXPECT_FALSE(read.image);
    EXPECT_TRUE(read.tooLarge);
    EXPECT_TRUE(read.mostlyMetadata);
    EXPECT_EQ(read.size, QSize(640, 480));

    const struct {
        const char* lang;
        const char* name;
        const char* line;
    } table[]{
        {"en", "holiday.jpg",
         "holiday.jpg holds far more data than its 640 × 480 pixels need (mostly metadata), so Kaptorix does "
         "not open it."},
        {"en", "",
         "The clipboard image holds far more data than its 640 × 480 pixels need (mostly metadata), so "
         "Kaptorix does not open it."},
        {"hu", "holiday.jpg",
         "holiday.jpg: sokkal több adat, mint amennyi 640 × 480 képponthoz kell (főleg metaadat), nem nyílik "
         "meg."},
        {"de", "holiday.jpg",
         "holiday.jpg enthält weit mehr Daten, als 640 × 480 Pixel brauchen (meist Metadaten); Kaptorix "
         "öffnet "
         "die Datei nicht."},
    };
    for (const auto& c : table) {
        Lang::overrideForTests(QString::fromLatin1(c.lang));
        EXPECT_EQ(mostlyMetadataLine(QString::fromUtf8(c.name), read.size), QString::fromUtf8(c.line))
            << c.lang;
    }
    Lang::overrideForTests(QStringLiteral("en"));
}

// Whatever a PNG holds, the image is premultiplied ARGB32 in sRGB, and its thumbnail keeps the
// colour: Qt's smooth scaling turns a 1-bit image's colour into a black-and-white dither.
TEST(ImageReading, EveryKindOfPngBecomesPremultipliedSrgbAndKeepsItsColours)
{
    auto uniform = [](QImage::Format format, QColor colour) {
        QImage img(300, 200, format);
        if (format == QImage::Format_Indexed8) {
            img.setColorTable({qRgb(0, 0, 0), colour.rgb(), qRgb(255, 255, 255)});
            img.fill(1);
        } else {
            img.fill(colour);
        }
        QByteArray bytes;
        QBuffer b(&bytes);
        b.open(QIODevice::WriteOnly);
        img.save(&b, "png");
        return bytes;
    };
    QImage p3(300, 200, QImage::Format_RGB32);
    p3.fill(QColor(200, 80, 40));
    p3.setColorSpace(QColorSpace::DisplayP3);
    QByteArray p3Png;
    {
        QBuffer b(&p3Png);
        b.open(QIODevice::WriteOnly);
        p3.save(&b, "png");
    }
    const QColor blue(20, 60, 200), green(40, 170, 90);
    const struct {
        const char* name;
        QByteArray png;
        QImage::Format decoded;  // what Qt's decoder gives on its own
        QColor colour;
    } cases[] = {
        {"1-bit palette", test::monoPng(QSize(300, 200), blue), QImage::Format_Mono, blue},
        {"indexed", uniform(QImage::Format_Indexed8, green), QImage::Format_Indexed8, green},
        {"16-bit", uniform(QImage::Format_RGBA64, QColor(250, 120, 10, 255)), QImage::Format_RGBA64,
         QColor(250, 120, 10)},
        {"grey", uniform(QImage::Format_Grayscale8, QColor(90, 90, 90)), QImage::Format_Grayscale8,
         QColor(90, 90, 90)},
        {"Display P3", p3Png, QImage::Format_RGB32,
         QColorSpace(QColorSpace::DisplayP3)
             .transformationToColorSpace(QColorSpace::SRgb)
             .map(QColor(200, 80, 40))},
    };
    for (const auto& c : cases) {
        QBuffer probe;
        probe.setData(c.png);
        probe.open(QIODevice::ReadOnly);
        ASSERT_EQ(QImageReader(&probe).imageFormat(), c.decoded) << c.name;
        const ImageRead read = readImageData(c.png);
        ASSERT_TRUE(read.image) << c.name;
        const QImage& img = read.image->image;
        EXPECT_EQ(img.format(), QImage::Format_ARGB32_Premultiplied) << c.name;
        EXPECT_LE(test::maxDistanceFrom(img, c.colour), 1) << c.name;
        const QImage thumb = fitted(img, 64);
        EXPECT_EQ(thumb.size(), QSize(64, 43)) << c.name;
        EXPECT_LE(test::maxDistanceFrom(thumb, c.colour), 2) << c.name;
    }
}

// 4:4:4 streams carry one more flag before the size; other chroma formats do not.
TEST(HevcSize, TheCodedSizeBehindEveryChromaFormat)
{
    const struct {
        int chroma;
        bool separatePlanes;
    } table[]{{0, false}, {1, false}, {2, false}, {3, false}, {3, true}};
    for (const auto& c : table) {
        SCOPED_TRACE(c.chroma * 10 + c.separatePlanes);
        for (const QSize size : {QSize(28000, 26160), QSize(64, 48)})
            EXPECT_EQ(hevcSpsSize(test::spsUnit(size, c.chroma, c.separatePlanes)), size);
    }
}

// A HEIC's decoded plane becomes the image itself (no second copy of a picture that may be a
// gigabyte): premultiplied, in the channel order of the image's format, opaque or not.
TEST(ImageReading, AHeicIsPremultipliedWhereItWasDecodedAndKeepsItsColours)
{
    QImage translucent(96, 64, QImage::Format_ARGB32);
    translucent.fill(QColor(200, 40, 60, 128));
    const struct {
        QImage image;
        QPoint at;
        QColor colour;
    } cases[]{{picture(96, 64), {10, 10}, QColor(220, 60, 20)},
              {picture(96, 64), {80, 50}, QColor(30, 120, 200)},
              {translucent, {40, 30}, QColor(200, 40, 60, 128)}};
    for (const auto& c : cases) {
        const ImageRead read =
            readImageData(encoded(c.image, ImageFormat::heic, 0.9, 1.0).value_or(QByteArray()));
        ASSERT_TRUE(read.image);
        const QImage& back = read.image->image;
        EXPECT_EQ(back.format(), QImage::Format_ARGB32_Premultiplied);
        const QColor got = back.pixelColor(c.at);
        SCOPED_TRACE(c.colour.name(QColor::HexArgb).toStdString() + " read as " +
                     got.name(QColor::HexArgb).toStdString());
        EXPECT_NEAR(got.alpha(), c.colour.alpha(), 4);
        EXPECT_NEAR(got.red(), c.colour.red(), 12);
        EXPECT_NEAR(got.green(), c.colour.green(), 12);
        EXPECT_NEAR(got.blue(), c.colour.blue(), 12);
    }
}
