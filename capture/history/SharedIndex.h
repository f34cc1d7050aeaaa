#pragma once
// index.json as several processes of one user write it: each write is taken under the
// folder's lock ("index.lock"), from the file as it is then, with this process's changes
// merged in (HistoryMerge.h). Kept by the index writer's thread; results are handed to the
// owner's thread by the sequence number of the write.

#include "capture/history/HistoryEntry.h"
#include "capture/history/HistoryMerge.h"
#include "core/FileLock.h"
#include "core/JsonStore.h"

#include <QElapsedTimer>
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
    // The captures still to go from the kept copies, kept until they are gone from them, so that
    // a quit or a stop does not forget them: ids only.
    QString purgePath() const { return dir_ + QStringLiteral("/index.purge"); }
    // The folder's lock, for the index writer and the start.
    std::shared_ptr<void> lock(QString* error) const;

    // At start, under the lock: the index as it was read. Takes up the captures an earlier run
    // could not take out of the kept copies; true when there are any (a write cleans them).
    bool begin(const QList<HistoryEntry>& read);

    // Writer thread, under the lock: the history of the file now with `changes` of `mine`
    // brought in, encoded; nothing to write when the file holds it already and no change of
    // this process asks for a write (`local`).
    JsonStoreWriter::Output merge(quint64 sequence, const QList<HistoryEntry>& mine,
                                  const LocalChanges& changes, bool local);
    // Writer thread, under the lock, after the write of the last merge. Also takes the
    // captures forgotten here out of the folder's kept copies, all in one rewrite of each copy:
    // not while a newer write (`newest`, the writer's last state) is on its way, nor within
    // quietMs of the last removal, unless cleanNow() asked.
    void written(bool ok, quint64 newest = 0);
    // Removals closer than this are taken out of the kept copies together.
    void setQuietMs(int ms) { quietMs_ = ms; }
    int quietMs() const { return quietMs_; }
    // The next write cleans the copies whatever came just before (a quit). True when there is
    // something to clean.
    bool cleanNow();

    // Owner thread: captures removed here, to be taken out of the kept copies (KeptCopies.h)
    // after the next write, and after every later one until that succeeds. They are written
    // to purgePath() with that write, before the index stops naming them: an index write
    // whose purge list cannot be written fails too, so the start finds the removal unfinished.
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
    // Under the lock: the purge file with `add` in and `done` out (removed when empty). False
    // with `error` set when it could not be written.
    bool updatePurgeFile(const QSet<QUuid>& add, const QSet<QUuid>& done, QString* error = nullptr);
    bool foreign_ = false;  // known_ holds another process's changes no result handed over yet
    quint64 lastSequence_ = 0;
    mutable QMutex mutex_;
    std::optional<FileIdentity> identity_;  // guarded by mutex_: of the file known_ came from
    QHash<quint64, Result> results_;        // guarded by mutex_
    QSet<QUuid> forgotten_;                 // guarded by mutex_: still to go from the kept copies
    QSet<QUuid> unlisted_;                  // guarded by mutex_: of those, not in the purge file yet
    QString copyFailure_;                   // guarded by mutex_
    QElapsedTimer lastForget_;              // guarded by mutex_
    bool cleanNow_ = false;                 // guarded by mutex_
    int quietMs_ = 0;
};

}  // namespace kx
