#pragma once
// Substring search over the lower-cased search texts of the history at keystroke speed:
// the texts live in one contiguous UTF-8 buffer searched with memmem (a UTF-8 needle can
// only match on character boundaries), and a query that extends the previous one only
// re-checks the previous hits, each from where the previous query first stood in it. The buffer is the only
// copy of the search texts: it is made at the first search (a process that never searches holds none), and a
// later one takes again only the texts that changed.

#include "capture/history/HistoryEntry.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <QUuid>
#include <functional>
#include <vector>

namespace kx {

class HistorySearchIndex {
public:
    // The lower-cased search text of an entry.
    using TextOf = std::function<QString(const HistoryEntry&)>;

    // The search text of this entry changed; the next find() takes it again. Membership and
    // order changes of the entries are noticed by find() itself.
    void stale(const QUuid& id);
    // Every text changed (or nobody will search soon): lets go of all of them.
    void clear();

    // Takes the texts that find() would take now, so that the next find() only searches.
    void prepare(const QList<HistoryEntry>& entries, const TextOf& textOf);
    // Positions in `entries` of those whose text contains `query` (lower-case, not empty),
    // in order.
    std::vector<qsizetype> find(const QList<HistoryEntry>& entries, const TextOf& textOf,
                                const QString& query);

    // Bytes held for the texts (for tests and measurements).
    qsizetype heldBytes() const { return hay_.capacity(); }

private:
    void rebuild(const QList<HistoryEntry>& entries, const TextOf& textOf);
    // Where `query` first stands in entry i's text at or after `from` (a place in hay_); -1 if not.
    qsizetype firstIn(qsizetype i, qsizetype from, const QByteArray& query) const;

    bool built_ = false;
    QSet<QUuid> stale_;              // changed since the last rebuild
    QByteArray hay_;                 // the texts in UTF-8, each followed by a NUL
    std::vector<qsizetype> starts_;  // where entry i's text begins; one more at the end
    std::vector<QUuid> ids_;         // the entries the texts were taken from, in order
    QByteArray lastQuery_;
    std::vector<qsizetype> lastHits_;
    std::vector<qsizetype> lastAt_;  // where lastQuery_ first stands in each hit's text
};

}  // namespace kx
