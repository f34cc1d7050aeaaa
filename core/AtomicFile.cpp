#include "core/AtomicFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <sys/stat.h>

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
    const bool opened = f.open(QIODevice::WriteOnly);
    // Set on the temporary file, so the file never shows under its name with wider rights.
    if (opened && ownerOnly(folder))
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (!opened || f.write(data) != data.size() || !f.commit()) {
        if (error)
            *error = f.errorString();
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

QString setAside(const QString& path)
{
    if (!QFileInfo::exists(path))
        return {};
    const QString stamp = QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss");
    QString target = path + ".bad-" + stamp;
    for (int i = 2; QFileInfo::exists(target); ++i)
        target = path + ".bad-" + stamp + "-" + QString::number(i);
    return QFile::rename(path, target) ? target : QString();
}

}  // namespace kx
