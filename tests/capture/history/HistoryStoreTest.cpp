// The history store in one process: files, pruning, the debounced index, recognition
// results, search and the folder choice.
#include "capture/history/HistoryIndex.h"
#include "capture/history/HistoryStore.h"
#include "core/AtomicFile.h"
#include "core/Localisation.h"
#include "core/Prefs.h"

#include "HistoryTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace kx;
using kx::test::historyImage;
using kx::test::readFile;

namespace {

class HistoryStoreTest : public test::UnlimitedHistoryTest {
protected:
    std::unique_ptr<HistoryStore> makeStore(int debounceMs = 400)
    {
        HistoryStore::Options o;
        o.dir = dir.path();
        o.now = clock.function();
        o.recognize = ocr.function();
        o.debounceMs = debounceMs;
        return std::make_unique<HistoryStore>(std::move(o));
    }

    CaptureResult capture(int w, int h, double scale, SourceKind kind, QDateTime date = {},
                          std::optional<QString> title = std::nullopt)
    {
        static int seed = 0;
        return CaptureResult{historyImage(w, h, QColor(40, 90, 160), ++seed), scale, kind, std::move(title),
                             date.isValid() ? date : clock.now};
    }

    QList<HistoryEntry> onDisk() { return decodeIndex(readFile(dir.filePath("index.json"))).entries; }

    QTemporaryDir dir;
    test::FakeClock clock;
    test::FakeRecognizer ocr;
};

}  // namespace

TEST_F(HistoryStoreTest, AddWritesPngWithDpiThumbnailAndIndexNewestFirst)
{
    auto store = makeStore();
    const HistoryEntry big =
        store->add(capture(1200, 800, 2.0, SourceKind::window, {}, QStringLiteral("Editor")));
    const HistoryEntry small = store->add(capture(300, 200, 1.0, SourceKind::area));
    EXPECT_EQ(store->entries().first().id, small.id);
    EXPECT_FALSE(big.ocrText.has_value());
    store->flush();

    const QString name = uuidText(big.id);
    EXPECT_EQ(name, name.toUpper());
    QImageReader png(dir.filePath(name + ".png"));
    EXPECT_EQ(QByteArray(png.format()), QByteArray("png"));
    const QImage full = png.read();
    ASSERT_EQ(full.size(), QSize(1200, 800));
    EXPECT_EQ(scaleFromDotsPerMeter(full.dotsPerMeterX()), 2.0);
    EXPECT_LE(
        test::maxChannelDifference(full.convertToFormat(QImage::Format_ARGB32),
                                   store->loadImage(big.id)->image.convertToFormat(QImage::Format_ARGB32)),
        0);

    QImageReader thumb(dir.filePath(name + ".thumb.jpg"));
    EXPECT_EQ(QByteArray(thumb.format()), QByteArray("jpeg"));
    EXPECT_EQ(thumb.read().size(), QSize(520, 347));
    EXPECT_EQ(QImage(dir.filePath(uuidText(small.id) + ".thumb.jpg")).size(), QSize(300, 200));
    EXPECT_EQ(store->thumbnail(big.id).size(), QSize(520, 347));

    EXPECT_TRUE(onDisk() == store->entries());
    const auto loaded = store->loadImage(big.id);
    ASSERT_TRUE(loaded.has_value());
    EXPECT_EQ(loaded->scale, 2.0);

    // A PNG in the folder that no entry names still loads, with scale 2.
    const QUuid stray = QUuid::createUuid();
    ASSERT_TRUE(
        QFile::copy(dir.filePath(uuidText(small.id) + ".png"), dir.filePath(uuidText(stray) + ".png")));
    ASSERT_TRUE(store->loadImage(stray).has_value());
    EXPECT_EQ(store->loadImage(stray)->scale, 2.0);
    EXPECT_FALSE(store->loadImage(QUuid::createUuid()).has_value());
    EXPECT_TRUE(store->thumbnail(QUuid::createUuid()).isNull());
}

TEST_F(HistoryStoreTest, ThumbnailOfACaptureStillBeingWrittenIsScaledOnce)
{
    auto store = makeStore();
    const HistoryEntry e = store->add(capture(1600, 6000, 1, SourceKind::scrolling));
    // No events are processed here, so the files are still "on their way" for the store.
    const QImage first = store->thumbnail(e.id);
    EXPECT_EQ(first.size(), QSize(139, 520));
    EXPECT_EQ(store->thumbnail(e.id).cacheKey(), first.cacheKey());  // a view repainting does not rescale

    store->flush();
    QCoreApplication::sendPostedEvents();
    const QImage written = store->thumbnail(e.id);
    EXPECT_NE(written.cacheKey(), first.cacheKey());  // the thumbnail that was written replaces it
    EXPECT_EQ(written.size(), QSize(139, 520));
}

TEST_F(HistoryStoreTest, MaxCountRemovesTheEarliestAddedButNeverFavourites)
{
    // Small limits keep the test small: read as stored, not into the range Settings offers.
    Prefs::readIntoOfferedRangeForTests(false);
    const auto ranged = qScopeGuard([] { Prefs::readIntoOfferedRangeForTests(true); });
    Prefs::set(QStringLiteral("history.max"), 2);
    auto store = makeStore();
    const HistoryEntry starred = store->add(capture(40, 30, 1, SourceKind::area));
    store->toggleFavorite(starred.id);
    const HistoryEntry b = store->add(capture(40, 30, 1, SourceKind::area));
    const HistoryEntry c = store->add(capture(40, 30, 1, SourceKind::area));
    EXPECT_EQ(store->entries().size(), 3);
    const HistoryEntry d = store->add(capture(40, 30, 1, SourceKind::area));
    store->flush();

    QList<QUuid> ids;
    for (const HistoryEntry& e : store->entries())
        ids.append(e.id);
    EXPECT_EQ(ids, (QList<QUuid>{d.id, c.id, starred.id}));
    EXPECT_FALSE(QFile::exists(dir.filePath(uuidText(b.id) + ".png")));
    EXPECT_FALSE(QFile::exists(dir.filePath(uuidText(b.id) + ".thumb.jpg")));
    EXPECT_TRUE(QFile::exists(dir.filePath(uuidText(starred.id) + ".png")));
    EXPECT_EQ(onDisk().size(), 3);
}

TEST_F(HistoryStoreTest, AgeLimitKeepsTheExactCutoffAndFavourites)
{
    auto store = makeStore();
    const QDateTime now = clock.now;
    const HistoryEntry atCutoff = store->add(capture(40, 30, 1, SourceKind::area, now.addSecs(-86400)));
    const HistoryEntry older = store->add(capture(40, 30, 1, SourceKind::area, now.addSecs(-86401)));
    const HistoryEntry olderStarred =
        store->add(capture(40, 30, 1, SourceKind::area, now.addSecs(-86401 * 3)));
    store->toggleFavorite(olderStarred.id);
    const HistoryEntry fresh = store->add(capture(40, 30, 1, SourceKind::area, now));

    // Both rules off: nothing ever goes.
    store->prune();
    EXPECT_EQ(store->entries().size(), 4);

    Prefs::set(QStringLiteral("history.days"), 1);
    store->prune();
    EXPECT_TRUE(store->entry(atCutoff.id).has_value());
    EXPECT_FALSE(store->entry(older.id).has_value());
    EXPECT_TRUE(store->entry(olderStarred.id).has_value());
    EXPECT_TRUE(store->entry(fresh.id).has_value());

    clock.now = now.addSecs(1);
    store->prune();
    EXPECT_FALSE(store->entry(atCutoff.id).has_value());
    EXPECT_EQ(store->entries().size(), 2);

    // A capture that is already too old goes as soon as it is added.
    const HistoryEntry late = store->add(capture(40, 30, 1, SourceKind::file, clock.now.addDays(-2)));
    EXPECT_FALSE(store->entry(late.id).has_value());
}

TEST_F(HistoryStoreTest, BurstOfChangesGivesOneIndexWriteWithTheLastState)
{
    auto store = makeStore();
    const HistoryEntry e = store->add(capture(64, 48, 1, SourceKind::area));
    store->flush();
    QCoreApplication::sendPostedEvents();  // the report of that first write
    const QByteArray before = readFile(store->indexPath());
    QSignalSpy writes(store.get(), &HistoryStore::indexWritten);

    store->setOCR(e.id, QStringLiteral("one"));
    store->setOCR(e.id, QStringLiteral("two"));
    store->setOCR(e.id, QStringLiteral("three"));
    EXPECT_EQ(readFile(store->indexPath()), before);  // debounced: nothing written yet

    ASSERT_TRUE(test::waitFor([&] { return writes.count() >= 1; }));
    store->flush();  // writes only when something is still pending
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(writes.count(), 1);
    ASSERT_EQ(onDisk().size(), 1);
    EXPECT_EQ(onDisk().first().ocrText, QStringLiteral("three"));
}

TEST_F(HistoryStoreTest, OlderIndexWritesNeverLandAfterNewerOnes)
{
    auto store = makeStore(0);
    const QString longText = QString(4000, QLatin1Char('x'));
    for (int i = 0; i < 300; ++i) {
        const HistoryEntry e = store->add(capture(8, 8, 1, SourceKind::area));
        store->setOCR(e.id, longText);  // a big index: each write takes a while
    }
    const QUuid id = store->entries().first().id;
    for (int i = 0; i < 150; ++i) {
        store->setAISummary(id, QStringLiteral("summary %1").arg(i));
        QCoreApplication::processEvents();  // lets the zero-delay timer queue a write
    }
    store->flush();
    EXPECT_EQ(onDisk().first().aiSummary, QStringLiteral("summary 149"));
    EXPECT_EQ(readFile(store->indexPath()), encodeIndex(store->entries()));
}

TEST_F(HistoryStoreTest, OneBadRecordDoesNotTakeTheOthersWithIt)
{
    HistoryEntry good;
    good.id = QUuid::createUuid();
    good.date = clock.now;
    good.width = 10;
    good.height = 10;
    QByteArray text = encodeIndex({good});
    text.chop(1);
    text +=
        ",{\"id\":\"00C0FFEE-0000-4000-8000-000000000001\",\"date\":\"2026-01-01T00:00:00Z\","
        "\"width\":1,\"height\":1,\"scale\":1,\"kind\":\"hologram\",\"favorite\":false}]";
    ASSERT_TRUE(writeFileAtomically(dir.filePath("index.json"), text));

    for (int launch = 0; launch < 2; ++launch)
        makeStore();  // a launch that changes nothing: the copy is made once
    EXPECT_EQ(QDir(dir.path()).entryList({"index.json.bad-*"}).size(), 1);
    auto store = makeStore();
    ASSERT_EQ(store->entries().size(), 1);
    EXPECT_EQ(store->entries().first().id, good.id);
    store->toggleFavorite(good.id);
    store->flush();
    EXPECT_EQ(onDisk().size(), 1);
    EXPECT_EQ(readFile(store->keptBadIndex()), text);  // the unknown record survives there
}

TEST_F(HistoryStoreTest, SteadyChangesStillReachTheDiskWithinTheDebounce)
{
    auto store = makeStore(300);
    QSignalSpy writes(store.get(), &HistoryStore::indexWritten);
    const HistoryEntry e = store->add(capture(16, 16, 1, SourceKind::area));
    // A change every 50 ms, for as long as it takes: a debounce restarted by each one would
    // never write. No clock is compared: on a busy machine it only takes longer.
    for (int i = 0; writes.count() < 2 && i < 1200; ++i) {
        store->setOCR(e.id, QString::number(i));
        QTest::qWait(50);
    }
    EXPECT_GE(writes.count(), 2);
    EXPECT_EQ(onDisk().size(), 1);
}

TEST_F(HistoryStoreTest, PrunedFilesStayUntilAnIndexWithoutThemIsWritten)
{
    // Small limits keep the test small: read as stored, not into the range Settings offers.
    Prefs::readIntoOfferedRangeForTests(false);
    const auto ranged = qScopeGuard([] { Prefs::readIntoOfferedRangeForTests(true); });
    auto store = makeStore(0);
    const HistoryEntry old = store->add(capture(40, 30, 1, SourceKind::area));
    store->flush();
    const QString png = dir.filePath(uuidText(old.id) + ".png");
    ASSERT_TRUE(QFile::exists(png));
    ASSERT_TRUE(QFile::remove(store->indexPath()));
    ASSERT_TRUE(QDir().mkpath(store->indexPath()));  // the next index writes fail
    Prefs::set(QStringLiteral("history.max"), 1);
    store->add(capture(40, 30, 1, SourceKind::area));
    store->flush();
    EXPECT_FALSE(store->entry(old.id).has_value());
    // Set aside, not deleted: a crash now leaves the index naming it, and the next start
    // finishes the removal.
    EXPECT_FALSE(QFile::exists(png));
    EXPECT_TRUE(QFile::exists(png + ".removed"));

    ASSERT_TRUE(QDir(store->indexPath()).removeRecursively());
    store->flush();
    EXPECT_EQ(onDisk().size(), 1);
    EXPECT_FALSE(QFile::exists(png + ".removed"));
}

TEST_F(HistoryStoreTest, StartKeepsEveryUnnamedImageAndSweepsOnlyLoneThumbnails)
{
    for (const bool unreadable : {false, true}) {
        QTemporaryDir folder;
        const HistoryEntry named = [&] {
            HistoryStore::Options o;
            o.dir = folder.path();
            o.recognize = ocr.function();
            HistoryStore first(std::move(o));
            return first.add(capture(20, 20, 1, SourceKind::area));
        }();
        auto orphan = [&](const QString& name, int ageSeconds) {
            const QString path = folder.filePath(name);
            if (!QFile::exists(path))
                historyImage(8, 8).save(path, "PNG");
            QFile f(path);
            f.open(QIODevice::ReadWrite);
            f.setFileTime(QDateTime::currentDateTime().addSecs(-ageSeconds),
                          QFileDevice::FileModificationTime);
            return path;
        };
        const QString old = orphan(uuidText(QUuid::createUuid()) + ".png", 120);
        const QString oldThumb = orphan(uuidText(QUuid::createUuid()) + ".thumb.jpg", 120);
        const QString young = orphan(uuidText(QUuid::createUuid()) + ".png", 5);
        const QString foreign = orphan("holiday.png", 120);
        const QString namedPng = orphan(uuidText(named.id) + ".png", 120);
        if (unreadable) {
            ASSERT_TRUE(writeFileAtomically(folder.filePath("index.json"), "[{"));
        }

        HistoryStore::Options o;
        o.dir = folder.path();
        o.recognize = ocr.function();
        HistoryStore store(std::move(o));
        store.flush();
        EXPECT_TRUE(QFile::exists(old));
        EXPECT_NE(QFile::exists(oldThumb), !unreadable) << unreadable;
        EXPECT_TRUE(QFile::exists(young));
        EXPECT_TRUE(QFile::exists(foreign));
        EXPECT_TRUE(QFile::exists(namedPng));
        // Every UUID PNG is an entry, named by the index or not.
        EXPECT_EQ(store.entries().size(), 3);
        const QString notice = store.takeStartNotice();
        EXPECT_TRUE(notice.contains(unreadable ? "3 captures are back" : "2 captures are back"))
            << notice.toStdString();
        EXPECT_EQ(!store.keptBadIndex().isEmpty() && notice.contains(store.keptBadIndex()), unreadable);
        EXPECT_TRUE(store.takeStartNotice().isEmpty());
    }
}

TEST_F(HistoryStoreTest, RetentionReadsWholeNumbersLenientlyAndNeverDeletesMoreThanTheDefault)
{
    // history.days as written by hand; the entries are 40 and 400 days old.
    const QList<std::pair<QVariant, int>> table{
        {QVariant(365.0), 2},  {QVariant("1e3"), 3}, {QVariant(" 365.0 "), 2},
        {QVariant("soon"), 1}, {QVariant(2.5), 1},   {QVariant(0), 3},
    };
    for (const auto& [days, kept] : table) {
        QTemporaryDir folder;
        HistoryStore::Options o;
        o.dir = folder.path();
        o.now = clock.function();
        o.recognize = ocr.function();
        HistoryStore store(std::move(o));
        store.add(capture(8, 8, 1, SourceKind::area, clock.now.addDays(-400)));
        store.add(capture(8, 8, 1, SourceKind::area, clock.now.addDays(-40)));
        store.add(capture(8, 8, 1, SourceKind::area));
        Prefs::set(QStringLiteral("history.days"), days);
        store.prune();
        EXPECT_EQ(store.entries().size(), kept) << days.toString().toStdString();
        Prefs::set(QStringLiteral("history.days"), 0);
    }
}

TEST_F(HistoryStoreTest, RecognitionsRunInTurnFromTheFileAndAStaleOrFailedOneSetsNoText)
{
    auto store = makeStore();
    const HistoryEntry e = store->add(capture(200, 100, 1, SourceKind::area));
    const CaptureResult second = capture(120, 90, 1, SourceKind::area);
    const HistoryEntry failed = store->add(second);
    const HistoryEntry deleted = store->add(capture(50, 50, 1, SourceKind::area));
    store->update(e.id, historyImage(300, 100), 1.0);
    store->remove({deleted.id});
    store->flush();
    ASSERT_EQ(ocr.count(), 1);  // the waiting ones hold no image

    ocr.finish(0, QStringLiteral("original text"));  // e was updated since
    ASSERT_TRUE(test::waitFor([&] { return ocr.count() == 2; }));
    EXPECT_FALSE(store->entry(e.id)->ocrText.has_value());
    EXPECT_EQ(ocr.image(1).convertToFormat(QImage::Format_ARGB32),
              second.image.convertToFormat(QImage::Format_ARGB32));  // read back from its file
    ocr.finish(1, std::nullopt);
    ASSERT_TRUE(test::waitFor([&] { return ocr.count() == 3; }));  // the removed one is skipped
    EXPECT_EQ(ocr.image(2).size(), QSize(300, 100));
    ocr.finish(2, QString());
    ASSERT_TRUE(test::waitFor([&] { return store->entry(e.id)->ocrText.has_value(); }));
    EXPECT_EQ(store->entry(e.id)->ocrText, QString(""));  // no text is not a failure
    // The failed one is tried once more, after the others; failing again sets no text.
    ASSERT_TRUE(test::waitFor([&] { return ocr.count() == 4; }));
    EXPECT_EQ(ocr.image(3).size(), second.image.size());
    ocr.finish(3, std::nullopt);
    ASSERT_TRUE(test::waitFor([&] { return store->entry(failed.id)->textFailed; }));
    EXPECT_FALSE(store->entry(failed.id)->ocrText.has_value());
    EXPECT_EQ(store->entries().size(), 2);

    // A text set directly is newer than a recognition still running.
    store->update(e.id, historyImage(310, 100), 1.0);
    store->setOCR(e.id, QStringLiteral("typed"));
    ASSERT_TRUE(test::waitFor([&] { return ocr.count() == 5; }));
    ocr.finish(4, QStringLiteral("late"));
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(store->entry(e.id)->ocrText, QStringLiteral("typed"));
}

TEST_F(HistoryStoreTest, UpdateWritesTheNewScaleIntoEntryAndFile)
{
    auto store = makeStore();
    const HistoryEntry e = store->add(capture(400, 300, 2.0, SourceKind::area));
    store->update(e.id, historyImage(800, 600, Qt::darkGreen), 1.0);
    EXPECT_EQ(store->entry(e.id)->width, 800);
    EXPECT_EQ(store->entry(e.id)->scale, 1.0);
    EXPECT_EQ(store->loadImage(e.id)->image.size(), QSize(800, 600));  // before the file lands too
    store->flush();
    const QImage png(dir.filePath(uuidText(e.id) + ".png"));
    EXPECT_EQ(png.size(), QSize(800, 600));
    EXPECT_EQ(scaleFromDotsPerMeter(png.dotsPerMeterX()), 1.0);
    EXPECT_EQ(store->thumbnail(e.id).size(), QSize(520, 390));
    EXPECT_EQ(onDisk().first().scale, 1.0);

    const QStringList before = QDir(dir.path()).entryList(QDir::Files);
    store->update(QUuid::createUuid(), historyImage(10, 10), 1.0);
    store->flush();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), before);
}

TEST_F(HistoryStoreTest, DeletedEntryIsNotResurrectedByItsPendingFileWrite)
{
    auto store = makeStore();
    const HistoryEntry keep = store->add(capture(640, 480, 1, SourceKind::area));
    const HistoryEntry gone = store->add(capture(1600, 1200, 1, SourceKind::area));
    store->remove({gone.id, QUuid::createUuid()});
    store->flush();
    EXPECT_FALSE(QFile::exists(dir.filePath(uuidText(gone.id) + ".png")));
    EXPECT_FALSE(QFile::exists(dir.filePath(uuidText(gone.id) + ".thumb.jpg")));
    EXPECT_TRUE(QFile::exists(dir.filePath(uuidText(keep.id) + ".png")));
    EXPECT_FALSE(store->loadImage(gone.id).has_value());
    ASSERT_EQ(onDisk().size(), 1);
}

TEST_F(HistoryStoreTest, SearchMatchesTextsAndTheKindLabelInEachLanguage)
{
    auto store = makeStore();
    const HistoryEntry win = store->add(capture(20, 20, 1, SourceKind::window, {}, QStringLiteral("Mail")));
    const HistoryEntry area = store->add(capture(20, 20, 1, SourceKind::area));
    const HistoryEntry file = store->add(capture(20, 20, 1, SourceKind::file));
    store->setOCR(area.id, QStringLiteral("Invoice NUMBER 42"));
    store->setUploadURL(file.id, QStringLiteral("https://files.example.com/x.png"));
    store->setAISummary(win.id, QStringLiteral("A dialog about taxes"));
    store->toggleFavorite(area.id);

    auto ids = [&](const QString& q, bool fav = false) {
        QList<QUuid> out;
        for (const HistoryEntry& e : store->search(q, fav))
            out.append(e.id);
        return out;
    };
    EXPECT_EQ(ids(QStringLiteral("  WINDOW \t")), QList<QUuid>{win.id});
    EXPECT_EQ(ids(QStringLiteral("window\n")), QList<QUuid>{});  // line breaks are not trimmed
    EXPECT_EQ(ids(QStringLiteral("number 4")), QList<QUuid>{area.id});
    EXPECT_EQ(ids(QStringLiteral("TAXES")), QList<QUuid>{win.id});
    EXPECT_EQ(ids(QStringLiteral("example.com")), QList<QUuid>{file.id});
    EXPECT_EQ(ids(QString()), (QList<QUuid>{file.id, area.id, win.id}));
    EXPECT_EQ(ids(QString(), true), QList<QUuid>{area.id});
    EXPECT_EQ(ids(QStringLiteral("area"), true), QList<QUuid>{area.id});
    EXPECT_EQ(ids(QStringLiteral("window"), true), QList<QUuid>{});
    EXPECT_EQ(ids(QStringLiteral("a")), (QList<QUuid>{file.id, area.id, win.id}));  // every entry
    EXPECT_EQ(ids(QStringLiteral("a"), true), QList<QUuid>{area.id});

    Lang::overrideForTests(QStringLiteral("de"));
    EXPECT_EQ(ids(QStringLiteral("fenster")), QList<QUuid>{win.id});
    EXPECT_EQ(ids(QStringLiteral("Ablage")), QList<QUuid>{file.id});
    EXPECT_EQ(ids(QStringLiteral("bereich")), QList<QUuid>{area.id});
    EXPECT_EQ(ids(QStringLiteral("window")), QList<QUuid>{});

    Lang::overrideForTests(QStringLiteral("hu"));
    EXPECT_EQ(ids(QStringLiteral("ABLAK")), QList<QUuid>{win.id});
    EXPECT_EQ(ids(QStringLiteral("terület")), QList<QUuid>{area.id});
    EXPECT_EQ(ids(QStringLiteral("FÁJL")), QList<QUuid>{file.id});
}

// Keystrokes narrow the previous hits; a text change or a removal between two keystrokes
// must still show in the next result, which always equals a plain scan of the texts.
TEST_F(HistoryStoreTest, SearchWhileTypingEqualsAPlainScanAcrossChanges)
{
    auto store = makeStore();
    QList<HistoryEntry> added;
    for (int i = 0; i < 30; ++i) {
        added.append(store->add(capture(20, 20, 1, SourceKind::area)));
        store->setOCR(added.last().id, QStringLiteral("Invoice %1 paid, ref KX-%2").arg(i * 7 % 50).arg(i));
    }
    auto check = [&](const QString& q) {
        QList<QUuid> expected, got;
        for (const HistoryEntry& e : store->search(QString(), false))
            expected += store->searchText(e.id).contains(q.toLower()) ? QList<QUuid>{e.id} : QList<QUuid>{};
        for (const HistoryEntry& e : store->search(q, false))
            got.append(e.id);
        EXPECT_EQ(got, expected) << q.toStdString();
        return got.size();
    };
    for (const char* q : {"i", "in", "invoice 4", "invoice 42", "invoice 4", "paid, ref kx-1", "kx-", "x"})
        check(QString::fromLatin1(q));
    EXPECT_EQ(check(QStringLiteral("invoice 4")), 8);
    store->setOCR(added[0].id, QStringLiteral("invoice 42 again"));
    EXPECT_EQ(check(QStringLiteral("invoice 42")), 2);
    store->remove({added[6].id});
    EXPECT_EQ(check(QStringLiteral("invoice 42 ")), 1);
}

TEST(HistoryStoreFolder, DataDirVariableReplacesTheFolderUnlessEmpty)
{
    const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
    qputenv("KAPTORIX_DATA_DIR", "");
    EXPECT_EQ(HistoryStore::defaultDir(), xdg + "/Kaptorix/History");
    qputenv("KAPTORIX_DATA_DIR", "/tmp/kx-history-elsewhere/");
    EXPECT_EQ(HistoryStore::defaultDir(), QStringLiteral("/tmp/kx-history-elsewhere"));
    qunsetenv("KAPTORIX_DATA_DIR");
    EXPECT_EQ(HistoryStore::defaultDir(), xdg + "/Kaptorix/History");
}

TEST(HistoryImageWriter, NewestImageWinsAndForgottenIdsLeaveNoFiles)
{
    QTemporaryDir dir;
    ImageWriter writer(dir.path());
    const QUuid kept = QUuid::createUuid();
    const QUuid forgotten = QUuid::createUuid();
    // Writes of one id race on the pool (large first, small last: the last finishes encoding first).
    for (int i = 0; i < 8; ++i) {
        writer.write(kept, historyImage(2400 - i * 250, 1400, QColor(20 * i, 80, 120), i), 1.0);
        writer.write(forgotten, historyImage(2400 - i * 250, 1400, Qt::darkRed, i), 1.0);
    }
    writer.forget(forgotten);
    writer.removeFiles(forgotten);
    writer.wait();
    EXPECT_EQ(QImage(writer.pngPath(kept)).width(), 2400 - 7 * 250);
    EXPECT_FALSE(QFile::exists(writer.pngPath(forgotten)));
    EXPECT_FALSE(QFile::exists(writer.thumbnailPath(forgotten)));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
}
