// Pixel rules of the annotation renderer.
#include "EditorTestPages.h"
#include "editor/AnnotationRenderer.h"
#include "editor/EffectCache.h"
#include "editor/Exporter.h"

#include <gtest/gtest.h>

using namespace kx;
using namespace kx::test;

namespace {

QImage render(const QImage& base, const QList<Annotation>& list)
{
    EffectCache cache;
    return Exporter::flatten(base, list, cache);
}

class RendererTest : public ::testing::Test {
protected:
    void SetUp() override { pinEditorFonts(); }
};

TEST_F(RendererTest, overlappingSpotlightsDimOnceAndEvenly)
{
    const QImage base = filled(100, 100, QColor(200, 200, 200));
    const QImage out = render(base, {annotation(ToolKind::spotlight, {10, 10}, {60, 60}, kRed),
                                     annotation(ToolKind::spotlight, {90, 90}, {40, 40}, kRed)});
    EXPECT_EQ(out.pixelColor(50, 50), QColor(200, 200, 200)) << "inside both";
    EXPECT_EQ(out.pixelColor(20, 20), QColor(200, 200, 200));
    EXPECT_EQ(out.pixelColor(80, 80), QColor(200, 200, 200));
    const QColor dim = out.pixelColor(95, 2);
    EXPECT_NEAR(dim.red(), 90, 1);
    for (QPoint p : {QPoint(0, 0), QPoint(99, 0), QPoint(5, 95), QPoint(80, 20), QPoint(20, 80)})
        EXPECT_EQ(out.pixelColor(p), dim) << p.x() << "," << p.y();
}

TEST_F(RendererTest, highlighterMultipliesDarkColoursAndBlendsLightOnes)
{
    QImage base = filled(100, 40, Qt::white);
    for (int y = 0; y < 40; ++y)
        base.setPixelColor(50, y, Qt::black);  // a "text" stroke under the marker
    Annotation marker = annotation(ToolKind::highlighter, {}, {}, kYellow);
    marker.style.lineWidth = 8;
    marker.points = {QPointF(0, 20), QPointF(100, 20)};
    const QImage out = render(base, {marker});
    const QColor onWhite = out.pixelColor(20, 20);
    EXPECT_EQ(onWhite.red(), 255);
    EXPECT_NEAR(onWhite.green(), 214, 1);
    EXPECT_NEAR(onWhite.blue(), 51, 1);
    EXPECT_EQ(out.pixelColor(50, 20), QColor(Qt::black)) << "text under the marker stays black";
    EXPECT_EQ(out.pixelColor(20, 5), QColor(Qt::white)) << "20 px wide band only";

    marker.style.color = RGBA{1, 1, 1, 1};
    const QImage light = render(filled(100, 40, Qt::black), {marker});
    EXPECT_NEAR(light.pixelColor(20, 20).red(), 115, 1) << "white at 0.45, normal blending";
}

TEST_F(RendererTest, rulerLabelAndContrastRules)
{
    EXPECT_EQ(AnnotationRenderer::rulerLabel({0, 0}, {200, 150}), QString::fromUtf8("250 px  (200 × 150)"));
    EXPECT_EQ(AnnotationRenderer::rulerLabel({10, 50}, {310, 50}), "300 px");
    EXPECT_EQ(AnnotationRenderer::rulerLabel({0, 0}, {0, 100.5}), "101 px");
    EXPECT_EQ(AnnotationRenderer::rulerLabel({0, 0}, {-2.5, 1.5}), QString::fromUtf8("3 px  (3 × 2)"));
    EXPECT_EQ(AnnotationRenderer::rulerLabel({0, 0}, {1, 200}), "200 px") << "1 px across is no second axis";

    EXPECT_EQ(AnnotationRenderer::contrastText(kYellow, 0.62), QColor(Qt::black));
    EXPECT_EQ(AnnotationRenderer::contrastText(kBlue, 0.62), QColor(Qt::white));

    // The step badge's digit: dark on yellow, white on blue.
    for (const RGBA& c : {kYellow, kBlue}) {
        Annotation step = annotation(ToolKind::step, {50, 50}, {}, c);
        step.number = 8;
        const QImage out = render(filled(100, 100, Qt::white), {step});
        int dark = 0, white = 0;
        for (int y = 35; y < 65; ++y)
            for (int x = 35; x < 65; ++x) {
                const QColor p = out.pixelColor(x, y);
                dark += p.lightness() < 40;
                white += p.red() > 240 && p.green() > 240 && p.blue() > 240;
            }
        const bool light = c.luminance() > 0.62;
        EXPECT_EQ(dark > 20, light) << "luminance " << c.luminance();
        EXPECT_EQ(white > 20, !light) << "luminance " << c.luminance();
    }
}

TEST_F(RendererTest, arrowsTooShortDrawNothingAndShortHeadsStayInside)
{
    const QImage clear = filled(60, 40, Qt::transparent);
    const QImage none = render(clear, {annotation(ToolKind::arrow, {20, 20}, {20.8, 20.5}, kRed)});
    EXPECT_EQ(none, clear);

    // L = 20, w = 6: head 17 long (0.85 L), half-width 11.9 at x = 13.
    const QImage out = render(clear, {annotation(ToolKind::arrow, {10, 20}, {30, 20}, kRed)});
    EXPECT_GT(out.pixelColor(15, 28).alpha(), 200) << "the wide part of the head";
    EXPECT_EQ(out.pixelColor(9, 26).alpha(), 0) << "the shaft is only 6 wide";
    EXPECT_EQ(out.pixelColor(32, 20).alpha(), 0) << "nothing beyond the tip";
}

TEST_F(RendererTest, magnifierShowsOtherObjectsButNoOtherLens)
{
    const QImage base = filled(400, 300, Qt::white);
    Annotation red = annotation(ToolKind::rect, {20, 20}, {40, 40}, kRed);
    red.style.fill = FillMode::solid;
    Annotation a = annotation(ToolKind::magnifier, {10, 10}, {70, 70}, kBlack);
    a.style.lineWidth = 2;
    a.lensCenter = QPointF(300, 80);  // lens 120 x 120 at (240, 20)
    Annotation b = annotation(ToolKind::magnifier, {200, 200}, {230, 230}, kGreen);
    b.lensCenter = QPointF(50, 40);  // b's lens lies over a's source
    const QImage out = render(base, {red, a, b});
    // (30, 30) of the base shows in a's lens at 240 + 2 * 20 = 280, 20 + 2 * 20 = 60.
    const QColor inLens = out.pixelColor(280, 60);
    EXPECT_GT(inLens.red(), 230);
    EXPECT_LT(inLens.green(), 90);
    int green = 0;
    for (int y = 26; y < 134; ++y)
        for (int x = 246; x < 354; ++x) {
            const QColor p = out.pixelColor(x, y);
            green += p.green() > 150 && p.red() < 120;
        }
    EXPECT_EQ(green, 0) << "the other magnifier is not drawn inside the lens";
}

TEST_F(RendererTest, failedRedactionCoversItsAreaInsteadOfShowingTheOriginal)
{
    const QImage base = screenshot({200, 120});
    EffectCache cache;
    cache.setMaker([](ToolKind, const QImage&, const QRect&, double) { return QImage(); });
    const Annotation pix = annotation(ToolKind::pixelate, {20.5, 30}, {120, 90}, kRed);
    const QImage out = Exporter::flatten(base, {pix}, cache);
    for (int y = 30; y < 90; ++y)
        for (int x = 20; x < 120; ++x)
            ASSERT_EQ(out.pixelColor(x, y), AnnotationRenderer::coverColor()) << x << "," << y;
    EXPECT_EQ(out.pixelColor(10, 10), base.pixelColor(10, 10));
}

TEST_F(RendererTest, redactionOverPartlyTransparentPixelsKeepsNothingOfTheOriginal)
{
    // A window capture: transparent on the left, opaque stripes (the secret) on the right.
    // Blocks and blur straddling the edge come out half transparent; the original must not
    // show through them.
    QImage base(120, 60, QImage::Format_ARGB32_Premultiplied);
    base.fill(Qt::transparent);
    for (int y = 0; y < 60; ++y)
        for (int x = 60; x < 120; ++x)
            base.setPixelColor(x, y, (x / 2) % 2 ? Qt::white : Qt::black);
    for (ToolKind kind : {ToolKind::pixelate, ToolKind::blur}) {
        Annotation a = annotation(kind, {50, 0}, {110, 60}, kRed);
        a.style.intensity = 20;
        EffectCache cache;
        const QImage out = Exporter::flatten(base, {a}, cache);
        const QImage patch = cache.patch(kind, a.sourceRect(), a.style.intensity, base);
        ASSERT_FALSE(patch.isNull());
        EXPECT_EQ(out.copy(50, 0, 60, 60), patch.convertToFormat(out.format()))
            << rawValue(kind).toStdString();
    }
}

TEST_F(RendererTest, blurPatchLandsOnItsAreaAndSkippedObjectsAreLeftOut)
{
    const QImage base = screenshot({300, 200});
    Annotation blur = annotation(ToolKind::blur, {-40, 40}, {100, 120}, kRed);
    Annotation box = annotation(ToolKind::rect, {150, 50}, {250, 150}, kRed);
    EffectCache cache;
    QImage out = base.copy();
    {
        QPainter p(&out);
        AnnotationRenderer::draw({blur, box}, base, p, cache, box.id);
    }
    const QImage patch = cache.patch(ToolKind::blur, blur.sourceRect(), blur.style.intensity, base);
    EXPECT_EQ(out.copy(0, 40, 100, 80), patch.convertToFormat(out.format()));
    EXPECT_EQ(out.copy(140, 0, 160, 200), base.copy(140, 0, 160, 200))
        << "the skipped rectangle is not drawn";
    EXPECT_EQ(out.copy(0, 0, 300, 40), base.copy(0, 0, 300, 40));
}

TEST_F(RendererTest, canvasZoomDrawsTheSameAsTheExport)
{
    // The canvas draws through a scaling transform; the picture must match the export.
    const QImage base = screenshot({400, 240});
    QList<Annotation> list{annotation(ToolKind::arrow, {30, 30}, {200, 120}, kRed),
                           annotation(ToolKind::ellipse, {220, 40}, {380, 200}, kBlue),
                           annotation(ToolKind::pixelate, {40, 150}, {180, 220}, kRed)};
    EffectCache cache;
    const QImage flat = Exporter::flatten(base, list, cache);
    QImage zoomed(800, 480, QImage::Format_ARGB32_Premultiplied);
    {
        QPainter p(&zoomed);
        p.scale(2, 2);
        p.drawImage(QPointF(0, 0), base);
        AnnotationRenderer::draw(list, base, p, cache);
    }
    const QImage down = zoomed.scaled(400, 240, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    int bad = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 400; ++x) {
            const QColor a = flat.pixelColor(x, y), b = down.pixelColor(x, y);
            bad += std::abs(a.red() - b.red()) > 60 || std::abs(a.blue() - b.blue()) > 60;
        }
    EXPECT_LT(bad, 400 * 240 / 50) << "only antialiased edges may differ";
}

}  // namespace
