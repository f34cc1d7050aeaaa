#include "CanvasHarness.h"

#include "TestSupport.h"
#include "core/ImageReading.h"
#include "editor/canvas/CanvasTextField.h"
#include "ui/Theme.h"

#include <gtest/gtest.h>
#include <QPainter>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSemaphore>

using namespace kx;
using namespace kx::test;

namespace {

// Bounding box of the pixels that `match` accepts; null when none does.
QRect boxOf(const QImage& img, const std::function<bool(QColor)>& match)
{
    QRect box;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (match(img.pixelColor(x, y)))
                box |= QRect(x, y, 1, 1);
    return box;
}

bool reddish(QColor c)
{
    return c.red() > 150 && c.green() < 120 && c.blue() < 120;
}

std::shared_ptr<EditorDocument> transparentDoc(SourceKind kind)
{
    CaptureResult c;
    c.image = QImage(40, 40, QImage::Format_ARGB32_Premultiplied);
    c.image.fill(Qt::transparent);
    c.kind = kind;
    return std::make_shared<EditorDocument>(c);
}

BeautifySettings backdrop(double padding, BeautifySettings::Edge edge = BeautifySettings::Edge::none)
{
    BeautifySettings b;
    b.enabled = true;
    b.padding = padding;
    b.edge = edge;
    return b;
}

}  // namespace

TEST(CanvasView, WindowCapturesShowACheckerboardUnderTransparency)
{
    for (SourceKind kind : {SourceKind::window, SourceKind::area}) {
        CanvasHost host(transparentDoc(kind), QSize(300, 300));
        host.show();
        settle();
        const QImage shot = host.canvas->grab().toImage();
        // Rows of 8-point cells, the first dark cell at the top-left corner, the next row one cell in.
        const QRgb dark = shot.pixel(2, 2), light = shot.pixel(10, 2);
        const bool window = kind == SourceKind::window;
        EXPECT_EQ(dark, window ? QColor::fromRgbF(0.8, 0.8, 0.8).rgb() : light);
        EXPECT_EQ(light == QColor::fromRgbF(0.92, 0.92, 0.92).rgb(), window);
        EXPECT_EQ(shot.pixel(18, 2), dark);
        EXPECT_EQ(shot.pixel(2, 10), light);
        EXPECT_EQ(shot.pixel(10, 10), dark);
    }
}

TEST(CanvasView, BackdropPreviewRendersFitsAndGoesAway)
{
    auto doc = makeDoc(200, 100);
    CanvasHost host(doc);
    host.show();
    settle();
    const int fitsBefore = host.fits;

    doc->setBeautify(backdrop(20));
    ASSERT_TRUE(waitFor([&] { return host.canvas->hasPreview(); }));
    EXPECT_EQ(host.canvas->previewOrigin(), QPointF(20, 20));
    EXPECT_EQ(host.canvas->canvasBounds(), QRectF(-20, -20, 240, 140));
    EXPECT_EQ(host.canvas->imageRect(), QRectF(0, 0, 200, 100));
    ASSERT_TRUE(waitFor([&] { return host.fits == fitsBefore + 1; }));

    // Padding alone: a new preview, no refit.
    doc->setBeautify(backdrop(30));
    ASSERT_TRUE(waitFor([&] { return host.canvas->previewOrigin() == QPointF(30, 30); }));
    settle();
    EXPECT_EQ(host.fits, fitsBefore + 1);

    // Another edge style: refit when its preview arrives.
    doc->setBeautify(backdrop(30, BeautifySettings::Edge::window));
    ASSERT_TRUE(waitFor([&] { return host.canvas->previewOrigin() == QPointF(30, 62); }));
    ASSERT_TRUE(waitFor([&] { return host.fits == fitsBefore + 2; }));

    BeautifySettings off = doc->beautify();
    off.enabled = false;
    doc->setBeautify(off);
    ASSERT_TRUE(waitFor([&] { return !host.canvas->hasPreview(); }));
    EXPECT_EQ(host.canvas->canvasBounds(), QRectF(0, 0, 200, 100));
    ASSERT_TRUE(waitFor([&] { return host.fits == fitsBefore + 3; }));
}

TEST(CanvasView, BackdropSwitchedOffWhileItsFirstPreviewRendersShowsNone)
{
    auto doc = makeDoc(3000, 2000);  // large enough that the render takes a while
    CanvasHost host(doc);
    doc->setBeautify(backdrop(20));
    ASSERT_TRUE(waitFor([&] { return host.canvas->previewRenderer().isRendering(); }));
    BeautifySettings off = doc->beautify();
    off.enabled = false;
    doc->setBeautify(off);
    ASSERT_TRUE(waitFor([&] { return !host.canvas->previewRenderer().isRendering(); }));
    settle();
    EXPECT_FALSE(host.canvas->hasPreview());
    EXPECT_EQ(host.canvas->canvasBounds(), QRectF(0, 0, 3000, 2000));
    EXPECT_EQ(host.fits, 0);  // no frame flashed up, no refitting for it
}

TEST(CanvasView, OnlyTheNewestPreviewRequestIsRenderedAndShown)
{
    PreviewRenderer renderer;
    QList<PreviewRenderer::Result> shown;
    QObject::connect(&renderer, &PreviewRenderer::rendered,
                     [&](const PreviewRenderer::Result& r) { shown.append(r); });
    // The first render is held at its start until the two later requests are in, so a fast
    // render cannot finish (and be reported) before they arrive.
    auto go = std::make_shared<QSemaphore>();
    renderer.setRenderGate([go] { go->acquire(); });
    auto release = qScopeGuard([go] { go->release(8); });
    const QImage base = filled(800, 600);
    renderer.request({base, backdrop(10), 1.0, 1}, 0);
    ASSERT_TRUE(waitFor([&] { return renderer.startedCount() == 1; }));
    // While the first render runs, two more requests: the middle one is never rendered.
    renderer.request({base, backdrop(20), 1.0, 2}, 0);
    renderer.request({base, backdrop(30), 1.0, 3}, 0);
    go->release(2);
    ASSERT_TRUE(waitFor([&] { return !shown.isEmpty() && !renderer.isRendering(); }));
    settle();
    EXPECT_EQ(renderer.startedCount(), 2);
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown.first().generation, 3);
    EXPECT_EQ(shown.first().origin, QPointF(30, 30));
    EXPECT_EQ(shown.first().image.size(), QSize(860, 660));
}

TEST(CanvasView, APreviewOfASmallerBaseIsRemovedWhenTheBaseGrowsPastTheLimit)
{
    // 6000 × 6001 pixels is just over the preview limit; one bit per pixel keeps it cheap.
    CaptureResult c;
    c.image = QImage(6000, 6001, QImage::Format_Mono);
    c.image.fill(1);
    auto doc = std::make_shared<EditorDocument>(c);
    CanvasHost host(doc);
    doc->setBeautify(backdrop(10));
    settle();
    EXPECT_FALSE(host.canvas->previewRenderer().isRendering());
    EXPECT_FALSE(host.canvas->hasPreview());

    doc->setCropRect(QRectF(0, 0, 100, 100));
    doc->applyCrop();
    ASSERT_TRUE(waitFor([&] { return host.canvas->hasPreview(); }));
    EXPECT_EQ(host.canvas->canvasBounds(), QRectF(-10, -10, 120, 120));

    doc->undo();
    ASSERT_TRUE(waitFor([&] { return !host.canvas->hasPreview(); }));
    EXPECT_EQ(host.canvas->canvasBounds(), QRectF(0, 0, 6000, 6001));
}

TEST(CanvasView, CropBadgeMovesIntoTheRectangleAtTheTopEdge)
{
    auto doc = makeDoc(300, 200);
    CanvasHost host(doc);
    host.show();
    settle();
    auto badgeInside = [&](double top) {
        doc->setCropRect(QRectF(50, top, 150, 100));
        settle();
        const QImage shot = host.canvas->grab().toImage();
        const QColor c = shot.pixelColor(56, int(top) + 4);  // just inside the top-left corner
        return c.lightness() < 40;
    };
    EXPECT_TRUE(badgeInside(0));
    EXPECT_FALSE(badgeInside(80));  // there is room above: the badge sits outside
}

TEST(CanvasView, ScrollAreaCentresSmallCanvasesAndZoomsAroundTheAnchor)
{
    auto doc = makeDoc(300, 200);
    CanvasHost host(doc, QSize(800, 600));
    host.show();
    settle();
    const QRect vp = host.scroll->viewport()->rect();
    EXPECT_EQ(host.canvas->geometry().center(), vp.center());

    // Taller than the view: scrolls vertically, still centred horizontally.
    host.scroll->setMagnification(3.5);
    settle();
    EXPECT_GT(host.canvas->height(), vp.height());
    EXPECT_LT(host.canvas->width(), vp.width() + 300);
    EXPECT_GT(host.scroll->verticalScrollBar()->maximum(), 0);

    host.scroll->setMagnification(2.0);
    settle();
    const QPointF anchor(500, 350);
    const QPointF under = host.canvas->toImage(anchor - QPointF(host.canvas->pos()));
    host.scroll->setMagnification(4.0, anchor);
    settle();
    const QPointF after = host.canvas->toWidget(under) + QPointF(host.canvas->pos());
    EXPECT_NEAR(after.x(), anchor.x(), 1.0);
    EXPECT_NEAR(after.y(), anchor.y(), 1.0);
}

// The text appears where it was typed: the glyphs of the open field and of the committed
// annotation cover the same pixels, at any zoom and capture scale.
TEST(CanvasView, CommittedTextStandsExactlyWhereTheFieldShowedIt)
{
    for (double scale : {1.0, 2.0}) {
        for (double m : {1.0, 1.37}) {
            auto doc = makeDoc(500, 300, scale);
            CanvasHost host(doc, QSize(900, 700));
            host.show();
            doc->setTool(ToolKind::text);
            settle();
            host.scroll->setMagnification(m);
            settle();
            Pointer(host.canvas).click(QPointF(33.3, 41.7));
            ASSERT_TRUE(host.canvas->isTyping());
            CanvasTextField* field = host.canvas->textField();
            for (QChar ch : QStringLiteral("Kaptorix Qy"))
                key(field, 0, {}, QString(ch));
            key(field, Qt::Key_Return);
            for (QChar ch : QStringLiteral("jg 42"))
                key(field, 0, {}, QString(ch));
            field->selectAll();  // no caret among the glyphs
            settle();
            const QImage typing = host.canvas->grab().toImage();
            key(field, Qt::Key_Return, Qt::ControlModifier);
            doc->select(QUuid());
            settle();
            const QImage drawn = host.canvas->grab().toImage();
            const QRect before = boxOf(typing, reddish), after = boxOf(drawn, reddish);
            ASSERT_FALSE(before.isNull());
            EXPECT_EQ(before, after) << "scale " << scale << " zoom " << m;
            typing.save(artifactDir(QStringLiteral("canvas")) +
                        QStringLiteral("/text-typing-%1-%2.png").arg(scale).arg(m));
            drawn.save(artifactDir(QStringLiteral("canvas")) +
                       QStringLiteral("/text-drawn-%1-%2.png").arg(scale).arg(m));
        }
    }
}

TEST(CanvasView, RedactionOverTransparentPixelsShowsNothingOfTheBase)
{
    // Transparent on the left, opaque stripes (the secret) on the right; blocks straddling the
    // edge are half transparent. On screen they must stand over the checkerboard, as exported.
    auto capture = [](SourceKind kind, bool stripes) {
        CaptureResult c;
        c.image = QImage(120, 60, QImage::Format_ARGB32_Premultiplied);
        c.image.fill(Qt::transparent);
        for (int y = 0; stripes && y < 60; ++y)
            for (int x = 60; x < 120; ++x)
                c.image.setPixelColor(x, y, (x / 2) % 2 ? Qt::white : Qt::black);
        c.kind = kind;
        return c;
    };
    CanvasHost plain(std::make_shared<EditorDocument>(capture(SourceKind::window, false)), QSize(300, 300));
    plain.show();
    settle();
    const QImage checker = plain.canvas->grab().toImage().convertToFormat(QImage::Format_RGB32);
    for (SourceKind kind : {SourceKind::window, SourceKind::area}) {
        const CaptureResult c = capture(kind, true);
        auto doc = std::make_shared<EditorDocument>(c);
        Annotation a;
        a.kind = ToolKind::pixelate;
        a.p1 = QPointF(48, 0);
        a.p2 = QPointF(112, 60);
        a.style.intensity = 20;
        doc->add(a);
        doc->select(QUuid());  // no selection frame over the patch
        CanvasHost host(doc, QSize(300, 300));
        host.show();
        settle();
        const QImage shot = host.canvas->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QImage expected = checker;
        QPainter p(&expected);
        p.drawImage(QRectF(48, 0, 64, 60), doc->effects().patch(a.kind, a.sourceRect(), 20, c.image));
        p.end();
        int worst = 0;
        for (int y = 2; y < 58; ++y)
            for (int x = 50; x < 110; ++x)
                for (int shift : {0, 8, 16})
                    worst = std::max(worst, std::abs(int((shot.pixel(x, y) >> shift) & 0xff) -
                                                     int((expected.pixel(x, y) >> shift) & 0xff)));
        EXPECT_LE(worst, 3) << rawValue(kind).toStdString();
    }
}

// A coloured 1-bit file opened in the editor keeps its colour below half size, where the canvas
// draws a smoothly scaled copy (Qt scales 1-bit images into black-and-white noise).
TEST(CanvasView, AOneBitFileKeepsItsColourWhenZoomedOut)
{
    const QColor blue(20, 60, 200);
    const ImageRead read = readImageData(test::monoPng(QSize(500, 400), blue));
    ASSERT_TRUE(read.image);
    CaptureResult c{read.image->image, 1.0, SourceKind::file, std::nullopt, QDateTime::currentDateTime()};
    CanvasHost host(std::make_shared<EditorDocument>(c), QSize(400, 300));
    host.show();
    host.scroll->setMagnification(0.4);
    settle();
    ASSERT_NEAR(host.scroll->magnification(), 0.4, 1e-9);
    const QImage shot = host.canvas->grab().toImage();
    const QRect drawn = QRectF(host.canvas->toWidget(QPointF(2, 2)), host.canvas->toWidget(QPointF(498, 398)))
                            .toAlignedRect()
                            .intersected(shot.rect().adjusted(1, 1, -1, -1));
    ASSERT_GT(drawn.width(), 150);
    EXPECT_LE(test::maxDistanceFrom(shot.copy(drawn), blue), 2);
}

TEST(CanvasView, TheScrollViewAroundTheImageHasTheThemesCanvasColour)
{
    for (const bool dark : {true, false}) {
        SCOPED_TRACE(dark ? "dark" : "light");
        CanvasHost host(std::make_shared<EditorDocument>(plainCapture(40, 40, 1)), QSize(400, 300));
        QPalette pal = host.palette();
        pal.setColor(QPalette::Window, dark ? QColor(40, 40, 40) : QColor(239, 239, 239));
        host.setPalette(pal);
        host.show();
        settle();
        const QImage shot = host.grab().toImage();
        // A corner far from the image and its shadow, and the window colour nowhere there.
        const QColor corner = shot.pixelColor(3, 3);
        EXPECT_EQ(corner.rgb(), Theme::canvas(pal).rgb()) << corner.name().toStdString();
        EXPECT_NE(corner.rgb(), pal.color(QPalette::Window).rgb());
    }
}

// A blur or pixelation patch over a black picture, zoomed to 98 %: the patch's edges fall
// between screen pixels, and no light line (the checkerboard or the scroll view's colour showing
// through) may run along them; the export shows none either.
TEST(CanvasView, APatchOverBlackShowsNoSeamWhenZoomedOut)
{
    for (ToolKind kind : {ToolKind::blur, ToolKind::pixelate}) {
        SCOPED_TRACE(rawValue(kind).toStdString());
        CaptureResult c = plainCapture(500, 400, 1);
        c.image.fill(Qt::black);
        auto doc = std::make_shared<EditorDocument>(c);
        Annotation a;
        a.kind = kind;
        a.p1 = QPointF(61, 43);
        a.p2 = QPointF(317, 251);
        a.style.intensity = 12;
        doc->add(a);
        doc->select(QUuid());
        CanvasHost host(doc, QSize(600, 500));
        host.show();
        host.scroll->setMagnification(0.98);
        settle();
        const QImage shot = host.canvas->grab().toImage().convertToFormat(QImage::Format_RGB32);
        // Every screen pixel the picture covers, the patch's edges included.
        const QRect image =
            QRectF(host.canvas->toWidget(QPointF(0, 0)), host.canvas->toWidget(QPointF(500, 400)))
                .toAlignedRect()
                .adjusted(1, 1, -1, -1)
                .intersected(shot.rect());
        ASSERT_GT(image.width(), 400);
        int brightest = 0;
        QPoint at;
        for (int y = image.top(); y <= image.bottom(); ++y)
            for (int x = image.left(); x <= image.right(); ++x)
                if (const int v = qGray(shot.pixel(x, y)); v > brightest) {
                    brightest = v;
                    at = QPoint(x, y);
                }
        EXPECT_LE(brightest, 4) << "at " << at.x() << "," << at.y();
    }
}
