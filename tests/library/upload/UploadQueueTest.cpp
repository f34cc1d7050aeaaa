#include "core/AtomicFile.h"
#include "core/Localisation.h"
#include "library/upload/UploadQueue.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>

using namespace kx;

namespace {

const QUuid kA = QUuid::fromString(QStringLiteral("7c1a2b3c-0000-4000-8000-00000000000a"));
const QUuid kB = QUuid::fromString(QStringLiteral("7c1a2b3c-0000-4000-8000-00000000000b"));

QByteArray read(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

}  // namespace

TEST(UploadQueue, WritesTheExactFormatAndReadsItBack)
{
    QTemporaryDir dir;
    UploadQueue queue(dir.path());
    queue.append({kA, "a/b \"x\".png", kB, queueDate(10), 1, "No route / host"});
    queue.append({kB, "é.png", std::nullopt, queueDate(0.25), 3, "x\ny"});
    EXPECT_EQ(read(queue.indexPath()),
              R"([{"id":"7C1A2B3C-0000-4000-8000-00000000000A","fileName":"a\/b \"x\".png",)"
              R"("entryID":"7C1A2B3C-0000-4000-8000-00000000000B","queuedAt":10,"attempts":1,)"
              R"("lastError":"No route \/ host"},{"id":"7C1A2B3C-0000-4000-8000-00000000000B",)"
              "\"fileName\":\"\xC3\xA9.png\",\"queuedAt\":0.25,\"attempts\":3,\"lastError\":\"x\\ny\"}]");
    EXPECT_EQ(UploadQueue(dir.path()).items(), queue.items());
    EXPECT_EQ(queueSeconds(QDateTime::fromString("2001-01-01T00:00:10Z", Qt::ISODate)), 10.0);
}

// Setting a bad file aside is the JSON store's (JsonStoreTest).
TEST(UploadQueue, DecodesItemByItemAndKeepsWhatItCannotRead)
{
    QTemporaryDir dir;
    const QString head =
        R"({"id":"7C1A2B3C-0000-4000-8000-00000000000A","fileName":"a.png","queuedAt":1,"attempts":1)";
    const QByteArray file =
        QString("[" + head + R"(,"lastError":"e"},)" + head + R"(,"entryID":null,"lastError":"e","x":1},)" +
                head + R"(},{"id":"nope","fileName":"a.png","queuedAt":1,"attempts":1,"lastError":"e"},)" +
                head + R"(,"entryID":"zz","lastError":"e"}])")
            .toUtf8();
    writeFileAtomically(dir.filePath("queue.json"), file);
    writeFileAtomically(dir.filePath("7C1A2B3C-0000-4000-8000-00000000000F.png"), "stray");
    UploadQueue queue(dir.path());
    ASSERT_EQ(queue.items().size(), 2);
    EXPECT_EQ(queue.items()[1].entryID, std::nullopt);
    EXPECT_EQ(queue.rejectedAtLoad(), 3);
    EXPECT_TRUE(QFile::exists(dir.filePath("7C1A2B3C-0000-4000-8000-00000000000F.png")));

    // Duplicate ids: a failure counts on the first, a removal takes both; a second removal
    // only rewrites the file.
    queue.recordFailure(kA, "later");
    EXPECT_EQ(queue.items()[0].attempts, 2);
    EXPECT_EQ(queue.items()[1].attempts, 1);
    queue.remove(kA);
    EXPECT_TRUE(queue.items().isEmpty());
    queue.remove(kA);
    EXPECT_EQ(read(queue.indexPath()), "[]");
}

TEST(UploadQueue, NoItemWithoutItsImageAndAFailedWriteIsRepeated)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("q");
    UploadQueue queue(path);
    const auto kept = queue.enqueue("png", "a.png", std::nullopt, "offline");
    ASSERT_TRUE(kept.has_value());
    EXPECT_EQ(read(queue.pngPath(*kept)), "png");

    // The folder turns into a file: nothing can be written there.
    QDir(path).removeRecursively();
    writeFileAtomically(path, "not a folder");
    QString why;
    EXPECT_FALSE(queue.enqueue("png", "b.png", std::nullopt, "offline", &why).has_value());
    EXPECT_FALSE(why.isEmpty());
    EXPECT_EQ(queue.items().size(), 1);
    queue.append({kB, "c.png", std::nullopt, queueDate(1), 1, "e"});
    EXPECT_EQ(queue.items().size(), 2);

    QFile::remove(path);
    QDir().mkpath(path);
    queue.recordFailure(*kept, "again");
    EXPECT_EQ(UploadQueue(path).items(), queue.items());
}

// An item the list on disk does not hold would be gone at the next start: when queue.json
// cannot be saved, enqueue says why and keeps nothing, image included; what was saved stays.
TEST(UploadQueue, AnItemThatCannotBeSavedIsNotKept)
{
    Lang::overrideForTests("en");
    const struct {
        const char* what;
        int error;
    } cases[] = {{"queue.lock unusable", EISDIR}, {"queue.json unwritable", ENOSPC}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        UploadQueue queue(dir.path());
        const QUuid kept = *queue.enqueue("png", "a.png", std::nullopt, "offline");
        const QByteArray saved = read(queue.indexPath());
        if (c.error == EISDIR)
            ASSERT_TRUE(QFile::remove(dir.filePath("queue.lock")) &&
                        QDir().mkpath(dir.filePath("queue.lock")));
        else
            failWritesAfter(3);  // the image is written, the list is not
        QString why;
        int changes = 0;
        QObject::connect(&queue, &UploadQueue::itemsChanged, [&] { ++changes; });
        EXPECT_FALSE(queue.enqueue("png", "b.png", std::nullopt, "offline", &why).has_value());
        failWritesAfter(-1);
        EXPECT_EQ(why,
                  "The upload queue could not be saved: " + QString::fromLocal8Bit(std::strerror(c.error)));
        ASSERT_EQ(queue.items().size(), 1);
        EXPECT_EQ(queue.items()[0].id, kept);
        EXPECT_EQ(QDir(dir.path()).entryList({"*.png"}, QDir::Files),
                  QStringList{queue.pngPath(kept).section('/', -1)});
        EXPECT_EQ(read(queue.indexPath()), saved);
        // Nothing waits to be written with the next change either.
        QDir(dir.filePath("queue.lock")).removeRecursively();
        queue.recordFailure(kept, "again");
        EXPECT_EQ(UploadQueue(dir.path()).items(), queue.items());
        EXPECT_EQ(queue.items().size(), 1);
    }
}

TEST(UploadQueue, ABadFileIsKeptAndTheUserToldOnceWhere)
{
    Lang::overrideForTests("en");
    QTemporaryDir dir;
    const QByteArray good =
        R"({"id":"7C1A2B3C-0000-4000-8000-00000000000A","fileName":"a.png","queuedAt":1,"attempts":1,"lastError":"e"})";
    struct Case {
        QByteArray bytes;
        bool renamed;
    };
    for (const Case& c : {Case{"[" + good + ",{\"id\":\"nope\"}]", false}, Case{"[" + good + ",", true}}) {
        QDir(dir.path()).removeRecursively();
        ASSERT_TRUE(writeFileAtomically(dir.filePath("queue.json"), c.bytes));
        UploadQueue queue(dir.path());
        ASSERT_FALSE(queue.keptAs().isEmpty());
        EXPECT_EQ(read(queue.keptAs()), c.bytes);
        EXPECT_EQ(QFile::exists(queue.indexPath()), !c.renamed);
        const QString notice = queue.takeStartNotice();
        EXPECT_TRUE(notice.contains(queue.keptAs())) << notice.toStdString();
        EXPECT_EQ(notice.contains("1 waiting upload"), !c.renamed) << notice.toStdString();
        EXPECT_TRUE(queue.takeStartNotice().isEmpty());
        // The next start finds the same partly bad file (nothing changed it) or none: it
        // was said already.
        EXPECT_TRUE(UploadQueue(dir.path()).takeStartNotice().isEmpty());
    }
    EXPECT_TRUE(UploadQueue(dir.path()).takeStartNotice().isEmpty());
}

// Two Kaptorix of one user (two X sessions, one home) share the queue folder: neither drops
// the other's items, a removal by one stays, and failures counted on either side add up.
TEST(UploadQueue, TwoInstancesKeepEachOthersItemsFailuresAndRemovals)
{
    QTemporaryDir dir;
    UploadQueue a(dir.path()), b(dir.path());
    QList<QUuid> ids;
    for (int i = 0; i < 20; ++i) {
        UploadQueue& q = i % 2 ? b : a;
        const auto id = q.enqueue("png" + QByteArray::number(i), QStringLiteral("%1.png").arg(i),
                                  std::nullopt, "offline");
        ASSERT_TRUE(id.has_value());
        ids << *id;
    }
    ASSERT_TRUE(test::waitFor([&] { return a.items().size() == 20 && b.items().size() == 20; }));
    a.recordFailure(ids[1], "a failed");
    b.recordFailure(ids[1], "b failed");
    b.remove(ids[0]);
    EXPECT_FALSE(QFile::exists(b.pngPath(ids[0])));
    // `a` writes before it has taken in the removal: it stays removed.
    a.recordFailure(ids[2], "again");
    ASSERT_TRUE(a.enqueue("late", "late.png", std::nullopt, "offline").has_value());

    const QList<PendingUpload> items = UploadQueue(dir.path()).items();
    ASSERT_EQ(items.size(), 20);
    EXPECT_EQ(items.first().id, ids[1]);
    EXPECT_EQ(items.first().attempts, 3);
    EXPECT_EQ(items.first().lastError, "b failed");
    EXPECT_EQ(items[1].attempts, 2);
    EXPECT_EQ(items.last().fileName, "late.png");
    for (const PendingUpload& p : items)
        EXPECT_TRUE(QFile::exists(a.pngPath(p.id))) << p.fileName.toStdString();
    ASSERT_TRUE(test::waitFor([&] { return a.items() == items && b.items() == items; }));
}

// Before a resend an item is claimed: the other Kaptorix does not send it while the claim is
// held, nor after it was sent (the claim is held until the removal is on disk). A failed send
// lets go of it.
TEST(UploadQueue, AnItemIsClaimedByOneInstanceUntilItsRemovalIsSaved)
{
    using State = UploadQueue::Claim::State;
    QTemporaryDir dir;
    UploadQueue a(dir.path()), b(dir.path());
    const QUuid x = *a.enqueue("x", "x.png", std::nullopt, "offline");
    const QUuid y = *a.enqueue("y", "y.png", std::nullopt, "offline");
    UploadQueue::Claim sending = a.claim(x);
    ASSERT_EQ(sending.state, State::claimed);
    EXPECT_EQ(b.claim(x).state, State::elsewhere);  // b has not taken in x yet: the claim looks
    UploadQueue::Claim failing = b.claim(y);
    ASSERT_EQ(failing.state, State::claimed);
    EXPECT_EQ(a.claim(y).state, State::elsewhere);
    failing = {};
    EXPECT_EQ(a.claim(y).state, State::claimed);

    // x was sent, but the disk is full: the queue on disk still names it, and its image stays.
    failWritesAfter(0);
    a.remove(x, std::move(sending.held));
    failWritesAfter(-1);
    ASSERT_TRUE(QFile::exists(a.pngPath(x)));
    EXPECT_EQ(b.claim(x).state, State::elsewhere);
    a.recordFailure(y, "again");
    EXPECT_FALSE(QFile::exists(a.pngPath(x)));
    EXPECT_EQ(b.claim(x).state, State::elsewhere);

    // The image of a queued item is gone or cannot be opened.
    QFile::remove(a.pngPath(y));
    EXPECT_EQ(b.claim(y).state, State::noImage);
    ASSERT_TRUE(QFile::link(a.pngPath(y), a.pngPath(y)));  // a link to itself
    const UploadQueue::Claim locked = b.claim(y);
    EXPECT_EQ(locked.state, State::unreadable);
    EXPECT_FALSE(locked.error.isEmpty());
}
