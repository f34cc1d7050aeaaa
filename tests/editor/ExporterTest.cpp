// Encoding by the settings, resolution and downscaling round trips, and saving.
#include "EditorTestPages.h"
#include "core/HeifCodec.h"
#include "core/ImageUtils.h"
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "editor/EffectCache.h"
#include "editor/Exporter.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QTemporaryDir>

using namespace kx;
using namespace kx::test;

namespace {

class ExporterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Prefs::registerDefaults();
        Lang::overrideForTests("en");
        Prefs::set("imageFormat", "png");
        Prefs::set("downscaleRetina", false);
        Prefs::set("jpegQuality", 0.9);
    }
    static QByteArray readAll(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static bool isJpeg(const QByteArray& b) { return b.startsWith("\xFF\xD8\xFF"); }
    static bool isPng(const QByteArray& b) { return b.startsWith("\x89PNG"); }
};

TEST_F(ExporterTest, downscalingAndResolutionRoundTrip)
{
    const QImage retina = screenshot({2880, 1800});
    Prefs::set("downscaleRetina", true);
    auto on = Exporter::data(retina, 2);
    ASSERT_TRUE(on);
    EXPECT_EQ(on->ext, "png");
    auto decoded = decodeImage(on->data);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->image.size(), QSize(1440, 900));
    EXPECT_DOUBLE_EQ(decoded->scale, 1.0) << "72 dpi";

    const QImage small = screenshot({300, 200});
    auto plain = decodeImage(Exporter::data(small, 1)->data);
    EXPECT_EQ(plain->image.size(), QSize(300, 200)) << "scale 1 is never reduced";

    Prefs::set("downscaleRetina", false);
    auto off = decodeImage(Exporter::data(retina, 2)->data);
    ASSERT_TRUE(off);
    EXPECT_EQ(off->image.size(), QSize(2880, 1800));
    EXPECT_DOUBLE_EQ(off->scale, 2.0) << "144 dpi";
}

TEST_F(ExporterTest, formatSettingChoosesEncoderAndJpegHasAWhiteBackground)
{
    QImage clear(64, 48, QImage::Format_ARGB32_Premultiplied);
    clear.fill(Qt::transparent);
    Prefs::set("imageFormat", "jpg");
    auto jpg = Exporter::data(clear, 2);
    ASSERT_TRUE(jpg);
    EXPECT_EQ(jpg->ext, "jpg");
    EXPECT_TRUE(isJpeg(jpg->data));
    auto back = decodeImage(jpg->data);
    ASSERT_TRUE(back);
    EXPECT_GT(back->image.pixelColor(10, 10).lightness(), 250) << "transparent turns white, not black";
    EXPECT_DOUBLE_EQ(back->scale, 2.0);

    Prefs::set("imageFormat", "heic");
    auto heic = Exporter::data(screenshot({200, 120}), 1);
    ASSERT_TRUE(heic);
    EXPECT_EQ(heic->ext, "heic");
    EXPECT_TRUE(looksLikeHeif(heic->data));

    Prefs::set("imageFormat", "gif");  // unknown values mean PNG
    EXPECT_EQ(Exporter::data(clear, 1)->ext, "png");
    EXPECT_FALSE(Exporter::data(QImage(), 1));
}

TEST_F(ExporterTest, heicKeepsOddSizesAndResolution)
{
    for (QSize size : {QSize(333, 211), QSize(17, 9), QSize(1, 1), QSize(640, 1)}) {
        const QImage page = screenshot(size);
        auto bytes = Exporter::encode(page, ImageFormat::heic, 0.9, 2);
        ASSERT_TRUE(bytes) << size.width() << "x" << size.height();
        auto back = decodeImage(*bytes);
        ASSERT_TRUE(back) << size.width() << "x" << size.height();
        EXPECT_EQ(back->image.size(), size);
        EXPECT_DOUBLE_EQ(back->scale, 2.0);
    }
}

TEST_F(ExporterTest, savePathFollowsTheTypedExtension)
{
    using F = ImageFormat;
    EXPECT_EQ(Exporter::resolveSavePath("/t/a.png", F::jpg), std::make_pair(QString("/t/a.png"), F::png));
    EXPECT_EQ(Exporter::resolveSavePath("/t/a.JPEG", F::png), std::make_pair(QString("/t/a.JPEG"), F::jpg));
    EXPECT_EQ(Exporter::resolveSavePath("/t/a.jpg", F::heic), std::make_pair(QString("/t/a.jpg"), F::jpg));
    EXPECT_EQ(Exporter::resolveSavePath("/t/a.HeiC", F::png), std::make_pair(QString("/t/a.HeiC"), F::heic));
    EXPECT_EQ(Exporter::resolveSavePath("/t/a.txt", F::jpg), std::make_pair(QString("/t/a.txt.jpg"), F::jpg));
    EXPECT_EQ(Exporter::resolveSavePath("/t/shot", F::heic),
              std::make_pair(QString("/t/shot.heic"), F::heic));
    EXPECT_EQ(Exporter::resolveSavePath("/t/v1.2", F::png), std::make_pair(QString("/t/v1.2.png"), F::png));
}

TEST_F(ExporterTest, saveWritesTheChosenFormatAndReportsFailures)
{
    QTemporaryDir dir;
    const QImage page = screenshot({120, 80});
    auto saved = Exporter::saveTo(page, 1, dir.filePath("a.jpeg"), ImageFormat::png);
    EXPECT_EQ(saved.status, Exporter::SaveOutcome::Status::saved);
    EXPECT_TRUE(isJpeg(readAll(dir.filePath("a.jpeg"))));
    saved = Exporter::saveTo(page, 2, dir.filePath("b.HEIC"), ImageFormat::png);
    EXPECT_TRUE(looksLikeHeif(readAll(dir.filePath("b.HEIC"))));
    saved = Exporter::saveTo(page, 1, dir.filePath("c.txt"), ImageFormat::png);
    EXPECT_EQ(saved.path, dir.filePath("c.txt.png"));
    EXPECT_TRUE(isPng(readAll(saved.path)));
    EXPECT_FALSE(QFile::exists(dir.filePath("c.txt")));

    QFile blocker(dir.filePath("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    auto failed = Exporter::saveTo(page, 1, dir.filePath("file/inside.png"), ImageFormat::png);
    EXPECT_EQ(failed.status, Exporter::SaveOutcome::Status::failed);
    EXPECT_EQ(failed.message, "Save failed");
    failed = Exporter::saveTo(QImage(), 1, dir.filePath("empty.png"), ImageFormat::png);
    EXPECT_EQ(failed.status, Exporter::SaveOutcome::Status::failed);
    EXPECT_FALSE(QFile::exists(dir.filePath("empty.png")));
}

TEST_F(ExporterTest, flattenWithoutABitmapGivesNothingSoTheSaveFails)
{
    // Too wide for a 32-bit bitmap (a 1-bit one is only 8 MB): the redaction cannot be drawn.
    QImage wide(70'000'000, 1, QImage::Format_Mono);
    ASSERT_FALSE(wide.isNull());
    wide.fill(1);
    Annotation blur;
    blur.kind = ToolKind::blur;
    blur.p1 = QPointF(0, 0);
    blur.p2 = QPointF(100, 1);
    EffectCache effects;
    const QImage flat = Exporter::flatten(wide, {blur}, effects);
    EXPECT_TRUE(flat.isNull());
    QTemporaryDir dir;
    EXPECT_EQ(Exporter::saveTo(flat, 1, dir.filePath("x.png"), ImageFormat::png).message, "Save failed");
    EXPECT_FALSE(QFile::exists(dir.filePath("x.png")));
}

}  // namespace
