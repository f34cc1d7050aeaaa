// What a start makes of a folder a stop or a hand left behind: temporary files, captures the
// index did not name yet, records twice in the index, limits that remove many; and a store
// taken down while its disk refuses writes.
#include "capture/history/HistoryIndex.h"
#include "capture/history/HistoryRecovery.h"
#include "capture/history/HistoryStore.h"
#include "core/AtomicFile.h"

#include "HistoryTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QPromise>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>

using namespace kx;
using kx::test::historyImage;
using kx::test::readFile;

namespace {

QByteArray pngBytes(int w, int h)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    historyImage(w, h).save(&buffer, "PNG");
    return out;
}

HistoryEntry record(const QString& title, const QDateTime& date)
{
    HistoryEntry e;
    e.id = QUuid::createUuid();
    e.date = date;
    e.width = 8;
    e.height = 8;
    e.kind = SourceKind::window;
    e.title = title;
    return e;
}

class HistoryStartTest : public test::UnlimitedHistoryTest {
protected:
    std::unique_ptr<HistoryStore> makeStore(const QString& folder, int debounceMs = 0)
    {
        HistoryStore::Options o;
        o.dir = folder;
        o.now = clock.function();
        o.recognize = ocr.function();
        o.debounceMs = debounceMs;
        return std::make_unique<HistoryStore>(std::move(o));
    }

    QString file(const QUuid& id, const char* suffix) const { return folder.filePath(uuidText(id) + suffix); }
    QString temp(const QUuid& id, const char* suffix) const
    {
        return folder.filePath("." + uuidText(id) + suffix + ".tmp-k3j9x");
    }

    QTemporaryDir folder;
    test::FakeClock clock;
    test::FakeRecognizer ocr;
};

}  // namespace

TEST_F(HistoryStartTest, AWholeImageLeftInATemporaryFileComesBackAndEveryOtherTemporaryFileGoes)
{
    const HistoryEntry named = record("Named", clock.now);
    ASSERT_TRUE(writeIndex(folder.filePath("index.json"), {named}));
    const QByteArray namedPng = pngBytes(8, 8);
    ASSERT_TRUE(writeFileAtomically(file(named.id, ".png"), namedPng));

    const QByteArray whole = pngBytes(64, 48);
    QByteArray corrupt = whole;
    corrupt[corrupt.size() / 2] = char(corrupt[corrupt.size() / 2] ^ 0x5a);  // right length, bad checksum
    const QUuid back = QUuid::createUuid(), cut = QUuid::createUuid(), bad = QUuid::createUuid();
    const struct {
        QString path;
        QByteArray bytes;
    } left[]{
        {temp(back, ".png"), whole},
        {temp(back, ".thumb.jpg"), "half a thumbnail"},
        {temp(cut, ".png"), whole.left(whole.size() - 20)},
        {temp(bad, ".png"), corrupt},
        {temp(named.id, ".png"), pngBytes(30, 20)},  // its image is there: the older write stays
        {folder.filePath(".index.json.tmp-a1"), "[{\"id\":"},
        {folder.filePath(".notes"), "the user's own"},
        {folder.filePath("plan.tmp-2"), "the user's own"},
    };
    for (const auto& l : left) {
        QFile f(l.path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(l.bytes) == l.bytes.size());
    }

    auto store = makeStore(folder.path());
    store->flush();
    ASSERT_EQ(store->entries().size(), 2);
    const auto e = store->entry(back);
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(QSize(e->width, e->height), QSize(64, 48));
    EXPECT_NE(e->kind, SourceKind::file) << "nothing says it was opened from a file";
    EXPECT_EQ(readFile(file(back, ".png")), whole);
    EXPECT_FALSE(QImage(file(back, ".thumb.jpg")).isNull());
    EXPECT_EQ(readFile(file(named.id, ".png")), namedPng);
    EXPECT_EQ(QDir(folder.path()).entryList({".*"}, QDir::Files | QDir::Hidden), QStringList{".notes"});
    EXPECT_TRUE(QFile::exists(folder.filePath("plan.tmp-2")));
    EXPECT_FALSE(QFile::exists(file(cut, ".png")));
    EXPECT_FALSE(QFile::exists(file(bad, ".png")));
}

TEST_F(HistoryStartTest, ACaptureStoppedBeforeTheIndexNamedItComesBackWithItsKindAndTitle)
{
    const QString title = QStringLiteral("Terminal \"build\" — vim");
    QTemporaryDir copy;
    HistoryEntry added;
    {
        auto store = makeStore(folder.path(), 3600 * 1000);  // no index write before the copy
        QSignalSpy written(store.get(), &HistoryStore::thumbnailChanged);
        added = store->add(CaptureResult{historyImage(96, 54), 2.0, SourceKind::fullscreen, title,
                                         clock.now.addSecs(-3600)});
        ASSERT_TRUE(test::waitFor([&] { return written.count() == 1; }));
        // What a kill now leaves on disk.
        for (const QString& name : QDir(folder.path()).entryList(QDir::Files | QDir::Hidden))
            ASSERT_TRUE(QFile::copy(folder.filePath(name), copy.filePath(name)));
        ASSERT_FALSE(QFile::exists(copy.filePath("index.json")));
        store->flush();
        EXPECT_FALSE(QFile::exists(folder.filePath("index.journal"))) << "gone once the index names it";
    }
    EXPECT_FALSE(readFile(copy.filePath(uuidText(added.id) + ".png")).contains("Terminal"))
        << "the title stays out of the image";

    auto store = makeStore(copy.path());
    store->flush();
    const auto e = store->entry(added.id);
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(e->kind, SourceKind::fullscreen);
    EXPECT_EQ(e->title, title);
    EXPECT_EQ(e->date, added.date);
    EXPECT_EQ(e->scale, 2.0);
    EXPECT_EQ(decodeIndex(readFile(store->indexPath())).entries, store->entries());
    EXPECT_FALSE(QFile::exists(copy.filePath("index.journal")));
}

TEST_F(HistoryStartTest, AnIndexWrittenWhileACapturesImageIsSavedLeavesItOutAndKeepsItsRecord)
{
    auto store = makeStore(folder.path());
    QPromise<QByteArray> encode;  // the clipboard's PNG, still being made
    encode.start();
    const HistoryEntry saving = store->add(CaptureResult{historyImage(70, 40), 2.0, SourceKind::window,
                                                         QStringLiteral("Mail — Inbox"), clock.now},
                                           encode.future());
    const HistoryEntry other =
        store->add(CaptureResult{historyImage(20, 10), 1.0, SourceKind::area, {}, clock.now.addSecs(-5)});
    ASSERT_TRUE(test::waitFor(
        [&] { return decodeIndex(readFile(store->indexPath())).entries.value(0).id == other.id; }));
    EXPECT_EQ(decodeIndex(readFile(store->indexPath())).entries.size(), 1);
    // A stop now, and the image landing just before it: what the disk holds then.
    QTemporaryDir copy;
    for (const QString& name : QDir(folder.path()).entryList(QDir::Files | QDir::Hidden))
        ASSERT_TRUE(QFile::copy(folder.filePath(name), copy.filePath(name)));
    QSignalSpy images(store.get(), &HistoryStore::thumbnailChanged);
    encode.addResult(QByteArray());
    encode.finish();
    ASSERT_TRUE(test::waitFor([&] { return images.count() == 1; }));
    for (const char* suffix : {".png", ".thumb.jpg"})
        ASSERT_TRUE(QFile::copy(file(saving.id, suffix), copy.filePath(uuidText(saving.id) + suffix)));

    auto again = makeStore(copy.path());
    const auto e = again->entry(saving.id);
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(e->kind, SourceKind::window);
    EXPECT_EQ(e->title, QStringLiteral("Mail — Inbox"));
    EXPECT_EQ(again->entries().size(), 2);
}

TEST_F(HistoryStartTest, ASecondRecordOfAnIdIsSetAsideAndSaid)
{
    const HistoryEntry a = record("first", clock.now);
    const HistoryEntry b = record("other", clock.now.addSecs(-60));
    HistoryEntry again = a;
    again.title = QStringLiteral("second");
    const QByteArray text = encodeIndex({a, b, again});
    ASSERT_TRUE(writeFileAtomically(folder.filePath("index.json"), text));
    for (const HistoryEntry& e : {a, b})
        ASSERT_TRUE(writeFileAtomically(file(e.id, ".png"), pngBytes(8, 8)));

    auto store = makeStore(folder.path());
    ASSERT_EQ(store->entries().size(), 2);
    EXPECT_EQ(store->entries()[0].title, QStringLiteral("first"));
    EXPECT_EQ(store->entries()[1].id, b.id);
    const QString notice = store->takeStartNotice();
    EXPECT_TRUE(notice.contains("1 entry could not be read")) << notice.toStdString();
    EXPECT_EQ(readFile(store->keptBadIndex()), text);
    store->remove({a.id});
    store->flush();
    EXPECT_EQ(decodeIndex(readFile(store->indexPath())).entries, QList<HistoryEntry>{b});
    EXPECT_TRUE(QFile::exists(file(b.id, ".png")));
}

TEST_F(HistoryStartTest, PruningMoreThanAHandfulSaysHowManyWentAndWhyOnce)
{
    // Small limits keep the test small: read as stored, not into the range Settings offers.
    Prefs::readIntoOfferedRangeForTests(false);
    const auto ranged = qScopeGuard([] { Prefs::readIntoOfferedRangeForTests(true); });
    const struct {
        int old, recent, days, max;
        const char* title;
        const char* said;  // empty: nothing
    } cases[]{
        {12, 0, 30, 0, "12 captures removed from the history", "Older than 30 days."},
        {0, 9, 30, 2, "7 captures removed from the history", "The history keeps at most 2."},
        {6, 4, 30, 2, "8 captures removed from the history", "6 older than 30 days, 2 over the limit of 2."},
        {5, 0, 30, 0, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.said);
        QTemporaryDir dir;
        QList<HistoryEntry> entries;
        for (int i = 0; i < c.recent + c.old; ++i)
            entries << record("r", clock.now.addDays(i < c.recent ? 0 : -40).addSecs(-i));
        HistoryEntry star = record("starred", clock.now.addDays(-400));
        star.favorite = true;
        entries << star;
        ASSERT_TRUE(writeIndex(dir.filePath("index.json"), entries));
        for (const HistoryEntry& e : entries)
            ASSERT_TRUE(writeFileAtomically(dir.filePath(uuidText(e.id) + ".png"), pngBytes(8, 8)));
        Prefs::set(QStringLiteral("history.days"), c.days);
        Prefs::set(QStringLiteral("history.max"), c.max);

        auto store = makeStore(dir.path());
        QSignalSpy later(store.get(), &HistoryStore::manyPruned);
        store->prune();  // the launch's
        const QString notice = store->takeStartNotice();
        EXPECT_EQ(store->entries().size(), qsizetype(1 + std::min(c.recent, c.max > 0 ? c.max : c.recent)));
        if (*c.said) {
            EXPECT_TRUE(notice.contains(c.said)) << notice.toStdString();
            EXPECT_EQ(store->startNoticeTitle(), c.title);
        } else {
            EXPECT_TRUE(notice.isEmpty()) << notice.toStdString();
        }
        store->prune();
        EXPECT_EQ(later.count(), 0) << "said once";
    }

    // A capture after the launch that prunes many says so itself.
    QTemporaryDir dir;
    Prefs::set(QStringLiteral("history.days"), 0);
    Prefs::set(QStringLiteral("history.max"), 0);
    auto store = makeStore(dir.path());
    store->takeStartNotice();
    for (int i = 0; i < 8; ++i)
        store->add(CaptureResult{historyImage(8, 8), 1.0, SourceKind::area, {}, clock.now});
    QSignalSpy said(store.get(), &HistoryStore::manyPruned);
    Prefs::set(QStringLiteral("history.max"), 1);
    store->add(CaptureResult{historyImage(8, 8), 1.0, SourceKind::area, {}, clock.now});
    ASSERT_EQ(said.count(), 1);
    EXPECT_EQ(said.first().at(0).toString(), "8 captures removed from the history");
    EXPECT_TRUE(said.first().at(1).toString().contains("The history keeps at most 1."))
        << said.first().at(1).toString().toStdString();
}

TEST_F(HistoryStartTest, AStoreTakenDownWhileItsDiskRefusesWritesKeepsTheLastIndex)
{
    auto store = makeStore(folder.path(), 3600 * 1000);
    const HistoryEntry a =
        store->add(CaptureResult{historyImage(8, 8), 1.0, SourceKind::area, {}, clock.now});
    store->flush();
    const QByteArray good = readFile(store->indexPath());
    QSignalSpy failed(store.get(), &HistoryStore::indexWriteFailed);
    failWritesAfter(0);
    store->toggleFavorite(a.id);
    store.reset();  // its writers report while it is taken down
    failWritesAfter(-1);
    EXPECT_EQ(failed.count(), 1);
    EXPECT_EQ(readFile(folder.filePath("index.json")), good);
}

TEST(HistorySalvage, EscapesInATextDoNotCutTheRecordShort)
{
    const QUuid id = QUuid::createUuid();
    const struct {
        const char* json;
        QString text;
    } cases[]{
        {R"(a 12\" screen)", "a 12\" screen"},
        {R"(C:\\temp\\)", "C:\\temp\\"},
        {R"(a } and { b)", "a } and { b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        const QByteArray bytes = "[{\"id\":\"" + uuidText(id).toLatin1() + "\",\"title\":\"" + c.json +
                                 "\",\"ocrText\":\"seen\",\"favorite\":true,\"width\":\"x\"},{\"id\":";
        const QHash<QUuid, QJsonObject> salvaged = salvageRecords(bytes);
        ASSERT_TRUE(salvaged.contains(id));
        HistoryEntry e;
        takeReadableFields(e, salvaged.value(id));
        EXPECT_TRUE(e.favorite);
        EXPECT_EQ(e.title, c.text);
        EXPECT_EQ(e.ocrText, QStringLiteral("seen"));
    }
}
