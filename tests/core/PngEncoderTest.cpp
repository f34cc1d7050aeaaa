// The libpng writer against Qt's: same decoded pixels, colour type and DPI.
#include "TestSupport.h"
#include "core/ImageUtils.h"
#include "core/PngEncoder.h"

#include <gtest/gtest.h>
#include <QBuffer>
#include <QDir>
#include <QImageWriter>
#include <QRandomGenerator>

using namespace kx;

TEST(PngEncoder, DecodesToTheSamePixelsColourTypeAndDpiAsQtsWriter)
{
    QList<std::pair<QString, QImage>> all;
    for (const QString& name : QDir(test::sourcePath("tests/editor/golden")).entryList({"*.png"}))
        all.append({name, QImage(test::sourcePath("tests/editor/golden/" + name))});
    ASSERT_GE(all.size(), 8);
    QImage translucent(301, 97, QImage::Format_ARGB32_Premultiplied);
    translucent.fill(QColor(200, 30, 90, 130));
    const QImage golden = all.first().second;
    for (auto f : {QImage::Format_ARGB32_Premultiplied, QImage::Format_RGB32, QImage::Format_Grayscale8,
                   QImage::Format_RGBA8888, QImage::Format_Indexed8})
        all.append({QString::number(int(f)), golden.convertToFormat(f)});
    all.append({"translucent", translucent});
    all.append({"odd width", golden.copy(3, 5, 301, 97).convertToFormat(QImage::Format_RGB32)});
    QImage noise(400, 300, QImage::Format_RGB32);  // deflates to more than its first output buffer
    QRandomGenerator(1).fillRange(reinterpret_cast<quint32*>(noise.bits()), noise.sizeInBytes() / 4);
    all.append({"noise", noise});
    // Premultiplied rows are put in straight alpha a block at a time, each with the row above.
    QImage translucentNoise(333, 250, QImage::Format_ARGB32);
    QRandomGenerator(2).fillRange(reinterpret_cast<quint32*>(translucentNoise.bits()),
                                  translucentNoise.sizeInBytes() / 4);
    all.append({"translucent noise", translucentNoise.convertToFormat(QImage::Format_ARGB32_Premultiplied)});

    for (const auto& [name, image] : all) {
        SCOPED_TRACE(name.toStdString());
        QByteArray qt;
        QBuffer buffer(&qt);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter(&buffer, "png").write(image);
        const auto ours = encoded(image, ImageFormat::png, 0.9, 2.0);
        ASSERT_TRUE(ours);
        const auto back = decodeImage(*ours);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->scale, 2.0);
        // Both read back the same way (images are read in premultiplied).
        const QImage before = decodeImage(qt)->image.convertToFormat(QImage::Format_ARGB32);
        EXPECT_EQ(back->image.convertToFormat(QImage::Format_ARGB32), before);
        // IHDR bit depth and colour type; Qt keeps alpha on opaque ARGB images, ours is RGB.
        EXPECT_EQ(ours->at(24), qt.at(24));
        const bool argb =
            image.format() == QImage::Format_ARGB32 || image.format() == QImage::Format_ARGB32_Premultiplied;
        const bool opaque =
            image.convertToFormat(QImage::Format_RGB32).convertToFormat(QImage::Format_ARGB32) == before;
        EXPECT_EQ(ours->at(25), argb && opaque ? 2 : qt.at(25));

        // Deflated in bands on several cores or in one stream: the same image and DPI.
        if (image.format() == QImage::Format_Indexed8)
            continue;
        for (int bands : {1, 5}) {
            const auto banded = encodePng(image, 5669, {PngSettings::Filter::up, 1, bands});
            ASSERT_TRUE(banded);
            const auto decoded = decodeImage(*banded);
            ASSERT_TRUE(decoded) << bands;
            EXPECT_EQ(decoded->scale, 2.0);
            EXPECT_EQ(decoded->image.convertToFormat(QImage::Format_ARGB32), before) << bands;
        }
    }
}
