// One canvas repaint while an object is dragged, on a 5K document with 30 annotations.
#include "devtools/samples/SamplePictures.h"
#include "editor/canvas/CanvasScrollArea.h"
#include "editor/canvas/CanvasView.h"

#include <benchmark/benchmark.h>
#include <QApplication>
#include <QLinearGradient>
#include <QPainter>

using namespace kx;

namespace {

// Thirty objects of every common kind, spread over the picture.
QList<Annotation> thirty(const AnnotationStyle& style)
{
    const ToolKind kinds[] = {
        ToolKind::rect,     ToolKind::arrow,       ToolKind::ellipse, ToolKind::pen,       ToolKind::line,
        ToolKind::text,     ToolKind::highlighter, ToolKind::step,    ToolKind::ruler,     ToolKind::blur,
        ToolKind::pixelate, ToolKind::spotlight,   ToolKind::rect,    ToolKind::magnifier, ToolKind::arrow};
    QList<Annotation> out;
    for (int i = 0; i < 30; ++i) {
        Annotation a;
        a.kind = kinds[i % 15];
        a.style = style;
        const double x = 200 + (i % 6) * 780, y = 200 + (i / 6) * 520;
        a.p1 = QPointF(x, y);
        a.p2 = QPointF(x + 500, y + 300);
        if (a.kind == ToolKind::pen || a.kind == ToolKind::highlighter)
            for (int k = 0; k < 60; ++k)
                a.points.append(QPointF(x + k * 8, y + 100 + 40 * std::sin(k / 5.0)));
        a.text = QStringLiteral("Note %1\nsecond line").arg(i);
        a.number = i + 1;
        if (a.kind == ToolKind::magnifier)
            a.placeLens(QRectF(0, 0, 5120, 2880));
        out.append(a);
    }
    return out;
}

void repaintWhileDragging(benchmark::State& state, double magnification)
{
    CaptureResult c;
    c.image = samples::screenshot(QSize(5120, 2880));
    c.scale = 2;
    auto doc = std::make_shared<EditorDocument>(c);
    for (const Annotation& a : thirty(doc->style())) {
        doc->add(a);
    }
    auto* canvas = new CanvasView(doc);
    CanvasScrollArea area(canvas);
    area.resize(1600, 1000);
    area.show();
    QApplication::processEvents();
    if (magnification > 0)
        area.setMagnification(magnification);
    else
        area.zoomToFit(4.0);
    QApplication::processEvents();
    Annotation dragged = doc->annotations().first();
    doc->select(dragged.id);
    QApplication::processEvents();

    const QRect visible = canvas->visibleRegion().boundingRect();
    QImage target(visible.size(), QImage::Format_ARGB32_Premultiplied);
    canvas->render(&target, QPoint(), QRegion(visible));  // warms the effect patches
    int step = 0;
    for (auto _ : state) {
        dragged.p1 += QPointF(1, (step & 1) ? 1 : -1);
        dragged.p2 += QPointF(1, (step & 1) ? 1 : -1);
        ++step;
        doc->update(dragged);
        canvas->render(&target, QPoint(), QRegion(visible));
        benchmark::DoNotOptimize(target.constBits());
    }
    state.counters["zoom"] = canvas->zoomFactor();
    state.counters["visible_px"] = double(visible.width()) * visible.height();
}

void BM_CanvasRepaintDragFit(benchmark::State& state)
{
    repaintWhileDragging(state, 0);
}
void BM_CanvasRepaintDragActualSize(benchmark::State& state)
{
    repaintWhileDragging(state, 1.0);
}

}  // namespace

BENCHMARK(BM_CanvasRepaintDragFit)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_CanvasRepaintDragActualSize)->Unit(benchmark::kMillisecond)->MinTime(2.0);
