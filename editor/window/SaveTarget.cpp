#include "editor/window/SaveTarget.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cerrno>
#include <cstring>

namespace kx {

namespace {

constexpr int kMaxCandidates = 10000;

QString systemError(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

// For file systems without hard links: O_EXCL still refuses a name that exists, but a
// failed write leaves nothing behind only because it is removed again.
SaveResult writeWithoutLinks(const QString& folder, const QString& base, const QString& ext,
                             const QByteArray& bytes)
{
    for (int n = 1; n <= kMaxCandidates; ++n) {
        const QString path = QDir(folder).filePath(candidateName(base, ext, n));
        const QByteArray native = QFile::encodeName(path);
        const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return {{}, systemError(errno)};
        }
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t w = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0)
                break;
            done += w;
        }
        const int err = errno;
        const bool ok = done == bytes.size() && ::fsync(fd) == 0;
        ::close(fd);
        if (ok)
            return {path, {}};
        ::unlink(native.constData());
        return {{}, systemError(err)};
    }
    return {{}, systemError(EEXIST)};
}

// Creates the folder and its parents. QDir::mkpath() says only that it failed, and the write
// after it then reports "No such file or directory" for a read-only mount or a parent
// without write access; this names what the system refused.
QString makeFolder(const QString& folder)
{
    const QString path = QDir::cleanPath(QDir(folder).absolutePath());
    if (QFileInfo(path).isDir())
        return {};
    qsizetype from = 1;
    while (true) {
        const qsizetype slash = path.indexOf(QLatin1Char('/'), from);
        const QString part = slash < 0 ? path : path.left(slash);
        const QByteArray native = QFile::encodeName(part);
        if (::mkdir(native.constData(), 0755) != 0) {
            const int err = errno;
            struct stat st {};
            if (err != EEXIST)
                return systemError(err);
            if (::stat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
                return systemError(ENOTDIR);
        }
        if (slash < 0)
            return {};
        from = slash + 1;
    }
}

}  // namespace

QString candidateName(const QString& base, const QString& ext, int n)
{
    return n <= 1 ? QStringLiteral("%1.%2").arg(base, ext)
                  : QStringLiteral("%1 %2.%3").arg(base).arg(n).arg(ext);
}

SaveResult saveExclusively(const QString& folder, const QString& base, const QString& ext,
                           const QByteArray& bytes)
{
    if (const QString refused = makeFolder(folder); !refused.isEmpty())
        return {{}, refused};
    QTemporaryFile tmp(QDir(folder).filePath(QStringLiteral(".kaptorix-save-XXXXXX")));
    if (!tmp.open())
        return {{}, tmp.errorString()};
    if (tmp.write(bytes) != bytes.size() || !tmp.flush() || ::fsync(tmp.handle()) != 0)
        return {{}, tmp.errorString()};
    tmp.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                       QFileDevice::ReadOther);
    const QByteArray from = QFile::encodeName(tmp.fileName());
    for (int n = 1; n <= kMaxCandidates; ++n) {
        const QString path = QDir(folder).filePath(candidateName(base, ext, n));
        if (::link(from.constData(), QFile::encodeName(path).constData()) == 0)
            return {path, {}};  // the temporary name goes with `tmp`
        if (errno == EEXIST)
            continue;
        if (errno == EPERM || errno == EOPNOTSUPP || errno == ENOSYS || errno == EXDEV)
            return writeWithoutLinks(folder, base, ext, bytes);
        return {{}, systemError(errno)};
    }
    return {{}, systemError(EEXIST)};
}

}  // namespace kx
