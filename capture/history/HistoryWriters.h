#pragma once
// The image writer of the history folder: encodes each PNG and thumbnail on a worker pool
// (index.json goes through the serial JsonStoreWriter).

#include "capture/history/HistoryEntry.h"

#include <QByteArray>
#include <QFuture>
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

// Why the image file at `path` could not be unlinked, or empty when it could (or is gone).
// The files themselves go only after the index without the entry is written, so this asks
// the system the questions unlink() would.
QString unlinkRefusal(const QString& path);

// Encodes "<UUID>.png" (DPI of the capture) and "<UUID>.thumb.jpg" (longer edge at most
// 520 px, JPEG 0.8, 72 DPI) off the calling thread. Each write of an id carries a
// generation: an older image never replaces a newer one, and nothing is written for an id
// after forget(). Its files are removed only by removeFiles(), once the index no longer
// names the id.
class ImageWriter {
public:
    static constexpr double kThumbnailEdge = 520.0;

    explicit ImageWriter(QString dir);
    ~ImageWriter();  // waits for the queued writes

    QString pngPath(const QUuid& id) const;
    QString thumbnailPath(const QUuid& id) const;
    // "<UUID>.png.removed": where a removed entry's image waits for an index without it.
    QString removedPath(const QUuid& id) const;
    static constexpr QLatin1String kRemovedSuffix{".png.removed"};

    // Queues the encoding; returns the generation of this write. `done` runs on the worker
    // after the files are in place (ok) or were not written, with the thumbnail image and
    // the system's reason for a failed write (empty when it was not attempted).
    // `png`, when valid, is the image's PNG being encoded elsewhere (the clipboard's): its
    // bytes are written instead of a second encode; an empty result is encoded here.
    // `first`, when set, runs on the worker right before the files are written.
    quint64 write(
        const QUuid& id, const QImage& image, double scale,
        std::function<void(quint64 generation, const QImage& thumbnail, bool ok, const QString& error)> done =
            {},
        QFuture<QByteArray> png = {}, std::function<void()> first = {});
    // Makes any queued write of this id a no-op; the files stay.
    void forget(const QUuid& id);
    // Renames the image to removedPath() at once: the removal is on disk before the index
    // says so, and a stop in between finishes it at the next start instead of bringing the
    // image back as a capture the index lost.
    void setAside(const QUuid& id);
    // Removes the files now, and those of a write of this id still running when it ends.
    void removeFiles(const QUuid& id);
    void wait();

private:
    QString dir_;
    QThreadPool pool_;
    QMutex mutex_;
    QWaitCondition writeDone_;
    QHash<QUuid, quint64> committed_;  // guarded by mutex_
    QSet<QUuid> forgotten_;            // guarded by mutex_
    QSet<QUuid> removed_;              // guarded by mutex_
    QSet<QUuid> writing_;              // ids whose files are being written now; guarded by mutex_
    std::atomic<quint64> generations_{0};
};

}  // namespace kx
