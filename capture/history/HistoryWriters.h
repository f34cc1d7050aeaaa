#pragma once
// The two background writers of the history folder: one serial writer for index.json, and
// the image writer that encodes each PNG and thumbnail on a worker pool.

#include "capture/history/HistoryEntry.h"

#include <QHash>
#include <QImage>
#include <QList>
#include <QMutex>
#include <QSet>
#include <QString>
#include <QThreadPool>
#include <QUuid>
#include <QWaitCondition>
#include <atomic>
#include <functional>

namespace kx {

// Writes index states one at a time, in the order they were submitted; a state is skipped
// when a newer one has already been written, so an older write never lands after a newer.
class IndexWriter {
public:
    explicit IndexWriter(QString path);
    ~IndexWriter();  // waits for the queued writes

    // `done` runs on the writer thread with the outcome (skipped writes report true).
    void submit(QList<HistoryEntry> entries, std::function<void(bool ok)> done = {});
    void wait();
    // Whether the newest submitted state is on disk (false after a failed write).
    bool upToDate();
    const QString& path() const { return path_; }

private:
    void run(quint64 sequence, const QList<HistoryEntry>& entries, const std::function<void(bool)>& done);

    QString path_;
    QThreadPool pool_;
    QMutex mutex_;
    quint64 written_ = 0;  // guarded by mutex_
    std::atomic<quint64> submitted_{0};
};

// Encodes "<UUID>.png" (DPI of the capture) and "<UUID>.thumb.jpg" (longer edge at most
// 520 px, JPEG 0.8, 72 DPI) off the calling thread. Each write of an id carries a
// generation: an older image never replaces a newer one, and nothing is written for an id
// after forget().
class ImageWriter {
public:
    static constexpr double kThumbnailEdge = 520.0;

    explicit ImageWriter(QString dir);
    ~ImageWriter();  // waits for the queued writes

    QString pngPath(const QUuid& id) const;
    QString thumbnailPath(const QUuid& id) const;

    // Queues the encoding; returns the generation of this write. `done` runs on the worker
    // after the files are in place (ok) or were not written, with the thumbnail image.
    quint64 write(const QUuid& id, const QImage& image, double scale,
                  std::function<void(quint64 generation, const QImage& thumbnail, bool ok)> done = {});
    // Removes the files now and makes any queued write of this id a no-op.
    void forget(const QUuid& id);
    void wait();

private:
    QString dir_;
    QThreadPool pool_;
    QMutex mutex_;
    QWaitCondition writeDone_;
    QHash<QUuid, quint64> committed_;  // guarded by mutex_
    QSet<QUuid> forgotten_;            // guarded by mutex_
    QSet<QUuid> writing_;              // ids whose files are being written now; guarded by mutex_
    std::atomic<quint64> generations_{0};
};

}  // namespace kx
