#pragma once
// Two Kaptorix of one user (two X sessions, one home) share one history folder. Neither
// writes its own picture of the history over the index: each write takes the index as it is
// on disk now and brings in only what this process changed since its last write, field by
// field. So nothing either took loses a field, and a capture one deleted stays deleted.

#include "capture/history/HistoryEntry.h"

#include <QHash>
#include <QList>
#include <QUuid>
#include <functional>

namespace kx {

// What this process changed in an entry since the index last took it.
enum HistoryChange : quint8 {
    changeAdded = 1,     // a capture of this process (or rebuilt by it): every field is its own
    changeRemoved = 2,   // deleted here
    changeStar = 4,      // favorite
    changeText = 8,      // ocrText and whether recognition failed
    changeLink = 16,     // uploadURL
    changeSummary = 32,  // aiSummary
    changeImage = 64,    // width, height and scale (an edited image written back)
};
struct LocalChange {
    quint8 fields = 0;
    quint64 version = 0;  // bumped at each change, so a write knows what it took
};
using LocalChanges = QHash<QUuid, LocalChange>;

// The history after `changes` of `mine` (this process's entries, newest first) are brought
// into `disk` (the index as it is now):
// - an entry deleted here goes; one changed here takes the changed fields from `mine`, the
//   others from `disk`; an entry added here takes all of its own;
// - an entry of `disk` that `mine` does not have (another process added it) stays;
// - an entry of `mine` that `disk` lacks though it was not added here was deleted elsewhere
//   when `deletedElsewhere` says so, and is dropped; else the index lost it and it comes back.
// Entries that come from `mine` keep their place among the entries of `mine`, ahead of
// another process's entries that are older.
QList<HistoryEntry> mergeHistory(const QList<HistoryEntry>& disk, const QList<HistoryEntry>& mine,
                                 const LocalChanges& changes,
                                 const std::function<bool(const QUuid&)>& deletedElsewhere);

// Entries equal field by field; texts that share their data are not compared again.
bool sameEntry(const HistoryEntry& a, const HistoryEntry& b);
bool sameEntries(const QList<HistoryEntry>& a, const QList<HistoryEntry>& b);

// `fresh` (just read from disk) with its texts shared with those of `known` where they are
// equal, so that entries unchanged since cost neither memory nor comparisons.
void shareTexts(QList<HistoryEntry>& fresh, const QList<HistoryEntry>& known);

}  // namespace kx
