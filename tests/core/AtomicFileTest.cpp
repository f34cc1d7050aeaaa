#include "core/AtomicFile.h"

#include "FileLimits.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>

namespace kx {
namespace {

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

struct Replacement {
    const char* name;
    QByteArray old;  // empty: no file there before
    QByteArray next;
};

const Replacement kReplacements[] = {
    {"index.json", QByteArray(5000, 'i'), QByteArray(5200, 'j')},
    {"AB.thumb.jpg", QByteArray(3000, 't'), QByteArray(3100, 'u')},
    {"new.json", {}, QByteArray(40, 'n')},
};

// On a full disk every write is refused with its reason; the old file stays byte for byte
// and no temporary file is left behind.
void expectRefusedAndKept(const QString& folder, const Replacement& r, const QStringList& before)
{
    const QString path = folder + "/" + r.name;
    QString error;
    EXPECT_FALSE(writeFileAtomically(path, r.next, &error)) << r.name;
    EXPECT_EQ(error, QString::fromLocal8Bit(std::strerror(ENOSPC))) << r.name;
    if (r.old.isEmpty())
        EXPECT_FALSE(QFile::exists(path)) << r.name;
    else
        EXPECT_EQ(contents(path), r.old) << r.name;
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name), before) << r.name;
}

TEST(AtomicFiles, AReallyFullFilesystemKeepsEveryOldFile)
{
    test::FullFilesystem disk;
    if (!disk.mounted())
        GTEST_SKIP() << "no tmpfs could be mounted here (" << disk.why().toStdString()
                     << "); the write-budget test covers the same path";
    for (const Replacement& r : kReplacements) {
        if (!r.old.isEmpty()) {
            ASSERT_TRUE(writeFileAtomically(disk.path() + "/" + r.name, r.old));
        }
    }
    ASSERT_TRUE(disk.fill());
    const QStringList before = QDir(disk.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const Replacement& r : kReplacements)
        expectRefusedAndKept(disk.path(), r, before);
}

TEST(AtomicFiles, AWriteThatStopsPartWayKeepsTheOldFile)
{
    QTemporaryDir dir;
    for (const Replacement& r : kReplacements) {
        if (!r.old.isEmpty()) {
            ASSERT_TRUE(writeFileAtomically(dir.path() + "/" + r.name, r.old));
        }
    }
    const QStringList before = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const qint64 budget : {0, 1, 4096}) {
        for (const Replacement& r : kReplacements) {
            if (budget >= r.next.size())
                continue;
            failWritesAfter(budget);
            expectRefusedAndKept(dir.path(), r, before);
        }
    }
    // Exactly enough room: written whole.
    failWritesAfter(kReplacements[0].next.size());
    const QString index = dir.path() + "/index.json";
    EXPECT_TRUE(writeFileAtomically(index, kReplacements[0].next));
    failWritesAfter(-1);
    EXPECT_EQ(contents(index), kReplacements[0].next);
}

}  // namespace
}  // namespace kx
