#include "core/AtomicFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kx {

namespace {

// True when the folder grants nothing to its group and others.
bool ownerOnly(const QString& folder)
{
    struct stat st {};
    return ::stat(QFile::encodeName(folder).constData(), &st) == 0 && (st.st_mode & 077) == 0;
}

}  // namespace

namespace {

std::atomic<qint64> g_writeBudget{-1};

// A temporary file is "." + the name it is to take + kTempMark + a random suffix.
constexpr char kTempMark[] = ".tmp-";

// write(2), but stopped with ENOSPC once the budget set for tests is spent.
ssize_t writeSome(int fd, const char* data, size_t size)
{
    qint64 budget = g_writeBudget.load();
    if (budget >= 0) {
        if (budget == 0) {
            errno = ENOSPC;
            return -1;
        }
        size = std::min<size_t>(size, size_t(budget));
        g_writeBudget.fetch_sub(qint64(size));
    }
    return ::write(fd, data, size);
}

QString systemError(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

// mkdir -p: 0 when the folder is there, else why the first missing level could not be made
// (EACCES, EROFS… rather than the ENOENT a later open would give).
int makeFolders(const QString& folder)
{
    const QString clean = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    QStringList missing;
    for (QString p = clean; !p.isEmpty() && !pathTaken(p); p = QFileInfo(p).path()) {
        missing.prepend(p);
        if (p == QFileInfo(p).path())
            break;
    }
    for (const QString& p : missing) {
        if (::mkdir(QFile::encodeName(p).constData(), 0777) != 0 && errno != EEXIST)
            return errno;
    }
    return 0;
}

}  // namespace

QString atomicWriteTarget(const QString& fileName)
{
    const qsizetype mark = fileName.lastIndexOf(QLatin1String(kTempMark));
    if (!fileName.startsWith(QLatin1Char('.')) || mark < 2 ||
        mark + qsizetype(sizeof kTempMark) - 1 == fileName.size())
        return {};
    return fileName.mid(1, mark - 1);
}

void failWritesAfter(qint64 bytes)
{
    g_writeBudget.store(bytes);
}

bool writeFileAtomically(const QString& path, const QByteArray& data, QString* error)
{
    // Unbuffered, with every write, the fsync and the close checked before the rename: a
    // full disk often shows only at the flush, and a rename after that would put an empty
    // or cut file in place of a good one.
    const auto fail = [error](int err) {
        if (error)
            *error = systemError(err);
        return false;
    };
    QString target = path;
    // A link is followed: the file it leads to is replaced (or made), the link stays.
    if (const QFileInfo info(path); info.isSymLink())
        target = info.exists() ? info.canonicalFilePath() : info.symLinkTarget();
    // The folder of the name given is made, not one a link leads into.
    if (const int err = makeFolders(QFileInfo(path).absolutePath()))
        return fail(err);
    const QString folder = QFileInfo(target).absolutePath();
    const QByteArray finalName = QFile::encodeName(target);
    const QByteArray dirName = QFile::encodeName(folder);
    struct stat old {};
    const bool replacing = ::stat(finalName.constData(), &old) == 0;
    if (replacing && S_ISDIR(old.st_mode))
        return fail(EISDIR);
    // Owner-only in an owner-only folder; else the rights of the file it replaces; else the
    // umask's. Set on the temporary file, so the file never shows with wider rights.
    const bool privateFile = ownerOnly(folder);
    const mode_t createMode = privateFile ? 0600 : 0666;
    QByteArray temp;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temp = dirName + "/." + QFile::encodeName(QFileInfo(target).fileName()) + kTempMark +
               QByteArray::number(QRandomGenerator::global()->generate(), 36);
        fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, createMode);
        if (fd < 0 && errno != EEXIST)
            return fail(errno);
    }
    if (fd < 0)
        return fail(EEXIST);
    const auto abandon = [&](int err) {
        ::close(fd);
        ::unlink(temp.constData());
        return fail(err);
    };
    if (!privateFile && replacing && ::fchmod(fd, old.st_mode & 07777) != 0)
        return abandon(errno);
    const char* p = data.constData();
    qint64 left = data.size();
    while (left > 0) {
        const ssize_t n = writeSome(fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return abandon(n == 0 ? EIO : errno);
        p += n;
        left -= n;
    }
    if (::fsync(fd) != 0)
        return abandon(errno);
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(temp.constData());
        return fail(err);
    }
    if (::rename(temp.constData(), finalName.constData()) != 0) {
        const int err = errno;
        ::unlink(temp.constData());
        return fail(err);
    }
    // The rename itself reaches the disk with the folder.
    if (const int dfd = ::open(dirName.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

bool makePrivateFolder(const QString& path, QString* error)
{
    const QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    // The missing levels, outermost first, each made 0700 (mkpath would follow the umask).
    QStringList missing;
    for (QString p = clean; !p.isEmpty() && !QFileInfo::exists(p); p = QFileInfo(p).path()) {
        missing.prepend(p);
        if (p == QFileInfo(p).path())
            break;
    }
    int made = 0;
    for (const QString& p : missing) {
        if (::mkdir(QFile::encodeName(p).constData(), 0700) != 0 && errno != EEXIST && made == 0)
            made = errno;
    }
    struct stat st {};
    const QByteArray native = QFile::encodeName(clean);
    const int found = ::stat(native.constData(), &st) == 0 ? 0 : errno;
    if (found != 0 || !S_ISDIR(st.st_mode)) {
        if (error)
            *error = systemError(made != 0 ? made : found != 0 ? found : ENOTDIR);
        return false;
    }
    if ((st.st_mode & 077) != 0)
        ::chmod(native.constData(), st.st_mode & 0700);
    return true;
}

bool pathTaken(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

QString setAside(const QString& path)
{
    // lstat and rename(2), not QFileInfo and QFile: a link that leads nowhere (or to itself)
    // is set aside as it is, not taken for a missing file.
    if (!pathTaken(path))
        return {};
    const QString stamp = QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss");
    QString target = path + ".bad-" + stamp;
    for (int i = 2; pathTaken(target); ++i)
        target = path + ".bad-" + stamp + "-" + QString::number(i);
    return ::rename(QFile::encodeName(path).constData(), QFile::encodeName(target).constData()) == 0
               ? target
               : QString();
}

namespace {

QByteArray readWhole(const QString& path, bool* ok)
{
    QFile f(path);
    *ok = f.open(QIODevice::ReadOnly);
    return *ok ? f.readAll() : QByteArray();
}

// An earlier launch may already have kept these very bytes; a second copy adds nothing.
QString existingCopy(const QString& path, const QByteArray& bytes)
{
    const QFileInfo info(path);
    const QDir dir = info.absoluteDir();
    for (const QFileInfo& other :
         dir.entryInfoList({info.fileName() + QStringLiteral(".bad-*")}, QDir::Files)) {
        if (other.size() != bytes.size())
            continue;
        bool ok = false;
        if (readWhole(other.absoluteFilePath(), &ok) == bytes && ok)
            return other.absoluteFilePath();
    }
    return {};
}

}  // namespace

QString keepCopyAside(const QString& path, const QByteArray& bytes, bool* made)
{
    *made = false;
    if (QString existing = existingCopy(path, bytes); !existing.isEmpty())
        return existing;
    *made = true;
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = path + QStringLiteral(".bad-") + stamp;
    for (int i = 2; QFileInfo::exists(target); ++i)
        target = path + QStringLiteral(".bad-") + stamp + QLatin1Char('-') + QString::number(i);
    return writeFileAtomically(target, bytes) ? target : QString();
}

QString displayPath(const QString& path)
{
    const QString home = QDir::homePath();
    const QString native = QDir::toNativeSeparators(path);
    if (!home.isEmpty() && home != QLatin1String("/") && native.startsWith(home + QLatin1Char('/')))
        return QLatin1Char('~') + native.mid(home.size());
    return native;
}

}  // namespace kx
