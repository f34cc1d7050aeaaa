#include "capture/history/HistoryStore.h"

#include "capture/history/SharedIndex.h"

#include <QSet>

namespace kx {

// The history shared with other Kaptorix of this user: what this process changed, and taking
// in what the others wrote.

void HistoryStore::note(const QUuid& id, quint8 fields)
{
    LocalChange& change = changes_[id];
    change.fields |= fields;
    change.version = ++changeVersion_;
}

QHash<QUuid, quint64> HistoryStore::changesToWrite() const
{
    QHash<QUuid, quint64> out;
    for (auto it = changes_.cbegin(); it != changes_.cend(); ++it) {
        // A capture whose image is not on disk yet stays out of the index, and its change waits.
        if (!unwritten_.contains(it.key()))
            out.insert(it.key(), it->version);
    }
    return out;
}

bool HistoryStore::takeMerged(quint64 sequence)
{
    const QHash<QUuid, quint64> taken = writing_.value(sequence);
    writing_.removeIf([&](const auto& w) { return w.key() <= sequence; });
    const std::optional<SharedIndex::Result> result = shared_->take(sequence);
    if (!result)
        return true;
    for (auto it = taken.cbegin(); it != taken.cend(); ++it) {
        if (const auto c = changes_.constFind(it.key()); c != changes_.cend() && c->version == it.value())
            changes_.erase(c);
    }
    // Only this process's changes: the entries already hold them.
    if (!result->foreign)
        return result->wrote;
    // The history as written, with what this process changed since; what another process
    // deleted is gone (its image was set aside: the write made sure).
    QList<HistoryEntry> now =
        mergeHistory(result->entries, entries_, changes_, [](const QUuid&) { return true; });
    if (sameEntries(now, entries_))
        return result->wrote;
    QHash<QUuid, const HistoryEntry*> before;
    for (const HistoryEntry& e : std::as_const(entries_))
        before.insert(e.id, &e);
    QSet<QUuid> kept;
    bool arrived = false;  // captures another Kaptorix added
    for (const HistoryEntry& e : std::as_const(now)) {
        kept.insert(e.id);
        const HistoryEntry* was = before.value(e.id);
        arrived = arrived || !was;
        if (!was || sameEntry(*was, e))
            continue;
        searchIndex_.stale(e.id);
        // An edit of the same size is found by its file (thumbnail(), filesChanged()).
        if (was->width != e.width || was->height != e.height || was->scale != e.scale) {
            thumbs_.remove(e.id);
            Q_EMIT thumbnailChanged(e.id);
        }
    }
    QSet<QUuid> deletedThere;
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        const QUuid& id = it.key();
        if (kept.contains(id))
            continue;
        deletedThere.insert(id);
        // Deleted by another Kaptorix: nothing more is written or read for it here.
        images_->forget(id);
        pending_.remove(id);
        thumbs_.remove(id);
        textGeneration_.remove(id);
        textAttempt_.remove(id);
        spared_.remove(id);
    }
    // What this process journaled of them must not outlive the deletion.
    if (!deletedThere.isEmpty())
        journal_->purge(deletedThere);
    holdBackgroundWhileWriting();
    entries_ = std::move(now);
    changed();
    // Both capturing at once: each pruned its own list before the other's capture was in it.
    if (arrived)
        prune();
    return result->wrote;
}

void HistoryStore::lookForOtherWrites()
{
    // A write of this process's own is noticed here too, before its result is taken: the
    // merge then finds the file as it knows it and writes nothing.
    if (shared_->changedElsewhere())
        index_->markChanged();
    Q_EMIT filesChanged();
}

}  // namespace kx
