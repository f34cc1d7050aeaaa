#pragma once
// index.json: a compact JSON array of HistoryEntry records, most recently added first.

#include "capture/history/HistoryEntry.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace kx {

QByteArray encodeIndex(const QList<HistoryEntry>& entries);

struct DecodedIndex {
    bool readable = false;        // the file is a JSON array
    QList<HistoryEntry> entries;  // the good records, in file order
    int rejected = 0;             // records that could not be decoded
};
// Records are decoded one by one: a bad record is dropped, the others are kept.
DecodedIndex decodeIndex(const QByteArray& bytes);

// Writes the whole index or nothing (an interrupted write leaves the previous file).
bool writeIndex(const QString& path, const QList<HistoryEntry>& entries, QString* error = nullptr);

struct LoadedIndex {
    QList<HistoryEntry> entries;
    bool read = false;        // an index was on disk and read (perhaps with bad records)
    int rejected = 0;         // records that were left out
    QString keptAs;           // where the unreadable or partly bad original was kept, if anywhere
    bool keptNow = false;     // kept by this load, not by an earlier one
    bool unreadable = false;  // the original could not be read at all (renamed aside)
    bool writable = true;     // false: a bad original could not be kept, so it must not be replaced
};
// Reads the index at start. A missing file is an empty history that was not read. A file
// that cannot be read or decoded (a link that leads nowhere included) is renamed to
// "<path>.bad-<time>"; a file with bad records is copied there (once, however often it is
// loaded), so the records that are dropped now survive the next write. Of several records
// with one id only the first is taken; the others count as bad records.
LoadedIndex loadIndex(const QString& path);

}  // namespace kx
