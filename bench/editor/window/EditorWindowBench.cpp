// The editor window on a real X server (run inside scripts/desktop-session.sh, which gives it
// xcb): opening a 3840 × 2160 capture until its first frame is painted,
// copying it with 30 annotations until xclip has read the PNG, and saving it until the
// file is in place.
#include "core/ImageUtils.h"
#include "core/Prefs.h"
#include "editor/canvas/CanvasView.h"
#include "editor/window/EditorWindowController.h"

#include <benchmark/benchmark.h>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>

using namespace kx;

namespace {

CaptureResult page()
{
    QImage img(3840, 2160, QImage::Format_ARGB32_Premultiplied);
    img.fill(QColor(246, 247, 249));
    QPainter p(&img);
    for (int y = 40; y < 2160; y += 36)
        p.fillRect(80 + (y * 7) % 300, y, 1400 + (y * 13) % 1800, 18, QColor(60, 64, 72));
    p.end();
    return {img, 2.0, SourceKind::area, std::nullopt, QDateTime::currentDateTime()};
}

bool spinUntil(const std::function<bool()>& done, int timeoutMs = 20000)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// Records that the canvas has been painted once.
class PaintSpy : public QObject {
public:
    bool painted = false;

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

EditorServices quietServices(const QString& folder)
{
    EditorServices s = EditorServices::live();
    s.history = nullptr;
    s.toast = [](const QString&, const QString&, const QString&) {};
    s.revealFile = [](const QString&) {};
    s.saveFolder = [folder] { return folder; };
    return s;
}

void annotate(EditorDocument& doc)
{
    const ToolKind kinds[] = {ToolKind::rect, ToolKind::arrow, ToolKind::ellipse, ToolKind::line,
                              ToolKind::blur};
    for (int i = 0; i < 30; ++i) {
        Annotation a;
        a.kind = kinds[i % 5];
        a.p1 = QPointF(100 + i * 110, 100 + (i % 7) * 250);
        a.p2 = a.p1 + QPointF(300, 160);
        doc.pushUndo();
        doc.add(a);
    }
}

bool haveX()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

void BM_OpenUntilFirstFrame(benchmark::State& state)
{
    if (!haveX())
        return state.SkipWithError("needs an X display: run it under scripts/desktop-session.sh");
    const CaptureResult capture = page();
    QTemporaryDir dir;
    for (auto _ : state) {
        PaintSpy spy;
        QElapsedTimer t;
        t.start();
        EditorWindowController* c = EditorWindowController::open(capture, QUuid(), quietServices(dir.path()));
        c->canvas()->installEventFilter(&spy);
        // The paint event is handled inside this dispatch: once seen, the frame is drawn.
        spinUntil([&] { return spy.painted; });
        state.SetIterationTime(t.nsecsElapsed() / 1e9);
        c->canvas()->removeEventFilter(&spy);
        delete c;
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_OpenUntilFirstFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_CopyUntilXclipReadsPng(benchmark::State& state)
{
    if (!haveX())
        return state.SkipWithError("needs an X display: run it under scripts/desktop-session.sh");
    QTemporaryDir dir;
    EditorWindowController* c = EditorWindowController::open(page(), QUuid(), quietServices(dir.path()));
    annotate(c->doc());
    spinUntil([&] { return c->window()->isVisible(); });
    for (auto _ : state) {
        bool copied = false;
        const auto conn = QObject::connect(c, &EditorWindowController::copyFinished, [&] { copied = true; });
        QProcess xclip;
        QElapsedTimer t;
        t.start();
        c->copy(CopyMode::copy);
        spinUntil([&] { return copied; });
        xclip.start(QStringLiteral("xclip"),
                    {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-t"),
                     QStringLiteral("image/png"), QStringLiteral("-o")});
        spinUntil([&] { return xclip.state() == QProcess::NotRunning; });
        state.SetIterationTime(t.nsecsElapsed() / 1e9);
        QObject::disconnect(conn);
        if (xclip.readAllStandardOutput().size() < 1000)
            return state.SkipWithError("xclip read no PNG");
    }
    delete c;
}
BENCHMARK(BM_CopyUntilXclipReadsPng)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_SaveUntilFileInPlace(benchmark::State& state)
{
    if (!haveX())
        return state.SkipWithError("needs an X display: run it under scripts/desktop-session.sh");
    QTemporaryDir dir;
    Prefs::set(QStringLiteral("imageFormat"), QStringLiteral("png"));
    EditorWindowController* c = EditorWindowController::open(page(), QUuid(), quietServices(dir.path()));
    annotate(c->doc());
    spinUntil([&] { return c->window()->isVisible(); });
    for (auto _ : state) {
        QString path;
        const auto conn =
            QObject::connect(c, &EditorWindowController::saveFinished, [&](const QString& p) { path = p; });
        QElapsedTimer t;
        t.start();
        c->cmdSave();
        spinUntil([&] { return !path.isEmpty(); });
        state.SetIterationTime(t.nsecsElapsed() / 1e9);
        QObject::disconnect(conn);
    }
    delete c;
}
BENCHMARK(BM_SaveUntilFileInPlace)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// The parts of copy and save: the flatten on the UI thread, the PNG encoding on a worker.
void BM_FlattenWithAnnotations(benchmark::State& state)
{
    EditorDocument doc(page());
    annotate(doc);
    doc.renderFinal(true);  // patches cached, as after editing
    for (auto _ : state)
        benchmark::DoNotOptimize(doc.renderFinal(true));
}
BENCHMARK(BM_FlattenWithAnnotations)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_EncodePng(benchmark::State& state)
{
    EditorDocument doc(page());
    annotate(doc);
    const QImage image = doc.renderFinal(true);
    for (auto _ : state)
        benchmark::DoNotOptimize(encoded(image, ImageFormat::png, 0.9, 2.0));
}
BENCHMARK(BM_EncodePng)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
