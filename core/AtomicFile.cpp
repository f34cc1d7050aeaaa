#include "core/AtomicFile.h"

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
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size() || !f.commit()) {
        if (error)
            *error = f.errorString();
        f.cancelWriting();
        return false;
    }
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
