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
        auto* watcher = store->findChild<WriteBackWatcher*>(QString(), Qt::FindDirectChildrenOnly);
        if (!watcher)
            watcher = new WriteBackWatcher(store);
        watcher->m_toasts.insert(id, std::move(toast));
    }

private:
    explicit WriteBackWatcher(HistoryStore* store) : QObject(store)
    {
        connect(store, &HistoryStore::imageWriteFailed, this, [this](const QUuid& id, const QString& reason) {
            const auto toast = m_toasts.value(id);
            if (toast)
                toast(kx::tr("History not updated", "Az előzmények nem frissültek",
                             "Verlauf nicht aktualisiert"),
                      reason, kWarn);
        });
    }

    QHash<QUuid, std::function<void(QString, QString, QString)>> m_toasts;
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
        return m_doc->renderFinal(includeBeautify);
    } catch (const std::exception&) {
        // Out of memory here or in a kernel on a worker (rethrown by the pool).
        return {};
    }
}

void EditorWindowController::commitToHistory()
{
    HistoryStore* store = m_services.history;
    if (!store || m_doc->historyID().isNull() || !m_doc->isDirty())
        return;
    const QImage image = render(false);
    if (image.isNull()) {
        if (m_services.toast)
            m_services.toast(
                kx::tr("History not updated", "Az előzmények nem frissültek", "Verlauf nicht aktualisiert"),
                kx::tr("Not enough memory to render the image.", "Nincs elég memória a kép elkészítéséhez.",
                       "Nicht genug Speicher, um das Bild zu erstellen."),
                kWarn);
        return;
    }
    WriteBackWatcher::watch(store, m_doc->historyID(), m_services.toast);
    store->update(m_doc->historyID(), image, editor::saneScale(m_doc->scale()));
}

void EditorWindowController::copy(CopyMode mode)
{
    const QImage image = render(true);
    const double scale = editor::saneScale(m_doc->scale());
    const EditorServices services = m_services;
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
        m_window->close();  // the close commits
    else
        commitToHistory();
}

void EditorWindowController::cmdSave()
{
    const QImage image = render(true);
    const double scale = editor::saneScale(m_doc->scale());
    const QString folder = m_services.saveFolder ? m_services.saveFolder() : QString();
    const QDateTime date = m_services.now ? m_services.now() : QDateTime::currentDateTime();
    const QString base = FileNaming::baseName(date, m_doc->title(), m_doc->kind());
    const EditorServices services = m_services;
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
    m_services.toast(saveFailedText(), message, kWarn);
}

void EditorWindowController::saveAs()
{
    const QImage image = render(true);
    if (image.isNull()) {
        saveFailed(QString());
    } else if (m_services.saveWithPanel) {
        const QPointer<EditorWindowController> self(this);
        const Exporter::SaveOutcome outcome =
            m_services.saveWithPanel(image, m_doc->scale(), m_doc->kind(), m_doc->title(), m_window);
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
    if (m_services.pin)
        m_services.pin(image, editor::saneScale(scale));
}

void EditorWindowController::pinFinished()
{
    const QImage image = render(true);
    if (!image.isNull())
        pin(image, m_doc->scale());
    commitToHistory();
}

void EditorWindowController::copy1x()
{
    const QImage image = render(true);
    const double scale = editor::saneScale(m_doc->scale());
    if (image.isNull())
        return;
    const EditorServices services = m_services;
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
    const QString folder = m_services.shareFolder ? m_services.shareFolder() : QString();
    if (image.isNull() || folder.isEmpty()) {
        m_services.toast(saveFailedText(), QString(), kWarn);
        return;
    }
    const double scale = editor::saneScale(m_doc->scale());
    const QString base = FileNaming::baseName(QDateTime::currentDateTime(), m_doc->title(), m_doc->kind());
    // The file is written while the menu is open; a chosen item acts once it is there.
    QFuture<SaveResult> file = QtConcurrent::run([image, scale, folder, base] {
        const auto png = encoded(image, ImageFormat::png, 0.9, scale);
        return png ? saveExclusively(folder, base, QStringLiteral("png"), *png) : SaveResult{};
    });
    const EditorServices services = m_services;
    auto* menu = new QMenu(m_window);
    menu->setAttribute(Qt::WA_DeleteOnClose);
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
    if (m_services.upload && !image.isNull())
        m_services.upload(image, editor::saneScale(m_doc->scale()), m_doc->historyID(), m_doc->title());
}

void EditorWindowController::palette()
{
    const QImage image = render(false);
    if (m_services.palette && !image.isNull())
        m_services.palette(image);
}

void EditorWindowController::cmdOCR()
{
    if (!m_services.recognizeText)
        return;
    const QImage image = render(false);
    if (image.isNull())
        return;
    m_doc->setBusyMessage(kx::tr("Recognizing text…", "Szövegfelismerés…", "Text wird erkannt…"));
    // The document and services are held, not the window: a closed editor still delivers.
    const std::shared_ptr<EditorDocument> doc = m_doc;
    // Only what the result needs: a closure that made the search must not be kept by it.
    Delivery services{m_services.toast, m_services.setClipboard, m_services.barcodes};
    m_services.recognizeText(image).then(qApp, [doc, services, image](const QString& recognised) {
        doc->setBusyMessage(std::nullopt);
        QString text = recognised;
        const QStringList codes = services.barcodes ? services.barcodes(image) : QStringList();
        if (!codes.isEmpty())
            text += (text.isEmpty() ? QString() : QStringLiteral("\n\n")) + codes.join(QLatin1Char('\n'));
        if (text.isEmpty()) {
            services.toast(kx::tr("No text found", "Nem található szöveg", "Kein Text gefunden"), QString(),
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
    if (!m_services.findSensitive)
        return;
    const QImage image = render(false);
    if (image.isNull())
        return;
    m_doc->setBusyMessage(
        kx::tr("Looking for sensitive data…", "Érzékeny adatok keresése…", "Suche nach sensiblen Daten…"));
    const std::shared_ptr<EditorDocument> doc = m_doc;
    Delivery services{m_services.toast, {}, {}};
    // The places found refer to this base; a crop, a join or an undo of one makes them stale.
    const qint64 baseKey = doc->base().cacheKey();
    m_services.findSensitive(image)
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
    if (!m_services.captureArea || !m_window)
        return;
    // Out of the way, so that it is not in the capture.
    m_window->hide();
    const QPointer<EditorWindowController> self(this);
    QTimer::singleShot(250, this, [self, edge] {
        if (!self)
            return;
        self->m_services.captureArea().then(self.data(), [self,
                                                          edge](const std::optional<CaptureResult>& result) {
            if (!self)
                return;
            QWidget* w = self->m_window;
            w->show();
            w->raise();
            w->activateWindow();
            if (result && !result->image.isNull()) {
                EditorDocument& doc = *self->m_doc;
                const double scale = editor::saneScale(result->scale);
                if (edge) {
                    doc.append(result->image, scale, *edge);
                    QTimer::singleShot(0, self.data(), [self] {
                        if (self)
                            self->cmdZoomFit(1);
                    });
                    self->m_services.toast(kx::tr("Capture added", "Kép hozzáadva", "Aufnahme hinzugefügt"),
                                           editor::pixelSize(doc.base().size()),
                                           QStringLiteral("plus.rectangle.on.rectangle"));  // symbol
                } else {
                    doc.addPicture(result->image, scale);
                    self->m_services.toast(kx::tr("Picture added", "Kép hozzáadva", "Bild hinzugefügt"),
                                           kx::tr("Drag to move, drag the corners to resize.",
                                                  "Húzd a mozgatáshoz, a sarkokat az átméretezéshez.",
                                                  "Zum Verschieben ziehen, an den Ecken die Größe ändern."),
                                           QStringLiteral("pip"));  // symbol
                }
            }
            self->m_canvas->setFocus(Qt::OtherFocusReason);
        });
    });
}

}  // namespace kx
