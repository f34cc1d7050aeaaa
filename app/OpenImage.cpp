#include "app/OpenImage.h"

#include "capture/coordinator/CaptureCoordinator.h"
#include "capture/coordinator/Notices.h"
#include "capture/history/HistoryStore.h"
#include "core/ImageReading.h"
#include "core/Localisation.h"
#include "platform/Clipboard.h"
#include "ui/Symbols.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>
#include <QtConcurrent>
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

void tellTooLarge(const QString& name, QSize size, bool metadata)
{
    Notices::show(kx::tr("Image too large", "Túl nagy kép", "Bild zu groß"),
                  metadata ? mostlyMetadataLine(name, size) : OpenImage::tooLargeLine(name, size),
                  "exclamationmark.triangle.fill"_sym, 6);
}

// Files open one after the other, so that editors and history entries keep the given order.
struct Queue {
    QStringList paths;
    bool busy = false;
};

Queue& queue()
{
    static Queue q;
    return q;
}

void openNext()
{
    Queue& q = queue();
    if (q.busy || q.paths.isEmpty() || !QCoreApplication::instance())
        return;
    q.busy = true;
    const QString path = q.paths.takeFirst();
    QtConcurrent::run([path] {
        return OpenImage::load(path);
    }).then(QCoreApplication::instance(), [path](const OpenImage::Loaded& loaded) {
        if (loaded.capture)
            record(*loaded.capture);
        else if (loaded.tooLarge)
            tellTooLarge(QFileInfo(path).fileName(), loaded.size, loaded.mostlyMetadata);
        queue().busy = false;
        openNext();
    });
}

}  // namespace

double OpenImage::scaleForDpi(std::optional<double> dpi)
{
    if (!dpi || !std::isfinite(*dpi) || *dpi <= 100)
        return 1.0;
    return std::max(1.0, std::round(*dpi / 72.0));
}

OpenImage::Loaded OpenImage::load(const QString& path)
{
    const ImageRead read = readImageFile(path);
    if (!read.image || read.image->image.isNull())
        return Loaded{std::nullopt, read.tooLarge, read.size, read.mostlyMetadata};
    // The decoder gives dpi / 72; files keep whole dpi values.
    const double dpi = std::round(read.image->scale * 72.0);
    return Loaded{CaptureResult{read.image->image, scaleForDpi(dpi), SourceKind::file,
                                QFileInfo(path).completeBaseName(), QDateTime::currentDateTime()},
                  false,
                  {}};
}

void OpenImage::open(const QStringList& paths)
{
    queue().paths += paths;
    openNext();
}

void OpenImage::openClipboard()
{
    // The clipboard's bytes are fetched here (Qt asks the owner from this thread); they are
    // checked and decoded on a worker.
    Clipboard::readImageAsync().then(QCoreApplication::instance(), [](const ClipboardRead& read) {
        if (read.tooLarge) {
            tellTooLarge({}, read.size, read.mostlyMetadata);
            return;
        }
        if (!read.image) {
            Notices::show(kx::tr("No image on the clipboard", "Nincs kép a vágólapon",
                                 "Kein Bild in der Zwischenablage"),
                          {}, "exclamationmark.triangle.fill"_sym, 3);
            return;
        }
        record(CaptureResult{read.image->image, read.image->scale, SourceKind::clipboard, std::nullopt,
                             QDateTime::currentDateTime()});
    });
}

QString OpenImage::tooLargeLine(const QString& name, QSize size)
{
    const QString limit = QString::number(maxImagePixels / 1'000'000);
    if (size.isValid() && !size.isEmpty()) {
        const QString dims = QStringLiteral("%1 × %2").arg(size.width()).arg(size.height());
        if (name.isEmpty())
            return kx::
                tr("The clipboard image is %1 pixels; Kaptorix opens images up to %2 megapixels.",
                   "A vágólap képe %1 képpont; a Kaptorix legfeljebb %2 megapixeles képet nyit meg.",
                   "Das Bild in der Zwischenablage hat %1 Pixel; Kaptorix öffnet Bilder bis %2 Megapixel.")
                    .arg(dims, limit);
        return kx::tr("%1 is %2 pixels; Kaptorix opens images up to %3 megapixels.",
                      "%1: %2 képpont; a Kaptorix legfeljebb %3 megapixeles képet nyit meg.",
                      "%1 hat %2 Pixel; Kaptorix öffnet Bilder bis %3 Megapixel.")
            .arg(name, dims, limit);
    }
    const QString mb = QString::number(maxHeicFileBytes / (1024 * 1024));
    if (name.isEmpty())
        return kx::
            tr("The clipboard image is larger than Kaptorix opens (%1 megapixels, HEIC files up to %2 MB).",
               "A vágólap képe nagyobb, mint amit a Kaptorix megnyit (%1 megapixel, HEIC-fájl legfeljebb %2 "
               "MB).",
               "Das Bild in der Zwischenablage ist größer, als Kaptorix öffnet (%1 Megapixel, HEIC-Dateien "
               "bis %2 MB).")
                .arg(limit, mb);
    return kx::tr("%1 is larger than Kaptorix opens (%2 megapixels, HEIC files up to %3 MB).",
                  "%1 nagyobb, mint amit a Kaptorix megnyit (%2 megapixel, HEIC-fájl legfeljebb %3 MB).",
                  "%1 ist größer, als Kaptorix öffnet (%2 Megapixel, HEIC-Dateien bis %3 MB).")
        .arg(name, limit, mb);
}

}  // namespace kx
