#include "capture/history/HistoryStore.h"

#include "core/Localisation.h"
#include "core/Prefs.h"

#include <QSet>

namespace kx {

namespace {

constexpr qint64 kSecondsPerDay = 86400;

// A retention limit. A value that cannot be read as a whole number removes no more than
// the default would.
int limitSetting(const char* key)
{
    const QString k = QLatin1String(key);
    if (const auto n = Prefs::wholeNumber(k))
        return *n;
    return Prefs::registeredDefault(k).toInt();
}

// "30 days" / "1 day"; Hungarian puts no plural after a number.
QString days(int n)
{
    return n == 1 ? kx::tr("1 day", "1", "1 Tag") : kx::tr("%1 days", "%1", "%1 Tage").arg(n);
}

}  // namespace

HistoryStore::Notice HistoryStore::prunedNotice(qsizetype byAge, int maxDays, qsizetype byCount, int max)
{
    // Short enough for a toast's two title lines and three lines of text in every language.
    const qsizetype n = byAge + byCount;
    Notice notice;
    notice.title = n == 1
                       ? kx::tr("1 capture removed from the history", "1 kép törlődött az előzményekből",
                                "1 Aufnahme aus dem Verlauf entfernt")
                       : kx::tr("%1 captures removed from the history", "%1 kép törlődött az előzményekből",
                                "%1 Aufnahmen aus dem Verlauf entfernt")
                             .arg(n);
    if (byCount == 0)
        notice.text = (byAge == 1 ? kx::tr("Older than %1.", "%1 napnál régebbi volt.", "Älter als %1.")
                                  : kx::tr("Older than %1.", "%1 napnál régebbiek voltak.", "Älter als %1."))
                          .arg(days(maxDays));
    else if (byAge == 0)
        notice.text =
            kx::tr("The history keeps at most %1.", "Az előzmények legfeljebb %1 képet tartanak meg.",
                   "Der Verlauf behält höchstens %1.")
                .arg(max);
    else
        notice.text = kx::tr("%1 older than %2, %3 over the limit of %4.",
                             "%1 régebbi volt %2 napnál, %3 túllépte a korlátot (%4).",
                             "%1 älter als %2, %3 über der Grenze von %4.")
                          .arg(byAge)
                          .arg(days(maxDays))
                          .arg(byCount)
                          .arg(max);
    notice.text +=
        QLatin1Char(' ') + kx::tr("Starred ones stay. Limits: Settings → General → History.",
                                  "A csillagozottak megmaradnak. Korlátok: Beállítások → Általános → "
                                  "Előzmények.",
                                  "Favoriten bleiben. Grenzen: Einstellungen → Allgemein → Verlauf.");
    return notice;
}

void HistoryStore::prune()
{
    const int days = limitSetting("history.days");
    const int max = limitSetting("history.max");
    QList<QUuid> marked;
    QSet<QUuid> markedSet;
    const QDateTime cutoff = days >= 1 ? now_().addSecs(-qint64(days) * kSecondsPerDay) : QDateTime();
    if (cutoff.isValid()) {
        for (const HistoryEntry& e : std::as_const(entries_)) {
            if (!e.favorite && !spared_.contains(e.id) && e.date < cutoff) {
                marked.append(e.id);
                markedSet.insert(e.id);
            }
        }
    }
    if (max >= 1) {
        QList<QUuid> counted;
        for (const HistoryEntry& e : std::as_const(entries_)) {
            if (!e.favorite && !spared_.contains(e.id) && !markedSet.contains(e.id))
                counted.append(e.id);
        }
        for (qsizetype i = max; i < counted.size(); ++i)
            marked.append(counted[i]);
    }
    if (marked.isEmpty())
        return;
    const QList<RemoveFailure> failed = remove(marked);
    // An entry whose image could not be removed stayed: it did not go.
    qsizetype byAge = markedSet.size();
    qsizetype byCount = marked.size() - markedSet.size();
    for (const RemoveFailure& f : failed)
        --(markedSet.contains(f.id) ? byAge : byCount);
    if (byAge + byCount <= kQuietPrune)
        return;
    const Notice notice = prunedNotice(byAge, days, byCount, max);
    if (startNoticeTaken_)
        Q_EMIT manyPruned(notice.title, notice.text);
    else
        startNotice(notice.title, notice.text);
}

}  // namespace kx
