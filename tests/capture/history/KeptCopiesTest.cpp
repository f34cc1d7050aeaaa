// What a deleted capture leaves in the copies kept aside and in the journals: record by
// record, byte for byte around them; and journals, damaged ones included, read in pieces.
#include "capture/history/HistoryIndex.h"
#include "capture/history/HistoryJournal.h"
#include "capture/history/HistoryStore.h"
#include "capture/history/KeptCopies.h"
#include "core/AtomicFile.h"

#include "FileLimits.h"
#include "HistoryTestSupport.h"
#include "tests/core/PeakMemory.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTemporaryDir>

using namespace kx;
using kx::test::readFile;

namespace {

HistoryEntry record(char letter, const QString& title)
{
    HistoryEntry e;
    e.id = QUuid::fromString(QStringLiteral("%1%1%1%1%1%1%1%1-0000-4000-8000-000000000000").arg(letter));
    e.date = QDateTime(QDate(2026, 2, 3), QTime(4, 5, 6), Qt::UTC);
    e.width = 40;
    e.height = 30;
    e.kind = SourceKind::window;
    e.title = title;
    e.ocrText = title + QStringLiteral(" text");
    return e;
}

const HistoryEntry kA = record('a', "Alpha"), kB = record('b', "Bravo"), kC = record('c', "Charlie"),
                   kE = record('e', "Echo");

QByteArray json(const HistoryEntry& e)
{
    QByteArray out;
    appendEntryJson(out, e);
    return out;
}

// "{A}" in a template stands for A's record, "<B>" for B's id.
QByteArray expand(QByteArray text)
{
    for (const HistoryEntry* e : {&kA, &kB, &kC, &kE}) {
        const char letter = char(e->title->at(0).toLatin1());
        text.replace(QByteArray("{") + letter + "}", json(*e));
        text.replace(QByteArray("<") + letter + ">", uuidText(e->id).toLatin1());
    }
    return text;
}

QSet<QUuid> idsOf(const char* letters)
{
    QSet<QUuid> out;
    for (const HistoryEntry* e : {&kA, &kB, &kC, &kE})
        if (std::strchr(letters, e->title->at(0).toLatin1()))
            out.insert(e->id);
    return out;
}

struct CopyCase {
    const char* name;
    const char* file;  // index.json.bad-… or index.….journal.bad-…
    const char* before;
    const char* removed;
    const char* indexed;
    const char* after;  // nullptr: the copy is gone
};

const CopyCase kCopyCases[] = {
    {"a middle record goes with the comma after it", "index.json.bad-1", "[{A},{B},{C}]", "B", "",
     "[{A},{C}]"},
    {"the last record takes the comma before it", "index.json.bad-1", "[{A},{B},{C}]", "C", "", "[{A},{B}]"},
    {"first and last", "index.json.bad-1", "[{A},{B},{C}]", "AC", "", "[{B}]"},
    {"the last two take the comma before them", "index.json.bad-1", "[{A},{B},{C}]", "BC", "", "[{A}]"},
    {"the last two with blanks between", "index.json.bad-1", "[{A}, {B}, {C}]", "BC", "", "[{A}  ]"},
    {"every record but the first", "index.json.bad-1", "[{A},{B},{C},{E}]", "BCE", "", "[{A}]"},
    {"two in the middle", "index.json.bad-1", "[{A},{B},{C},{E}]", "BC", "", "[{A},{E}]"},
    {"blanks stay where they were", "index.json.bad-1", "[{A}, {B},\n {C}]", "B", "", "[{A}, \n {C}]"},
    {"a record cut short that names a removed capture", "index.json.bad-1",
     "[{A},{\"id\":\"<B>\",\"title\":\"Bra", "B", "", "[{A}"},
    {"junk naming a removed capture keeps only its commas", "index.json.bad-1", "[{A},#<B>#,{C}]", "B", "",
     "[{A},,{C}]"},
    {"junk that names nobody keeps the copy as it is", "index.json.bad-1", "[{A},{B},#?#]", "", "AB",
     "[{A},{B},#?#]"},
    {"nothing left that matters: the copy goes", "index.json.bad-1", "[{A},{B}]", "B", "A", nullptr},
    {"a record cut before its id ended matters to nobody", "index.json.bad-1", "[{A},{B},{\"id\":\"7C1A", "B",
     "A", nullptr},
    {"a record cut inside its first key", "index.json.bad-1", "[{A},{B},{\"i", "B", "A", nullptr},
    {"a record neither removed nor indexed keeps the copy", "index.json.bad-1", "[{A},{B},{E}]", "B", "A",
     "[{A},{E}]"},
    {"journal lines", "index.4f2a.journal.bad-2", "{A}\n{B}\n{C}\n", "B", "", "{A}\n{C}\n"},
    {"a journal line that is no record but names a removed capture", "index.4f2a.journal.bad-2",
     "{A}\n#<B>#\n{E}", "B", "", "{A}\n{E}"},
    {"a journal with a cut line and every other record indexed", "index.4f2a.journal.bad-2",
     "{A}\n{B}\n{\"id\":\"7C1A", "B", "A", nullptr},
};

}  // namespace

TEST(KeptCopies, RecordsOfRemovedCapturesGoAndEveryOtherByteStays)
{
    for (const CopyCase& c : kCopyCases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(c.file);
        ASSERT_TRUE(writeFileAtomically(path, expand(c.before)));
        const CopyCleaning done = forgetInKeptCopies(dir.path(), idsOf(c.removed), idsOf(c.indexed));
        EXPECT_TRUE(done.failed.isEmpty()) << done.error.toStdString();
        if (!c.after) {
            EXPECT_FALSE(QFile::exists(path));
            EXPECT_EQ(done.dropped, 1);
        } else {
            EXPECT_EQ(readFile(path), expand(c.after));
            // A copy that was JSON stays JSON.
            QJsonParseError before, after;
            QJsonDocument::fromJson(expand(c.before), &before);
            QJsonDocument::fromJson(readFile(path), &after);
            if (before.error == QJsonParseError::NoError) {
                EXPECT_EQ(after.error, QJsonParseError::NoError) << readFile(path).toStdString();
            }
        }
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), c.after ? 1 : 0)
            << "no temporary file is left";
    }
}

TEST(KeptCopies, ARecordTooLongToParseGoesByItsIdAndAFailedRewriteLeavesTheCopy)
{
    QTemporaryDir dir;
    HistoryEntry big = kB;
    big.title = QString(9 << 20, QLatin1Char('x'));  // beyond what is parsed
    const QString path = dir.filePath("index.json.bad-20260101-000000");
    const QByteArray before = "[" + json(kA) + "," + json(big) + "]";
    ASSERT_TRUE(writeFileAtomically(path, before));
    {
        // The disk fills up while the copy is written anew.
        test::FileSizeLimit full(64);
        const CopyCleaning failed = forgetInKeptCopies(dir.path(), {kB.id}, {});
        ASSERT_EQ(failed.failed, QStringList{path});
        EXPECT_FALSE(failed.error.isEmpty());
    }
    EXPECT_EQ(readFile(path), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    const CopyCleaning done = forgetInKeptCopies(dir.path(), {kB.id}, {});
    EXPECT_EQ(done.rewritten, 1);
    EXPECT_EQ(readFile(path), "[" + json(kA) + "]");
}

TEST(KeptCopies, ACopyOfHundredsOfMegabytesIsReadInPieces)
{
    QTemporaryDir dir;
    // 128 MB of damage (a hole: no disk is spent on it), then a record that still matters.
    const QString path = dir.filePath("index.77aa.journal.bad-20260101-000000");
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    const QByteArray line = "\n" + json(kE) + "\n";
    ASSERT_EQ(::pwrite(fd, line.constData(), size_t(line.size()), qint64(128) << 20), line.size());
    ::close(fd);
    const long start = test::resetPeakMb();
    const CopyCleaning done = forgetInKeptCopies(dir.path(), {kB.id}, {kA.id});
    EXPECT_LT(test::statusMb("VmHWM:") - start, 40) << "the copy was held in memory";
    EXPECT_TRUE(done.failed.isEmpty());
    EXPECT_EQ(done.dropped + done.rewritten, 0);
    EXPECT_TRUE(QFile::exists(path));
}

TEST(HistoryJournal, APurgedCaptureLeavesNoLineRetiredOrNotAndTextsAreNeverJournaled)
{
    QTemporaryDir dir;
    HistoryJournal journal(dir.path());
    for (const HistoryEntry& e : {kA, kB, kC})
        ASSERT_TRUE(journal.append(e));
    const QString path = journal.path();
    EXPECT_FALSE(readFile(path).contains("Alpha text"));
    // A is in the index already: its line stays in the file until the file is written anew.
    journal.retire({kA.id});
    journal.purge({kA.id});
    const QString now = journal.path();
    const QByteArray left = readFile(now);
    EXPECT_FALSE(left.contains("Alpha")) << left.constData();
    EXPECT_FALSE(left.contains(uuidText(kA.id).toLatin1()));
    const QHash<QUuid, HistoryEntry> read = HistoryJournal::read(now);
    EXPECT_EQ(read.size(), 2);
    EXPECT_EQ(read.value(kC.id).title, "Charlie");
    journal.purge({kB.id, kC.id});
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

namespace {
class HistoryJournalStart : public test::UnlimitedHistoryTest {};
}  // namespace

TEST_F(HistoryJournalStart, ADamagedJournalOfAQuarterGigabyteIsReadInPieces)
{
    QTemporaryDir dir;
    // A capture stopped before the index named it, whose record follows 256 MB of damage
    // (a hole in the file: no disk is spent on it).
    HistoryEntry lost = kE;
    lost.ocrText.reset();
    ASSERT_TRUE(test::historyImage(40, 30).save(dir.filePath(uuidText(lost.id) + ".png")));
    const QString path = dir.filePath("index.5eed.journal");
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    const qint64 damage = qint64(256) << 20;
    const QByteArray line = "\n" + json(lost) + "\n";
    ASSERT_EQ(::pwrite(fd, line.constData(), size_t(line.size()), damage), line.size());
    ::close(fd);

    const long start = test::resetPeakMb();
    test::FakeRecognizer ocr;
    HistoryStore::Options o;
    o.dir = dir.path();
    o.recognize = ocr.function();
    HistoryStore store(o);
    EXPECT_LT(test::statusMb("VmHWM:") - start, 64) << "the damage was held in memory";
    ASSERT_TRUE(store.entry(lost.id).has_value());
    EXPECT_EQ(store.entry(lost.id)->title, "Echo");
    EXPECT_EQ(store.entry(lost.id)->kind, SourceKind::window);
    EXPECT_EQ(QDir(dir.path()).entryList({"index.5eed.journal.bad-*"}, QDir::Files).size(), 1);
}

namespace {
class KeptCopiesStore : public test::UnlimitedHistoryTest {};
}  // namespace

TEST_F(KeptCopiesStore, ACopyThatCannotBeWrittenAnewIsToldOnceAndTriedAgainAtTheNextWrite)
{
    QTemporaryDir dir;
    test::FakeRecognizer ocr;
    HistoryStore::Options o;
    o.dir = dir.path();
    o.recognize = ocr.function();
    o.debounceMs = 0;
    HistoryStore store(o);
    const HistoryEntry doomed = store.add({test::historyImage(30, 20), 1, SourceKind::window,
                                           QStringLiteral("Doomed title"), QDateTime::currentDateTimeUtc()});
    const HistoryEntry kept = store.add({test::historyImage(30, 20), 1, SourceKind::window,
                                         QStringLiteral("Kept title"), QDateTime::currentDateTimeUtc()});
    store.flush();
    // A copy of an index that named both and a capture this one never read.
    const QString copy = dir.filePath("index.json.bad-20260101-000000");
    ASSERT_TRUE(writeFileAtomically(copy, encodeIndex({kept, doomed, kE})));
    QSignalSpy told(&store, &HistoryStore::copiesNotCleaned);
    {
        // Room for the index, not for the copy written anew.
        test::FileSizeLimit full(encodeIndex({kept}).size() + 16);
        store.remove({doomed.id});
        store.flush();
    }
    ASSERT_EQ(told.count(), 1);
    EXPECT_TRUE(told.first().at(0).toString().contains(QFileInfo(copy).fileName()))
        << told.first().at(0).toString().toStdString();
    EXPECT_TRUE(readFile(copy).contains("Doomed title"));
    EXPECT_FALSE(readFile(store.indexPath()).contains("Doomed title"));
    store.toggleFavorite(kept.id);
    store.flush();
    EXPECT_EQ(readFile(copy), encodeIndex({kept, kE}));
    EXPECT_EQ(told.count(), 1) << "told once";
}

TEST_F(KeptCopiesStore, ADeletionTheCopyCouldNotTakeOutlivesAQuitAndIsToldAndDoneAtEachStart)
{
    QTemporaryDir dir;
    test::FakeRecognizer ocr;
    HistoryStore::Options o;
    o.dir = dir.path();
    o.recognize = ocr.function();
    o.debounceMs = 0;
    const QString copy = dir.filePath("index.json.bad-20260101-000000");
    HistoryEntry doomed, kept;
    {
        std::optional<test::FileSizeLimit> full;  // outlives the store: the disk is full at the quit
        HistoryStore store(o);
        doomed = store.add({test::historyImage(30, 20), 1, SourceKind::window, QStringLiteral("Doomed title"),
                            QDateTime::currentDateTimeUtc()});
        kept = store.add({test::historyImage(30, 20), 1, SourceKind::window, QStringLiteral("Kept title"),
                          QDateTime::currentDateTimeUtc()});
        store.flush();
        ASSERT_TRUE(writeFileAtomically(copy, encodeIndex({kept, doomed, kE})));
        full.emplace(encodeIndex({kept}).size() + 16);
        store.remove({doomed.id});
        store.flush();
    }  // quit
    ASSERT_TRUE(readFile(copy).contains("Doomed title"));
    for (const bool room : {false, true}) {
        SCOPED_TRACE(room ? "a start with room" : "a start with the disk still full");
        std::optional<test::FileSizeLimit> full;
        if (!room)
            full.emplace(encodeIndex({kept}).size() + 16);
        HistoryStore store(o);
        QSignalSpy told(&store, &HistoryStore::copiesNotCleaned);
        store.flush();
        EXPECT_EQ(told.count(), room ? 0 : 1);
        EXPECT_EQ(readFile(copy).contains("Doomed title"), !room);
    }
    EXPECT_EQ(readFile(copy), encodeIndex({kept, kE}));
    for (const QString& name : QDir(dir.path()).entryList(QDir::Files | QDir::Hidden))
        EXPECT_FALSE(readFile(dir.filePath(name)).contains("Doomed")) << name.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("index.purge"))) << "nothing left to do";
}

// Removals that come together leave a kept copy in one rewrite: none while they keep coming
// (however many index writes they make), then one for all of them.
TEST_F(KeptCopiesStore, RemovalsThatComeTogetherShareOneRewriteOfACopy)
{
    QTemporaryDir dir;
    test::FakeRecognizer ocr;
    HistoryStore::Options o;
    o.dir = dir.path();
    o.recognize = ocr.function();
    o.debounceMs = 0;
    o.copyQuietMs = 600'000;  // the removals never pause here: only the quit cleans
    HistoryStore store(o);
    QList<HistoryEntry> added;
    for (const char* title : {"First gone", "Second gone", "Stays"})
        added << store.add({test::historyImage(30, 20), 1, SourceKind::window, QString::fromLatin1(title),
                            QDateTime::currentDateTimeUtc()});
    store.flush();
    const QString copy = dir.filePath("index.json.bad-20260101-000000");
    ASSERT_TRUE(writeFileAtomically(copy, encodeIndex({added[2], added[1], added[0], kE})));
    const auto inode = [&] {
        struct stat st {};
        return ::stat(QFile::encodeName(copy).constData(), &st) == 0 ? st.st_ino : ino_t(0);
    };
    const auto before = inode();
    QSignalSpy written(&store, &HistoryStore::indexWritten);
    for (int i = 0; i < 2; ++i) {
        store.remove({added[i].id});
        ASSERT_TRUE(written.wait(10000));
        EXPECT_EQ(inode(), before) << "rewritten at removal " << i;
        EXPECT_TRUE(readFile(dir.filePath("index.purge")).contains(uuidText(added[i].id).toLatin1()));
    }
    store.flush();
    EXPECT_NE(inode(), before);
    EXPECT_EQ(readFile(copy), encodeIndex({added[2], kE}));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("index.purge")));
}
