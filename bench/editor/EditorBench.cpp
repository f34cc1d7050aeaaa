// Blur and pixelation kernels, a canvas frame, flattening, frames and encoding at 5K.
#include "core/ImageUtils.h"
#include "editor/AnnotationRenderer.h"
#include "editor/EffectCache.h"
#include "editor/Exporter.h"
#include "editor/ImageEffects.h"
#include "editor/PaintHelpers.h"

#include <benchmark/benchmark.h>
#include <QPainter>
#include <QRandomGenerator>
#include <QThreadPool>
#include <cmath>

using namespace kx;

namespace {

// A screenshot-like 5K page: bars, text lines and tiles, so encoders see real content.
const QImage& page5k()
{
    static const QImage page = [] {
        QImage img(5120, 2880, QImage::Format_ARGB32_Premultiplied);
        img.fill(QColor(246, 246, 244));
        QPainter p(&img);
        QFont f("DejaVu Sans");
        f.setPixelSize(26);
        p.setFont(f);
        p.setPen(QColor(40, 44, 52));
        for (int y = 80; y < 2880; y += 40)
            p.drawText(60, y,
                       QStringLiteral("Line %1: the quick brown fox jumps over the lazy dog, invoice "
                                      "2026-%1 sent to billing@example.com, total 1 234,56 EUR")
                           .arg(y / 40));
        QRandomGenerator rng(5);
        for (int i = 0; i < 60; ++i)
            p.fillRect(QRect(2800 + rng.bounded(2200), rng.bounded(2700), 40 + rng.bounded(300),
                             30 + rng.bounded(200)),
                       QColor::fromHsv(rng.bounded(360), 160, 220));
        return img;
    }();
    return page;
}

QList<Annotation> thirtyAnnotations()
{
    QList<Annotation> list;
    auto add = [&](ToolKind kind, QPointF p1, QPointF p2) -> Annotation& {
        Annotation a;
        a.kind = kind;
        a.p1 = p1;
        a.p2 = p2;
        a.style.lineWidth = 6;
        a.style.fontSize = 36;
        a.style.intensity = 24;
        list.append(a);
        return list.last();
    };
    for (int i = 0; i < 4; ++i)
        add(ToolKind::blur, {200.0 + 1100 * i, 300}, {900.0 + 1100 * i, 700});
    for (int i = 0; i < 3; ++i)
        add(ToolKind::pixelate, {300.0 + 1500 * i, 1900}, {1100.0 + 1500 * i, 2300}).style.intensity = 16;
    add(ToolKind::spotlight, {1000, 800}, {3000, 1800});
    add(ToolKind::spotlight, {2500, 1500}, {4000, 2500});
    Annotation& lens = add(ToolKind::magnifier, {2100, 1100}, {2400, 1300});
    lens.placeLens(QRectF(0, 0, 5120, 2880));
    Annotation& round = add(ToolKind::magnifier, {3300, 900}, {3500, 1100});
    round.style.roundLens = true;
    round.lensCenter = QPointF(3000, 1250);
    for (int i = 0; i < 5; ++i)
        add(ToolKind::arrow, {1200.0 + 300 * i, 1000}, {1500.0 + 300 * i, 1400});
    for (int i = 0; i < 3; ++i)
        add(ToolKind::rect, {1800.0 + 200 * i, 1450}, {1950.0 + 200 * i, 1600}).style.fill = FillMode::tint;
    add(ToolKind::ellipse, {2000, 900}, {2300, 1050});
    add(ToolKind::ellipse, {2600, 1600}, {2900, 1700});
    for (int i = 0; i < 3; ++i)
        add(ToolKind::text, {1300.0 + 500 * i, 1700}, {}).text = QStringLiteral("Look here %1").arg(i + 1);
    for (int i = 0; i < 3; ++i)
        add(ToolKind::step, {1250.0 + 150 * i, 950}, {}).number = i + 1;
    Annotation& pen = add(ToolKind::pen, {}, {});
    for (int i = 0; i < 200; ++i)
        pen.points << QPointF(1400 + 5 * i, 1300 + 40 * std::sin(0.1 * i));
    Annotation& marker = add(ToolKind::highlighter, {}, {});
    marker.points << QPointF(1300, 1250) << QPointF(2500, 1255);
    add(ToolKind::ruler, {1500, 1500}, {2500, 1750});
    return list;
}

void BM_BlurPatch1000(benchmark::State& state)
{
    const QImage& base = page5k();
    const double sigma = double(state.range(0));
    for (auto _ : state) {
        QImage out = blurred(base, QRect(2000, 900, 1000, 1000), sigma);
        benchmark::DoNotOptimize(out.constBits());
    }
    state.SetLabel(QStringLiteral("sigma %1").arg(sigma).toStdString());
}
// CPU is that of the whole process (every pool thread), wall time is the figure the user waits.
BENCHMARK(BM_BlurPatch1000)
    ->Arg(4)
    ->Arg(24)
    ->Arg(80)
    ->Arg(240)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// The same on one thread: the kernel's own cost, free of scheduling on a busy machine.
void BM_BlurPatch1000OneThread(benchmark::State& state)
{
    QThreadPool* pool = QThreadPool::globalInstance();
    const int threads = pool->maxThreadCount();
    pool->setMaxThreadCount(1);
    BM_BlurPatch1000(state);
    pool->setMaxThreadCount(threads);
}
BENCHMARK(BM_BlurPatch1000OneThread)
    ->Arg(4)
    ->Arg(24)
    ->Arg(80)
    ->Arg(240)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

void BM_Pixelate2048(benchmark::State& state)
{
    const QImage& base = page5k();
    for (auto _ : state) {
        QImage out =
            pixelated(base, QRect(1000, 400, 2048, 2048), double(state.range(0)), QPoint(1000, 2448));
        benchmark::DoNotOptimize(out.constBits());
    }
}
BENCHMARK(BM_Pixelate2048)
    ->Arg(16)
    ->Arg(120)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// One paint of the canvas: the visible part of the base, then the annotations, warm cache.
void canvasFrame(benchmark::State& state, double zoom, QPointF scroll, bool withBase = true)
{
    EditorFont::setFamilies("DejaVu Sans", "DejaVu Sans Mono");
    const QImage& base = page5k();
    const QList<Annotation> list = thirtyAnnotations();
    EffectCache cache;
    QImage viewport(1600, 1000, QImage::Format_ARGB32_Premultiplied);
    auto paint = [&] {
        QPainter p(&viewport);
        p.fillRect(viewport.rect(), Qt::darkGray);
        p.setClipRect(viewport.rect());
        p.translate(-scroll);
        p.scale(zoom, zoom);
        p.setRenderHint(QPainter::SmoothPixmapTransform, zoom < 2);
        const QRectF visible = p.worldTransform().inverted().mapRect(QRectF(viewport.rect()));
        const QRectF part = visible.intersected(QRectF(base.rect()));
        if (withBase)
            p.drawImage(part, base, part);
        AnnotationRenderer::draw(list, base, p, cache);
    };
    paint();  // warm: patches are made once per document
    for (auto _ : state)
        paint();
}
void BM_CanvasFrameActualSize(benchmark::State& state)
{
    canvasFrame(state, 1.0, QPointF(1200, 800));
}
void BM_CanvasFrameFitted(benchmark::State& state)
{
    canvasFrame(state, 1600.0 / 5120, QPointF(0, 0));
}
// The annotations alone, without the base image the canvas draws first.
void BM_AnnotationsOnlyActualSize(benchmark::State& state)
{
    canvasFrame(state, 1.0, QPointF(1200, 800), false);
}
void BM_AnnotationsOnlyFitted(benchmark::State& state)
{
    canvasFrame(state, 1600.0 / 5120, QPointF(0, 0), false);
}
BENCHMARK(BM_CanvasFrameActualSize)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CanvasFrameFitted)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AnnotationsOnlyActualSize)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AnnotationsOnlyFitted)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Flatten5K(benchmark::State& state)
{
    EditorFont::setFamilies("DejaVu Sans", "DejaVu Sans Mono");
    const QList<Annotation> list = thirtyAnnotations();
    const bool warm = state.range(0) != 0;
    EffectCache cache;
    Exporter::flatten(page5k(), list, cache);
    for (auto _ : state) {
        if (!warm)
            cache.clear();
        QImage out = Exporter::flatten(page5k(), list, cache);
        benchmark::DoNotOptimize(out.constBits());
    }
    state.SetLabel(warm ? "patches cached" : "patches computed");
}
BENCHMARK(BM_Flatten5K)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Frame5K(benchmark::State& state)
{
    BeautifySettings s;
    s.enabled = true;
    s.edge = BeautifySettings::Edge(state.range(0));
    for (auto _ : state) {
        QImage out = Exporter::beautify(page5k(), s, 2);
        benchmark::DoNotOptimize(out.constBits());
    }
    state.SetLabel(rawValue(s.edge).toStdString());
}
BENCHMARK(BM_Frame5K)->DenseRange(0, 6)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Encode5K(benchmark::State& state)
{
    const ImageFormat format = ImageFormat(state.range(0));
    size_t bytes = 0;
    for (auto _ : state) {
        auto data = Exporter::encode(page5k(), format, 0.9, 2);
        bytes = data ? size_t(data->size()) : 0;
        benchmark::DoNotOptimize(bytes);
    }
    state.SetLabel(rawValue(format).toStdString() + ", " + std::to_string(bytes / 1024) + " KiB");
}
BENCHMARK(BM_Encode5K)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
