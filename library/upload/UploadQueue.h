#pragma once
// The retry queue: failed uploads with their PNGs, kept across restarts in one folder
// holding queue.json and <ID>.png per item. queue.json is rewritten (atomically) at every
// change, so a crash at any moment leaves the last saved list. GUI thread only.
//
// Another Kaptorix of this user (one runs per X display) may share the folder: each change is
// written under the folder's lock ("queue.lock") onto queue.json as it is then, so neither
// drops the other's items, and the other's changes are taken in as they land.

#include "core/FileLock.h"
#include "library/upload/PendingUpload.h"

#include <QObject>

namespace kx {

class UploadQueue : public QObject {
    Q_OBJECT
public:
    // Creates the folder and loads queue.json item by item: bad items are left out (the file
    // is copied aside first), a file that does not parse is moved aside. PNGs are never deleted.
    explicit UploadQueue(const QString& directory, QObject* parent = nullptr);

    // The process-wide queue over defaultDir().
    static UploadQueue& shared();
    // $XDG_DATA_HOME/Kaptorix/UploadQueue
    static QString defaultDir();

    const QList<PendingUpload>& items() const { return items_; }
    const QString& dir() const { return dir_; }
    QString pngPath(const QUuid& id) const;
    QString indexPath() const;

    // Writes the PNG, then adds the item and saves the list. Returns the new item's id, or
    // nothing with the reason in `why` when the image or the list could not be written: an
    // item only in memory would be gone at the next start, so none is kept (nor its image).
    std::optional<QUuid> enqueue(const QByteArray& png, const QString& fileName,
                                 const std::optional<QUuid>& entryID, const QString& error,
                                 QString* why = nullptr);
    // Adds an item whose PNG the caller has written, and saves.
    void append(const PendingUpload& item);
    // One more attempt and the newest message for the first item with this id; nothing when none.
    void recordFailure(const QUuid& id, const QString& error);
    // Removes every item with this id, saves (also when none matched), then deletes the PNG;
    // after a failed save the PNG stays, so the file on disk never names a missing image.
    // A claim on the item (a sent one) is held until both happened.
    void remove(const QUuid& id, std::shared_ptr<void> claim = nullptr);

    // A claim on one item before it is sent again: while it is held no other Kaptorix of this
    // user sends the item. It is a lock on the item's image, so it ends with the process that
    // held it. `elsewhere`: another one holds it, or the item is no longer queued (sent or
    // removed by the other meanwhile); `noImage`: the image is gone; `unreadable`: it cannot
    // be opened, for `error`.
    struct Claim {
        enum class State { claimed, elsewhere, noImage, unreadable } state = State::elsewhere;
        std::shared_ptr<void> held;
        QString error;
    };
    Claim claim(const QUuid& id);

    // Writes queue.json. A failed write keeps the list in memory; the next change writes it
    // again. False, with the reason in `why`, when it failed or writing is off because a bad
    // file could not be kept.
    bool save(QString* why = nullptr);

    // Items left out at load, and where the original file was kept (empty if nowhere).
    int rejectedAtLoad() const { return rejectedAtLoad_; }
    const QString& keptAs() const { return keptAs_; }
    // Once, after this load set a bad queue.json aside (or copied one with bad items): the
    // localised message that says where it was kept. Empty otherwise and afterwards.
    QString takeStartNotice();

Q_SIGNALS:
    void itemsChanged();

private:
    // A change not yet on disk, brought onto queue.json as the file is when it is written.
    struct Change {
        enum class Kind { add, failure, remove } kind;
        PendingUpload item;  // add; the id (and error) for the others
    };
    static void apply(QList<PendingUpload>& items, const Change& change);
    QList<PendingUpload> withChanges(QList<PendingUpload> items) const;
    // Reads queue.json when another process wrote it since; false when it is in the way.
    bool readIfChanged();
    // False when the file could not be looked at (its lock held too long, a bad file in the way).
    bool takeOtherWrites();
    void setItems(QList<PendingUpload> items);

    QString dir_;
    QList<PendingUpload> items_;
    QList<PendingUpload> onDisk_;  // queue.json as last read or written
    std::optional<FileIdentity> identity_;
    QList<Change> changes_;  // in order; written with the next save that succeeds
    QList<std::pair<QUuid, std::shared_ptr<void>>> unlinkAfterSave_;  // with the item's claim
    int rejectedAtLoad_ = 0;
    QString keptAs_;
    QString startNotice_;
    bool writable_ = true;
};

}  // namespace kx
