#include "core/PrefsFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

namespace kx {

namespace {

// The folder and the folders above it, made for their owner only as they are missing (the XDG
// rule for a configuration home made on the user's behalf). Empty when the folder is there,
// else the system's reason it could not be made: a read-only ~/.config says so, not that the
// file is missing.
QString makeFolders(const QString& folder)
{
    QString at;
    for (const QString& part : QDir::cleanPath(folder).split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        at += QLatin1Char('/') + part;
        if (::mkdir(QFile::encodeName(at).constData(), 0700) != 0 && errno != EEXIST)
            return systemReason(errno);
    }
    return {};
}

}  // namespace

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The file holds the upload server's host, user, folder and key path: it is for its owner
// only, as every other file of the program. QSettings replaces it through a temporary file
// and a rename and gives the new file the old one's mode, so a 0600 file made here stays 0600.
// Returns why its folder could not be made, if it could not.
QString makeSettingsFilePrivate(const QString& path)
{
    const QString folder = QFileInfo(path).absolutePath();
    const QByteArray dir = QFile::encodeName(folder);
    struct stat st {};
    const bool there = ::lstat(dir.constData(), &st) == 0;
    const QString why = there ? QString() : makeFolders(folder);
    // A link (a dotfiles checkout) is the user's own arrangement: left alone.
    if (there && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & 077) != 0)
        ::chmod(dir.constData(), st.st_mode & 0700);
    const QByteArray file = QFile::encodeName(path);
    const int fd = ::open(file.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd >= 0) {
        ::close(fd);
        return why;
    }
    if (::lstat(file.constData(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::getuid() &&
        (st.st_mode & 077) != 0)
        ::chmod(file.constData(), st.st_mode & 0700);
    return why;
}

// Whether changes can reach `path`: the way QSettings writes (a new file in the folder, as large
// as the settings and some, renamed over the file), tried without leaving anything behind. An
// empty file is not enough: a full disk still makes one. Empty when they can, else the
// system's reason.
QString whySettingsCannotBeWritten(const QString& path)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const QByteArray file = QFile::encodeName(path);
    struct stat st {};
    const off_t room = (::stat(file.constData(), &st) == 0 ? st.st_size : 0) + 4096;
    int fd = ::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    QByteArray named;
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        // A file system without unnamed temporary files.
        named = folder + "/.Kaptorix.conf-XXXXXX";
        fd = ::mkostemp(named.data(), O_CLOEXEC);
    }
    if (fd < 0)
        return systemReason(errno);
    const int error = ::posix_fallocate(fd, 0, room);
    ::close(fd);
    if (!named.isEmpty())
        ::unlink(named.constData());
    if (error != 0)
        return systemReason(error);
    // QSettings opens an existing file for writing before it replaces it.
    fd = ::open(file.constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0 && errno != ENOENT)
        return systemReason(errno);
    if (fd >= 0)
        ::close(fd);
    return {};
}

int replaceLinkWithFile(const QString& path)
{
    QByteArray temp = QFile::encodeName(QFileInfo(path).absolutePath()) + "/.Kaptorix.conf-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return errno;
    int error = ::fchmod(fd, 0600) == 0 && ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    // A rename replaces the link itself, never what it names.
    if (error == 0 && ::rename(temp.constData(), QFile::encodeName(path).constData()) != 0)
        error = errno;
    if (error != 0)
        ::unlink(temp.constData());
    return error;
}

FileStamp FileStamp::of(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return {true, st.st_dev, st.st_ino, st.st_mtim, st.st_size};
}

}  // namespace kx
