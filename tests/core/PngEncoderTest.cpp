// The libpng writer against Qt's: same decoded pixels, same colour type, same DPI.
#include "TestSupport.h"
#include "core/ImageUtils.h"
#include "core/PngEncoder.h"

#include <gtest/gtest.h>
#include <QBuffer>
#include <QDir>
#include <QImageWriter>
#include <QPainter>

using namespace kx;

namespace {

QByteArray qtPng(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(image);
    return bytes;
}

// IHDR: bit depth and colour type follow the signature, length, type, width and height.
std::pair<int, int> depthAndColourType(const QByteArray& png)
{
    return {uchar(png.at(24)), uchar(png.at(25))};
}

// The golden renders plus the formats the editor and the capture paths hand over.
QList<std::pair<QString, QImage>> images()
{
    QList<std::pair<QString, QImage>> out;
    for (const QString& name : QDir(test::sourcePath("tests/editor/golden")).entryList({"*.png"}))
        out.append({name, QImage(test::sourcePath("tests/editor/golden/" + name))});
    QImage translucent(301, 97, QImage::Format_ARGB32_Premultiplied);
    translucent.fill(Qt::transparent);
    {
        QPainter p(&translucent);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(QColor(200, 30, 90, 130));
        p.drawEllipse(10, 5, 250, 80);
    }
    out.append({"premultiplied, translucent", translucent});
    out.append(
        {"opaque premultiplied", out.first().second.convertToFormat(QImage::Format_ARGB32_Premultiplied)});
    out.append({"rgb32", out.first().second.convertToFormat(QImage::Format_RGB32)});
    out.append({"grey", out.first().second.convertToFormat(QImage::Format_Grayscale8)});
    out.append({"rgb888", out.first().second.convertToFormat(QImage::Format_RGB888)});
    out.append({"rgba8888", translucent.convertToFormat(QImage::Format_RGBA8888)});
    out.append({"indexed", out.first().second.convertToFormat(QImage::Format_Indexed8)});
    return out;
}

}  // namespace

TEST(PngEncoder, DecodesToTheSamePixelsColourTypeAndDpiAsQtsWriter)
{
    const auto all = images();
    ASSERT_GE(all.size(), 8 + 7) << "golden images missing";
    for (const auto& [name, image] : all) {
        SCOPED_TRACE(name.toStdString());
        ASSERT_FALSE(image.isNull());
        const auto ours = encoded(image, ImageFormat::png, 0.9, 2.0);
        ASSERT_TRUE(ours);
        const auto back = decodeImage(*ours);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->scale, 2.0);
        const QImage before = QImage::fromData(qtPng(image)).convertToFormat(QImage::Format_ARGB32);
        EXPECT_EQ(back->image.convertToFormat(QImage::Format_ARGB32), before);
        // Qt keeps alpha even when every pixel is opaque; only that case becomes RGB here.
        const auto [depth, type] = depthAndColourType(*ours);
        const auto [qtDepth, qtType] = depthAndColourType(qtPng(image));
        EXPECT_EQ(depth, qtDepth);
        const bool argb =
            image.format() == QImage::Format_ARGB32 || image.format() == QImage::Format_ARGB32_Premultiplied;
        if (argb &&
            image.convertToFormat(QImage::Format_RGB32).convertToFormat(QImage::Format_ARGB32) == before)
            EXPECT_EQ(type, 2) << "opaque: RGB";
        else
            EXPECT_EQ(type, qtType);
    }
}

TEST(PngEncoder, EverySettingIsLossless)
{
    const QImage image = images().first().second.convertToFormat(QImage::Format_ARGB32);
    for (int filter = 0; filter <= int(PngSettings::Filter::adaptive); ++filter) {
        for (int level : {0, 1, 6, 9}) {
            const auto png = encodePng(image, 0, {PngSettings::Filter(filter), level});
            ASSERT_TRUE(png) << filter << " " << level;
            EXPECT_EQ(QImage::fromData(*png).convertToFormat(QImage::Format_ARGB32), image)
                << filter << " " << level;
        }
    }
    EXPECT_FALSE(encodePng(QImage(), 0));
}
