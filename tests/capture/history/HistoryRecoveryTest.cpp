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
#include <QDir>
#include <QFile>
#include <QPromise>
#include <QSignalSpy>
#include <QTemporaryDir>

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
        // Rebuilt: kind "file", the image's size and scale, dated by the file.
        ASSERT_EQ(store->entries().size(), 2);
        for (const HistoryEntry& a : added) {
            const auto e = store->entry(a.id);
            ASSERT_TRUE(e.has_value());
            EXPECT_EQ(e->kind, SourceKind::file);
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
    EXPECT_TRUE(notice.contains("1 entries could not be read")) << notice.toStdString();
    EXPECT_TRUE(notice.contains(store->keptBadIndex())) << notice.toStdString();
    EXPECT_TRUE(notice.contains("1 entries of the capture history had no image")) << notice.toStdString();
    EXPECT_EQ(readFile(store->keptBadIndex()), text);
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
