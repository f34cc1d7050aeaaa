#pragma once
// Substring search over the lower-cased search texts of the history at keystroke speed:
// the texts live in one contiguous UTF-8 buffer searched with memmem (a UTF-8 needle can
// only match on character boundaries), and a query that extends the previous one only
// re-checks the previous hits.

#include "capture/history/HistoryEntry.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QUuid>
#include <vector>

namespace kx {

class HistorySearchIndex {
public:
    // A search text changed; the next find() rebuilds. Membership and order changes of the
    // entries are noticed by find() itself.
    void invalidate() { dirty_ = true; }

    // Positions in `entries` of those whose text in `texts` contains `query` (lower-case,
    // not empty), in order.
    std::vector<qsizetype> find(const QList<HistoryEntry>& entries, const QHash<QUuid, QString>& texts,
                                const QString& query);

private:
    void rebuild(const QList<HistoryEntry>& entries, const QHash<QUuid, QString>& texts);
    bool containsAt(qsizetype i, const QByteArray& query) const;

    bool dirty_ = true;
    QByteArray hay_;                 // the texts in UTF-8, each followed by a NUL
    std::vector<qsizetype> starts_;  // where entry i's text begins; one more at the end
    std::vector<QUuid> ids_;         // the entries the texts were taken from, in order
    QByteArray lastQuery_;
    std::vector<qsizetype> lastHits_;
};

}  // namespace kx
