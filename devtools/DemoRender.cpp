// `--render-demo`: one annotation of nearly every tool on the synthetic page, through the
// editor's own export chain (flatten, backdrop, PNG).
#include "devtools/SelfTest.h"

#include "devtools/samples/DemoAnnotations.h"
#include "editor/BeautifySettings.h"
#include "editor/EffectCache.h"
#include "editor/Exporter.h"

#include <QSaveFile>
#include <cstdio>

namespace kx {

int SelfTest::renderDemo(const QString& path)
{
    const QImage page = makePage(900, 560);
    EffectCache effects;
    QList<Annotation> list = samples::drawingTools();
    list << samples::annotation(ToolKind::spotlight, {40, 40}, {860, 520}, samples::kRed);
    const QImage flat = Exporter::flatten(page, list, effects);
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
