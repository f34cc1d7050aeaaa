#pragma once
// One JSON file kept in step with a model in memory (the history index, the upload queue).
//
// Reading: loadJsonArray() decodes an array element by element; a file that is not an array
// is renamed aside and a file with bad elements is copied aside (once), so nothing the user
// had is ever overwritten.
//
// Writing: JsonStoreWriter writes the state at most `debounceMs` after the first unsaved
// change, however many changes follow, atomically, one write at a time in order, off the
// owner's thread. A failed write is repeated with the next change and by flush(), which the
// owner calls at quit. A file that other processes write too is written under a guard (a lock
// held from the encoding, which may read the file first, to the end of the write).

#include <QByteArray>
#include <QJsonValue>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>

namespace kx {

struct JsonArrayDecode {
    bool readable = false;  // the bytes are a JSON array
    int accepted = 0;
    int rejected = 0;
};
// Hands every element to `accept`, which keeps it and returns true, or returns false for a
// bad one; one bad element never takes the others with it.
JsonArrayDecode decodeJsonArray(const QByteArray& bytes,
                                const std::function<bool(const QJsonValue&)>& accept);

struct JsonArrayLoad {
    bool read = false;        // a file was there and read as an array (possibly with bad elements)
    bool unreadable = false;  // something was at the path but not a readable array (renamed aside)
    int rejected = 0;         // elements dropped
    QString keptAs;           // where the unreadable or partly bad original is kept, if anywhere
    bool keptNow = false;     // this load made that copy (an earlier one may have kept the same bytes)
    bool writable = true;     // false: a bad original could not be kept, so it must not be replaced
};
// A missing file (nothing at the path) is an empty array, with `read` false.
JsonArrayLoad loadJsonArray(const QString& path, const std::function<bool(const QJsonValue&)>& accept);

class JsonStoreWriter : public QObject {
    Q_OBJECT
public:
    // What an encoding gives: the bytes to write, nothing to write (the file already holds
    // the state), or a failure with its reason.
    struct Output {
        Output(QByteArray b) : bytes(std::move(b)) {}  // NOLINT: a plain encoder returns bytes
        static Output unchanged() { return Output(QByteArray(), true, {}); }
        static Output failed(QString why) { return Output(QByteArray(), false, std::move(why)); }
        QByteArray bytes;
        bool skip = false;
        QString error;  // not empty: failed

    private:
        Output(QByteArray b, bool s, QString e) : bytes(std::move(b)), skip(s), error(std::move(e)) {}
    };
    using Encoder = std::function<Output()>;    // runs on the writer thread
    using Snapshot = std::function<Encoder()>;  // runs on the owner's thread when a write is due
    // Held around each encoding and write on the writer thread; null with `error` set when it
    // cannot be had (the write then fails with that reason).
    using Guard = std::function<std::shared_ptr<void>(QString* error)>;

    JsonStoreWriter(QString path, Snapshot snapshot, int debounceMs = 400, QObject* parent = nullptr);
    ~JsonStoreWriter() override;  // flushes

    // An unsaved change; the state is taken and written at most debounceMs from the first one.
    void markChanged();
    // Writes a pending change now, or the current state again after a failed write, and
    // waits; the written() reports are delivered before it returns.
    void flush();
    // Off: every write is refused (a bad original that could not be kept is in the way).
    void setWritable(bool writable) { writable_ = writable; }
    // Set before the first change.
    void setGuard(Guard guard) { guard_ = std::move(guard); }
    // Runs on the writer thread after each write attempt, still under the guard.
    void setAfterWrite(std::function<void(bool ok)> after) { after_ = std::move(after); }
    // The number of the newest state handed to the writer (states are numbered from 1).
    quint64 submitted() const { return submitted_.load(); }
    bool upToDate();
    // The system's reason for the last failed write; empty after a good one.
    QString lastError();
    const QString& path() const { return path_; }

Q_SIGNALS:
    // On the owner's thread after each write; a state superseded by a newer one before its
    // turn came is not written and not reported.
    void written(quint64 sequence, bool ok);

private:
    void submit();
    void deliver();

    QString path_;
    Snapshot snapshot_;
    Guard guard_;
    std::function<void(bool)> after_;
    QTimer timer_;
    bool dirty_ = false;
    bool writable_ = true;
    std::atomic<quint64> submitted_{0};
    QThreadPool pool_;
    QMutex mutex_;
    quint64 written_ = 0;                   // guarded by mutex_
    bool lastFailed_ = false;               // guarded by mutex_
    QString lastError_;                     // guarded by mutex_
    QList<QPair<quint64, bool>> outcomes_;  // guarded by mutex_
};

}  // namespace kx
