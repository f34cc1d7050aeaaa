#include "capture/history/HistorySearch.h"

#include <QHash>
#include <algorithm>
#include <cstring>
#include <type_traits>

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
    std::vector<qsizetype>().swap(lastAt_);
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
    lastAt_.clear();
    built_ = true;
}

qsizetype HistorySearchIndex::firstIn(qsizetype i, qsizetype from, const QByteArray& query) const
{
    const qsizetype end = starts_[size_t(i) + 1] - 1;  // the text's NUL
    if (end - from < query.size())
        return -1;
    const char* at = hay_.constData() + from;
    // Typing on at the end of the query: mostly it still stands where the shorter one did.
    if (std::memcmp(at, query.constData(), size_t(query.size())) == 0)
        return from;
    const void* found = memmem(at + 1, size_t(end - from - 1), query.constData(), size_t(query.size()));
    return found ? static_cast<const char*>(found) - hay_.constData() : -1;
}

void HistorySearchIndex::prepare(const QList<HistoryEntry>& entries, const TextOf& textOf)
{
    // Compared as 16 bytes: QUuid's operator== goes field by field, which at 50,000 entries was
    // a fifth of a keystroke's search.
    static_assert(sizeof(QUuid) == 16 && std::has_unique_object_representations_v<QUuid>);
    bool same = built_ && stale_.isEmpty() && ids_.size() == size_t(entries.size());
    for (qsizetype i = 0; same && i < entries.size(); ++i)
        same = std::memcmp(&ids_[size_t(i)], &entries[i].id, sizeof(QUuid)) == 0;
    if (!same)
        rebuild(entries, textOf);
}

std::vector<qsizetype> HistorySearchIndex::find(const QList<HistoryEntry>& entries, const TextOf& textOf,
                                                const QString& text)
{
    prepare(entries, textOf);

    std::vector<qsizetype> hits, at;
    const QByteArray query = text.toUtf8();
    if (query.isEmpty() || query.contains('\0'))
        return hits;  // no text holds a NUL: they were blanked above
    if (const qsizetype shift = lastQuery_.isEmpty() ? -1 : query.indexOf(lastQuery_); shift >= 0) {
        // Every entry that holds the longer query holds the previous one, `shift` bytes after
        // the longer one begins: so no sooner than `shift` bytes before the previous one first
        // stood.
        hits.reserve(lastHits_.size());
        at.reserve(lastHits_.size());
        for (size_t n = 0; n < lastHits_.size(); ++n) {
            const qsizetype i = lastHits_[n];
            const qsizetype found = firstIn(i, std::max(starts_[size_t(i)], lastAt_[n] - shift), query);
            if (found >= 0) {
                hits.push_back(i);
                at.push_back(found);
            }
        }
    } else {
        const char* base = hay_.constData();
        for (qsizetype from = 0; from < hay_.size();) {
            const void* found =
                memmem(base + from, size_t(hay_.size() - from), query.constData(), size_t(query.size()));
            if (!found)
                break;
            const qsizetype place = static_cast<const char*>(found) - base;
            const auto next = std::upper_bound(starts_.begin(), starts_.end(), place);
            hits.push_back(qsizetype(next - starts_.begin()) - 1);
            at.push_back(place);
            from = *next;  // on to the next entry's text
        }
    }
    lastQuery_ = query;
    lastHits_ = hits;
    lastAt_ = std::move(at);
    return hits;
}

}  // namespace kx
