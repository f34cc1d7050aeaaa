#include "app/OpenImage.h"

#include "capture/coordinator/CaptureCoordinator.h"
#include "capture/coordinator/Notices.h"
#include "capture/history/HistoryStore.h"
#include "core/ImageUtils.h"
#include "core/Localisation.h"
#include "platform/Clipboard.h"
#include "ui/Symbols.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <cmath>

namespace kx {

namespace {

void record(const CaptureResult& result)
{
    const HistoryEntry entry = HistoryStore::shared().add(result);
    auto& env = CaptureCoordinator::shared().environment();
    if (env.openEditor)
        env.openEditor(result, entry.id);
}

}  // namespace

double OpenImage::scaleForDpi(std::optional<double> dpi)
{
    if (!dpi || !std::isfinite(*dpi) || *dpi <= 100)
        return 1.0;
    return std::max(1.0, std::round(*dpi / 72.0));
}

std::optional<CaptureResult> OpenImage::read(const QString& path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const auto decoded = decodeImage(file.readAll());
    if (!decoded || decoded->image.isNull())
        return std::nullopt;
    // The decoder gives dpi / 72; files keep whole dpi values.
    const double dpi = std::round(decoded->scale * 72.0);
    return CaptureResult{decoded->image, scaleForDpi(dpi), SourceKind::file,
                         QFileInfo(path).completeBaseName(), QDateTime::currentDateTime()};
}

void OpenImage::open(const QString& path)
{
    if (const auto result = read(path))
        record(*result);
}

void OpenImage::openClipboard()
{
    const auto image = Clipboard::readImage();
    if (!image) {
        Notices::show(
            kx::tr("No image on the clipboard", "Nincs kép a vágólapon", "Kein Bild in der Zwischenablage"),
            {}, "exclamationmark.triangle.fill"_sym, 3);
        return;
    }
    record(CaptureResult{image->image, image->scale, SourceKind::clipboard, std::nullopt,
                         QDateTime::currentDateTime()});
}

void OpenImage::raiseDecodeLimit()
{
    QImageReader::setAllocationLimit(2048);  // MB: a 1920 px wide capture 100,000 rows tall fits
}

}  // namespace kx
