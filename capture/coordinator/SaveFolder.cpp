#include "capture/coordinator/SaveFolder.h"

#include "core/AtomicFile.h"
#include "core/FileNaming.h"
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "editor/Exporter.h"

#include <QDir>
#include <QFileInfo>
#include <QThreadPool>
#include <QtConcurrent>

namespace kx {

namespace {
QThreadPool* serialPool()
{
    static auto* pool = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(1);
        return p;
    }();
    return pool;
}
}  // namespace

QString SaveFolder::freeName(const QString& folder, const QString& base, const QString& ext)
{
    const QDir dir(folder);
    QString name = base + QLatin1Char('.') + ext;
    for (int n = 2; QFileInfo::exists(dir.filePath(name)); ++n)
        name = QStringLiteral("%1 %2.%3").arg(base).arg(n).arg(ext);
    return dir.filePath(name);
}

SaveOutcome SaveFolder::write(const QImage& image, double scale, const QString& folder, const QString& base)
{
    const auto encoded = Exporter::data(image, scale);
    if (!encoded)
        return {false,
                {},
                kx::tr("The image could not be encoded.", "A képet nem sikerült kódolni.",
                       "Das Bild konnte nicht kodiert werden.")};
    QDir().mkpath(folder);
    const QString path = freeName(folder, base, encoded->ext);
    QString error;
    if (!writeFileAtomically(path, encoded->data, &error))
        return {false, path, error.isEmpty() ? QDir::toNativeSeparators(path) : error};
    return {true, path, {}};
}

QFuture<SaveOutcome> SaveFolder::save(const QImage& image, double scale, const QDateTime& date,
                                      const std::optional<QString>& title, SourceKind kind)
{
    const QString folder = Prefs::saveFolderURL();
    const QString base = FileNaming::baseName(date, title, kind);
    return QtConcurrent::run(serialPool(), [=] { return write(image, scale, folder, base); });
}

}  // namespace kx
