#include "library/upload/WorkFolder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QUuid>

namespace kx {

namespace {

QSet<WorkFolder*>& live()
{
    static QSet<WorkFolder*> folders;
    return folders;
}

QByteArray lockPath(const QString& folder)
{
    return QFile::encodeName(folder + QStringLiteral("/.lock"));
}

// A folder this user owns (not a link), no younger than a minute, whose lock nobody holds.
bool stale(const QString& folder)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(folder).constData(), &st) != 0 || !S_ISDIR(st.st_mode) ||
        st.st_uid != ::getuid())
        return false;
    if (QDateTime::currentSecsSinceEpoch() - qint64(st.st_mtime) < 60)
        return false;  // may be just being set up
    const int fd = ::open(lockPath(folder).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return true;  // no lock: left by a process that ended before taking it
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free;
}

}  // namespace

WorkFolder::WorkFolder()
    : path_(QDir::tempPath() + '/' + QLatin1String(kPrefix) +
            QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper())
{
    if (::mkdir(QFile::encodeName(path_).constData(), 0700) != 0)
        return;
    // Held until the folder goes; ended with the process whatever way it ends.
    lock_ = ::open(lockPath(path_).constData(), O_CREAT | O_RDWR | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lock_ >= 0)
        ::flock(lock_, LOCK_EX | LOCK_NB);
    ok_ = true;
    live().insert(this);
}

WorkFolder::~WorkFolder()
{
    remove();
}

void WorkFolder::remove()
{
    if (removed_)
        return;
    removed_ = true;
    live().remove(this);
    if (ok_)
        QDir(path_).removeRecursively();
    if (lock_ >= 0)
        ::close(lock_);
    lock_ = -1;
}

bool WorkFolder::writeImage(const QString& path, const QByteArray& bytes, QString* why)
{
    QFile f(path);
    // sftp's put gives the server's copy this file's mode: it must be readable by the web
    // server that publishes the folder, whatever the umask. The folder keeps others out here.
    const auto mode =
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    if (!f.open(QIODevice::WriteOnly | QIODevice::NewOnly, mode) || !f.setPermissions(mode) ||
        f.write(bytes) != bytes.size()) {
        *why = f.errorString();
        return false;
    }
    f.close();
    return true;
}

void WorkFolder::removeAll()
{
    for (WorkFolder* folder : live().values())
        folder->remove();
}

int WorkFolder::sweepStale(const QString& tempDir)
{
    int removed = 0;
    const QStringList names =
        QDir(tempDir).entryList({QLatin1String(kPrefix) + '*'}, QDir::Dirs | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        const QString folder = tempDir + '/' + name;
        if (stale(folder) && QDir(folder).removeRecursively())
            ++removed;
    }
    return removed;
}

}  // namespace kx
