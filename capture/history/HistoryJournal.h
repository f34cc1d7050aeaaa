#pragma once
// The journals beside the index: one compact record a line for each capture added or image
// replaced since the last index write. The index lags its entries by up to the write delay; a
// stop in between still leaves what was known about each capture (date, kind, title) for the
// start that rebuilds it from its image.
//
// A record holds what a rebuilt entry needs (id, date, size, scale, kind, title, star), never the
// recognised text, link or summary. Files are read in pieces: a line longer than
// kMaxLineBytes is no record (a damaged journal of hundreds of MB costs no more memory than that).
//
// Each running Kaptorix writes a file of its own, "index.<random>.journal", made at its first
// record and removed once an index that no longer needs its records is on disk; it holds an
// flock on it while it lives. So two instances over one folder (two X sessions, one home)
// never write into each other's journal, a record is never appended to a line another run
// cut, and a start tells a running instance's work (left alone) from what a stopped one left
// (taken over).

#include "capture/history/HistoryEntry.h"

#include <QHash>
#include <QList>
#include <QMutex>
#include <QPair>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUuid>

namespace kx {

class HistoryJournal {
public:
    static constexpr qsizetype kMaxLineBytes = 1 << 20;

    // The journal this process writes in `dir`; no file until the first append.
    explicit HistoryJournal(QString dir);
    // Its file goes when none of its records is still needed; else it stays for the next start.
    ~HistoryJournal();

    // What the journals of a folder hold.
    struct Survey {
        QHash<QUuid, HistoryEntry> records;  // of journals no running process holds
        QSet<QUuid> live;                    // ids of journals a running process holds
        QStringList taken;                   // the files `records` came from
        QStringList unreadable;              // those of them with a line that is no record
    };
    // Reads every journal of `dir`. A later record of an id replaces an earlier one.
    static Survey survey(const QString& dir);
    // Once the records taken are safe elsewhere: whole files are removed, ones with a line
    // that could not be read are set aside ("….bad-<time>"). Returns where those went.
    static QStringList release(const Survey& survey);
    // The records of one file, by id (a line that is no record is skipped).
    static QHash<QUuid, HistoryEntry> read(const QString& path);

    // The file now written; empty while there is none.
    QString path() const;
    // Appends the entry's record (no sync: cheap enough for the UI thread). False, with the
    // system's reason, when it could not be written.
    bool append(const HistoryEntry& entry, QString* error = nullptr);
    // Makes the appended records durable; any thread (the image jobs call it before their
    // files go to disk).
    void sync();
    // Drops the records of these ids; the file goes with the last one.
    void retire(const QSet<QUuid>& ids);
    // The captures were deleted: no line of the file may name them any more, retired ones
    // included. The file is written anew without them (or goes with its last record).
    void purge(const QSet<QUuid>& ids);

private:
    bool openLocked(QString* error);
    void closeLocked(bool remove);
    void rewriteLocked();

    QString dir_;
    mutable QMutex mutex_;
    QString path_;                             // guarded by mutex_
    int fd_ = -1;                              // guarded by mutex_; holds the flock
    bool cut_ = false;                         // guarded by mutex_: the last append failed
    bool dirSynced_ = false;                   // guarded by mutex_
    int retiredLines_ = 0;                     // guarded by mutex_: lines of retired records in the file
    QSet<QUuid> inFile_;                       // guarded by mutex_: ids with a line in the file
    QList<QPair<QUuid, QByteArray>> records_;  // guarded by mutex_; in file order, no newline
};

}  // namespace kx
