#pragma once
// Decodes the thumbnails of the history's visible tiles on a worker pool, the tiles asked
// for last first; tiles scrolled away before their turn are dropped. A bounded cache keeps
// what was decoded, each with the card size it was made for and the identity of the file it
// came from. The UI thread never decodes: until a thumbnail lands it has none, and one made for
// another size or from a file since replaced shows until its new decode lands.

#include "core/FileLock.h"

#include <QCache>
#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QSet>
#include <QSize>
#include <QThreadPool>
#include <QUuid>
#include <functional>
#include <optional>

namespace kx {

class ThumbnailLoader : public QObject {
    Q_OBJECT
public:
    // Reads the file at `path`, reduced to cover `size`; null when it cannot be read.
    using Decoder = std::function<QImage(const QString& path, const QSize& size)>;

    // `dir` holds "<UUID>.thumb.jpg"; the cache holds about `cacheKiB` of images.
    explicit ThumbnailLoader(QString dir, Decoder decoder = {}, int cacheKiB = 96 * 1024,
                             QObject* parent = nullptr);
    ~ThumbnailLoader() override;

    // The decoded thumbnail, null when none has landed (or there is none).
    QImage cached(const QUuid& id) const;
    // True once a decode found no readable file (the tile shows its placeholder).
    bool missing(const QUuid& id) const { return missing_.contains(id); }
    // The tiles on screen now, in painting order, and the card's size in pixels: those without
    // a thumbnail of this size from the file as it is are decoded; everything else waiting is
    // dropped.
    void want(const QList<QUuid>& ids, const QSize& size);
    // The file changed: decode it again when next wanted.
    void invalidate(const QUuid& id);
    // Compares the file of every thumbnail held (or found missing) with the one it was decoded
    // from (device, inode, size, modification time): another Kaptorix may have written an edited
    // image of the same size. Those that changed are invalidated and reported by loaded();
    // returns how many.
    int revalidate();
    void setDir(const QString& dir) { dir_ = dir; }
    int waiting() const { return int(queue_.size()); }
    // Waits for the decodes in flight (tests, shutdown).
    void wait() { pool_.waitForDone(); }

    static QImage decode(const QString& path, const QSize& size);

Q_SIGNALS:
    void loaded(const QUuid& id);

private:
    void pump();
    struct Decoded {
        QImage image;
        QSize size;                        // of the card it was made for
        std::optional<FileIdentity> file;  // taken before the read
    };
    struct Thumb {
        QImage image;
        QSize size;
        std::optional<FileIdentity> file;
        bool stale = false;  // its file changed
    };
    void landed(const QUuid& id, quint64 generation, const Decoded& decoded);
    QString pathOf(const QUuid& id) const;

    QString dir_;
    Decoder decoder_;
    QThreadPool pool_;
    QCache<QUuid, Thumb> cache_;
    QHash<QUuid, std::optional<FileIdentity>>
        missing_;  // decodes that found no readable file, and what was there
    QList<QUuid> queue_;
    QSet<QUuid> inFlight_;
    QHash<QUuid, quint64> generation_;  // bumped by invalidate(): older decodes are dropped
    QSize size_;
};

}  // namespace kx
