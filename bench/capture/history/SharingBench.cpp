// What sharing the history with another Kaptorix of the same user costs: bringing this
// process's changes into the index as it is on disk (the index writer's thread, every write),
// taking in another process's write (the UI thread, once per such write), and a whole index
// write of the store (lock, look at the file, merge, encode, write).
#include "capture/history/HistoryIndex.h"
#include "capture/history/HistoryMerge.h"
#include "capture/history/HistoryStore.h"
#include "core/Prefs.h"

#include <benchmark/benchmark.h>
#include <QTemporaryDir>

using namespace kx;

namespace {

QList<HistoryEntry> entries(int n)
{
    QList<HistoryEntry> out;
    for (int i = 0; i < n; ++i) {
        HistoryEntry e;
        e.id = QUuid::createUuid();
        e.date = QDateTime(QDate(2026, 1, 1), QTime(9, 0), Qt::UTC).addSecs(qint64(n - i) * 61);
        e.width = 1920;
        e.height = 1080;
        e.scale = 2;
        e.kind = SourceKind(i % 7);
        e.title = QStringLiteral("Window title %1").arg(i);
        e.ocrText =
            QStringLiteral("File Edit View Help\nInvoice %1 total 1,234.56 EUR\nStatus: pending review")
                .arg(i);
        e.favorite = i % 11 == 0;
        out.append(e);
    }
    return out;
}

void sizes(benchmark::internal::Benchmark* b)
{
    b->Arg(1000)->Arg(10000)->Arg(50000);
}

// One write of this process: the file as last written, one new capture and one star.
void BM_MergeOwnChanges(benchmark::State& state)
{
    const QList<HistoryEntry> disk = entries(int(state.range(0)));
    QList<HistoryEntry> mine = disk;
    HistoryEntry added = disk.first();
    added.id = QUuid::createUuid();
    added.date = added.date.addSecs(10);
    mine.prepend(added);
    mine[5].favorite = !mine[5].favorite;
    const LocalChanges changes{{added.id, {changeAdded, 1}}, {mine[5].id, {changeStar, 2}}};
    for (auto _ : state)
        benchmark::DoNotOptimize(mergeHistory(disk, mine, changes, {}).size());
}
BENCHMARK(BM_MergeOwnChanges)->Apply(sizes)->Unit(benchmark::kMillisecond);

// Another process wrote: its file read anew (texts shared with what was known), merged, and
// compared with the entries shown, as the UI thread takes it in.
void BM_TakeInAnotherWrite(benchmark::State& state)
{
    const QList<HistoryEntry> known = entries(int(state.range(0)));
    QList<HistoryEntry> theirs = decodeIndex(encodeIndex(known)).entries;
    HistoryEntry added = known.first();
    added.id = QUuid::createUuid();
    theirs.prepend(added);
    theirs[7].ocrText = QStringLiteral("changed elsewhere");
    for (auto _ : state) {
        state.PauseTiming();
        QList<HistoryEntry> fresh = theirs;
        state.ResumeTiming();
        shareTexts(fresh, known);
        const QList<HistoryEntry> now = mergeHistory(fresh, known, {}, [](const QUuid&) { return true; });
        benchmark::DoNotOptimize(sameEntries(now, known));
    }
}
BENCHMARK(BM_TakeInAnotherWrite)->Apply(sizes)->Unit(benchmark::kMillisecond);

// The store's whole index write after a star (writer thread, waited for).
void BM_StoreIndexWrite(benchmark::State& state)
{
    Prefs::registerDefaults();
    Prefs::set(QStringLiteral("history.max"), 0);
    Prefs::set(QStringLiteral("history.days"), 0);
    QTemporaryDir dir;
    const QList<HistoryEntry> list = entries(int(state.range(0)));
    writeIndex(dir.filePath(QStringLiteral("index.json")), list);
    HistoryStore::Options o;
    o.dir = dir.path();
    o.recognize = [](const QImage&) { return QFuture<std::optional<QString>>(); };
    o.debounceMs = 3600 * 1000;
    HistoryStore store(std::move(o));
    for (auto _ : state) {
        store.toggleFavorite(list[3].id);
        store.flush();
    }
}
BENCHMARK(BM_StoreIndexWrite)->Apply(sizes)->Unit(benchmark::kMillisecond);

}  // namespace
