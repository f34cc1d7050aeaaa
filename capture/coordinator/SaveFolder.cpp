#include "capture/coordinator/SaveFolder.h"

#include "core/FileNaming.h"
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "editor/Exporter.h"
#include "editor/window/SaveTarget.h"
#include "ui/ToastView.h"

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

SaveOutcome SaveFolder::write(const QImage& image, double scale, const QString& folder, const QString& base,
                              QFuture<QByteArray> png)
{
    std::optional<Exporter::Encoded> encoded;
    // The shared PNG holds the same bytes as a PNG export unless the export is downscaled.
    const bool samePng = Prefs::imageFormat() == ImageFormat::png &&
                         !(Prefs::boolean(QStringLiteral("downscaleRetina")) && scale > 1);
    if (samePng && !png.isCanceled()) {
        if (QByteArray bytes = png.result(); !bytes.isEmpty())
            encoded = Exporter::Encoded{std::move(bytes), QStringLiteral("png")};
    }
    if (!encoded)
        encoded = Exporter::data(image, scale);
    if (!encoded)
        return {false,
                {},
                kx::tr("The image could not be encoded.", "A képet nem sikerült kódolni.",
                       "Das Bild konnte nicht kodiert werden.")};
    const SaveResult saved = saveExclusively(folder, base, encoded->ext, encoded->data);
    if (!saved.ok())
        return {false, {}, ToastView::shortPath(folder) + QStringLiteral(": ") + saved.error};
    return {true, saved.path, {}};
}

QFuture<SaveOutcome> SaveFolder::save(const QImage& image, double scale, const QDateTime& date,
                                      const std::optional<QString>& title, SourceKind kind,
                                      QFuture<QByteArray> png)
{
    const QString folder = Prefs::saveFolderURL();
    const QString base = FileNaming::baseName(date, title, kind);
    return QtConcurrent::run(serialPool(), [=] { return write(image, scale, folder, base, png); });
}

}  // namespace kx
