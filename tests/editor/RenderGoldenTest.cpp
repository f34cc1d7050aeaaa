// Every tool on a synthetic page and every frame style, compared with committed references.
#include "EditorTestPages.h"
#include "TestSupport.h"
#include "editor/BeautifySettings.h"
#include "editor/EffectCache.h"
#include "editor/Exporter.h"

#include <gtest/gtest.h>

using namespace kx;
using namespace kx::test;

namespace {

QList<Annotation> everyTool()
{
    QList<Annotation> list = drawingTools();
    Annotation lens = annotation(ToolKind::magnifier, {830, 90}, {910, 150}, kBlue);
    lens.style.lineWidth = 3;
    lens.placeLens(QRectF(0, 0, 1000, 640));
    list << lens;
    Annotation round = annotation(ToolKind::magnifier, {30, 560}, {90, 610}, kGreen);
    round.style.roundLens = true;
    round.style.lineWidth = 3;
    round.lensCenter = QPointF(200, 585);
    list << round;
    Annotation picture = annotation(ToolKind::picture, {640, 520}, {840, 620}, kBlue);
    picture.style.lineWidth = 2;
    picture.image = screenshot({400, 200});
    list << picture << annotation(ToolKind::spotlight, {20, 40}, {980, 630}, kRed);
    return list;
}

QImage framedSample(BeautifySettings::Edge edge, BeautifySettings::Background background)
{
    BeautifySettings s;
    s.enabled = true;
    s.padding = 40;
    s.cornerRadius = 10;
    s.shadow = true;
    s.background = background;
    s.edge = edge;
    s.edgeSize = 1;
    s.seed = 7;
    return Exporter::beautify(screenshot({480, 300}), s, 2);
}

class RenderGoldenTest : public ::testing::Test {
protected:
    void SetUp() override { pinEditorFonts(); }
    static QString golden(const QString& name) { return sourcePath("tests/editor/golden/" + name); }
};

TEST_F(RenderGoldenTest, everyToolMatchesReference)
{
    EffectCache cache;
    const QImage flat = Exporter::flatten(screenshot({1000, 640}), everyTool(), cache);
    flat.save(artifactDir("editor") + "/every-tool.png");
    QString why;
    EXPECT_TRUE(matchesGolden(flat, golden("every-tool.png"), 4, &why, 0.002)) << why.toStdString();

    // The whole-image budget would hide a wrong digit or a lost arrowhead: the parts that carry
    // meaning must match almost exactly.
    const QImage reference = QImage(golden("every-tool.png")).convertToFormat(QImage::Format_ARGB32);
    const QImage actual = flat.convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(reference.size(), actual.size());
    const struct {
        const char* what;
        QRect area;
    } meaningful[] = {{"step badges 1 2 3", {428, 298, 184, 64}},
                      {"ruler label", {540, 405, 262, 42}},
                      {"arrowhead", {250, 122, 60, 48}}};
    for (const auto& m : meaningful) {
        int differing = 0;
        for (int y = m.area.top(); y <= m.area.bottom(); ++y)
            for (int x = m.area.left(); x <= m.area.right(); ++x) {
                const QRgb a = actual.pixel(x, y), b = reference.pixel(x, y);
                const int d = std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                        std::abs(qBlue(a) - qBlue(b)), std::abs(qAlpha(a) - qAlpha(b))});
                differing += d > 24;
            }
        EXPECT_LE(differing, 8) << m.what;
    }
}

TEST_F(RenderGoldenTest, everyFrameStyleMatchesReference)
{
    using B = BeautifySettings::Background;
    const B backgrounds[] = {B::white, B::transparent, B::graphite, B::ocean, B::sunset, B::mint, B::grape};
    for (BeautifySettings::Edge edge : allCases<BeautifySettings::Edge>()) {
        const QImage framed = framedSample(edge, backgrounds[int(edge)]);
        const QString name = "frame-" + rawValue(edge) + ".png";
        framed.save(artifactDir("editor") + "/" + name);
        QString why;
        EXPECT_TRUE(matchesGolden(framed, golden(name), 4, &why, 0.002))
            << name.toStdString() << ": " << why.toStdString();
    }
}

}  // namespace
