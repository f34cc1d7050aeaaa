#include "capture/history/HistorySearch.h"

#include <algorithm>
#include <cstring>

namespace kx {

void HistorySearchIndex::rebuild(const QList<HistoryEntry>& entries, const QHash<QUuid, QString>& texts)
{
    hay_.clear();
    starts_.clear();
    ids_.clear();
    qsizetype total = 0;
    for (const HistoryEntry& e : entries)
        total += texts.value(e.id).size() + 1;
    hay_.reserve(total + total / 8);
    starts_.reserve(size_t(entries.size()) + 1);
    ids_.reserve(size_t(entries.size()));
    for (const HistoryEntry& e : entries) {
        starts_.push_back(hay_.size());
        ids_.push_back(e.id);
        const qsizetype at = hay_.size();
        hay_ += texts.value(e.id).toUtf8();
        // A NUL inside a text would let a match run into the next entry.
        std::replace(hay_.begin() + at, hay_.end(), '\0', ' ');
        hay_ += '\0';
    }
    starts_.push_back(hay_.size());
    lastQuery_.clear();
    lastHits_.clear();
    dirty_ = false;
}

bool HistorySearchIndex::containsAt(qsizetype i, const QByteArray& query) const
{
    const size_t k = size_t(i);
    return memmem(hay_.constData() + starts_[k], size_t(starts_[k + 1] - starts_[k] - 1), query.constData(),
                  size_t(query.size())) != nullptr;
}

std::vector<qsizetype> HistorySearchIndex::find(const QList<HistoryEntry>& entries,
                                                const QHash<QUuid, QString>& texts, const QString& text)
{
    bool same = !dirty_ && ids_.size() == size_t(entries.size());
    for (qsizetype i = 0; same && i < entries.size(); ++i)
        same = ids_[size_t(i)] == entries[i].id;
    if (!same)
        rebuild(entries, texts);

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
