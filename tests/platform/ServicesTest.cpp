// Clipboard forms and their reading order, the screen-access rule and its alert, and the
// shutter sound's setting and fallback.
#include "core/ImageUtils.h"
#include "core/Prefs.h"
#include "platform/Clipboard.h"
#include "platform/Permissions.h"
#include "platform/Sound.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QBuffer>
#include <QImageWriter>
#include <QMimeData>
#include <mutex>

namespace kx {
namespace {

QImage pattern(int w, int h)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(x * 7 % 256, y * 13 % 256, (x + y) % 256));
    return img;
}

QByteArray encode(const QImage& img, const char* format, int dotsPerMeter)
{
    QImage copy = img;
    copy.setDotsPerMeterX(dotsPerMeter);
    copy.setDotsPerMeterY(dotsPerMeter);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, format).write(copy);
    return bytes;
}

int dpmForDpi(double dpi)
{
    return int(std::lround(dpi / 0.0254));
}

TEST(ClipboardForms, CopyOffersPngAtTheScaleDpiTiffAndImage)
{
    const QImage img = pattern(40, 30);
    std::unique_ptr<QMimeData> mime(Clipboard::mimeDataFor(img, 2.0));
    ASSERT_TRUE(mime->hasFormat("image/png") && mime->hasFormat("image/tiff") && mime->hasImage());
    QImage png;
    ASSERT_TRUE(png.loadFromData(mime->data("image/png"), "PNG"));
    EXPECT_NEAR(png.dotsPerMeterX() * 0.0254, 144.0, 0.05);
    QImage tiff;
    ASSERT_TRUE(tiff.loadFromData(mime->data("image/tiff"), "TIFF"));
    EXPECT_EQ(test::maxChannelDifference(png, img), 0);
    EXPECT_EQ(test::maxChannelDifference(tiff, img), 0);

    const auto back = Clipboard::imageFrom(*mime);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->scale, 2.0);
    EXPECT_EQ(test::maxChannelDifference(back->image, img), 0);
}

// A coloured 1-bit image read from the clipboard, as PNG or as Qt's own image form, is copied
// back in both forms with its colour: Qt's TIFF writer turns a 1-bit image black.
TEST(ClipboardForms, AOneBitImageReadInIsCopiedOutInItsColourInEveryForm)
{
    const QColor blue(20, 60, 200);
    const QByteArray monoPng = test::monoPng(QSize(60, 40), blue);
    QMimeData asPng, asImage;
    asPng.setData("image/png", monoPng);
    asImage.setImageData(QImage::fromData(monoPng, "PNG"));
    ASSERT_EQ(qvariant_cast<QImage>(asImage.imageData()).format(), QImage::Format_Mono);
    for (const QMimeData* source : {&asPng, &asImage}) {
        const auto read = Clipboard::imageFrom(*source);
        ASSERT_TRUE(read);
        EXPECT_EQ(read->image.format(), QImage::Format_ARGB32_Premultiplied);
        std::unique_ptr<QMimeData> copied(Clipboard::mimeDataFor(read->image, 1.0));
        for (const char* form : {"PNG", "TIFF"}) {
            const QImage back =
                QImage::fromData(copied->data(QStringLiteral("image/") + QString(form).toLower()), form);
            EXPECT_EQ(back.size(), QSize(60, 40)) << form;
            EXPECT_LE(test::maxDistanceFrom(back, blue), 1) << form;
        }
    }
}

TEST(ClipboardForms, ScaleComesFromTheResolution)
{
    const QImage img200 = pattern(200, 10), img150 = pattern(150, 10), img120 = pattern(120, 10);
    auto scaleOf = [](const QImage& img, double dpi) {
        QMimeData m;
        m.setData("image/png", encode(img, "png", dpmForDpi(dpi)));
        return Clipboard::imageFrom(m)->scale;
    };
    EXPECT_EQ(scaleOf(img200, 144), 2.0);   // 200 pixels over 100 points
    EXPECT_EQ(scaleOf(img150, 108), 2.0);   // 1.5 rounds up
    EXPECT_EQ(scaleOf(img120, 86.4), 1.0);  // 1.2 rounds down
    EXPECT_EQ(scaleOf(img200, 36), 1.0);    // never below 1
    QImage noDpi = img200;
    noDpi.setDotsPerMeterX(0);
    EXPECT_EQ(Clipboard::scaleOf(noDpi), 1.0);
}

TEST(ClipboardForms, BrokenPngFallsThroughToTiffThenToAnyImage)
{
    const QImage img = pattern(20, 20);
    QMimeData both;
    both.setData("image/png", QByteArray("\x89PNG\r\n\x1a\n broken", 16));
    both.setData("image/tiff", encode(img, "tiff", dpmForDpi(144)));
    const auto fromTiff = Clipboard::imageFrom(both);
    ASSERT_TRUE(fromTiff);
    EXPECT_EQ(fromTiff->scale, 2.0);
    EXPECT_EQ(test::maxChannelDifference(fromTiff->image, img), 0);

    QMimeData other;
    other.setData("image/png", QByteArray("junk"));
    other.setData("image/bmp", encode(img, "bmp", dpmForDpi(144)));
    const auto fromBmp = Clipboard::imageFrom(other);
    ASSERT_TRUE(fromBmp);
    EXPECT_EQ(fromBmp->scale, 1.0);
    EXPECT_EQ(test::maxChannelDifference(fromBmp->image.convertToFormat(QImage::Format_ARGB32), img), 0);

    QMimeData text;
    text.setText("no picture here");
    EXPECT_FALSE(Clipboard::imageFrom(text));
}

TEST(ScreenAccess, WaylandSessionIsRefusedWithTheAlertEachTime)
{
    // XWayland would answer, but it cannot see the native windows.
    EXPECT_EQ(Permissions::screenAccessFor(true, "wayland", false),
              Permissions::ScreenAccess::waylandSession);
    const QByteArray saved = qgetenv("WAYLAND_DISPLAY");
    qputenv("WAYLAND_DISPLAY", "wayland-0");
    QStringList shown;
    Permissions::setAlertPresenter(
        [&](const QString& title, const QString& text) { shown << title << text; });
    EXPECT_FALSE(Permissions::ensureScreenRecording());
    EXPECT_FALSE(Permissions::ensureScreenRecording());
    Permissions::setAlertPresenter(nullptr);
    if (saved.isNull())
        qunsetenv("WAYLAND_DISPLAY");
    else
        qputenv("WAYLAND_DISPLAY", saved);
    ASSERT_EQ(shown.size(), 4);
    EXPECT_EQ(shown[0], Permissions::alertTitle());
    EXPECT_TRUE(shown[1].contains("X11"));
}

TEST(ShutterSound, SilentWhenSwitchedOffAndFallsBackToTheCameraShutter)
{
    std::mutex guard;
    QStringList played;  // "off:" or "on:" and the sound asked for
    auto recorder = [&](QString phase) {
        return [&, phase](const char* id) {
            std::lock_guard lock(guard);
            played << phase + id;
            return false;  // the theme has neither sound: both are tried
        };
    };
    Sound::setPlayer(recorder("off:"));
    Prefs::set("playSound", false);
    Sound::shutter();
    Sound::setPlayer(recorder("on:"));
    Prefs::set("playSound", true);
    Sound::shutter();
    // One sound thread runs the calls in order: had the first call queued anything, it would
    // have run before the second one's.
    EXPECT_TRUE(test::waitFor([&] {
        std::lock_guard lock(guard);
        return played.size() >= 2;
    }));
    std::lock_guard lock(guard);
    EXPECT_EQ(played, (QStringList{"on:screen-capture", "on:camera-shutter"}));
    Sound::setPlayer(nullptr);
    Prefs::remove("playSound");
}

}  // namespace
}  // namespace kx
