#pragma once
// "index.journal" beside the index: one compact record a line for each entry added since the
// last index write. The index lags its entries by up to the write delay; a stop in between
// still leaves what was known about each capture (date, kind, title) for the start that
// rebuilds it from its image. Records go once an index that no longer needs them is on disk.

#include "capture/history/HistoryEntry.h"

#include <QHash>
#include <QList>
#include <QMutex>
#include <QPair>
#include <QSet>
#include <QString>
#include <QUuid>

namespace kx {

class HistoryJournal {
public:
    // Takes over the whole records already in the file (a cut last line is left out).
    explicit HistoryJournal(QString path);
    ~HistoryJournal();

    // The records of the file, by id; a later record of an id replaces an earlier one.
    static QHash<QUuid, HistoryEntry> read(const QString& path);

    const QString& path() const { return path_; }
    // The ids whose records the file held when this journal was made.
    QList<QUuid> adopted() const;
    // Appends the entry's record (no sync: cheap enough for the UI thread). False, with the
    // system's reason, when it could not be written.
    bool append(const HistoryEntry& entry, QString* error = nullptr);
    // Makes the appended records durable; any thread (the image jobs call it before their
    // files go to disk).
    void sync();
    // Drops the records of these ids: the file is removed when none is left, else
    // rewritten whole with the others.
    void retire(const QSet<QUuid>& ids);

private:
    bool openLocked(QString* error);

    QString path_;
    QMutex mutex_;
    int fd_ = -1;                              // guarded by mutex_
    bool cut_ = false;                         // guarded by mutex_: the last append failed
    QList<QPair<QUuid, QByteArray>> records_;  // guarded by mutex_; in file order, no newline
};

}  // namespace kx
