// The history across process ends: killed in the middle of an index write, and quitting
// (or being terminated) right after a burst of captures.
#include "capture/history/HistoryIndex.h"
#include "capture/history/HistoryStore.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>

using namespace kx;

namespace {

const QString kHelper = QStringLiteral(KX_HISTORY_HELPER);

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool waitForLine(QProcess& p, const QByteArray& line)
{
    return test::waitFor(
        [&] {
            p.waitForReadyRead(50);
            return p.canReadLine() && p.readLine().trimmed() == line;
        },
        30000);
}

// Every entry of the index reloaded from a fresh store, with its files.
void expectBurstSurvived(const QString& dir, int count)
{
    HistoryStore::Options o;
    o.dir = dir;
    o.recognize = [](const QImage&) { return QFuture<std::optional<QString>>(); };
    HistoryStore reloaded(std::move(o));
    ASSERT_EQ(reloaded.entries().size(), count);
    EXPECT_TRUE(reloaded.keptBadIndex().isEmpty());
    for (const HistoryEntry& e : reloaded.entries()) {
        const QImage png(dir + "/" + uuidText(e.id) + ".png");
        EXPECT_EQ(png.size(), QSize(800, 500)) << uuidText(e.id).toStdString();
        EXPECT_FALSE(QImage(dir + "/" + uuidText(e.id) + ".thumb.jpg").isNull());
        EXPECT_EQ(e.scale, 2.0);
    }
    EXPECT_EQ(reloaded.entries().first().title, QStringLiteral("Burst %1").arg(count - 1));
}

}  // namespace

TEST(HistoryDurability, KillDuringIndexWriteLeavesTheOldOrTheNewIndex)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("index.json"));
    int seenA = 0, seenB = 0;
    for (int round = 0; round < 24; ++round) {
        QProcess child;
        child.start(kHelper, {QStringLiteral("rewrite"), dir.path()});
        ASSERT_TRUE(child.waitForStarted(10000));
        ASSERT_TRUE(waitForLine(child, "started"));
        // A random moment: somewhere inside one of the many writes.
        QThread::msleep(QRandomGenerator::global()->bounded(5, 60));
        child.kill();  // SIGKILL to this PID
        ASSERT_TRUE(child.waitForFinished(10000));

        const DecodedIndex index = decodeIndex(readFile(path));
        ASSERT_TRUE(index.readable) << "torn index after round " << round;
        ASSERT_EQ(index.rejected, 0);
        const QString marker = index.entries.value(0).aiSummary.value_or(QString());
        const qsizetype expected = marker == "A" ? 3000 : 2000;
        ASSERT_EQ(index.entries.size(), expected) << marker.toStdString();
        for (const HistoryEntry& e : index.entries)
            ASSERT_EQ(e.aiSummary, marker);
        (marker == "A" ? seenA : seenB)++;
    }
    // Temporary files of interrupted writes do not pile up in the folder.
    EXPECT_LE(QDir(dir.path()).entryList(QDir::Files).size(), 2)
        << QDir(dir.path()).entryList(QDir::Files).join(' ').toStdString();
    RecordProperty("rounds_old_new", QString("%1/%2").arg(seenA).arg(seenB).toStdString());
}

TEST(HistoryDurability, FiftyCapturesThenQuitAreAllKept)
{
    QTemporaryDir dir;
    QProcess child;
    child.start(kHelper, {QStringLiteral("burst"), dir.path(), QStringLiteral("50"), QStringLiteral("quit")});
    ASSERT_TRUE(child.waitForFinished(120000));
    ASSERT_EQ(child.exitStatus(), QProcess::NormalExit) << child.readAllStandardError().toStdString();
    ASSERT_EQ(child.exitCode(), 0);
    expectBurstSurvived(dir.path(), 50);
}

TEST(HistoryDurability, TerminationSignalFlushesLikeQuit)
{
    for (const int sig : {SIGTERM, SIGINT}) {
        QTemporaryDir dir;
        QProcess child;
        child.start(kHelper,
                    {QStringLiteral("burst"), dir.path(), QStringLiteral("12"), QStringLiteral("wait")});
        ASSERT_TRUE(child.waitForStarted(10000));
        ASSERT_TRUE(waitForLine(child, "added"));
        ASSERT_TRUE(test::signalChild(child.processId(), sig));
        ASSERT_TRUE(child.waitForFinished(120000));
        ASSERT_EQ(child.exitStatus(), QProcess::NormalExit) << "signal " << sig;
        expectBurstSurvived(dir.path(), 12);
    }
}

TEST(HistoryDurability, StreamOfCapturesReachesTheIndexBeforeAKill)
{
    // 30 captures over 3 s, then SIGKILL. A write delayed anew by every capture would reach
    // the disk only after the stream: the index must already fill while captures go on, and
    // what it held is never lost by the kill. (Counts, not times: a loaded machine only
    // shifts how many made it.)
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("index.json"));
    QProcess child;
    child.start(kHelper,
                {QStringLiteral("trickle"), dir.path(), QStringLiteral("30"), QStringLiteral("100")});
    ASSERT_TRUE(child.waitForStarted(10000));
    qsizetype indexedDuringStream = 0;
    for (int i = 0; i < 30; ++i) {
        ASSERT_TRUE(waitForLine(child, "added")) << i;
        if (i < 29) {
            const DecodedIndex during = decodeIndex(readFile(path));
            if (during.readable)
                indexedDuringStream = std::max(indexedDuringStream, during.entries.size());
        }
    }
    child.kill();
    ASSERT_TRUE(child.waitForFinished(10000));
    EXPECT_GE(indexedDuringStream, 1) << "nothing reached the index while captures went on";
    const DecodedIndex index = decodeIndex(readFile(path));
    ASSERT_TRUE(index.readable);
    EXPECT_GE(index.entries.size(), indexedDuringStream);
}

TEST(HistoryDurability, ACaptureKilledBeforeTheIndexComesBackWhateverJournalWasLeftBefore)
{
    // A journal ending in a cut or garbled line (a stop in the middle of a record, a fuzzed
    // file) must not swallow the record of the next capture: after a kill before the index
    // names it, the capture comes back with its kind and title, and the bad journal is kept
    // aside and told of once.
    const struct {
        const char* name;
        QByteArray journal;
    } cases[]{
        {"cut record", "{\"id\":\"6F1D3A4E-1C2B-4D5E-8F90-1A2B3C4D5E6F\",\"date\":\"2026-01-0"},
        {"five bytes", QByteArray("\x7b\x22\xff\x0a\x5d", 5)},
        {"whole then garbled",
         "{\"id\":\"0A1B2C3D-4E5F-4A6B-8C7D-8E9FA0B1C2D3\",\"date\":\"2026-01-01T10:00:00Z\",\"width\":8,"
         "\"height\":8,\"scale\":1,\"kind\":\"window\",\"title\":\"Old\",\"favorite\":false}"
         "\n\x01\x02garbage"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        QFile journal(dir.filePath("index.journal"));
        ASSERT_TRUE(journal.open(QIODevice::WriteOnly) && journal.write(c.journal) == c.journal.size());
        journal.close();
        const QString title = QStringLiteral("Terminal — build %1").arg(c.name);

        QProcess child;
        child.start(kHelper, {QStringLiteral("unindexed"), dir.path(), title});
        ASSERT_TRUE(child.waitForStarted(10000));
        ASSERT_TRUE(waitForLine(child, "written"));
        child.kill();
        ASSERT_TRUE(child.waitForFinished(10000));
        ASSERT_FALSE(QFile::exists(dir.filePath("index.json"))) << "the index must not name it yet";

        HistoryStore::Options o;
        o.dir = dir.path();
        o.recognize = [](const QImage&) { return QFuture<std::optional<QString>>(); };
        auto store = std::make_unique<HistoryStore>(std::move(o));
        const auto back = std::find_if(store->entries().cbegin(), store->entries().cend(),
                                       [](const HistoryEntry& e) { return e.width == 120; });
        ASSERT_NE(back, store->entries().cend());
        EXPECT_EQ(back->kind, SourceKind::window);
        EXPECT_EQ(back->title, title);
        EXPECT_EQ(back->scale, 2.0);
        // The first start set the bad journal aside and said so, once; it is never dropped.
        const QStringList kept = QDir(dir.path()).entryList({"index.journal.bad-*"}, QDir::Files);
        ASSERT_EQ(kept.size(), 1);
        EXPECT_EQ(readFile(dir.filePath(kept.first())), c.journal);
        store->flush();
        store.reset();
        EXPECT_TRUE(QDir(dir.path()).entryList({"index*.journal"}, QDir::Files).isEmpty());
        o.dir = dir.path();
        o.recognize = [](const QImage&) { return QFuture<std::optional<QString>>(); };
        HistoryStore again(std::move(o));
        EXPECT_TRUE(again.takeStartNotice().isEmpty());
        EXPECT_EQ(again.entries().size(), 1);
    }
}
