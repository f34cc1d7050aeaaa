#include "core/AtomicFile.h"

#include "FileLimits.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
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

// A replaced file keeps the rights the user gave it (a 0600 key file stays private); a new
// one in an owner-only folder is the owner's alone, whatever the umask.
TEST(AtomicFiles, AReplacedFileKeepsItsRights)
{
    const mode_t umaskBefore = ::umask(022);
    const struct {
        mode_t folder;
        int old;  // -1: no file there before
        mode_t expected;
    } rows[] = {{0755, 0600, 0600}, {0755, 0640, 0640}, {0700, -1, 0600}};
    for (const auto& row : rows) {
        QTemporaryDir dir;
        ::chmod(QFile::encodeName(dir.path()).constData(), row.folder);
        const QByteArray path = QFile::encodeName(dir.path() + "/secret.conf");
        if (row.old >= 0) {
            ASSERT_TRUE(writeFileAtomically(dir.path() + "/secret.conf", "old"));
            ASSERT_EQ(::chmod(path.constData(), mode_t(row.old)), 0);
        }
        ASSERT_TRUE(writeFileAtomically(dir.path() + "/secret.conf", "new"));
        struct stat st {};
        ASSERT_EQ(::stat(path.constData(), &st), 0);
        EXPECT_EQ(QString::number(st.st_mode & 07777, 8), QString::number(row.expected, 8))
            << "folder " << std::oct << row.folder << ", file before " << row.old;
    }
    ::umask(umaskBefore);
}

}  // namespace
}  // namespace kx
