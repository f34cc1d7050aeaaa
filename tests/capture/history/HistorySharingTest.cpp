// Two Kaptorix of one user over one history folder (one per X display, one home): neither
// loses a capture or a field of the other's, deletions stay, a start leaves a running one's
// captures alone; and the journal each writes keeps its records whole.
#include "capture/history/HistoryIndex.h"
#include "capture/history/HistoryJournal.h"
#include "capture/history/HistoryMerge.h"
#include "capture/history/HistoryStore.h"
#include "core/AtomicFile.h"
#include "core/FileLock.h"

#include "FileLimits.h"
#include "HistoryTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QBuffer>
#include <QDeadlineTimer>
#include <QDir>
#include <QPromise>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

using namespace kx;
using kx::test::historyImage;
using kx::test::readFile;

namespace {

class HistorySharingTest : public test::UnlimitedHistoryTest {
protected:
    std::unique_ptr<HistoryStore> makeStore(int debounceMs = 0, int lockWaitMs = 10000)
    {
        HistoryStore::Options o;
        o.dir = folder.path();
        o.recognize = ocr.function();
        o.debounceMs = debounceMs;
        o.lockWaitMs = lockWaitMs;
        return std::make_unique<HistoryStore>(std::move(o));
    }
    CaptureResult capture(int i, SourceKind kind = SourceKind::window)
    {
        return CaptureResult{historyImage(24 + i, 16, QColor(40, 90, 160), i), 1.0, kind,
                             QStringLiteral("Window %1").arg(i), QDateTime::currentDateTimeUtc()};
    }
    QString png(const QUuid& id) const { return folder.filePath(uuidText(id) + ".png"); }

    QTemporaryDir folder;
    test::FakeRecognizer ocr;
};

HistoryEntry entry(const char* id, int secondsAgo)
{
    HistoryEntry e;
    e.id = QUuid::fromString(QLatin1String(id));
    e.date = QDateTime(QDate(2026, 5, 1), QTime(12, 0), Qt::UTC).addSecs(-secondsAgo);
    e.width = e.height = 8;
    return e;
}

QStringList ids(const QList<HistoryEntry>& entries)
{
    QStringList out;
    for (const HistoryEntry& e : entries)
        out << e.id.toString(QUuid::WithoutBraces).left(1);
    return out;
}

}  // namespace

TEST_F(HistorySharingTest, TwoInstancesKeepEveryCaptureAndFieldOfBothAndEveryDeletion)
{
    auto a = makeStore(), b = makeStore();
    // What one writes the other takes in without writing anything itself (else each would
    // write again at every write of the other, for ever).
    QSignalSpy aWrote(a.get(), &HistoryStore::indexWritten), bWrote(b.get(), &HistoryStore::indexWritten);
    const HistoryEntry first = a->add(capture(100));
    a->flush();
    ASSERT_TRUE(test::waitFor([&] { return b->entry(first.id).has_value(); }));
    b->flush();
    EXPECT_EQ(bWrote.count(), 0);
    EXPECT_EQ(aWrote.count(), 1);
    a->remove({first.id});
    a->flush();
    ASSERT_TRUE(test::waitFor([&] { return !b->entry(first.id).has_value(); }));
    // 40 captures taken in turn, each side writing the index between them.
    QList<HistoryEntry> taken;
    for (int i = 0; i < 40; ++i) {
        HistoryStore& s = i % 2 ? *b : *a;
        taken << s.add(capture(i, i % 3 ? SourceKind::window : SourceKind::fullscreen));
        s.flush();
    }
    ASSERT_EQ(decodeIndex(readFile(a->indexPath())).entries.size(), 40);
    // Each takes in what the other wrote, without writing anything itself.
    ASSERT_TRUE(test::waitFor([&] { return a->entries().size() == 40 && b->entries().size() == 40; }));

    // Fields set on both sides, on their own captures and on the other's.
    a->toggleFavorite(taken[1].id);
    b->setOCR(taken[0].id, "alpha text");
    b->setUploadURL(taken[2].id, "https://example.org/2.png");
    a->setAISummary(taken[3].id, "a summary");
    b->toggleFavorite(taken[3].id);
    a->setOCR(taken[3].id, "");
    a->flush();
    b->flush();
    // One deletes a capture the other still holds; the other's next writes keep it deleted.
    a->remove({taken[5].id});
    a->flush();
    b->setOCR(taken[7].id, "late");
    b->add(capture(40));
    b->flush();
    ASSERT_TRUE(test::waitFor([&] { return !b->entry(taken[5].id).has_value(); }));
    a.reset();
    b.reset();

    auto c = makeStore();
    ASSERT_EQ(c->entries().size(), 40);
    EXPECT_FALSE(c->entry(taken[5].id).has_value());
    EXPECT_FALSE(QFile::exists(png(taken[5].id)));
    for (int i = 0; i < 40; ++i) {
        if (i == 5)
            continue;
        const auto e = c->entry(taken[i].id);
        ASSERT_TRUE(e.has_value()) << i;
        EXPECT_EQ(e->title, QStringLiteral("Window %1").arg(i)) << i;
        EXPECT_EQ(e->kind, i % 3 ? SourceKind::window : SourceKind::fullscreen) << i;
        EXPECT_EQ(e->favorite, i == 1 || i == 3) << i;
    }
    EXPECT_EQ(c->entry(taken[0].id)->ocrText, "alpha text");
    EXPECT_EQ(c->entry(taken[2].id)->uploadURL, "https://example.org/2.png");
    EXPECT_EQ(c->entry(taken[3].id)->aiSummary, "a summary");
    EXPECT_EQ(c->entry(taken[3].id)->ocrText, "");
    EXPECT_EQ(c->entry(taken[7].id)->ocrText, "late");
    EXPECT_EQ(c->entries().first().title, "Window 40");
}

TEST_F(HistorySharingTest, AWriteWaitsForTheFoldersLockAndSaysWhyWhenHeldTooLong)
{
    auto store = makeStore(0, 300);
    const HistoryEntry e = store->add(capture(1));
    store->flush();
    const QByteArray before = readFile(store->indexPath());
    QSignalSpy failed(store.get(), &HistoryStore::indexWriteFailed);
    {
        // Another Kaptorix in the middle of its write.
        QString why;
        const std::shared_ptr<void> held = lockFile(folder.filePath("index.lock"), 0, &why);
        ASSERT_TRUE(held) << why.toStdString();
        store->toggleFavorite(e.id);
        store->flush();
        EXPECT_EQ(readFile(store->indexPath()), before);
        ASSERT_EQ(failed.count(), 1);
        EXPECT_TRUE(failed.first().at(0).toString().contains("Another Kaptorix of this user kept it locked."))
            << failed.first().at(0).toString().toStdString();
    }
    store->flush();
    EXPECT_TRUE(decodeIndex(readFile(store->indexPath())).entries.value(0).favorite);
}

TEST_F(HistorySharingTest, AChangeMadeWhileAnIndexWriteWaitsForTheLockReachesTheFile)
{
    auto store = makeStore(0, 60000);
    const HistoryEntry e = store->add(capture(1));
    store->flush();
    QSignalSpy wrote(store.get(), &HistoryStore::indexWritten);
    {
        // Another Kaptorix in the middle of its write.
        QString why;
        const std::shared_ptr<void> held = lockFile(folder.filePath("index.lock"), 0, &why);
        ASSERT_TRUE(held) << why.toStdString();
        store->toggleFavorite(e.id);
        // Its write is due at once: the state is taken and the writer waits for the lock.
        QTimer later;
        later.setSingleShot(true);
        later.start(1);
        ASSERT_TRUE(test::waitFor([&] { return !later.isActive(); }));
        store->setAISummary(e.id, "while writing");
    }
    // That write lands and is taken in before the next one is due (no timer runs meanwhile).
    QDeadlineTimer deadline(20000);
    while (wrote.count() < 1 && !deadline.hasExpired()) {
        QCoreApplication::sendPostedEvents();
        QThread::msleep(1);
    }
    ASSERT_EQ(wrote.count(), 1);
    const HistoryEntry first = decodeIndex(readFile(store->indexPath())).entries.value(0);
    EXPECT_TRUE(first.favorite);
    ASSERT_FALSE(first.aiSummary.has_value()) << "made before the state was taken";
    store->flush();
    EXPECT_EQ(wrote.count(), 2);
    const HistoryEntry written = decodeIndex(readFile(store->indexPath())).entries.value(0);
    EXPECT_TRUE(written.favorite);
    EXPECT_EQ(written.aiSummary, "while writing");
}

TEST_F(HistorySharingTest, CapturesTakenOnBothAtOnceKeepTheHistoryWithinItsLimit)
{
    // Small limits keep the test small: read as stored, not into the range Settings offers.
    Prefs::readIntoOfferedRangeForTests(false);
    const auto ranged = qScopeGuard([] { Prefs::readIntoOfferedRangeForTests(true); });
    Prefs::set(QStringLiteral("history.max"), 3);
    auto a = makeStore(), b = makeStore();
    QList<HistoryEntry> old;
    for (int i = 0; i < 3; ++i) {
        old << a->add(capture(i));
        a->flush();
    }
    ASSERT_TRUE(test::waitFor([&] { return b->entries().size() == 3; }));
    // Each prunes its own list, which lacks the other's new capture.
    const HistoryEntry fromA = a->add(capture(10));
    const HistoryEntry fromB = b->add(capture(11));
    a->flush();
    b->flush();
    const auto settled = [&] {
        a->flush();
        b->flush();
        return a->entries().size() == 3 && b->entries().size() == 3 && a->entry(fromB.id) &&
               b->entry(fromA.id) && decodeIndex(readFile(a->indexPath())).entries.size() == 3;
    };
    ASSERT_TRUE(test::waitFor(settled)) << a->entries().size() << " " << b->entries().size();
    // The earliest added went, in both and on disk.
    QSet<QUuid> onDisk;
    for (const HistoryEntry& e : decodeIndex(readFile(a->indexPath())).entries)
        onDisk << e.id;
    EXPECT_EQ(onDisk, (QSet<QUuid>{fromB.id, fromA.id, old[2].id}));
    EXPECT_FALSE(QFile::exists(png(old[1].id)));
}

TEST_F(HistorySharingTest, AStartLeavesWhatARunningInstanceIsWritingAlone)
{
    auto a = makeStore(3600 * 1000);  // its index waits
    QSignalSpy dropped(a.get(), &HistoryStore::captureDropped);
    // One capture whose image is written but not yet indexed, one still being encoded with
    // its temporary file on disk (as the writer leaves it in the middle of the write).
    QSignalSpy thumbs(a.get(), &HistoryStore::thumbnailChanged);
    const HistoryEntry written = a->add(capture(1));
    ASSERT_TRUE(test::waitFor([&] { return thumbs.count() == 1; }));
    QPromise<QByteArray> encode;
    encode.start();
    const HistoryEntry writing = a->add(capture(2), encode.future());
    QByteArray whole;
    QBuffer buffer(&whole);
    ASSERT_TRUE(buffer.open(QIODevice::WriteOnly) && historyImage(26, 16).save(&buffer, "PNG"));
    const QString temp = folder.filePath("." + uuidText(writing.id) + ".png.tmp-k3j9x");
    {
        QFile f(temp);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(whole) == whole.size());
    }

    auto b = makeStore();
    EXPECT_TRUE(QFile::exists(temp)) << "a running instance's file was taken";
    EXPECT_FALSE(QFile::exists(png(writing.id)));
    EXPECT_FALSE(b->entry(written.id).has_value()) << "rebuilt while its owner still writes it";
    EXPECT_FALSE(b->entry(writing.id).has_value());
    EXPECT_TRUE(b->takeStartNotice().isEmpty());

    encode.addResult(QByteArray());
    encode.finish();
    a->flush();
    EXPECT_EQ(dropped.count(), 0);
    // The other one sees them land, with what their owner knows of them.
    ASSERT_TRUE(test::waitFor([&] { return b->entry(writing.id).has_value(); }));
    EXPECT_EQ(b->entry(written.id)->title, "Window 1");
    EXPECT_EQ(b->entry(writing.id)->kind, SourceKind::window);
    a.reset();
    b.reset();
    QFile::remove(temp);
    auto c = makeStore();
    EXPECT_EQ(ids(c->entries()), ids({writing, written}));
    EXPECT_EQ(c->entry(writing.id)->title, "Window 2");
}

TEST_F(HistorySharingTest, AJournalNoRunningInstanceHoldsIsTakenOverAndABadOneKeptAsideAndSaidOnce)
{
    HistoryEntry lost;
    lost.id = QUuid::createUuid();
    lost.date = QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7), Qt::UTC);
    lost.width = 30;
    lost.height = 20;
    lost.kind = SourceKind::scrolling;
    lost.title = QStringLiteral("Long page");
    QByteArray line;
    appendEntryJson(line, lost);
    const QByteArray journal = line + "\n{\"id\":\"7C1A";  // a record, then one cut
    ASSERT_TRUE(writeFileAtomically(folder.filePath("index.4f2a.journal"), journal));
    ASSERT_TRUE(historyImage(30, 20).save(png(lost.id)));

    auto s = makeStore();
    ASSERT_TRUE(s->entry(lost.id).has_value());
    EXPECT_EQ(s->entry(lost.id)->kind, SourceKind::scrolling);
    EXPECT_EQ(s->entry(lost.id)->title, "Long page");
    const QList<HistoryStore::Notice> notices = s->takeStartNotices();
    const auto said = std::find_if(notices.cbegin(), notices.cend(), [](const HistoryStore::Notice& n) {
        return n.title == "History journal unreadable";
    });
    ASSERT_NE(said, notices.cend());
    const QStringList kept = QDir(folder.path()).entryList({"index.4f2a.journal.bad-*"}, QDir::Files);
    ASSERT_EQ(kept.size(), 1);
    EXPECT_TRUE(said->text.contains(folder.filePath(kept.first()))) << said->text.toStdString();
    EXPECT_EQ(readFile(folder.filePath(kept.first())), journal);
    s->flush();
    s.reset();
    EXPECT_TRUE(makeStore()->takeStartNotices().isEmpty()) << "said once";
}

TEST(HistoryJournal, ARecordAfterACutWriteStandsOnALineOfItsOwn)
{
    QTemporaryDir dir;
    HistoryJournal journal(dir.path());
    auto record = [](int i) {
        HistoryEntry e;
        e.id = QUuid::createUuid();
        e.date = QDateTime(QDate(2026, 1, 1), QTime(9, 0), Qt::UTC);
        e.width = e.height = 10 + i;
        e.kind = SourceKind::window;
        e.title = QStringLiteral("Record %1").arg(i);
        return e;
    };
    const HistoryEntry first = record(1), cut = record(2), next = record(3);
    ASSERT_TRUE(journal.append(first));
    const QString path = journal.path();
    {
        // The disk fills in the middle of the second record.
        test::FileSizeLimit full(QFileInfo(path).size() + 40);
        QString why;
        EXPECT_FALSE(journal.append(cut, &why));
        EXPECT_FALSE(why.isEmpty());
    }
    ASSERT_TRUE(journal.append(next));
    const QHash<QUuid, HistoryEntry> read = HistoryJournal::read(path);
    EXPECT_EQ(read.value(first.id), first);
    EXPECT_EQ(read.value(next.id), next);
    EXPECT_FALSE(read.contains(cut.id));
    // Retired with the last record that needed it.
    journal.retire({first.id, cut.id});
    EXPECT_TRUE(QFile::exists(path));
    journal.retire({next.id});
    EXPECT_FALSE(QFile::exists(path));
}

TEST(HistoryMerge, EachSideKeepsItsChangesAndItsPlaceAndDeletionsWin)
{
    // Disk: B then C then E, written meanwhile by another process (B and E are its own).
    // Mine: N (new here), C, D (deleted elsewhere), A (lost by the index, image still there).
    const HistoryEntry a = entry("a0000000-0000-4000-8000-000000000000", 300);
    HistoryEntry c = entry("c0000000-0000-4000-8000-000000000000", 200);
    const HistoryEntry d = entry("d0000000-0000-4000-8000-000000000000", 250);
    const HistoryEntry b = entry("b0000000-0000-4000-8000-000000000000", 100);
    const HistoryEntry e = entry("e0000000-0000-4000-8000-000000000000", 400);
    HistoryEntry n = entry("f0000000-0000-4000-8000-000000000000", 50);
    HistoryEntry cDisk = c;
    cDisk.ocrText = QStringLiteral("from disk");
    cDisk.uploadURL = QStringLiteral("https://elsewhere");
    HistoryEntry cMine = c;
    cMine.favorite = true;
    cMine.uploadURL = QStringLiteral("https://here");
    cMine.ocrText = QStringLiteral("stale");
    LocalChanges changes{{n.id, {changeAdded, 1}}, {c.id, {changeStar | changeLink, 2}}};
    const QList<HistoryEntry> merged =
        mergeHistory({b, cDisk, e}, {n, cMine, d, a}, changes, [&](const QUuid& id) { return id == d.id; });
    EXPECT_EQ(ids(merged), (QStringList{"f", "b", "c", "a", "e"}));  // A is newer than E
    EXPECT_TRUE(merged[2].favorite);
    EXPECT_EQ(merged[2].uploadURL, "https://here");
    EXPECT_EQ(merged[2].ocrText, "from disk");

    // Removed here: gone, whatever the disk says of it; an entry added here and found on
    // disk already is taken whole from here.
    HistoryEntry nDisk = n;
    nDisk.title = QStringLiteral("rebuilt elsewhere");
    n.title = QStringLiteral("mine");
    changes = {{n.id, {changeAdded, 3}}, {c.id, {changeRemoved | changeStar, 4}}};
    const QList<HistoryEntry> again = mergeHistory({nDisk, b, cDisk}, {n, cMine}, changes, {});
    EXPECT_EQ(ids(again), (QStringList{"f", "b"}));
    EXPECT_EQ(again[0].title, "mine");
}
