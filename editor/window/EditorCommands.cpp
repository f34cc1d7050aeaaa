// The commands of an editor window: copy, save, save as, pin, copy at 1x, share, upload,
// text recognition, redaction, add capture, palette and the write-back to the history.
// Encoding runs on worker threads; results come back to the UI thread, where a closed
// window's commands find no controller and only finish what the user already sees.
#include "editor/window/EditorWindowController.h"

#include "capture/history/HistoryStore.h"
#include "core/FileNaming.h"
#include "core/ImageUtils.h"
#include "core/Localisation.h"
#include "editor/canvas/CanvasView.h"
#include "editor/window/EditorMetrics.h"
#include "editor/window/EncodedImageMime.h"
#include "editor/window/Redaction.h"
#include "editor/window/SaveTarget.h"
#include "ui/MenuFit.h"

#include <QApplication>
#include <QFileInfo>
#include <QHash>
#include <QMenu>
#include <QMimeData>
#include <QTimer>
#include <QtConcurrent>
#include <algorithm>
#include <exception>

namespace kx {

namespace {

const QString kOk = QStringLiteral("checkmark.circle.fill");            // symbol
const QString kWarn = QStringLiteral("exclamationmark.triangle.fill");  // symbol

QString copyFailedText()
{
    return kx::tr("Copy failed", "A másolás nem sikerült", "Kopieren fehlgeschlagen");
}

QString saveFailedText()
{
    return kx::tr("Save failed", "A mentés nem sikerült", "Sichern fehlgeschlagen");
}

// Tells the user when an editor's write-back to a history did not reach the disk. One per
// store, living as long as it; it remembers the toast of each editor that wrote.
class WriteBackWatcher : public QObject {
public:
    static void watch(HistoryStore* store, const QUuid& id,
                      std::function<void(QString, QString, QString)> toast)
    {
        // Not findChild: without Q_OBJECT its cast would accept any child of the store.
        WriteBackWatcher* watcher = nullptr;
        for (QObject* child : store->children())
            if ((watcher = dynamic_cast<WriteBackWatcher*>(child)))
                break;
        if (!watcher)
            watcher = new WriteBackWatcher(store);
        watcher->toasts_.insert(id, std::move(toast));
    }

private:
    explicit WriteBackWatcher(HistoryStore* store) : QObject(store)
    {
        connect(store, &HistoryStore::imageWriteFailed, this, [this](const QUuid& id, const QString& reason) {
            const auto toast = toasts_.value(id);
            if (toast)
                toast(kx::tr("History not updated", "Az előzmények nem frissültek",
                             "Verlauf nicht aktualisiert"),
                      reason, kWarn);
        });
    }

    QHash<QUuid, std::function<void(QString, QString, QString)>> toasts_;
};

// The services a finished background step reports through.
struct Delivery {
    std::function<void(const QString&, const QString&, const QString&)> toast;
    std::function<void(QMimeData*)> setClipboard;
    std::function<QStringList(const QImage&)> barcodes;
};

struct Encoded {
    QByteArray bytes;
    QImage image;
};

}  // namespace

QImage EditorWindowController::render(bool includeBeautify)
{
    try {
        return doc_->renderFinal(includeBeautify);
    } catch (const std::exception&) {
        // Out of memory here or in a kernel on a worker (rethrown by the pool).
        return {};
    }
}

QHash<QUuid, quint64>& EditorWindowController::writeBacks()
{
    static QHash<QUuid, quint64> counts;
    return counts;
}

void EditorWindowController::commitToHistory()
{
    commit(true);
}

void EditorWindowController::commit(bool mayAsk)
{
    HistoryStore* store = services_.history;
    if (!store || writeTo_.isNull() || !doc_->isDirty())
        return;
    const QImage image = render(false);
    if (image.isNull()) {
        if (services_.toast)
            services_.toast(
                kx::tr("History not updated", "Az előzmények nem frissültek", "Verlauf nicht aktualisiert"),
                kx::tr("Not enough memory to render the image.", "Nincs elég memória a kép elkészítéséhez.",
                       "Nicht genug Speicher, um das Bild zu erstellen."),
                kWarn);
        return;
    }
    const double scale = editor::saneScale(doc_->scale());
    // Another window wrote to the entry since this one read it: its work is not replaced
    // unless the user says so; otherwise these edits become an entry of their own.
    if (writeBacks().value(writeTo_) != seenWrites_ && store->entry(writeTo_)) {
        const bool replace =
            mayAsk && services_.replaceChangedEntry && services_.replaceChangedEntry(window_);
        if (!replace) {
            const QDateTime now = services_.now ? services_.now() : QDateTime::currentDateTime();
            const HistoryEntry kept =
                store->add(CaptureResult{image, scale, doc_->kind(), doc_->title(), now});
            writeTo_ = kept.id;
            seenWrites_ = writeBacks().value(kept.id);
            WriteBackWatcher::watch(store, kept.id, services_.toast);
            return;
        }
    }
    WriteBackWatcher::watch(store, writeTo_, services_.toast);
    store->update(writeTo_, image, scale);
    seenWrites_ = ++writeBacks()[writeTo_];
}

void EditorWindowController::copy(CopyMode mode)
{
    const QImage image = render(true);
    const double scale = editor::saneScale(doc_->scale());
    const EditorServices services = services_;
    const QPointer<EditorWindowController> self(this);
    if (image.isNull()) {
        services.toast(copyFailedText(), QString(), kWarn);
        Q_EMIT copyFinished(false);
        return;
    }
    QtConcurrent::run([image, scale] {
        return encoded(image, ImageFormat::png, 0.9, scale);
    }).then(qApp, [services, image, scale, self](const std::optional<QByteArray>& png) {
        if (!png) {
            services.toast(copyFailedText(), QString(), kWarn);
        } else {
            services.setClipboard(new EncodedImageMime(*png, image, scale));
            services.toast(
                kx::tr("Copied to clipboard", "Vágólapra másolva", "In die Zwischenablage kopiert"),
                editor::pixelSize(image.size()), kOk);
        }
        if (self)
            Q_EMIT self->copyFinished(bool(png));
    });
    if (mode == CopyMode::copyAndClose)
        window_->close();  // the close commits
    else
        commitToHistory();
}

void EditorWindowController::cmdSave()
{
    const QImage image = render(true);
    const double scale = editor::saneScale(doc_->scale());
    const QString folder = services_.saveFolder ? services_.saveFolder() : QString();
    const QDateTime date = services_.now ? services_.now() : QDateTime::currentDateTime();
    const QString base = FileNaming::baseName(date, doc_->title(), doc_->kind());
    const EditorServices services = services_;
    const QPointer<EditorWindowController> self(this);
    const auto finish = [services, self](const SaveResult& result) {
        if (result.ok()) {
            services.toast(kx::tr("Saved", "Mentve", "Gesichert"), QFileInfo(result.path).fileName(), kOk);
            if (services.revealFile)
                services.revealFile(result.path);
        } else {
            services.toast(saveFailedText(), result.error, kWarn);
        }
        if (self) {
            Q_EMIT self->saveFinished(result.path);
            self->commitToHistory();
        }
    };
    if (image.isNull() || folder.isEmpty()) {
        finish({});
        return;
    }
    QtConcurrent::run([image, scale, folder, base] {
        const std::optional<Exporter::Encoded> bytes = Exporter::data(image, scale);
        if (!bytes)
            return SaveResult{};
        return saveExclusively(folder, base, bytes->ext, bytes->data);
    }).then(qApp, finish);
}

void EditorWindowController::saveFailed(const QString& message)
{
    services_.toast(saveFailedText(), message, kWarn);
}

void EditorWindowController::saveAs()
{
    const QImage image = render(true);
    if (image.isNull()) {
        saveFailed(QString());
    } else if (services_.saveWithPanel) {
        const QPointer<EditorWindowController> self(this);
        const Exporter::SaveOutcome outcome =
            services_.saveWithPanel(image, doc_->scale(), doc_->kind(), doc_->title(), window_);
        // The dialog ran its own event loop: the window may be gone.
        if (!self)
            return;
        if (outcome.status == Exporter::SaveOutcome::Status::failed)
            saveFailed(outcome.message);
    }
    commitToHistory();
}

void EditorWindowController::pin(const QImage& image, double scale)
{
    if (services_.pin)
        services_.pin(image, editor::saneScale(scale));
}

void EditorWindowController::pinFinished()
{
    const QImage image = render(true);
    if (!image.isNull())
        pin(image, doc_->scale());
    commitToHistory();
}

void EditorWindowController::copy1x()
{
    const QImage image = render(true);
    const double scale = editor::saneScale(doc_->scale());
    if (image.isNull())
        return;
    const EditorServices services = services_;
    const QSizeF target(image.width() / scale, image.height() / scale);
    QtConcurrent::run([image, target] {
        Encoded e;
        e.image = resized(image, target);
        if (!e.image.isNull())
            e.bytes = encoded(e.image, ImageFormat::png, 0.9, 1.0).value_or(QByteArray());
        return e;
    }).then(qApp, [services](const Encoded& e) {
        if (e.image.isNull())
            return;  // nothing to copy, nothing to say
        if (e.bytes.isEmpty()) {
            services.toast(copyFailedText(), QString(), kWarn);
            return;
        }
        services.setClipboard(new EncodedImageMime(e.bytes, e.image, 1.0));
        services.toast(kx::tr("Copied @1x", "Másolva @1x", "@1x kopiert"), editor::pixelSize(e.image.size()),
                       kOk);
    });
}

void EditorWindowController::share(QWidget* anchor)
{
    const QImage image = render(true);
    const QString folder = services_.shareFolder ? services_.shareFolder() : QString();
    if (image.isNull() || folder.isEmpty()) {
        services_.toast(saveFailedText(), QString(), kWarn);
        return;
    }
    const double scale = editor::saneScale(doc_->scale());
    const QString base = FileNaming::baseName(QDateTime::currentDateTime(), doc_->title(), doc_->kind());
    // The file is written while the menu is open; a chosen item acts once it is there.
    QFuture<SaveResult> file = QtConcurrent::run([image, scale, folder, base] {
        const auto png = encoded(image, ImageFormat::png, 0.9, scale);
        return png ? saveExclusively(folder, base, QStringLiteral("png"), *png) : SaveResult{};
    });
    const EditorServices services = services_;
    auto* menu = new QMenu(window_);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    scrollWhenTall(menu);
    const auto item = [&](const QString& text, std::function<void(const QString&)> act) {
        menu->addAction(text, menu, [file, services, act] {
            QFuture<SaveResult>(file).then(qApp, [services, act](const SaveResult& r) {
                if (r.ok())
                    act(r.path);
                else
                    services.toast(saveFailedText(), r.error, kWarn);
            });
        });
    };
    item(kx::tr("Copy file path", "Fájl elérési útjának másolása", "Dateipfad kopieren"),
         [services](const QString& path) {
             auto* data = new QMimeData;
             data->setText(path);
             services.setClipboard(data);
         });
    item(kx::tr("Open with default app", "Megnyitás az alapértelmezett alkalmazással",
                "Mit Standard-App öffnen"),
         [services](const QString& path) {
             if (services.openFile)
                 services.openFile(path);
         });
    item(kx::tr("Show in file manager", "Megjelenítés a fájlkezelőben", "Im Dateimanager anzeigen"),
         [services](const QString& path) {
             if (services.revealFile)
                 services.revealFile(path);
         });
    menu->popup(anchor->mapToGlobal(QPoint(0, anchor->height() + 4)));
}

void EditorWindowController::cmdUpload()
{
    commitToHistory();
    const QImage image = render(true);
    if (services_.upload && !image.isNull())
        services_.upload(image, editor::saneScale(doc_->scale()), writeTo_, doc_->title());
}

void EditorWindowController::palette()
{
    const QImage image = render(false);
    if (services_.palette && !image.isNull())
        services_.palette(image);
}

void EditorWindowController::cmdOCR()
{
    if (!services_.recognizeText)
        return;
    const QImage image = render(false);
    if (image.isNull())
        return;
    doc_->setBusyMessage(kx::tr("Recognizing text…", "Szövegfelismerés…", "Text wird erkannt…"));
    // The document and services are held, not the window: a closed editor still delivers.
    const std::shared_ptr<EditorDocument> doc = doc_;
    // Only what the result needs: a closure that made the search must not be kept by it.
    Delivery services{services_.toast, services_.setClipboard, services_.barcodes};
    struct Read {
        OCRResult text;
        QStringList codes;
    };
    services_.recognizeText(image)
        .onCanceled([] {
            return OCRResult{false, QStringLiteral("cancelled"), {}};
        })
        // The codes are read on a worker too: a large image takes the detector a while.
        .then(QtFuture::Launch::Async,
              [services, image](const OCRResult& result) {
                  return Read{result, services.barcodes ? services.barcodes(image) : QStringList()};
              })
        .then(qApp, [doc, services](const Read& read) {
            doc->setBusyMessage(std::nullopt);
            QString text = read.text.text();
            if (!read.codes.isEmpty())
                text += (text.isEmpty() ? QString() : QStringLiteral("\n\n")) +
                        read.codes.join(QLatin1Char('\n'));
            if (text.isEmpty() && !read.text.ok) {
                services.toast(kx::tr("Text recognition failed", "A szövegfelismerés nem sikerült",
                                      "Texterkennung fehlgeschlagen"),
                               read.text.error, kWarn);
                return;
            }
            if (text.isEmpty()) {
                services.toast(kx::tr("No text found", "Nem található szöveg", "Kein Text gefunden"),
                               QString(),
                               QStringLiteral("text.viewfinder"));  // symbol
                return;
            }
            auto* data = new QMimeData;
            data->setText(text);
            services.setClipboard(data);
            services.toast(kx::tr("Text copied", "Szöveg másolva", "Text kopiert"), text.left(160),
                           QStringLiteral("text.viewfinder"));  // symbol
        });
}

void EditorWindowController::cmdRedact()
{
    if (!services_.findSensitive)
        return;
    const QImage image = render(false);
    if (image.isNull())
        return;
    doc_->setBusyMessage(
        kx::tr("Looking for sensitive data…", "Érzékeny adatok keresése…", "Suche nach sensiblen Daten…"));
    const std::shared_ptr<EditorDocument> doc = doc_;
    Delivery services{services_.toast, {}, {}};
    // The places found refer to this base; a crop, a join or an undo of one makes them stale.
    const qint64 baseKey = doc->base().cacheKey();
    services_.findSensitive(image)
        .onCanceled([] { return SensitiveData::Result{}; })
        .then(qApp, [doc, services, baseKey](const SensitiveData::Result& found) {
            doc->setBusyMessage(std::nullopt);
            if (found.ok && !found.matches.isEmpty() && doc->base().cacheKey() != baseKey) {
                services.toast(kx::tr("Image changed – run Redact again",
                                      "A kép megváltozott – futtasd újra az eltakarást",
                                      "Bild geändert – Schwärzen erneut ausführen"),
                               QString(), kWarn);
                return;
            }
            const RedactionNotice notice = applyRedaction(*doc, found);
            services.toast(notice.title, notice.subtitle, notice.symbol);
        });
}

void EditorWindowController::addCapture(std::optional<EditorDocument::AddEdge> edge)
{
    if (!services_.captureArea || !window_)
        return;
    // Out of the way, so that it is not in the capture.
    window_->hide();
    const QPointer<EditorWindowController> self(this);
    QTimer::singleShot(250, this, [self, edge] {
        if (!self)
            return;
        self->services_.captureArea().then(self.data(), [self,
                                                         edge](const std::optional<CaptureResult>& result) {
            if (!self)
                return;
            QWidget* w = self->window_;
            w->show();
            w->raise();
            w->activateWindow();
            if (result && !result->image.isNull()) {
                EditorDocument& doc = *self->doc_;
                const double scale = editor::saneScale(result->scale);
                if (edge) {
                    doc.append(result->image, scale, *edge);
                    QTimer::singleShot(0, self.data(), [self] {
                        if (self)
                            self->cmdZoomFit(1);
                    });
                    self->services_.toast(kx::tr("Capture added", "Kép hozzáadva", "Aufnahme hinzugefügt"),
                                          editor::pixelSize(doc.base().size()),
                                          QStringLiteral("plus.rectangle.on.rectangle"));  // symbol
                } else {
                    doc.addPicture(result->image, scale);
                    self->services_.toast(kx::tr("Picture added", "Kép hozzáadva", "Bild hinzugefügt"),
                                          kx::tr("Drag to move, drag the corners to resize.",
                                                 "Húzd a mozgatáshoz, a sarkokat az átméretezéshez.",
                                                 "Zum Verschieben ziehen, an den Ecken die Größe ändern."),
                                          QStringLiteral("pip"));  // symbol
                }
            }
            self->canvas_->setFocus(Qt::OtherFocusReason);
        });
    });
}

}  // namespace kx
