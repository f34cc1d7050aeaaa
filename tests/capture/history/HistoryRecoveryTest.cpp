// The history never loses its images: no sweep without an index read from disk, entries
// rebuilt from the images, no index entry without its image, failed writes reported.
#include "capture/history/HistoryIndex.h"
#include "capture/history/HistoryRecovery.h"
#include "capture/history/HistoryStore.h"
#include "core/AtomicFile.h"
#include "core/Localisation.h"
#include "core/Prefs.h"

#include "FileLimits.h"
#include "HistoryTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPromise>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>

using namespace kx;
using kx::test::historyImage;
using kx::test::readFile;

namespace {

bool isLink(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

void age(const QString& path, int seconds)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite)) << path.toStdString();
    f.setFileTime(QDateTime::currentDateTime().addSecs(-seconds), QFileDevice::FileModificationTime);
}

class HistoryRecoveryTest : public test::UnlimitedHistoryTest {
protected:
    std::unique_ptr<HistoryStore> makeStore(const QString& folder, int debounceMs = 0)
    {
        HistoryStore::Options o;
        o.dir = folder;
        o.recognize = ocr.function();
        o.debounceMs = debounceMs;
        return std::make_unique<HistoryStore>(std::move(o));
    }

    CaptureResult capture(int w, int h, double scale)
    {
        static int seed = 0;
        return CaptureResult{historyImage(w, h, QColor(40, 90, 160), ++seed), scale, SourceKind::area,
                             QStringLiteral("Title"), QDateTime::currentDateTimeUtc()};
    }

    test::FakeRecognizer ocr;
};

}  // namespace

TEST_F(HistoryRecoveryTest, WithoutAReadableIndexNothingIsSweptAndTheImagesComeBack)
{
    const QStringList cases{"missing", "dangling link", "link to itself", "unparseable"};
    for (const QString& how : cases) {
        SCOPED_TRACE(how.toStdString());
        QTemporaryDir folder;
        const QDir dir(folder.path());
        QList<HistoryEntry> added;
        {
            auto first = makeStore(folder.path());
            added << first->add(capture(64, 48, 2.0)) << first->add(capture(30, 20, 1.0));
            first->flush();
        }
        // Not an image: it is neither an entry nor swept.
        const QString notImage = dir.filePath(uuidText(QUuid::createUuid()) + ".png");
        ASSERT_TRUE(writeFileAtomically(notImage, "not a png"));
        QStringList files = dir.entryList({"*.png", "*.jpg"}, QDir::Files);
        ASSERT_EQ(files.size(), 5);
        for (const QString& f : files)
            age(dir.filePath(f), 600);  // older than any sweep would spare

        const QString index = dir.filePath("index.json");
        ASSERT_TRUE(QFile::remove(index));
        if (how == "dangling link") {
            ASSERT_EQ(::symlink("/nonexistent/kaptorix/index.json", QFile::encodeName(index).constData()), 0);
        } else if (how == "link to itself") {
            ASSERT_EQ(::symlink("index.json", QFile::encodeName(index).constData()), 0);
        } else if (how == "unparseable") {
            ASSERT_TRUE(writeFileAtomically(index, "[{\"id\":"));
        }

        auto store = makeStore(folder.path());
        store->flush();
        EXPECT_EQ(dir.entryList({"*.png", "*.jpg"}, QDir::Files), files);
        // Rebuilt: a capture of unknown kind ("area", no title), the image's size and scale,
        // dated by the file.
        ASSERT_EQ(store->entries().size(), 2);
        for (const HistoryEntry& a : added) {
            const auto e = store->entry(a.id);
            ASSERT_TRUE(e.has_value());
            EXPECT_EQ(e->kind, SourceKind::area);
            EXPECT_EQ(QSize(e->width, e->height), QSize(a.width, a.height));
            EXPECT_EQ(e->scale, a.scale);
            const QDateTime fileTime = QFileInfo(dir.filePath(uuidText(a.id) + ".png")).lastModified();
            EXPECT_EQ(e->date.toSecsSinceEpoch(), fileTime.toSecsSinceEpoch());
            EXPECT_FALSE(e->title.has_value());
        }
        const QString notice = store->takeStartNotice();
        if (how == "missing") {
            EXPECT_TRUE(notice.contains(folder.path())) << notice.toStdString();
        }
        EXPECT_TRUE(notice.contains("2 captures")) << notice.toStdString();
        EXPECT_EQ(store->startNoticeTitle(), "History restored from its images");
        EXPECT_TRUE(store->takeStartNotice().isEmpty());
        // What was at the path is kept, a link as a link.
        if (how != "missing") {
            ASSERT_FALSE(store->keptBadIndex().isEmpty());
            EXPECT_TRUE(notice.contains(store->keptBadIndex())) << notice.toStdString();
            EXPECT_EQ(isLink(store->keptBadIndex()), how.contains("link"));
        }
        // A new index names them, so the next start has nothing to say and nothing to sweep.
        EXPECT_FALSE(isLink(index));
        EXPECT_EQ(decodeIndex(readFile(index)).entries, store->entries());
        store.reset();
        auto next = makeStore(folder.path());
        next->flush();
        EXPECT_EQ(next->entries().size(), 2);
        EXPECT_TRUE(next->takeStartNotice().isEmpty());
        EXPECT_TRUE(QFile::exists(dir.filePath(uuidText(added[0].id) + ".thumb.jpg")));
    }
}

TEST_F(HistoryRecoveryTest, AnEntryReachesTheIndexOnlyAfterItsImage)
{
    QTemporaryDir folder;
    auto store = makeStore(folder.path());
    // The image's PNG is still being encoded (the clipboard's shared encode).
    QPromise<QByteArray> png;
    png.start();
    const HistoryEntry slow = store->add(capture(40, 30, 1.0), png.future());
    const HistoryEntry quick = store->add(capture(20, 10, 1.0));
    const bool quickWritten = test::waitFor(
        [&] { return decodeIndex(readFile(store->indexPath())).entries.value(0).id == quick.id; });
    const QList<HistoryEntry> early = decodeIndex(readFile(store->indexPath())).entries;
    png.addResult(QByteArray());  // empty: encoded by the writer itself
    png.finish();
    EXPECT_TRUE(quickWritten);
    EXPECT_EQ(early.size(), 1);             // the slow one waits for its image
    EXPECT_EQ(store->entries().size(), 2);  // but is shown already

    store->flush();
    const QList<HistoryEntry> onDisk = decodeIndex(readFile(store->indexPath())).entries;
    ASSERT_EQ(onDisk.size(), 2);
    EXPECT_EQ(onDisk[0].id, quick.id);  // the order of the history, not of the writes
    EXPECT_EQ(onDisk[1].id, slow.id);
    EXPECT_TRUE(QFile::exists(folder.filePath(uuidText(slow.id) + ".png")));
}

TEST_F(HistoryRecoveryTest, TheLaunchLeavesOutEntriesWithoutImageAndSaysWhatItLeftOut)
{
    QTemporaryDir folder;
    QList<HistoryEntry> added;
    {
        auto first = makeStore(folder.path());
        for (int i = 0; i < 3; ++i)
            added << first->add(capture(16, 16, 1.0));
        first->flush();
    }
    // A crash of an older version left an entry whose image never came; another record is bad.
    ASSERT_TRUE(QFile::remove(folder.filePath(uuidText(added[1].id) + ".png")));
    QByteArray text = readFile(folder.filePath("index.json"));
    text.chop(1);
    text += ",{\"id\":\"00C0FFEE-0000-4000-8000-000000000001\",\"kind\":\"hologram\"}]";
    ASSERT_TRUE(writeFileAtomically(folder.filePath("index.json"), text));

    auto store = makeStore(folder.path());
    store->dropEntriesWithoutImage();  // as the launch does
    store->flush();
    EXPECT_EQ(store->entries().size(), 2);
    EXPECT_FALSE(store->entry(added[1].id).has_value());
    EXPECT_FALSE(QFile::exists(folder.filePath(uuidText(added[1].id) + ".thumb.jpg")));
    const QString notice = store->takeStartNotice();
    EXPECT_EQ(store->startNoticeTitle(), "History partly unreadable");
    EXPECT_TRUE(notice.contains("1 entry could not be read")) << notice.toStdString();
    EXPECT_TRUE(notice.contains(store->keptBadIndex())) << notice.toStdString();
    EXPECT_TRUE(notice.contains("1 entry of the capture history had no image")) << notice.toStdString();
    // The kept copy keeps what the program could not read, but not the entry left out: gone
    // from the history, it goes from the copy as a deletion does.
    const QByteArray kept = readFile(store->keptBadIndex());
    EXPECT_FALSE(kept.contains(uuidText(added[1].id).toLatin1())) << kept.constData();
    EXPECT_TRUE(kept.contains("hologram"));
    EXPECT_TRUE(kept.contains(uuidText(added[0].id).toLatin1()));
    EXPECT_EQ(decodeIndex(readFile(store->indexPath())).entries, store->entries());
    store.reset();
    // Told once: the next start finds a clean index.
    auto next = makeStore(folder.path());
    next->dropEntriesWithoutImage();
    EXPECT_EQ(next->entries().size(), 2);
    EXPECT_TRUE(next->takeStartNotice().isEmpty());
}

TEST_F(HistoryRecoveryTest, ACaptureWhoseImageCannotBeWrittenIsDroppedAndReported)
{
    for (const QString how : {"full disk", "folder gone"}) {
        SCOPED_TRACE(how.toStdString());
        QTemporaryDir folder;
        const QString path = folder.filePath("History");
        auto store = makeStore(path);
        const HistoryEntry kept = store->add(capture(16, 16, 1.0));
        store->flush();
        QSignalSpy dropped(store.get(), &HistoryStore::captureDropped);
        HistoryEntry lost;
        {
            std::optional<test::FileSizeLimit> limit;
            if (how == "full disk") {
                limit.emplace(4096);
            } else {
                ASSERT_TRUE(QDir(path).removeRecursively());
                ASSERT_TRUE(writeFileAtomically(path, "a file where the folder was"));
            }
            // Noise does not compress: its PNG is far over the limit.
            lost = store->add(CaptureResult{test::noiseImage(QSize(200, 200), 7),
                                            1.0,
                                            SourceKind::area,
                                            {},
                                            QDateTime::currentDateTimeUtc()});
            store->flush();
        }
        ASSERT_EQ(dropped.count(), 1);
        EXPECT_EQ(dropped.first().at(0).toUuid(), lost.id);
        const QString reason = dropped.first().at(1).toString();
        EXPECT_TRUE(reason.startsWith("The image file could not be written in " + path))
            << reason.toStdString();
        EXPECT_TRUE(reason.contains(how == "full disk" ? "too large" : "directory")) << reason.toStdString();
        EXPECT_FALSE(store->entry(lost.id).has_value());
        ASSERT_TRUE(store->entry(kept.id).has_value());
        if (how == "full disk") {
            store->toggleFavorite(kept.id);
            store->flush();
            const QList<HistoryEntry> onDisk = decodeIndex(readFile(store->indexPath())).entries;
            ASSERT_EQ(onDisk.size(), 1);
            EXPECT_EQ(onDisk.first().id, kept.id);
        }
    }
}

namespace {

QJsonArray indexArray(const QString& path)
{
    return QJsonDocument::fromJson(readFile(path)).array();
}

void writeArray(const QString& path, const QJsonArray& records)
{
    ASSERT_TRUE(writeFileAtomically(path, QJsonDocument(records).toJson(QJsonDocument::Compact)));
}

void ageAll(const QDir& dir, int seconds)
{
    for (const QString& f : dir.entryList({"*.png", "*.jpg"}, QDir::Files))
        age(dir.filePath(f), seconds);
}

}  // namespace

TEST_F(HistoryRecoveryTest, ACaptureTheIndexDidNotNameYetComesBackAMinuteLater)
{
    QTemporaryDir folder;
    const QDir dir(folder.path());
    HistoryEntry kept, unnamed;
    {
        auto first = makeStore(folder.path());
        kept = first->add(capture(40, 30, 1.0));
        unnamed = first->add(capture(64, 48, 2.0));
        first->flush();
    }
    // Killed after the image was written, before the index named it; its thumbnail lost too.
    QJsonArray records = indexArray(dir.filePath("index.json"));
    records.removeAt(0);
    writeArray(dir.filePath("index.json"), records);
    const QString thumb = dir.filePath(uuidText(unnamed.id) + ".thumb.jpg");
    ASSERT_TRUE(QFile::remove(thumb));
    ageAll(dir, 120);

    auto store = makeStore(folder.path());
    store->dropEntriesWithoutImage();
    store->prune();
    store->flush();
    ASSERT_EQ(store->entries().size(), 2);
    const auto back = store->entry(unnamed.id);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(QSize(back->width, back->height), QSize(64, 48));
    EXPECT_EQ(back->scale, 2.0);
    EXPECT_TRUE(QFile::exists(dir.filePath(uuidText(unnamed.id) + ".png")));
    EXPECT_FALSE(QImage(thumb).isNull()) << "the thumbnail is made again";
    EXPECT_EQ(decodeIndex(readFile(store->indexPath())).entries, store->entries());
    EXPECT_TRUE(store->takeStartNotice().contains("1 capture is back"));
}

TEST_F(HistoryRecoveryTest, RecordsABadIndexLeftOutComeBackWithWhatTheyStillSay)
{
    QTemporaryDir folder;
    const QDir dir(folder.path());
    QList<HistoryEntry> added;
    {
        auto first = makeStore(folder.path());
        for (int i = 0; i < 3; ++i)
            added << first->add(capture(30 + i, 20, 1.0));
        first->toggleFavorite(added[2].id);
        first->setUploadURL(added[2].id, "https://example.invalid/a.png");
        first->setOCR(added[2].id, "invoice 42");
        first->setAISummary(added[1].id, "a chart");
        first->flush();
    }
    QJsonArray records = indexArray(dir.filePath("index.json"));  // newest first: 2, 1, 0
    ASSERT_EQ(records.size(), 3);
    QJsonObject starred = records[0].toObject(), dated = records[1].toObject();
    starred["width"] = "wide";
    dated["date"] = QJsonArray{1, 2};
    records[0] = starred;
    records[1] = dated;
    writeArray(dir.filePath("index.json"), records);
    ageAll(dir, 600);

    auto store = makeStore(folder.path());
    store->flush();
    const QString notice = store->takeStartNotice();
    EXPECT_TRUE(notice.contains("2 entries could not be read")) << notice.toStdString();
    EXPECT_TRUE(notice.contains("2 captures are back")) << notice.toStdString();
    ASSERT_EQ(store->entries().size(), 3);
    const auto s = store->entry(added[2].id);
    ASSERT_TRUE(s.has_value());
    EXPECT_TRUE(s->favorite);
    EXPECT_EQ(s->width, 32);  // the image's, not the damaged value
    EXPECT_EQ(s->date, added[2].date.addMSecs(-added[2].date.time().msec()));
    EXPECT_EQ(s->kind, SourceKind::area);
    EXPECT_EQ(s->title, "Title");
    EXPECT_EQ(s->ocrText, "invoice 42");
    EXPECT_EQ(s->uploadURL, "https://example.invalid/a.png");
    EXPECT_EQ(store->entry(added[1].id)->aiSummary, "a chart");

    // One more capture and another start: nothing is swept, nothing more to say.
    store->add(capture(10, 10, 1.0));
    store->flush();
    store.reset();
    auto next = makeStore(folder.path());
    next->flush();
    EXPECT_EQ(next->entries().size(), 4);
    for (const HistoryEntry& a : added)
        EXPECT_TRUE(QFile::exists(dir.filePath(uuidText(a.id) + ".png")));
    EXPECT_TRUE(next->takeStartNotice().isEmpty());
}

TEST_F(HistoryRecoveryTest, ARebuiltHistoryKeepsItsStarsAndTheLaunchPrunesNoneOfIt)
{
    QTemporaryDir folder;
    const QDir dir(folder.path());
    const QDateTime old = QDateTime::currentDateTimeUtc().addDays(-60);
    HistoryEntry starred, plain, cut;
    {
        auto first = makeStore(folder.path());
        const auto at = [&](const QDateTime& date) {
            return first->add(CaptureResult{historyImage(20, 20), 1.0, SourceKind::window, "T", date});
        };
        cut = at(old);
        plain = at(old);
        starred = at(old);
        first->toggleFavorite(starred.id);
        first->flush();
    }
    // Cut short inside its last record: not an array any more.
    QByteArray text = readFile(dir.filePath("index.json"));
    ASSERT_TRUE(writeFileAtomically(dir.filePath("index.json"), text.left(text.lastIndexOf("\"id\"") + 12)));
    for (const QString& f : dir.entryList({"*.png", "*.jpg"}, QDir::Files))
        age(dir.filePath(f), 60 * 86400);
    Prefs::set(QStringLiteral("history.days"), 30);

    auto store = makeStore(folder.path());
    store->dropEntriesWithoutImage();  // as the launch does
    store->prune();
    store->flush();
    EXPECT_EQ(store->entries().size(), 3);
    ASSERT_TRUE(store->entry(starred.id).has_value());
    EXPECT_TRUE(store->entry(starred.id)->favorite);
    EXPECT_EQ(store->entry(plain.id)->kind, SourceKind::window);
    EXPECT_EQ(store->entry(cut.id)->kind, SourceKind::area);  // its record was cut
    EXPECT_TRUE(store->takeStartNotice().startsWith("3 captures are back"));

    // The next capture applies the limits again: the old plain ones go, the star stays.
    store->add(capture(10, 10, 1.0));
    store->flush();
    EXPECT_EQ(store->entries().size(), 2);
    EXPECT_TRUE(store->entry(starred.id).has_value());
}

TEST_F(HistoryRecoveryTest, EntriesWithoutTextAreReadAtStartAndATwiceFailedOneIsMarked)
{
    QTemporaryDir folder;
    HistoryEntry older, newer, read;
    {
        auto first = makeStore(folder.path());
        read = first->add(capture(12, 12, 1.0));
        older = first->add(capture(14, 14, 1.0));
        newer = first->add(capture(16, 16, 1.0));
        first->flush();
        ASSERT_TRUE(test::waitFor([&] { return ocr.count() == 1; }));
        ocr.finish(0, QStringLiteral("done"));
        ASSERT_TRUE(test::waitFor([&] { return first->entry(read.id)->ocrText.has_value(); }));
        first->flush();  // quit: the other two readings are dropped
    }
    auto sizeOf = [](const test::FakeRecognizer& r, qsizetype i) { return r.image(i).size(); };
    test::FakeRecognizer second;
    {
        HistoryStore::Options o;
        o.dir = folder.path();
        o.recognize = second.function();
        o.debounceMs = 0;
        HistoryStore store(std::move(o));
        ASSERT_TRUE(test::waitFor([&] { return second.count() == 1; }));
        EXPECT_EQ(sizeOf(second, 0), QSize(16, 16));  // newest first
        second.finish(0, std::nullopt);               // fails: tried again after the others
        ASSERT_TRUE(test::waitFor([&] { return second.count() == 2; }));
        EXPECT_EQ(sizeOf(second, 1), QSize(14, 14));
        second.finish(1, QStringLiteral("older text"));
        ASSERT_TRUE(test::waitFor([&] { return second.count() == 3; }));
        EXPECT_EQ(sizeOf(second, 2), QSize(16, 16));
        second.finish(2, std::nullopt);
        ASSERT_TRUE(test::waitFor([&] { return store.entry(newer.id)->textFailed; }));
        store.flush();
        EXPECT_EQ(store.entry(older.id)->ocrText, "older text");
        EXPECT_FALSE(store.entry(newer.id)->ocrText.has_value());
        EXPECT_TRUE(readFile(store.indexPath()).contains("\"ocrFailed\":true"));
    }
    // Marked failed and read ones are not read again. A capture without text, older than
    // all of them (so read last), shows when the readings queued at start have reached the
    // recogniser: it must be the only one.
    const QUuid unread = QUuid::createUuid();
    const QString unreadPng = folder.filePath(uuidText(unread) + ".png");
    ASSERT_TRUE(historyImage(19, 11).save(unreadPng));
    age(unreadPng, 86400);
    test::FakeRecognizer third;
    HistoryStore::Options o;
    o.dir = folder.path();
    o.recognize = third.function();
    HistoryStore store(std::move(o));
    ASSERT_TRUE(test::waitFor([&] { return third.count() >= 1; }));
    EXPECT_EQ(sizeOf(third, 0), QSize(19, 11));
    third.finish(0, QStringLiteral("unread text"));
    ASSERT_TRUE(test::waitFor([&] { return store.entry(unread)->ocrText.has_value(); }));
    store.flush();
    EXPECT_EQ(third.count(), 1);
    EXPECT_TRUE(store.entry(newer.id)->textFailed);
}

TEST_F(HistoryRecoveryTest, AReallyFullFilesystemKeepsTheLastIndexAndSaysSo)
{
    test::FullFilesystem disk;
    if (!disk.mounted())
        GTEST_SKIP() << "no tmpfs could be mounted here (" << disk.why().toStdString() << ")";
    const QString path = disk.path() + "/History";
    auto store = makeStore(path);
    const HistoryEntry a = store->add(capture(16, 16, 1.0));
    store->toggleFavorite(a.id);
    store->flush();
    const QByteArray good = readFile(store->indexPath());
    ASSERT_TRUE(good.contains("\"favorite\":true"));
    ASSERT_TRUE(disk.fill());

    QSignalSpy failed(store.get(), &HistoryStore::indexWriteFailed);
    QSignalSpy dropped(store.get(), &HistoryStore::captureDropped);
    store->setOCR(a.id, "text");
    store->add(CaptureResult{
        test::noiseImage(QSize(120, 120), 3), 1.0, SourceKind::area, {}, QDateTime::currentDateTimeUtc()});
    store->flush();
    store->toggleFavorite(a.id);
    store->flush();
    EXPECT_EQ(readFile(store->indexPath()), good);
    ASSERT_EQ(failed.count(), 1) << "said once per run of failures";
    const QString reason = failed.first().at(0).toString();
    EXPECT_TRUE(reason.contains(QString::fromLocal8Bit(std::strerror(ENOSPC)))) << reason.toStdString();
    EXPECT_EQ(dropped.count(), 1);
    // No file of the history was left empty or cut (the lock beside them is empty).
    for (const QFileInfo& f : QDir(path).entryInfoList(QDir::Files | QDir::Hidden))
        if (f.fileName() != "index.lock")
            EXPECT_GT(f.size(), 0) << f.fileName().toStdString();
    EXPECT_EQ(QDir(path).entryList(QDir::Files | QDir::Hidden).size(), 4);  // png, thumb, index, lock
}

TEST_F(HistoryRecoveryTest, AHistoryFolderThatCannotBeMadeIsReportedWithItsReason)
{
    test::FullFilesystem disk;
    if (!disk.mounted())
        GTEST_SKIP() << "no tmpfs could be mounted here (" << disk.why().toStdString() << ")";
    ASSERT_TRUE(disk.makeReadOnly());
    const QString path = disk.path() + "/History";
    QString why;
    EXPECT_FALSE(makePrivateFolder(path, &why));
    EXPECT_EQ(why, QString::fromLocal8Bit(std::strerror(EROFS)));
    auto store = makeStore(path);
    QSignalSpy dropped(store.get(), &HistoryStore::captureDropped);
    store->add(capture(16, 16, 1.0));
    store->flush();
    ASSERT_EQ(dropped.count(), 1);
    const QString reason = dropped.first().at(1).toString();
    EXPECT_TRUE(reason.endsWith(QString::fromLocal8Bit(std::strerror(EROFS)))) << reason.toStdString();
}

// A removal is on disk before the index: a stop before or after the index write leaves the
// capture removed, never brought back as one the index lost.
TEST_F(HistoryRecoveryTest, ARemovalCutShortByAStopStaysARemoval)
{
    for (const bool indexWritten : {false, true}) {
        SCOPED_TRACE(indexWritten);
        QTemporaryDir folder;
        const QDir dir(folder.path());
        HistoryEntry kept, removed;
        QByteArray before;
        {
            auto first = makeStore(folder.path(), 3600000);
            kept = first->add(capture(20, 20, 1.0));
            removed = first->add(capture(30, 30, 1.0));
            first->flush();
            before = readFile(first->indexPath());
            first->remove({removed.id});
            if (indexWritten) {
                // The index without it is on disk; the files were not removed yet.
                ASSERT_TRUE(writeIndex(first->indexPath(), first->entries()));
            }
            // Stopped here, as by a kill: never flushed nor destroyed (its next index write
            // is an hour away).
            first.release();
        }
        ASSERT_EQ(decodeIndex(readFile(dir.filePath("index.json"))).entries.size(), indexWritten ? 1 : 2);
        ageAll(dir, 600);

        auto store = makeStore(folder.path());
        store->dropEntriesWithoutImage();
        store->flush();
        ASSERT_EQ(store->entries().size(), 1);
        EXPECT_EQ(store->entries().first().id, kept.id);
        EXPECT_TRUE(store->takeStartNotice().isEmpty());
        EXPECT_EQ(decodeIndex(readFile(store->indexPath())).entries, store->entries());
        EXPECT_EQ(dir.entryList({uuidText(removed.id) + "*"}, QDir::Files), QStringList());
    }
}
