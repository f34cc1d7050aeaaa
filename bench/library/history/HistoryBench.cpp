// The history browser at 10,000 entries: the window's first frame, one keystroke (search,
// sections, layout) and one scroll frame while thumbnails land, all on the UI thread.
#include "library/history/HistoryGrid.h"
#include "library/history/HistoryView.h"
#include "library/history/ThumbnailLoader.h"
#include "tests/library/history/HistoryFixture.h"

#include <benchmark/benchmark.h>
#include <QCoreApplication>
#include <QScrollBar>

using namespace kx;

namespace {

constexpr int kEntries = 10000;
constexpr int kWithFiles = 600;

struct Folder {
    QTemporaryDir dir;
    QList<HistoryEntry> entries;
    std::unique_ptr<HistoryStore> store;
    Folder()
    {
        entries = test::generateHistory(dir.path(), kEntries, kWithFiles, QDateTime::currentDateTime());
        // Thumbnails of a usual size, so decoding costs what it does for real captures.
        QImage thumb(520, 330, QImage::Format_RGB32);
        thumb.fill(Qt::darkCyan);
        for (int i = 0; i < kWithFiles; ++i)
            thumb.save(QDir(dir.path()).filePath(uuidText(entries[i].id) + ".thumb.jpg"), "JPEG", 80);
        store = test::openStore(dir.path());
    }
};

Folder& folder()
{
    static Folder f;
    return f;
}

HistoryServices services()
{
    HistoryServices s;
    s.store = folder().store.get();
    return s;
}

void BM_FirstFrame(benchmark::State& state)
{
    folder();
    for (auto _ : state) {
        HistoryView view(services());
        view.resize(980, 680);
        view.show();
        benchmark::DoNotOptimize(view.grab());
    }
}
BENCHMARK(BM_FirstFrame)->Unit(benchmark::kMillisecond);

void BM_Keystroke(benchmark::State& state)
{
    HistoryView view(services());
    view.resize(980, 680);
    const QStringList queries =
        state.range(0) ? QStringList{"e", "er"} : QStringList{"window 99", "window 999"};
    int i = 0;
    for (auto _ : state)
        view.setQuery(queries[i++ % 2]);
    state.SetLabel(state.range(0) ? "broad (most entries match)" : "narrow");
}
BENCHMARK(BM_Keystroke)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ScrollFrameWhileThumbnailsLand(benchmark::State& state)
{
    HistoryView view(services());
    view.resize(980, 680);
    view.show();
    HistoryGrid* grid = view.grid();
    QScrollBar* bar = grid->verticalScrollBar();
    // Rows with thumbnail files: scroll through them, then start again with an empty cache.
    const int end = int(grid->gridLayout().rows[kWithFiles / grid->gridLayout().columns].y);
    for (auto _ : state) {
        if (bar->value() + 60 > end) {
            state.PauseTiming();
            view.thumbnails()->wait();
            for (int k = 0; k < kWithFiles; ++k)
                view.thumbnails()->invalidate(folder().entries[k].id);
            bar->setValue(0);
            state.ResumeTiming();
        }
        bar->setValue(bar->value() + 60);
        QCoreApplication::processEvents();  // thumbnails that landed
        grid->viewport()->repaint();
    }
}
BENCHMARK(BM_ScrollFrameWhileThumbnailsLand)->Unit(benchmark::kMillisecond);

}  // namespace
namespace {
void BM_PaintOnly(benchmark::State& state)
{
    HistoryView view(services());
    view.resize(980, 680);
    view.show();
    HistoryGrid* grid = view.grid();
    grid->viewport()->repaint();
    view.thumbnails()->wait();
    QCoreApplication::processEvents();
    for (auto _ : state)
        grid->viewport()->repaint();
}
BENCHMARK(BM_PaintOnly)->Unit(benchmark::kMillisecond);
}  // namespace
