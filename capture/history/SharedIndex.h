#pragma once
// index.json as several processes of one user write it: each write is taken under the
// folder's lock ("index.lock"), from the file as it is then, with this process's changes
// merged in (HistoryMerge.h). Kept by the index writer's thread; results are handed to the
// owner's thread by the sequence number of the write.

#include "capture/history/HistoryEntry.h"
#include "capture/history/HistoryMerge.h"
#include "core/FileLock.h"
#include "core/JsonStore.h"

#include <QHash>
#include <QList>
#include <QMutex>
#include <QSet>
#include <QString>
#include <memory>
#include <optional>

namespace kx {

class SharedIndex {
public:
    // How long a write or a start waits for another process's hold on the folder.
    static constexpr int kLockWaitMs = 10000;

    explicit SharedIndex(QString dir, int lockWaitMs = kLockWaitMs);

    QString indexPath() const { return dir_ + QStringLiteral("/index.json"); }
    QString lockPath() const { return dir_ + QStringLiteral("/index.lock"); }
    // The folder's lock, for the index writer and the start.
    std::shared_ptr<void> lock(QString* error) const;

    // At start, under the lock: the index as it was read.
    void begin(const QList<HistoryEntry>& read);

    // Writer thread, under the lock: the history of the file now with `changes` of `mine`
    // brought in, encoded; nothing to write when the file holds it already and no change of
    // this process asks for a write (`local`).
    JsonStoreWriter::Output merge(quint64 sequence, const QList<HistoryEntry>& mine,
                                  const LocalChanges& changes, bool local);
    // Writer thread, under the lock, after the write of the last merge. Also takes the
    // captures forgotten here out of the folder's kept copies.
    void written(bool ok);

    // Owner thread: captures removed here, to be taken out of the kept copies (KeptCopies.h)
    // after the next write, and after every later one until that succeeds.
    void forgetInCopies(const QList<QUuid>& ids);
    // Why the kept copies could not be cleaned at the last try (localised), once; else empty.
    QString takeCopyFailure();
    // That reason: the copy that still names deleted captures, and the system's reason.
    static QString copyFailureText(const QString& copy, const QString& reason);

    struct Result {
        QList<HistoryEntry> entries;  // the history as written (or found)
        bool wrote = false;           // the file was written
        bool foreign = false;         // it holds changes of another process
    };
    // The result of write `sequence`, once; nothing for a write that was not made.
    std::optional<Result> take(quint64 sequence);
    // Another process wrote the index since this one last read or wrote it.
    bool changedElsewhere() const;

private:
    QString dir_;
    int lockWaitMs_;
    // Writer thread only (and begin() before it runs):
    QList<HistoryEntry> known_;  // the file's history as last read or written
    std::optional<Result> last_;
    void cleanCopies();
    bool foreign_ = false;  // known_ holds another process's changes no result handed over yet
    quint64 lastSequence_ = 0;
    mutable QMutex mutex_;
    std::optional<FileIdentity> identity_;  // guarded by mutex_: of the file known_ came from
    QHash<quint64, Result> results_;        // guarded by mutex_
    QSet<QUuid> forgotten_;                 // guarded by mutex_: still to go from the kept copies
    QString copyFailure_;                   // guarded by mutex_
};

}  // namespace kx
