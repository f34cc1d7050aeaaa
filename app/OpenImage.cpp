#include "app/OpenImage.h"

#include "capture/coordinator/CaptureCoordinator.h"
#include "capture/coordinator/Notices.h"
#include "capture/history/HistoryStore.h"
#include "core/ImageReading.h"
#include "core/Localisation.h"
#include "editor/window/EditorWindowController.h"
#include "platform/Clipboard.h"
#include "ui/Symbols.h"
#include "ui/ToastView.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>
#include <QtConcurrent>
#include <cmath>

namespace kx {

namespace {

void record(const CaptureResult& result, EditorCascade cascade = {})
{
    const HistoryEntry entry = HistoryStore::shared().add(result);
    EditorWindowController::open(result, entry.id, cascade);
}

void tellTooLarge(const QString& name, QSize size, bool metadata, int bits)
{
    const auto [title, line] = OpenImage::tooLargeNotice(name, size, metadata, bits);
    Notices::show(title, line, "exclamationmark.triangle.fill"_sym, 6);
}

// Files open one after the other, so that editors and history entries keep the given order.
// Each hand-over is a batch of its own, bounded and told of on its own.
struct Batch {
    QStringList paths;  // the ones to try, at most maxFilesAtOnce
    int handed = 0;
    int next = 0;
    int opened = 0;
};

struct Queue {
    QList<Batch> batches;
    bool busy = false;
};

Queue& queue()
{
    static Queue q;
    return q;
}

void finish(const Batch& b)
{
    if (b.handed <= b.paths.size())
        return;
    const auto [title, line] =
        OpenImage::boundNotice(b.opened, b.handed, int(b.paths.size()), QFileInfo(b.paths.last()).fileName());
    Notices::show(title, line, "exclamationmark.triangle.fill"_sym, 8);
}

void openNext()
{
    Queue& q = queue();
    if (q.busy || !QCoreApplication::instance())
        return;
    while (!q.batches.isEmpty() && q.batches.first().next >= q.batches.first().paths.size()) {
        finish(q.batches.first());
        q.batches.removeFirst();
    }
    if (q.batches.isEmpty())
        return;
    q.busy = true;
    const QString path = q.batches.first().paths.at(q.batches.first().next++);
    QtConcurrent::run([path] {
        return OpenImage::load(path);
    }).then(QCoreApplication::instance(), [path](const OpenImage::Loaded& loaded) {
        Batch& b = queue().batches.first();
        if (loaded.capture)
            record(*loaded.capture, {b.opened++, int(b.paths.size())});
        else if (loaded.tooLarge)
            tellTooLarge(QFileInfo(path).fileName(), loaded.size, loaded.mostlyMetadata, loaded.bitsPerPixel);
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
        return Loaded{std::nullopt, read.tooLarge, read.size, read.mostlyMetadata, read.bitsPerPixel};
    // The decoder gives dpi / 72; files keep whole dpi values.
    const double dpi = std::round(read.image->scale * 72.0);
    return Loaded{CaptureResult{read.image->image, scaleForDpi(dpi), SourceKind::file,
                                QFileInfo(path).completeBaseName(), QDateTime::currentDateTime()},
                  false,
                  {}};
}

void OpenImage::open(const QStringList& paths)
{
    if (paths.isEmpty())
        return;
    queue().batches.append(Batch{paths.mid(0, maxFilesAtOnce), int(paths.size())});
    openNext();
}

std::pair<QString, QString> OpenImage::boundNotice(int opened, int handed, int tried,
                                                   const QString& lastTried)
{
    const int rest = handed - tried;
    const QString last = ToastView::shortName(lastTried);
    const QString title =
        kx::tr("Opened %1 of %2 files", "%2 fájlból %1 megnyitva", "%1 von %2 Dateien geöffnet")
            .arg(opened)
            .arg(handed);
    const QString line =
        rest == 1 ? kx::tr("Kaptorix opens up to %1 files at a time; the one after “%2” was not opened.",
                           "A Kaptorix egyszerre legfeljebb %1 fájlt nyit meg; a(z) „%2” utáni fájl nincs "
                           "megnyitva.",
                           "Kaptorix öffnet bis zu %1 Dateien auf einmal; die Datei nach „%2“ wurde nicht "
                           "geöffnet.")
                        .arg(maxFilesAtOnce)
                        .arg(last)
                  : kx::tr("Kaptorix opens up to %1 files at a time; the %2 after “%3” were not opened.",
                           "A Kaptorix egyszerre legfeljebb %1 fájlt nyit meg; a(z) „%3” utáni %2 fájl nincs "
                           "megnyitva.",
                           "Kaptorix öffnet bis zu %1 Dateien auf einmal; die %2 nach „%3“ wurden nicht "
                           "geöffnet.")
                        .arg(maxFilesAtOnce)
                        .arg(rest)
                        .arg(last);
    return {title, line};
}

void OpenImage::openClipboard()
{
    // The clipboard's bytes are fetched here (Qt asks the owner from this thread); they are
    // checked and decoded on a worker.
    Clipboard::readImageAsync().then(QCoreApplication::instance(), [](const ClipboardRead& read) {
        if (read.tooLarge) {
            tellTooLarge({}, read.size, read.mostlyMetadata, read.bitsPerPixel);
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

std::pair<QString, QString> OpenImage::tooLargeNotice(const QString& name, QSize size, bool metadata,
                                                      int bits)
{
    // Shorter than elsewhere: the sentences around it are long in German and Hungarian.
    const QString shown = ToastView::shortName(name, 32);
    return {kx::tr("Image too large", "Túl nagy kép", "Bild zu groß"),
            metadata ? mostlyMetadataLine(shown, size) : tooLargeLine(shown, size, bits)};
}

QString OpenImage::tooLargeLine(const QString& name, QSize size, int bits)
{
    const QString limit = QString::number(maxImagePixels / 1'000'000);
    if (size.isValid() && !size.isEmpty()) {
        const QString dims = QStringLiteral("%1 × %2").arg(size.width()).arg(size.height());
        // Under the limit in pixels, over it in memory: its depth is the reason, and said so.
        if (bits > 0 && maxPixelsAtDepth(bits) < maxImagePixels) {
            const QString atDepth = QString::number(maxPixelsAtDepth(bits) / 1'000'000);
            const QString who = name.isEmpty() ? kx::tr("The clipboard image", "A vágólap képe",
                                                        "Das Bild in der Zwischenablage")
                                               : name;
            return kx::tr(
                       "%1 is %2 pixels at %3 bits a pixel; Kaptorix opens such images up to %4 megapixels.",
                       "%1: %2 képpont, képpontonként %3 bit; az ilyen képet a Kaptorix legfeljebb %4 "
                       "megapixelig nyitja meg.",
                       "%1 hat %2 Pixel mit %3 Bit je Pixel; solche Bilder öffnet Kaptorix bis %4 Megapixel.")
                .arg(who, dims, QString::number(bits), atDepth);
        }
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
