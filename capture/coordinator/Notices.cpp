#include "capture/coordinator/Notices.h"

#include "capture/history/HistoryStore.h"
#include "core/Localisation.h"
#include "ui/Symbols.h"
#include "ui/Toast.h"
#include "ui/ToastView.h"

#include <QFileInfo>

namespace kx {

Notices& Notices::shared()
{
    static auto* instance = new Notices;
    return *instance;
}

void Notices::show(const QString& title, const QString& subtitle, const QString& symbol, double seconds)
{
    Toast::present(new ToastView(title, subtitle, symbol), seconds);
    Q_EMIT shared().shown(title, subtitle);
}

QString Notices::savedName(const QString& path)
{
    return ToastView::shortName(QFileInfo(path).fileName(), 120);
}

void Notices::captureFailed(const QString& reason)
{
    show(kx::tr("Capture failed", "A képernyőkép nem sikerült", "Aufnahme fehlgeschlagen"), reason,
         "exclamationmark.triangle.fill"_sym, 5);
}

void Notices::watchHistory(HistoryStore& store)
{
    static const char* const kWatched = "kx.notices.watched";
    if (store.property(kWatched).toBool())
        return;
    store.setProperty(kWatched, true);
    QObject::connect(&store, &HistoryStore::captureDropped, &shared(),
                     [](const QUuid&, const QString& reason) {
                         show(kx::tr("Capture not kept in the history", "A kép nem került az előzmények közé",
                                     "Aufnahme nicht im Verlauf gespeichert"),
                              reason, "exclamationmark.triangle.fill"_sym, 6);
                     });
    QObject::connect(&store, &HistoryStore::manyPruned, &shared(),
                     [](const QString& title, const QString& text) {
                         // As at the start: a warning, shown beside a capture's card.
                         show(title, text, "exclamationmark.triangle.fill"_sym, 8);
                     });
    QObject::connect(&store, &HistoryStore::indexWriteFailed, &shared(), [](const QString& reason) {
        show(kx::tr("History not saved", "Az előzmények nincsenek mentve", "Verlauf nicht gespeichert"),
             reason, "exclamationmark.triangle.fill"_sym, 6);
    });
    QObject::connect(&store, &HistoryStore::copiesNotCleaned, &shared(), [](const QString& reason) {
        show(kx::tr("Deletion not finished", "A törlés nem fejeződött be", "Löschen nicht abgeschlossen"),
             reason, "exclamationmark.triangle.fill"_sym, 6);
    });
}

}  // namespace kx
