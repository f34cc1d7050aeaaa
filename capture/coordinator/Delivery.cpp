// The after-capture sequence and the quick-preview card's actions.
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
        SaveFolder::save(result.image, result.scale, result.date, result.title, result.kind, png)
            .then(this, [](SaveOutcome out) {
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
    actions.edit = [this, result, entry] {
        Toast::dismiss();
        if (env_.openEditor)
            env_.openEditor(result, entry.id);
    };
    actions.copy = [this, result] {
        if (env_.copyImage)
            env_.copyImage(result.image, result.scale, {});
        Toast::dismiss();
    };
    actions.pin = [this, result] {
        if (env_.pin)
            env_.pin(result.image, result.scale, std::nullopt);
        Toast::dismiss();
    };
    actions.save = [this, result] {
        SaveFolder::save(result.image, result.scale, QDateTime::currentDateTime(), result.title, result.kind)
            .then(this, [](SaveOutcome out) {
                if (!out.ok)
                    return reportSaveFailure(out);
                Notices::show(kx::tr("Saved", "Mentve", "Gespeichert"), QFileInfo(out.path).fileName(),
                              "checkmark.circle.fill"_sym, 3);
            });
    };
    if (!Prefs::trimmed("remote.host").isEmpty() && env_.upload) {
        actions.upload = [this, result, entry] {
            env_.upload(result.image, result.scale, entry, result.title);
        };
    }
    actions.close = [] { Toast::dismiss(); };
    Toast::present(new QuickPreviewView(thumbnail, info, std::move(actions)), 6.0);
}

}  // namespace kx
