#pragma once
// The capture history on disk: "<UUID>.png", "<UUID>.thumb.jpg" and index.json in one
// folder, owned by this store. Used on the UI thread; the image files are encoded on a
// worker pool and the index is written at most 0.4 s after the first unsaved change by one
// serial writer. A new entry reaches the index only once its image is on disk; the image of
// a removed entry is set aside at once ("<UUID>.png.removed") and its files are deleted once an
// index without it is on disk (a start after a stop in between finishes the removal). An image no entry
// names (a stop before the index named it, a record the index lost) becomes an entry again at
// start, with what the journals kept of it; only thumbnails without their image are swept.
// Pending writes are flushed on QCoreApplication::aboutToQuit (and by flush()).
//
// Other Kaptorix of the same user (one per X display) may use the same folder at once: the
// index is written under the folder's lock with their changes merged in (SharedIndex), their
// writes are taken in here as they land, and a start leaves alone what a running one is
// still writing (HistoryJournal).

#include "capture/history/HistoryEntry.h"
#include "capture/history/HistoryJournal.h"
#include "capture/history/HistoryMerge.h"
#include "capture/history/HistorySearch.h"
#include "capture/history/HistoryWriters.h"
#include "core/CaptureResult.h"
#include "core/FileLock.h"
#include "core/ImageUtils.h"
#include "core/JsonStore.h"

#include <QCache>
#include <QFuture>
#include <QHash>
#include <QImage>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QSet>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

class QFileSystemWatcher;

namespace kx {

class SharedIndex;

class HistoryStore : public QObject {
    Q_OBJECT
public:
    // Recognised text of an image; no value when recognition failed (as opposed to "").
    using Recognizer = std::function<QFuture<std::optional<QString>>(const QImage&)>;

    struct Options {
        QString dir;                     // empty: defaultDir()
        std::function<QDateTime()> now;  // empty: the system clock
        Recognizer recognize;            // empty: OCRService in the background
        int debounceMs = 400;
        int lockWaitMs = 10000;  // how long a write waits for another Kaptorix's hold on the folder
        // Removals this close together leave the kept copies in one rewrite (flush() does not wait).
        int copyQuietMs = 2000;
    };

    // The process-wide store over defaultDir(), created on first use.
    static HistoryStore& shared();
    // $KAPTORIX_DATA_DIR when set and not empty, else $XDG_DATA_HOME/Kaptorix/History.
    static QString defaultDir();

    explicit HistoryStore(Options options, QObject* parent = nullptr);
    ~HistoryStore() override;  // flushes

    const QList<HistoryEntry>& entries() const { return entries_; }
    QString dir() const { return dir_; }
    QString indexPath() const;
    // Where a bad index found at start was kept ("index.json.bad-<time>"), else empty.
    QString keptBadIndex() const { return keptBadIndex_; }
    // A localised notice for the user: a title and up to three lines of text.
    struct Notice {
        QString title;
        QString text;
    };
    // Once, what the start found: an index missing, unreadable or partly bad, images that
    // came back, entries whose images are gone, a journal that could not be read, many
    // entries pruned. One notice each, in that order (the launch shows them one after the
    // other). Empty afterwards.
    QList<Notice> takeStartNotices();
    // The texts of those notices in one, for callers that show one message.
    QString takeStartNotice();
    // The title of the first of them (also once taken); empty when there is none.
    QString startNoticeTitle() const { return startNoticeTitle_; }

    // Records a new capture (at the front) and returns its entry; the files are written in
    // the background and the text is recognised after that. `png`: the image's PNG already
    // being encoded (for the clipboard), written as the entry's file instead of a second encode.
    HistoryEntry add(const CaptureResult& result, QFuture<QByteArray> png = {});
    // Replaces the image of an entry (width, height, scale and files); nothing for an unknown id.
    void update(const QUuid& id, const QImage& image, double scale);
    // Applies "history.days" and "history.max"; favourites are never removed, nor, until the
    // next capture, entries that came back from their images at start. When more than
    // kQuietPrune entries go, a notice says how many and why: it joins the start notice
    // while that has not been taken, else manyPruned() carries it.
    void prune();
    // What a prune that removed more than kQuietPrune entries says: by age (older than
    // `days`) and by count (beyond `max`).
    static Notice prunedNotice(qsizetype byAge, int days, qsizetype byCount, int max);
    // Removes the entries whose image file is gone (left by a crash of an older version, or
    // removed by hand) and adds that to the start notice. The launch calls it once.
    void dropEntriesWithoutImage();
    // An entry that remove() kept because its image file cannot be removed.
    struct RemoveFailure {
        QUuid id;
        QString reason;  // the system's message
    };
    // Removes the entries and their files, and every record of them in the journals and the
    // copies kept aside. An entry whose PNG cannot be removed (a missing one can) stays, with
    // its files; the result names those entries.
    QList<RemoveFailure> remove(const QList<QUuid>& ids);
    // What search() matches for an entry: title, recognised text, AI summary, kind label and
    // upload link, lower-cased and joined by blanks.
    QString searchText(const QUuid& id) const;
    QList<HistoryEntry> search(const QString& query, bool favoritesOnly) const;
    // The search texts are made at the first search and kept until releaseSearch(): a view
    // takes them when it shows (at 50,000 entries that is tens of ms, not for the first
    // keystroke) and lets them go when it hides, so that the tray holds none.
    void prepareSearch() const;
    void releaseSearch() const;
    // Bytes the search texts take now.
    qsizetype searchBytes() const { return searchIndex_.heldBytes(); }
    void toggleFavorite(const QUuid& id);
    void setOCR(const QUuid& id, const QString& text);
    void setUploadURL(const QUuid& id, const QString& url);
    void setAISummary(const QUuid& id, const QString& text);
    std::optional<HistoryEntry> entry(const QUuid& id) const;
    // The full image with the entry's scale (2 when no entry has the id).
    std::optional<DecodedImage> loadImage(const QUuid& id) const;
    // The thumbnail (longer edge at most 520 px); null when there is none. One kept from an
    // earlier call is handed out only while its file is the one it was read from (another
    // Kaptorix may have written an edited image of the same size).
    QImage thumbnail(const QUuid& id);

    // Waits for the pending image files and the start-up sweep and writes a pending index
    // change now (or the current state again when the last index write failed).
    void flush();

    // Thumbnails older than this whose image and entry are gone are removed at start.
    static constexpr int kOrphanAgeSeconds = 60;
    // A recognition that fails is tried this many times in all, then marked failed.
    static constexpr int kTextAttempts = 2;
    // Pruning up to this many entries goes without a word.
    static constexpr int kQuietPrune = 5;

Q_SIGNALS:
    void entriesChanged();
    void thumbnailChanged(const QUuid& id);
    void indexWritten(bool ok);
    // The image files of an entry could not be written; `reason` is localised. An update
    // that failed leaves the entry with the size and scale it had before.
    void imageWriteFailed(const QUuid& id, const QString& reason);
    // A new capture's image could not be written: its entry was removed again (it never
    // reached the index). `reason` is localised. imageWriteFailed() comes as well.
    void captureDropped(const QUuid& id, const QString& reason);
    // The index could not be written (the file on disk keeps its last good state); once per
    // run of failures. `reason` is localised.
    void indexWriteFailed(const QString& reason);
    // A kept copy of the index or of a journal still names deleted captures: it could not be
    // written anew without them (tried again with each index write). Once per run of failures;
    // `reason` is localised.
    void copiesNotCleaned(const QString& reason);
    // Entries left the history here: deleted, pruned or dropped for a missing image. What
    // other stores keep of them (upload names) goes too.
    void removed(const QList<QUuid>& ids);
    // Something in the history folder changed: a file was written, renamed or removed, by this
    // process or another one (at most every 100 ms). Views compare the files they show.
    void filesChanged();
    // A prune after the start notice was taken removed more than kQuietPrune entries;
    // localised title and text.
    void manyPruned(const QString& title, const QString& text);

private:
    struct PendingImage {
        QImage image;
        quint64 generation = 0;
    };
    struct WriteOutcome {
        QUuid id;
        quint64 generation = 0;
        QImage thumbnail;
        bool ok = false;
        QString error;
    };

    qsizetype indexOf(const QUuid& id) const;
    void changed();
    void persist();
    void indexDone(quint64 sequence, bool ok);
    void sweepOrphans(bool sweep, const QList<QUuid>& rebuilt);
    void writeImages(const QUuid& id, const QImage& image, double scale, QFuture<QByteArray> png = {});
    void takeWriteOutcomes();
    void imagesWritten(const WriteOutcome& outcome);
    void dropUnwritten(const QUuid& id, const QString& reason);
    void recognize(const QUuid& id, int attempt = 1);
    void queueMissingText();
    void recognizeNext();
    void recognizeImage(const QUuid& id, quint64 generation, const QImage& image);
    void recognitionDone(const QUuid& id, quint64 generation, const QFuture<std::optional<QString>>& text);
    void releaseFreedMemory();
    void holdBackgroundWhileWriting();
    void applyText(const QUuid& id, const QString& text);
    template <typename Change>
    void modify(const QUuid& id, quint8 fields, Change change);
    void followLanguage() const;

    // This process changed these fields of the entry: the next index write takes them.
    void note(const QUuid& id, quint8 fields);
    QHash<QUuid, quint64> changesToWrite() const;
    bool takeMerged(quint64 sequence);  // whether the write changed the file
    void lookForOtherWrites();
    void startNotice(const QString& title, const QString& text);

    QString dir_;
    std::function<QDateTime()> now_;
    Recognizer recognize_;
    QList<HistoryEntry> entries_;
    QString keptBadIndex_;
    QList<Notice> startNotices_;
    QString startNoticeTitle_;
    bool startNoticeTaken_ = false;
    std::unique_ptr<ImageWriter> images_;
    std::shared_ptr<SharedIndex> shared_;
    std::unique_ptr<JsonStoreWriter> index_;
    LocalChanges changes_;  // not yet in an index on disk
    quint64 changeVersion_ = 0;
    bool localChange_ = false;                       // a change of this process awaits a write
    QHash<quint64, QHash<QUuid, quint64>> writing_;  // by write: the changes (and versions) it took
    QFileSystemWatcher* watcher_ = nullptr;
    QTimer otherWrites_;
    QTimer copiesQuiet_;  // the kept copies are cleaned once removals pause
    std::unique_ptr<HistoryJournal> journal_;
    // Entries with a record in the journal, by the first index state that does not need it
    // (0: none yet; the entry's image is not on disk).
    QHash<QUuid, quint64> journaled_;
    QList<QPair<quint64, QUuid>> unlinked_;  // removed entries, by the last state that still named them
    QFuture<void> sweep_;
    QHash<QUuid, PendingImage> pending_;
    std::shared_ptr<void> imagesHold_;  // holds background work back while pending_ is not empty
    bool indexFailing_ = false;
    QSet<QUuid> unwritten_;  // added entries whose image is not on disk yet: kept out of the index
    QMutex outcomesMutex_;
    QList<WriteOutcome> outcomes_;  // guarded by outcomesMutex_
    // By write generation: an update's entry size and scale before it, restored on failure.
    QHash<quint64, std::pair<QSize, double>> updatedFrom_;
    QHash<QUuid, quint64> textGeneration_;
    quint64 textCounter_ = 0;
    // Recognitions waiting, by id and generation: they hold no image (a burst of captures
    // would hold every one); one runs at a time, reading its image when it starts.
    QList<QPair<QUuid, quint64>> textQueue_;
    // By text generation: the image of a waiting recognition that something else still held when
    // its file was written (an editor). Taken from here, not decoded from the file into a second
    // copy (a gigabyte for an image at the pixel limit).
    QHash<quint64, QImage> heldForText_;
    QHash<QUuid, int> textAttempt_;  // by id: which try the queued recognition is
    QSet<QUuid> spared_;             // rebuilt at start: not pruned before the next capture
    bool recognizing_ = false;
    bool copiesFailing_ = false;
    struct CachedThumbnail {
        QImage image;
        std::optional<FileIdentity> file;  // of the file it was read from; none: not from a file
    };
    QCache<QUuid, CachedThumbnail> thumbs_;
    void cacheThumbnail(const QUuid& id, const QImage& image, std::optional<FileIdentity> file);
    // The kind labels in it are those of searchLang_ (tests switch languages).
    mutable QString searchLang_;
    mutable HistorySearchIndex searchIndex_;
};

}  // namespace kx
