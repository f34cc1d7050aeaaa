#include "library/history/HistoryActions.h"

#include "analysis/PaletteWindowController.h"
#include "capture/history/HistoryStore.h"
#include "core/Localisation.h"
#include "editor/Exporter.h"
#include "editor/window/EditorWindowController.h"
#include "library/pins/PinManager.h"
#include "library/upload/RemoteUploader.h"
#include "platform/Clipboard.h"
#include "platform/FileManagerReveal.h"
#include "ui/Symbols.h"
#include "ui/Toast.h"
#include "ui/ToastView.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>

namespace kx {

namespace {

constexpr double kFailureSeconds = 5.0;

void failure(const HistoryServices& s, const QString& title, const QString& subtitle = QString())
{
    if (s.toast)
        s.toast(title, subtitle, "exclamationmark.triangle.fill"_sym, kFailureSeconds);
}

void copyText(const HistoryServices& s, const std::optional<QString>& text)
{
    if (!text || !s.setClipboard)
        return;
    auto* data = new QMimeData;
    data->setText(*text);
    s.setClipboard(data);
}

bool isImageAction(EntryAction a)
{
    switch (a) {
        case EntryAction::open:
        case EntryAction::copyWithToast:
        case EntryAction::copyImage:
        case EntryAction::pin:
        case EntryAction::saveAs:
        case EntryAction::palette:
        case EntryAction::upload:
            return true;
        default:
            return false;
    }
}

void runImageAction(EntryAction action, const HistoryEntry& entry, const DecodedImage& img,
                    const HistoryServices& s)
{
    switch (action) {
        case EntryAction::open:
            if (const auto current = s.store->entry(entry.id); current && s.openEditor)
                s.openEditor(
                    CaptureResult{img.image, img.scale, current->kind, current->title, current->date},
                    entry.id);
            break;
        case EntryAction::copyWithToast:
        case EntryAction::copyImage:
            if (s.setClipboard)
                s.setClipboard(Clipboard::mimeDataFor(img.image, img.scale));
            if (action == EntryAction::copyWithToast && s.toast)
                s.toast(kx::tr("Copied to clipboard", "Vágólapra másolva", "In die Zwischenablage kopiert"),
                        QString(), "checkmark.circle.fill"_sym, 3.0);
            break;
        case EntryAction::pin:
            if (s.pin)
                s.pin(img.image, img.scale);
            break;
        case EntryAction::saveAs:
            if (s.saveAs)
                s.saveAs(img.image, img.scale, entry.kind, entry.title);
            break;
        case EntryAction::palette:
            if (s.palette)
                s.palette(img.image);
            break;
        case EntryAction::upload:
            if (s.upload)
                s.upload(img.image, img.scale, entry);
            break;
        default:
            break;
    }
}

}  // namespace

void runEntryAction(EntryAction action, const HistoryEntry& entry, const HistoryServices& s)
{
    if (isImageAction(action)) {
        const auto img = s.store->loadImage(entry.id);
        if (!img) {
            failure(s, kx::tr("The image file cannot be read", "A képfájl nem olvasható",
                              "Die Bilddatei kann nicht gelesen werden"));
            return;
        }
        runImageAction(action, entry, *img, s);
        return;
    }
    switch (action) {
        case EntryAction::copyText:
            copyText(s, entry.ocrText);
            break;
        case EntryAction::copyLink:
            copyText(s, entry.uploadURL);
            break;
        case EntryAction::copyMarkdown:
            if (entry.uploadURL)
                copyText(s, markdownText(entry));
            break;
        case EntryAction::copyHTML:
            if (entry.uploadURL)
                copyText(s, htmlText(entry));
            break;
        case EntryAction::toggleStar:
            s.store->toggleFavorite(entry.id);
            break;
        case EntryAction::reveal:
            if (s.reveal) {
                const HistoryServices copy = s;
                s.reveal(QDir(s.store->dir()).filePath(uuidText(entry.id) + QStringLiteral(".png")),
                         [copy](bool shown) {
                             if (!shown)
                                 failure(copy, kx::tr("Could not open the file manager",
                                                      "A fájlkezelő nem nyitható meg",
                                                      "Der Dateimanager konnte nicht geöffnet werden"));
                         });
            }
            break;
        case EntryAction::remove:
            deleteEntries({entry.id}, s);
            break;
        default:
            break;
    }
}

void deleteEntries(const QList<QUuid>& ids, const HistoryServices& s)
{
    const QList<HistoryStore::RemoveFailure> failed = s.store->remove(ids);
    if (failed.isEmpty())
        return;
    QStringList reasons;
    for (const HistoryStore::RemoveFailure& f : failed) {
        if (!reasons.contains(f.reason))
            reasons.append(f.reason);
    }
    failure(s, kx::tr("Could not delete", "Nem sikerült törölni", "Löschen fehlgeschlagen"),
            reasons.join(QStringLiteral("; ")));
}

void deleteAllExceptStarred(const HistoryServices& s)
{
    QList<QUuid> ids;
    for (const HistoryEntry& e : s.store->entries()) {
        if (!e.favorite)
            ids.append(e.id);
    }
    deleteEntries(ids, s);
}

void confirmDeleteAllExceptStarred(const HistoryServices& s)
{
    QList<QUuid> ids;
    for (const HistoryEntry& e : s.store->entries()) {
        if (!e.favorite)
            ids.append(e.id);
    }
    if (ids.isEmpty() || !s.confirm)
        return;
    s.confirm(deleteAllExceptStarredConfirmation(int(ids.size())), [s, ids] {
        // Only what the question named: a capture taken or starred meanwhile stays.
        QList<QUuid> still;
        for (const QUuid& id : ids) {
            const std::optional<HistoryEntry> e = s.store->entry(id);
            if (e && !e->favorite)
                still.append(id);
        }
        deleteEntries(still, s);
    });
}

void askInDialog(const DeleteConfirmation& q, std::function<void()> accepted)
{
    auto* box = new QMessageBox(QMessageBox::Warning, q.title, q.title, QMessageBox::NoButton,
                                QApplication::activeWindow());
    box->setObjectName(QStringLiteral("deleteConfirmation"));
    box->setInformativeText(q.detail);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QPushButton* remove = box->addButton(q.action, QMessageBox::DestructiveRole);
    QPushButton* cancel = box->addButton(q.cancel, QMessageBox::RejectRole);
    // Return or Escape keeps everything; only the named button deletes.
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);
    QObject::connect(box, &QMessageBox::buttonClicked, box,
                     [remove, accepted = std::move(accepted)](QAbstractButton* b) {
                         if (b == remove)
                             accepted();
                     });
    box->open();
}

HistoryServices HistoryServices::live()
{
    HistoryServices s;
    s.store = &HistoryStore::shared();
    s.toast = [](const QString& title, const QString& subtitle, const QString& symbol, double seconds) {
        Toast::present(new ToastView(title, subtitle, symbol), seconds);
    };
    s.setClipboard = [](QMimeData* data) { QGuiApplication::clipboard()->setMimeData(data); };
    s.openEditor = [](const CaptureResult& capture, const QUuid& id) {
        EditorWindowController::open(capture, id);
    };
    s.pin = [](const QImage& image, double scale) { PinManager::shared().pin(image, scale); };
    s.saveAs = [](const QImage& image, double scale, SourceKind kind, const std::optional<QString>& title) {
        Exporter::saveWithPanel(image, scale, kind, title);
    };
    s.palette = [](const QImage& image) { PaletteWindowController::shared().show(image); };
    s.upload = [](const QImage& image, double scale, const HistoryEntry& entry) {
        RemoteUploader::upload(image, scale, entry, entry.title);
    };
    s.reveal = [](const QString& path, std::function<void(bool)> done) {
        showInFileManager(path,
                          [done = std::move(done)](RevealOutcome o) { done(o != RevealOutcome::failed); });
    };
    s.openFolder = [](const QString& folder) { QDesktopServices::openUrl(QUrl::fromLocalFile(folder)); };
    s.confirm = askInDialog;
    return s;
}

}  // namespace kx
