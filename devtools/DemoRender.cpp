// `--render-demo`: one annotation of nearly every tool on the synthetic page, through the
// editor's own export chain (flatten, backdrop, PNG).
#include "devtools/SelfTest.h"

#include "editor/Annotation.h"
#include "editor/BeautifySettings.h"
#include "editor/EffectCache.h"
#include "editor/Exporter.h"

#include <QSaveFile>
#include <cmath>
#include <cstdio>

namespace kx {

namespace {

constexpr RGBA kRed{1.0, 0.231, 0.188, 1.0};
constexpr RGBA kBlue{0.039, 0.518, 1.0, 1.0};
constexpr RGBA kGreen{0.204, 0.78, 0.349, 1.0};
constexpr RGBA kPurple{0.686, 0.322, 0.871, 1.0};
constexpr RGBA kOrange{1.0, 0.584, 0.0, 1.0};
constexpr RGBA kYellow{1.0, 0.8, 0.0, 1.0};
constexpr RGBA kBlack{0.0, 0.0, 0.0, 1.0};

Annotation demoItem(ToolKind kind, QPointF p1, QPointF p2, RGBA colour)
{
    Annotation a;
    a.kind = kind;
    a.p1 = p1;
    a.p2 = p2;
    a.style.color = colour;
    a.style.lineWidth = 6;
    a.style.fill = FillMode::none;
    a.style.fontSize = 36;
    a.style.intensity = 24;
    a.style.zoom = 2;
    a.style.roundLens = false;
    return a;
}

QList<Annotation> demoAnnotations()
{
    QList<Annotation> list;
    list << demoItem(ToolKind::arrow, {80, 80}, {300, 160}, kRed);
    Annotation rect = demoItem(ToolKind::rect, {340, 60}, {560, 150}, kBlue);
    rect.style.fill = FillMode::tint;
    list << rect;
    list << demoItem(ToolKind::ellipse, {600, 60}, {820, 150}, kGreen);
    list << demoItem(ToolKind::line, {80, 200}, {300, 230}, kPurple);
    Annotation pen = demoItem(ToolKind::pen, {0, 0}, {0, 0}, kOrange);
    for (int i = 0; i < 40; ++i)
        pen.points << QPointF(340 + 6 * i, 220 + 18 * std::sin(0.25 * i));
    list << pen;
    Annotation marker = demoItem(ToolKind::highlighter, {0, 0}, {0, 0}, kYellow);
    marker.points = {QPointF(620, 220), QPointF(820, 224)};
    list << marker;
    Annotation text = demoItem(ToolKind::text, {80, 300}, {0, 0}, kBlack);
    text.text = QStringLiteral("Szöveg: árvíztűrő tükörfúrógép");
    list << text;
    Annotation label = demoItem(ToolKind::text, {80, 350}, {0, 0}, kRed);
    label.style.fill = FillMode::solid;
    label.text = QStringLiteral("Filled label");
    list << label;
    for (int n = 1; n <= 3; ++n) {
        Annotation step = demoItem(ToolKind::step, {400.0 + 60 * n, 330}, {0, 0}, kBlue);
        step.number = n;
        list << step;
    }
    Annotation blur = demoItem(ToolKind::blur, {60, 410}, {260, 500}, kRed);
    blur.style.intensity = 12;
    list << blur;
    Annotation pixelate = demoItem(ToolKind::pixelate, {290, 410}, {490, 500}, kRed);
    pixelate.style.intensity = 16;
    list << pixelate;
    list << demoItem(ToolKind::ruler, {540, 420}, {800, 480}, kRed);
    list << demoItem(ToolKind::spotlight, {40, 40}, {860, 520}, kRed);
    return list;
}

}  // namespace

int SelfTest::renderDemo(const QString& path)
{
    const QImage page = makePage(900, 560);
    EffectCache effects;
    const QImage flat = Exporter::flatten(page, demoAnnotations(), effects);
    BeautifySettings settings;
    settings.enabled = true;
    settings.padding = 40;
    settings.cornerRadius = 10;
    settings.shadow = true;
    settings.background = BeautifySettings::Background::ocean;
    settings.edge = BeautifySettings::Edge::none;
    settings.edgeSize = 1;
    settings.seed = 7;
    const QImage framed = Exporter::beautify(flat, settings, 2);
    const std::optional<QByteArray> data = Exporter::encode(framed, ImageFormat::png, 0.9, 1);
    if (!data)
        return 1;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(*data) != data->size() || !file.commit())
        return 1;
    const QByteArray line =
        QStringLiteral("wrote %1 %2x%3\n").arg(path).arg(framed.width()).arg(framed.height()).toUtf8();
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
    return 0;
}

}  // namespace kx
