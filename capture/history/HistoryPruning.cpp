#include "capture/history/HistoryStore.h"

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
    if (!marked.isEmpty())
        remove(marked);
}

}  // namespace kx
