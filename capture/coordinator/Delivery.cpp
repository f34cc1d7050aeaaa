// The after-capture sequence and the quick-preview card's actions.
#include "analysis/BackgroundWork.h"
#include "capture/coordinator/CaptureCoordinator.h"
#include "capture/coordinator/Notices.h"
#include "capture/coordinator/SaveFolder.h"
#include "capture/history/HistoryStore.h"
#include "capture/notice/QuickPreviewView.h"
#include "core/ImageUtils.h"
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "ui/Symbols.h"
#include "ui/Toast.h"

#include <QFileInfo>
#include <QPointer>
#include <memory>

namespace kx {

namespace {

void reportSaveFailure(const SaveOutcome& out)
{
    Notices::show(kx::tr("Save failed", "A mentés nem sikerült", "Speichern fehlgeschlagen"), out.error,
                  "exclamationmark.triangle.fill"_sym, 5);
}

}  // namespace

void CaptureCoordinator::deliver(const CaptureResult& result)
{
    if (env_.shutter)
        env_.shutter();
    // One PNG encode, started first, for the clipboard, the history's file and the save folder.
    const QFuture<QByteArray> png =
        env_.encodePng ? env_.encodePng(result.image, result.scale) : QFuture<QByteArray>();
    const HistoryEntry entry = history().add(result, png);
    if (Prefs::boolean("after.copy") && env_.copyImage)
        env_.copyImage(result.image, result.scale, png);
    if (Prefs::boolean("after.save")) {
        // Background work waits until the file is written.
        SaveFolder::save(result.image, result.scale, result.date, result.title, result.kind, png)
            .then(this, [writing = BackgroundWork::hold()](SaveOutcome out) {
                if (!out.ok)
                    reportSaveFailure(out);
            });
    }
    if (Prefs::boolean("after.editor") && env_.openEditor)
        env_.openEditor(result, entry.id);
    else if (Prefs::boolean("after.preview"))
        showPreview(result, entry);
    if (Prefs::boolean("after.upload") && env_.upload)
        env_.upload(result.image, result.scale, entry, result.title);
    Q_EMIT delivered(entry);
}

void CaptureCoordinator::showPreview(const CaptureResult& result, const HistoryEntry& entry)
{
    const QImage thumbnail = fitted(result.image, 700);
    const QString info = QStringLiteral("%1 × %2 px · %3")
                             .arg(result.image.width())
                             .arg(result.image.height())
                             .arg(label(result.kind));
    QuickPreviewActions actions;
    // Each action ends this card itself (a save ends it once written, perhaps after a newer
    // card came); a notice beside it keeps its own time.
    auto card = std::make_shared<QPointer<QWidget>>();
    const auto endCard = [card] { Toast::dismiss(*card); };
    actions.edit = [this, result, entry, endCard] {
        endCard();
        if (env_.openEditor)
            env_.openEditor(result, entry.id);
    };
    actions.copy = [this, result, endCard] {
        if (env_.copyImage)
            env_.copyImage(result.image, result.scale, {});
        endCard();
    };
    actions.pin = [this, result, endCard] {
        if (env_.pin)
            env_.pin(result.image, result.scale, std::nullopt);
        endCard();
    };
    actions.save = [this, result, endCard] {
        SaveFolder::save(result.image, result.scale, QDateTime::currentDateTime(), result.title, result.kind)
            .then(this, [endCard](SaveOutcome out) {
                // A failure leaves the card up, so that the user can try another way.
                if (!out.ok)
                    return reportSaveFailure(out);
                endCard();
                Notices::show(kx::tr("Saved", "Mentve", "Gespeichert"), Notices::savedName(out.path),
                              "checkmark.circle.fill"_sym, 3);
            });
    };
    if (!Prefs::trimmed("remote.host").isEmpty() && env_.upload) {
        actions.upload = [this, result, entry, endCard] {
            endCard();
            env_.upload(result.image, result.scale, entry, result.title);
        };
    }
    actions.close = endCard;
    auto* view = new QuickPreviewView(thumbnail, info, std::move(actions));
    Toast::present(view, 6.0);
    *card = view->window();
}

}  // namespace kx
