// History store costs: what add() takes on the UI thread, how long until the files are on
// disk, and reading, searching and writing index.json of several sizes; the check a start
// makes of an image left in a temporary file.
#include "capture/history/HistoryIndex.h"
#include "capture/history/HistoryRecovery.h"
#include "capture/history/HistoryStore.h"
#include "core/Prefs.h"

#include <benchmark/benchmark.h>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFont>
#include <QPainter>
#include <QTemporaryDir>

using namespace kx;

namespace {

// A busy screen: panels, coloured bars and many lines of small text (PNG compresses it
// like a real screenshot, not like a flat colour).
QImage screenLike(int w, int h)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(QColor(246, 247, 249));
    QPainter p(&img);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(13);
    p.setFont(f);
    for (int y = 0; y < h; y += 18) {
        const int row = y / 18;
        if (row % 9 == 0)
            p.fillRect(0, y, w, 16, QColor(220 - row % 40, 228, 240));
        p.setPen(QColor(30 + row % 60, 30, 40));
        for (int x = 12; x < w; x += 470)
            p.drawText(x, y + 14,
                       QStringLiteral("Row %1: invoice 2026-%2 total %3 EUR, status pending")
                           .arg(row)
                           .arg(x)
                           .arg(row * 7));
    }
    return img;
}

std::unique_ptr<HistoryStore> benchStore(const QString& dir)
{
    HistoryStore::Options o;
    o.dir = dir;
    o.recognize = [](const QImage&) { return QFuture<std::optional<QString>>(); };  // OCR is measured apart
    return std::make_unique<HistoryStore>(std::move(o));
}

const QSize kSizes[] = {{1920, 1080}, {3840, 2160}, {1600, 30000}};

void addArgs(benchmark::internal::Benchmark* b)
{
    for (int i = 0; i < 3; ++i)
        b->Arg(i);
}

// add() of one capture; with `untilWritten` the wait for the PNG and thumbnail (written off
// the UI thread) is timed too, otherwise only what add() keeps the calling thread.
void addCapture(benchmark::State& state, bool untilWritten)
{
    Prefs::set(QStringLiteral("history.max"), 0);
    const QSize size = kSizes[state.range(0)];
    const QImage image = screenLike(size.width(), size.height());
    QTemporaryDir dir;
    auto store = benchStore(dir.path());
    for (auto _ : state) {
        const HistoryEntry e =
            store->add(CaptureResult{image, 2.0, SourceKind::area, {}, QDateTime::currentDateTimeUtc()});
        if (untilWritten)
            store->flush();
        state.PauseTiming();
        store->flush();
        store->remove({e.id});
        store->flush();
        state.ResumeTiming();
    }
    state.SetLabel(QStringLiteral("%1x%2").arg(size.width()).arg(size.height()).toStdString());
}

void BM_AddOnUiThread(benchmark::State& state)
{
    addCapture(state, false);
}
BENCHMARK(BM_AddOnUiThread)->Apply(addArgs)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_AddUntilFilesWritten(benchmark::State& state)
{
    addCapture(state, true);
}
BENCHMARK(BM_AddUntilFilesWritten)->Apply(addArgs)->Unit(benchmark::kMillisecond)->Iterations(3);

// With `unreviewed`, every such entry's text lacks the word "review".
QList<HistoryEntry> entries(int n, int unreviewed = 0)
{
    QList<HistoryEntry> out;
    for (int i = 0; i < n; ++i) {
        HistoryEntry e;
        e.id = QUuid::createUuid();
        e.date = QDateTime(QDate(2026, 1, 1), QTime(9, 0), Qt::UTC).addSecs(i * 61);
        e.width = 1920;
        e.height = 1080;
        e.scale = 2;
        e.kind = SourceKind(i % 7);
        e.title = QStringLiteral("Window title %1").arg(i);
        e.ocrText =
            QStringLiteral(
                "File Edit View Help\nInvoice %1 total 1,234.56 EUR\nStatus: pending review by the team\n"
                "Lorem ipsum dolor sit amet, consectetur adipiscing elit %1")
                .arg(i);
        if (unreviewed > 0 && i % unreviewed == 0)
            e.ocrText->replace(QStringLiteral("review"), QStringLiteral("approval"));
        if (i % 5 == 0)
            e.uploadURL = QStringLiteral("https://files.example.com/shots/%1.png").arg(i);
        e.favorite = i % 11 == 0;
        out.append(e);
    }
    return out;
}

void sizesArgs(benchmark::internal::Benchmark* b)
{
    b->Arg(300)->Arg(1000)->Arg(10000);
}

void BM_IndexLoad(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("index.json"));
    writeIndex(path, entries(int(state.range(0))));
    for (auto _ : state) {
        const LoadedIndex loaded = loadIndex(path);
        benchmark::DoNotOptimize(loaded.entries.size());
    }
}
BENCHMARK(BM_IndexLoad)->Apply(sizesArgs)->Unit(benchmark::kMillisecond);

void BM_IndexWrite(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("index.json"));
    const QList<HistoryEntry> list = entries(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(writeIndex(path, list));
}
BENCHMARK(BM_IndexWrite)->Apply(sizesArgs)->Unit(benchmark::kMillisecond);

void BM_Search(benchmark::State& state)
{
    QTemporaryDir dir;
    writeIndex(dir.filePath(QStringLiteral("index.json")), entries(int(state.range(0))));
    auto store = benchStore(dir.path());
    for (auto _ : state)
        benchmark::DoNotOptimize(store->search(QStringLiteral("  Invoice 42 "), false).size());
}
BENCHMARK(BM_Search)->Apply(sizesArgs)->Unit(benchmark::kMillisecond);

// Typing "invoice 42" one key at a time into the search field, at 10,000 and 50,000
// entries: arg 1 = the store's search (index, narrowing), arg 0 = the plain scan it replaced
// (every search text looked up and searched per keystroke). Time is per keystroke.
void BM_SearchTyping(benchmark::State& state)
{
    QTemporaryDir dir;
    writeIndex(dir.filePath(QStringLiteral("index.json")), entries(int(state.range(0))));
    auto store = benchStore(dir.path());
    const QList<HistoryEntry> all = store->search(QString(), false);
    const QString typed = QStringLiteral("invoice 42");
    auto scan = [&](const QString& q) {
        QList<HistoryEntry> out;
        for (const HistoryEntry& e : all) {
            if (store->searchText(e.id).contains(q))
                out.append(e);
        }
        return out.size();
    };
    qsizetype hits = 0;
    for (auto _ : state) {
        for (qsizetype n = 1; n <= typed.size(); ++n)
            hits = state.range(1) ? store->search(typed.left(n), false).size() : scan(typed.left(n));
        // A fresh query that does not extend the last one: a full search next round.
        benchmark::DoNotOptimize(store->search(QStringLiteral("zzz"), false).size());
    }
    state.counters["entries"] = double(all.size());
    state.counters["hits"] = double(hits);
    state.counters["per_key_ms"] =
        benchmark::Counter(double(typed.size() + 1) / 1000.0,
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_SearchTyping)->ArgsProduct({{10000, 50000}, {0, 1}})->Unit(benchmark::kMillisecond);

// Typing "review" at 50,000 entries of which one in a hundred lacks it: every keystroke but the
// first finds nearly every entry but not all, so each is a list of about 49,500 entries made
// entry by entry. Time is per keystroke.
void BM_SearchTypingNearlyAll50000(benchmark::State& state)
{
    QTemporaryDir dir;
    writeIndex(dir.filePath(QStringLiteral("index.json")), entries(50000, 100));
    auto store = benchStore(dir.path());
    const QString typed = QStringLiteral("review");
    qsizetype hits = 0;
    for (auto _ : state) {
        for (qsizetype n = 1; n <= typed.size(); ++n)
            hits = store->search(typed.left(n), false).size();
        benchmark::DoNotOptimize(store->search(QStringLiteral("zzz"), false).size());
    }
    state.counters["hits"] = double(hits);
    state.counters["per_key_ms"] =
        benchmark::Counter(double(typed.size() + 1) / 1000.0,
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_SearchTypingNearlyAll50000)->Unit(benchmark::kMillisecond);

// One query that no earlier one narrows, at 50,000 entries.
void BM_SearchFresh50000(benchmark::State& state)
{
    QTemporaryDir dir;
    writeIndex(dir.filePath(QStringLiteral("index.json")), entries(50000));
    auto store = benchStore(dir.path());
    int i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            store->search(++i % 2 ? QStringLiteral("Invoice 42") : QStringLiteral("review b"), false).size());
}
BENCHMARK(BM_SearchFresh50000)->Unit(benchmark::kMillisecond);

// Opening the store over 50,000 entries (what a start pays before the history is usable).
void BM_StoreOpen50000(benchmark::State& state)
{
    QTemporaryDir dir;
    writeIndex(dir.filePath(QStringLiteral("index.json")), entries(50000));
    for (auto _ : state) {
        auto store = benchStore(dir.path());
        benchmark::DoNotOptimize(store->entries().size());
        state.PauseTiming();
        store.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StoreOpen50000)->Unit(benchmark::kMillisecond)->Iterations(5);

// The first search after a start, at 50,000 entries: the index takes every entry's text
// then, not at the start (a process that never searches holds none).
void BM_SearchFirst50000(benchmark::State& state)
{
    QTemporaryDir dir;
    writeIndex(dir.filePath(QStringLiteral("index.json")), entries(50000));
    for (auto _ : state) {
        state.PauseTiming();
        auto store = benchStore(dir.path());
        state.ResumeTiming();
        benchmark::DoNotOptimize(store->search(QStringLiteral("invoice 42"), false).size());
        state.PauseTiming();
        store.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_SearchFirst50000)->Unit(benchmark::kMillisecond)->Iterations(5);

// Whether an image a stop left in a temporary file is whole (every chunk's checksum), once
// per such file at start.
void BM_TemporaryImageCheck(benchmark::State& state)
{
    const QSize size = kSizes[state.range(0)];
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("whole.png"));
    screenLike(size.width(), size.height()).save(path, "PNG");
    for (auto _ : state)
        benchmark::DoNotOptimize(pngIsWhole(path));
    state.SetLabel(QStringLiteral("%1x%2, %3 KB")
                       .arg(size.width())
                       .arg(size.height())
                       .arg(QFileInfo(path).size() / 1024)
                       .toStdString());
}
BENCHMARK(BM_TemporaryImageCheck)->Apply(addArgs)->Unit(benchmark::kMillisecond);

}  // namespace
