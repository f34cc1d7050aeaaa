#include "core/AtomicFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <sys/stat.h>
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

bool writeFileAtomically(const QString& path, const QByteArray& data, QString* error)
{
    const QString folder = QFileInfo(path).absolutePath();
    QDir().mkpath(folder);
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) {
        if (error)
            *error = f.errorString();
        return false;
    }
    // Set on the temporary file, so the file never shows under its name with wider rights.
    if (ownerOnly(folder))
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
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

bool makePrivateFolder(const QString& path)
{
    const QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    // The missing levels, outermost first, each made 0700 (mkpath would follow the umask).
    QStringList missing;
    for (QString p = clean; !p.isEmpty() && !QFileInfo::exists(p); p = QFileInfo(p).path()) {
        missing.prepend(p);
        if (p == QFileInfo(p).path())
            break;
    }
    for (const QString& p : missing)
        ::mkdir(QFile::encodeName(p).constData(), 0700);
    struct stat st {};
    const QByteArray native = QFile::encodeName(clean);
    if (::stat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
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

QString displayPath(const QString& path)
{
    const QString home = QDir::homePath();
    const QString native = QDir::toNativeSeparators(path);
    if (!home.isEmpty() && home != QLatin1String("/") && native.startsWith(home + QLatin1Char('/')))
        return QLatin1Char('~') + native.mid(home.size());
    return native;
}

}  // namespace kx
