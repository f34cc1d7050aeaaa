#include "editor/Exporter.h"

#include "core/AtomicFile.h"
#include "core/FileNaming.h"
#include "core/ImageUtils.h"
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "editor/AnnotationRenderer.h"
#include "editor/EffectCache.h"

#include <QApplication>
#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QPainter>
#include <cmath>

namespace kx {

namespace {

const QStringList& nameFilters()
{
    static const QStringList filters{QStringLiteral("PNG (*.png)"), QStringLiteral("JPEG (*.jpg *.jpeg)"),
                                     QStringLiteral("HEIC (*.heic)")};
    return filters;
}

ImageFormat formatOfFilter(const QString& filter)
{
    const int i = int(nameFilters().indexOf(filter));
    return i == 1 ? ImageFormat::jpg : i == 2 ? ImageFormat::heic : ImageFormat::png;
}

double jpegQuality()
{
    const double q = Prefs::real(QStringLiteral("jpegQuality"));
    return std::isfinite(q) && q > 0 ? std::min(q, 1.0) : 0.9;
}

}  // namespace

QImage Exporter::flatten(const QImage& base, const QList<Annotation>& annotations, EffectCache& effects)
{
    // Without a bitmap of our own nothing is returned: the base alone would pass for the
    // edited picture and could carry an unredacted secret.
    if (base.isNull())
        return {};
    QImage out = base.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (out.isNull())
        return {};
    // Work on our own pixels: the base itself must stay as it is.
    out.detach();
    if (out.isNull() || out.constBits() == base.constBits())
        return {};
    QPainter painter(&out);
    if (!painter.isActive())
        return {};
    AnnotationRenderer::draw(annotations, base, painter, effects);
    painter.end();
    return out;
}

std::optional<QByteArray> Exporter::encode(const QImage& image, ImageFormat format, double quality,
                                           double scale)
{
    // JPEG has no alpha: encoded() composites transparent pixels over white, never black.
    return encoded(image, format, quality, scale);
}

std::optional<Exporter::Encoded> Exporter::data(const QImage& image, double scale)
{
    QImage use = image;
    double useScale = std::isfinite(scale) && scale > 0 ? scale : 1.0;
    if (Prefs::boolean(QStringLiteral("downscaleRetina")) && useScale > 1) {
        const QImage small = resized(image, QSizeF(image.width() / useScale, image.height() / useScale));
        if (!small.isNull()) {
            use = small;
            useScale = 1;
        }
    }
    const ImageFormat format = Prefs::imageFormat();
    std::optional<QByteArray> bytes = encode(use, format, jpegQuality(), useScale);
    if (!bytes)
        return std::nullopt;
    return Encoded{*bytes, fileExtension(format)};
}

std::pair<QString, ImageFormat> Exporter::resolveSavePath(const QString& path, ImageFormat selected)
{
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == QLatin1String("png"))
        return {path, ImageFormat::png};
    if (ext == QLatin1String("jpg") || ext == QLatin1String("jpeg"))
        return {path, ImageFormat::jpg};
    if (ext == QLatin1String("heic"))
        return {path, ImageFormat::heic};
    return {path + QLatin1Char('.') + fileExtension(selected), selected};
}

Exporter::SaveOutcome Exporter::saveTo(const QImage& image, double scale, const QString& chosen,
                                       ImageFormat selected)
{
    const auto [path, format] = resolveSavePath(chosen, selected);
    SaveOutcome outcome;
    outcome.path = path;
    const std::optional<QByteArray> bytes = encode(image, format, jpegQuality(), scale);
    if (!bytes || !writeFileAtomically(path, *bytes)) {
        outcome.status = SaveOutcome::Status::failed;
        outcome.message = tr("Save failed", "A mentés nem sikerült");
        return outcome;
    }
    outcome.status = SaveOutcome::Status::saved;
    return outcome;
}

Exporter::SaveOutcome Exporter::saveWithPanel(const QImage& image, double scale, SourceKind kind,
                                              const std::optional<QString>& title, QWidget* parent)
{
    const ImageFormat preferred = Prefs::imageFormat();
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(nameFilters());
    dialog.selectNameFilter(nameFilters().at(int(preferred)));
    dialog.setDirectory(Prefs::saveFolderURL());
    dialog.selectFile(FileNaming::baseName(QDateTime::currentDateTime(), title, kind) + QLatin1Char('.') +
                      fileExtension(preferred));
    dialog.setWindowModality(Qt::ApplicationModal);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return SaveOutcome{};
    return saveTo(image, scale, dialog.selectedFiles().constFirst(),
                  formatOfFilter(dialog.selectedNameFilter()));
}

}  // namespace kx
