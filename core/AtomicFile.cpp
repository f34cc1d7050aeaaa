#include "core/AtomicFile.h"

#include <sys/stat.h>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace kx {

bool writeFileAtomically(const QString& path, const QByteArray& data, QString* error)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) {
        if (error)
            *error = f.errorString();
        return false;
    }
    errno = 0;
    const bool whole = f.write(data) == data.size();
    // A short write (a full disk, a size limit) leaves QSaveFile with "Unknown error" (and a
    // commit that would succeed): the system's errno names it.
    const int err = errno;
    if (!whole || !f.commit()) {
        if (error)
            *error = !whole && err != 0 ? QString::fromLocal8Bit(std::strerror(err)) : f.errorString();
        f.cancelWriting();
        return false;
    }
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

QString displayPath(const QString& path)
{
    const QString home = QDir::homePath();
    const QString native = QDir::toNativeSeparators(path);
    if (!home.isEmpty() && home != QLatin1String("/") && native.startsWith(home + QLatin1Char('/')))
        return QLatin1Char('~') + native.mid(home.size());
    return native;
}

}  // namespace kx
