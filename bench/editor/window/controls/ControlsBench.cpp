// The backdrop popover renders its preview on the UI thread at every slider step, so each step
// must fit in a frame; the frame thumbnails are rendered once per process.
#include "editor/canvas/CanvasView.h"
#include "editor/document/EditorDocument.h"
#include "editor/window/controls/BeautifyPopover.h"
#include "editor/window/controls/FrameThumbs.h"

#include <benchmark/benchmark.h>
#include <QApplication>
#include <QPainter>
#include <QSlider>

using namespace kx;

namespace {

QImage busyScreen(QSize size)
{
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    img.fill(QColor(236, 238, 242));
    QPainter p(&img);
    p.setFont(QFont("DejaVu Sans", 22));
    for (int y = 40; y < size.height(); y += 36)
        p.drawText(40, y, QStringLiteral("The quick brown fox jumps over the lazy dog %1").arg(y));
    p.fillRect(size.width() / 2, 100, size.width() / 3, size.height() / 3, QColor(60, 110, 200));
    return img;
}

void BM_FirstThumbnails(benchmark::State& state)
{
    for (auto _ : state) {
        // Only the first pass renders; later ones measure the cache.
        for (int e = 0; e < 7; ++e)
            benchmark::DoNotOptimize(FrameThumbs::image(BeautifySettings::Edge(e)).constBits());
    }
}
BENCHMARK(BM_FirstThumbnails)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_PaddingStep(benchmark::State& state)
{
    const auto edge = BeautifySettings::Edge(state.range(0));
    auto shared = std::make_shared<EditorDocument>(
        CaptureResult{busyScreen({5120, 2880}), 2, SourceKind::area, {}, {}});
    EditorDocument& doc = *shared;
    for (int i = 0; i < 30; ++i) {
        Annotation a;
        a.kind = ToolKind::rect;
        a.p1 = QPointF(100 + i * 60, 200 + i * 40);
        a.p2 = a.p1 + QPointF(300, 200);
        doc.add(a);
    }
    BeautifySettings b = doc.beautify();
    b.edge = edge;
    doc.setBeautify(b);
    CanvasView canvas(shared);  // its own preview worker hears every change too
    BeautifyPopover pop(&doc);
    pop.show();
    QApplication::processEvents();
    auto* padding = pop.findChild<QSlider*>("padding");
    int step = 0;
    for (auto _ : state) {
        padding->setValue(300 + (step++ % 200));
        benchmark::DoNotOptimize(pop.preview().constBits());
    }
    state.SetLabel(rawValue(edge).toStdString());
}
BENCHMARK(BM_PaddingStep)->DenseRange(0, 6)->Unit(benchmark::kMillisecond);

}  // namespace
