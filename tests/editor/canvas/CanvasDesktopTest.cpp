// Under a real X server with a window manager: a canvas in a window, driven by xdotool,
// a crop checked in screenshots of the whole screen.
#include "CanvasHarness.h"

#include "ChildProcess.h"
#include "TestSupport.h"
#include "devtools/samples/SamplePictures.h"
#include "editor/canvas/CanvasTextField.h"

#include <gtest/gtest.h>
#include <QClipboard>
#include <QGuiApplication>
#include <QProcess>
#include <QScopeGuard>
#include <QSet>
#include <QWindow>

using namespace kx;
using namespace kx::test;

namespace {

QImage screen()
{
    return rootScreenshot(artifactDir("canvas-desktop") + "/screen.png");
}

// Takes screenshots until one satisfies `ok` (the screen is repainted asynchronously).
QImage screenWhen(const std::function<bool(const QImage&)>& ok)
{
    QImage shot;
    waitFor(
        [&] {
            shot = screen();
            return !shot.isNull() && ok(shot);
        },
        15000);
    return shot;
}

void xdo(const QStringList& args)
{
    ASSERT_EQ(run(QStringLiteral("xdotool"), args), 0) << args.join(' ').toStdString();
}

}  // namespace

TEST(CanvasDesktop, CropWithTheRealPointerAndKeyboardLeavesNothingOfTheOldFrame)
{
    if (!haveDisplay())
        GTEST_SKIP() << "no X display";
    CaptureResult capture;
    capture.image = samples::screenshot(QSize(600, 400));
    capture.scale = 1;
    auto doc = std::make_shared<EditorDocument>(capture);
    CanvasHost window(doc, QSize(900, 650));
    window.move(60, 40);
    window.show();
    ASSERT_TRUE(waitFor([&] { return window.windowHandle() && window.windowHandle()->isExposed(); }));
    xdo({"windowactivate", "--sync", QString::number(window.winId())});
    ASSERT_TRUE(waitFor([&] { return window.isActiveWindow(); }));
    window.canvas->setFocus();
    settle();

    auto global = [&](QPointF image) {
        return window.canvas->mapToGlobal(window.canvas->toWidget(image)).toPoint();
    };
    auto at = [](QPoint p) { return QStringList{QString::number(p.x()), QString::number(p.y())}; };
    auto dragOnScreen = [&](QPointF from, QPointF to) {
        const QPoint a = global(from), b = global(to);
        QStringList args = QStringList{"mousemove"} + at(a) + QStringList{"mousedown", "1"};
        for (int i = 1; i <= 5; ++i)
            args << "mousemove" << at(a + (b - a) * i / 5);
        xdo(args << "mouseup"
                 << "1");
    };

    // The canvas as it first appears.
    const QPoint probe = global(QPointF(300, 200));
    const QImage first = screenWhen(
        [&](const QImage& s) { return s.pixelColor(probe) == capture.image.pixelColor(300, 200); });
    ASSERT_FALSE(first.isNull());

    // c + drag + Return: cropped to the dragged size, leaving nothing of the old frame behind.
    const QPoint oldShadow = global(QPointF(300, 412));
    const QPoint background = window.scroll->viewport()->mapToGlobal(QPoint(4, 4));
    ASSERT_NE(first.pixel(oldShadow), first.pixel(background));
    xdo({"key", "c"});
    ASSERT_TRUE(waitFor([&] { return doc->tool() == ToolKind::crop; }));
    dragOnScreen(QPointF(50, 40), QPointF(370, 280));
    ASSERT_TRUE(
        waitFor([&] { return doc->cropRect() && doc->cropRect()->bottomRight() == QPointF(370, 280); }));
    xdo({"key", "Return"});
    ASSERT_TRUE(waitFor([&] { return doc->base().size() == QSize(320, 240); }));
    EXPECT_EQ(doc->base().pixelColor(0, 0), capture.image.pixelColor(50, 40));
    ASSERT_TRUE(waitFor([&] { return window.canvas->size() == QSize(320, 240); }));
    const QImage cropped =
        screenWhen([&](const QImage& s) { return s.pixel(oldShadow) == s.pixel(background); });
    cropped.save(artifactDir("canvas-desktop") + "/cropped.png");
    EXPECT_EQ(cropped.pixel(oldShadow), cropped.pixel(background));
}

// Typed through the keyboard map and pasted from another program, emoji with a skin tone, a
// flag and Persian with its zero-width non-joiner reach the annotation whole, and the exported
// image draws the emoji in colour where the system has a colour emoji font.
TEST(CanvasDesktop, EmojiFlagsAndJoinersTypedAndPastedReachTheExport)
{
    if (!haveDisplay())
        GTEST_SKIP() << "no X display";
    const QString words = QString::fromUtf8("Grüße 👋🏽 🇭🇺 می\u200cخواهم");
    auto doc = std::make_shared<EditorDocument>(plainCapture(700, 300, 1, SourceKind::area, Qt::white));
    CanvasHost window(doc, QSize(800, 420));
    window.move(60, 40);
    window.show();
    ASSERT_TRUE(waitFor([&] { return window.windowHandle() && window.windowHandle()->isExposed(); }));
    xdo({"windowactivate", "--sync", QString::number(window.winId())});
    ASSERT_TRUE(waitFor([&] { return window.isActiveWindow(); }));
    AnnotationStyle style = doc->style();
    style.color = RGBA{0, 0, 0, 1};
    style.fontSize = 40;
    doc->setStyle(style);
    doc->setTool(ToolKind::text);
    window.canvas->setFocus();
    settle();
    const QPoint at = window.canvas->mapToGlobal(window.canvas->toWidget(QPointF(20, 20)).toPoint());
    xdo({"mousemove", "--sync", QString::number(at.x()), QString::number(at.y()), "click", "1"});
    ASSERT_TRUE(waitFor([&] { return window.canvas->isTyping(); }));

    // Keys of their own for the letters a US map lacks, bound before typing: xdotool's
    // binding of a spare key for each letter races with the client reading the new map.
    QByteArray map;
    ASSERT_TRUE(runTool(QStringLiteral("xmodmap"), {"-pke"}, &map));
    QStringList bind, restore;
    int code = 230;
    QSet<char32_t> seen;
    for (char32_t cp : words.toUcs4()) {
        if (cp < 0x80 || seen.contains(cp))
            continue;
        seen.insert(cp);
        bind << "-e" << QStringLiteral("keycode %1 = U%2").arg(code).arg(uint(cp), 4, 16, QLatin1Char('0'));
        for (const QByteArray& line : map.split('\n'))
            if (line.simplified().startsWith(QStringLiteral("keycode %1 =").arg(code).toLatin1()))
                restore << "-e" << QString::fromLatin1(line.simplified());
        ++code;
    }
    auto unbind = qScopeGuard([&] { runTool(QStringLiteral("xmodmap"), restore); });
    ASSERT_TRUE(runTool(QStringLiteral("xmodmap"), bind));
    xdo({"type", "--delay", "60", words});
    ASSERT_TRUE(waitFor([&] { return window.canvas->textField()->text() == words; }))
        << window.canvas->textField()->text().toStdString();
    xdo({"key", "Return"});
    // Another program owns the clipboard, as a copy from a browser would; stopped by its id.
    QProcess xclip;
    xclip.start(QStringLiteral("xclip"), {"-quiet", "-selection", "clipboard", "-i"});
    ASSERT_TRUE(xclip.waitForStarted());
    xclip.write(words.toUtf8());
    xclip.closeWriteChannel();
    ASSERT_TRUE(waitFor([&] { return QGuiApplication::clipboard()->text() == words; }));
    xdo({"key", "ctrl+v"});
    const QString both = words + QLatin1Char('\n') + words;
    EXPECT_TRUE(waitFor([&] { return window.canvas->textField()->text() == both; }))
        << window.canvas->textField()->text().toStdString();
    xclip.kill();
    xclip.waitForFinished();
    xdo({"key", "Escape"});
    ASSERT_TRUE(waitFor([&] { return !window.canvas->isTyping(); }));
    ASSERT_EQ(doc->annotations().size(), 1);
    EXPECT_EQ(doc->annotations().first().text.toUcs4(), both.toUcs4());

    const QImage out = doc->renderFinal(false).convertToFormat(QImage::Format_ARGB32);
    out.save(artifactDir("canvas-desktop") + "/emoji.png");
    QByteArray fonts;
    run(QStringLiteral("fc-list"), {":charset=1f44b", "family"}, &fonts);
    if (!fonts.contains("Emoji"))
        GTEST_SKIP() << "no colour emoji font";
    // The text is black on white: colour comes only from the emoji and the flag.
    int coloured = 0;
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) {
            const QColor c = out.pixelColor(x, y);
            coloured += c.hsvSaturation() > 120 && c.value() > 80;
        }
    EXPECT_GT(coloured, 400);
}
