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

// How many went by each rule and why, with where the rule is set.
QString prunedNotice(qsizetype byAge, int days, qsizetype byCount, int max)
{
    QStringList parts;
    if (byAge > 0)
        parts << kx::tr("%1 captures older than %2 days were removed from the history.",
                        "%1 kép törlődött az előzményekből, mert régebbi volt %2 napnál.",
                        "%1 Aufnahmen, älter als %2 Tage, wurden aus dem Verlauf entfernt.")
                     .arg(byAge)
                     .arg(days);
    if (byCount > 0)
        parts << kx::tr("%1 captures were removed from the history to keep at most %2.",
                        "%1 kép törlődött az előzményekből, hogy legfeljebb %2 maradjon.",
                        "%1 Aufnahmen wurden aus dem Verlauf entfernt, um höchstens %2 zu behalten.")
                     .arg(byCount)
                     .arg(max);
    parts << kx::tr(
        "The limits are set under Settings → General → History; starred captures are never removed.",
        "A korlátok a Beállítások → Általános → Előzmények alatt állíthatók; a csillagozott képek "
        "sosem törlődnek.",
        "Die Grenzen stehen unter Einstellungen → Allgemein → Verlauf; Favoriten werden nie "
        "entfernt.");
    return parts.join(QLatin1Char(' '));
}

}  // namespace

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
    const QString title = kx::tr("Old captures removed", "Régi képek törölve", "Alte Aufnahmen entfernt");
    const QString text = prunedNotice(byAge, days, byCount, max);
    if (startNoticeTaken_) {
        Q_EMIT manyPruned(title, text);
        return;
    }
    if (startNotice_.isEmpty())
        startNoticeTitle_ = title;
    startNotice_ += (startNotice_.isEmpty() ? QString() : QStringLiteral(" ")) + text;
}

}  // namespace kx
