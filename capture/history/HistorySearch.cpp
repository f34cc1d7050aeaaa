#include "capture/history/HistorySearch.h"

#include <QHash>
#include <algorithm>
#include <cstring>

namespace kx {

void HistorySearchIndex::stale(const QUuid& id)
{
    if (!built_)
        return;  // nothing is held yet
    stale_.insert(id);
    // A process that stopped searching would collect ids for ever; once more texts changed
    // than there are, none is worth keeping.
    if (size_t(stale_.size()) > ids_.size())
        clear();
}

void HistorySearchIndex::clear()
{
    built_ = false;
    stale_ = {};
    hay_ = QByteArray();
    std::vector<qsizetype>().swap(starts_);
    std::vector<QUuid>().swap(ids_);
    lastQuery_ = QByteArray();
    std::vector<qsizetype>().swap(lastHits_);
}

void HistorySearchIndex::rebuild(const QList<HistoryEntry>& entries, const TextOf& textOf)
{
    // Where each unchanged text sits in the buffer; an id held twice is taken anew.
    QHash<QUuid, qsizetype> old;
    if (built_) {
        old.reserve(qsizetype(ids_.size()));
        for (size_t k = 0; k < ids_.size(); ++k) {
            if (stale_.contains(ids_[k]))
                continue;
            const auto it = old.find(ids_[k]);
            if (it == old.end())
                old.insert(ids_[k], qsizetype(k));
            else
                it.value() = -1;
        }
    }
    std::vector<qsizetype> from(size_t(entries.size()), -1);
    std::vector<QByteArray> fresh;
    qsizetype total = 0;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const qsizetype k = old.value(entries[i].id, -1);
        if (k >= 0) {
            from[size_t(i)] = k;
            total += starts_[size_t(k) + 1] - starts_[size_t(k)];
        } else {
            fresh.push_back(textOf(entries[i]).toUtf8());
            // A NUL inside a text would let a match run into the next entry.
            std::replace(fresh.back().begin(), fresh.back().end(), '\0', ' ');
            total += fresh.back().size() + 1;
        }
    }
    QByteArray hay;
    hay.reserve(total);
    std::vector<qsizetype> starts;
    starts.reserve(size_t(entries.size()) + 1);
    std::vector<QUuid> ids;
    ids.reserve(size_t(entries.size()));
    size_t next = 0;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        starts.push_back(hay.size());
        ids.push_back(entries[i].id);
        if (const qsizetype k = from[size_t(i)]; k >= 0) {
            hay.append(hay_.constData() + starts_[size_t(k)], starts_[size_t(k) + 1] - starts_[size_t(k)]);
        } else {
            hay += fresh[next];
            fresh[next++] = QByteArray();
            hay += '\0';
        }
    }
    starts.push_back(hay.size());
    hay_ = std::move(hay);
    starts_ = std::move(starts);
    ids_ = std::move(ids);
    stale_.clear();
    lastQuery_.clear();
    lastHits_.clear();
    built_ = true;
}

bool HistorySearchIndex::containsAt(qsizetype i, const QByteArray& query) const
{
    const size_t k = size_t(i);
    return memmem(hay_.constData() + starts_[k], size_t(starts_[k + 1] - starts_[k] - 1), query.constData(),
                  size_t(query.size())) != nullptr;
}

void HistorySearchIndex::prepare(const QList<HistoryEntry>& entries, const TextOf& textOf)
{
    bool same = built_ && stale_.isEmpty() && ids_.size() == size_t(entries.size());
    for (qsizetype i = 0; same && i < entries.size(); ++i)
        same = ids_[size_t(i)] == entries[i].id;
    if (!same)
        rebuild(entries, textOf);
}

std::vector<qsizetype> HistorySearchIndex::find(const QList<HistoryEntry>& entries, const TextOf& textOf,
                                                const QString& text)
{
    prepare(entries, textOf);

    std::vector<qsizetype> hits;
    const QByteArray query = text.toUtf8();
    if (query.isEmpty() || query.contains('\0'))
        return hits;  // no text holds a NUL: they were blanked above
    if (!lastQuery_.isEmpty() && query.contains(lastQuery_)) {
        // Every entry that holds the longer query holds the previous one.
        for (qsizetype i : lastHits_) {
            if (containsAt(i, query))
                hits.push_back(i);
        }
    } else {
        const char* base = hay_.constData();
        for (qsizetype from = 0; from < hay_.size();) {
            const void* found =
                memmem(base + from, size_t(hay_.size() - from), query.constData(), size_t(query.size()));
            if (!found)
                break;
            const qsizetype at = static_cast<const char*>(found) - base;
            const auto next = std::upper_bound(starts_.begin(), starts_.end(), at);
            hits.push_back(qsizetype(next - starts_.begin()) - 1);
            from = *next;  // on to the next entry's text
        }
    }
    lastQuery_ = query;
    lastHits_ = hits;
    return hits;
}

}  // namespace kx
