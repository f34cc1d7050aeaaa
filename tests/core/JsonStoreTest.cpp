// The JSON store: atomic writes cut short, bad files set aside, debounced writes.
#include "core/AtomicFile.h"
#include "core/JsonStore.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace kx;

namespace {

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool acceptNumbers(const QJsonValue& v)
{
    return v.isDouble();
}

}  // namespace

TEST(JsonStore, BadFilesAreSetAsideNeverOverwritten)
{
    struct Case {
        QByteArray bytes;
        bool unreadable;
        int rejected;
        bool renamed;
    };
    const QList<Case> cases{
        {"[1,2,3]", false, 0, false},
        {"[1,\"x\",3]", false, 1, false},  // copied aside, the good elements stay in place
        {"[1,2", true, 0, true},
        {"{\"a\":1}", true, 0, true},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        const QString path = dir.filePath("store.json");
        ASSERT_TRUE(writeFileAtomically(path, c.bytes));
        int accepted = 0;
        const JsonArrayLoad load =
            loadJsonArray(path, [&](const QJsonValue& v) { return acceptNumbers(v) && ++accepted; });
        const std::string what = c.bytes.toStdString();
        EXPECT_EQ(load.unreadable, c.unreadable) << what;
        EXPECT_EQ(load.rejected, c.rejected) << what;
        EXPECT_EQ(QFile::exists(path), !c.renamed) << what;
        EXPECT_EQ(load.keptAs.isEmpty(), !c.unreadable && c.rejected == 0) << what;
        if (!load.keptAs.isEmpty()) {
            EXPECT_EQ(readFile(load.keptAs), c.bytes) << what;
        }
        EXPECT_TRUE(load.writable);
        // Loading the same partly bad file again keeps no second copy.
        loadJsonArray(path, acceptNumbers);
        EXPECT_LE(QDir(dir.path()).entryList({"store.json.bad-*"}).size(), 1) << what;
    }
}

TEST(JsonStore, WritesAtMostTheDebounceAfterTheFirstChangeAndRetriesAFailure)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("store.json");
    int state = 0;
    JsonStoreWriter writer(
        path, [&] { return [s = state] { return QByteArray::number(s); }; }, 200);
    QSignalSpy written(&writer, &JsonStoreWriter::written);
    // A change every 30 ms, for as long as it takes: writes still come, as the wait counts from
    // the first change, not the last (which would put the write off for as long as changes
    // come). No clock is compared: on a busy machine it only takes longer.
    for (state = 1; written.count() < 2 && state <= 2000; ++state) {
        writer.markChanged();
        QTest::qWait(30);
    }
    EXPECT_GE(written.count(), 2);

    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QDir().mkpath(path));  // a folder in the way: the write fails
    writer.markChanged();
    writer.flush();
    ASSERT_FALSE(written.isEmpty());
    EXPECT_FALSE(written.last().at(1).toBool());
    EXPECT_FALSE(writer.upToDate());

    ASSERT_TRUE(QDir(path).removeRecursively());
    writer.flush();  // as at quit: the state is tried again
    EXPECT_TRUE(writer.upToDate());
    EXPECT_EQ(readFile(path), QByteArray::number(state));
}

TEST(JsonStore, OnlyANameWithNothingAtItIsAMissingFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("store.json");
    const JsonArrayLoad missing = loadJsonArray(path, acceptNumbers);
    EXPECT_FALSE(missing.read);
    EXPECT_FALSE(missing.unreadable);
    // A link that leads nowhere or to itself cannot be read: it is kept aside (as a link) and
    // the caller knows no file was read.
    for (const char* target : {"/nonexistent/store.json", "store.json"}) {
        ASSERT_EQ(::symlink(target, QFile::encodeName(path).constData()), 0);
        const JsonArrayLoad load = loadJsonArray(path, acceptNumbers);
        EXPECT_FALSE(load.read) << target;
        EXPECT_TRUE(load.unreadable) << target;
        EXPECT_TRUE(load.keptNow) << target;
        EXPECT_TRUE(QFileInfo(load.keptAs).isSymLink()) << target;
        EXPECT_FALSE(QFileInfo(path).isSymLink()) << target;
    }
    EXPECT_EQ(QDir(dir.path()).entryList({"store.json.bad-*"}, QDir::System | QDir::Files).size(), 2);
    ASSERT_TRUE(writeFileAtomically(path, "[1]"));
    EXPECT_TRUE(loadJsonArray(path, acceptNumbers).read);
}
