#include "library/upload/UploadQueue.h"

#include "core/AtomicFile.h"
#include "core/JsonStore.h"
#include "core/Localisation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QStandardPaths>
#include <algorithm>
#include <cerrno>
#include <utility>

namespace kx {

namespace {

constexpr int kLockWaitMs = 5000;

JsonArrayLoad loadQueue(const QString& path, QList<PendingUpload>* items)
{
    QList<PendingUpload> read;
    const JsonArrayLoad load = loadJsonArray(path, [&read](const QJsonValue& v) {
        std::optional<PendingUpload> item = decodePendingUpload(v);
        if (item)
            read.append(std::move(*item));
        return item.has_value();
    });
    if (load.read)
        *items = std::move(read);
    return load;
}

}  // namespace

UploadQueue::UploadQueue(const QString& directory, QObject* parent)
    : QObject(parent), dir_(QDir::cleanPath(directory))
{
    makePrivateFolder(dir_);
    JsonArrayLoad load;
    {
        const std::shared_ptr<void> held = lockFile(dir_ + QStringLiteral("/queue.lock"), kLockWaitMs);
        load = loadQueue(indexPath(), &items_);
        identity_ = fileIdentity(indexPath());
    }
    onDisk_ = items_;
    rejectedAtLoad_ = load.rejected;
    keptAs_ = load.keptAs;
    writable_ = load.writable;
    // A copy made by an earlier start was reported then.
    if (load.unreadable || load.keptNow) {
        const QString kept = displayPath(keptAs_.isEmpty() ? indexPath() : keptAs_);
        startNotice_ =
            load.unreadable
                ? kx::tr("The waiting uploads could not be read. The queue was kept as %1.",
                         "A várakozó feltöltések nem olvashatók. A sor megmaradt: %1.",
                         "Die wartenden Uploads konnten nicht gelesen werden. Die Warteschlange wurde "
                         "als %1 aufbewahrt.")
                      .arg(kept)
                : kx::tr(
                      "%1 waiting uploads could not be read and were left out. The queue was "
                      "kept as %2.",
                      "%1 várakozó feltöltés nem olvasható, ezért kimaradt. A sor megmaradt: %2.",
                      "%1 wartende Uploads konnten nicht gelesen werden und fehlen. Die "
                      "Warteschlange wurde als %2 aufbewahrt.")
                      .arg(load.rejected)
                      .arg(kept);
    }
    auto* watcher = new QFileSystemWatcher(this);
    if (QFileInfo(dir_).isDir())
        watcher->addPath(dir_);
    connect(watcher, &QFileSystemWatcher::directoryChanged, this, &UploadQueue::takeOtherWrites);
}

QString UploadQueue::takeStartNotice()
{
    return std::exchange(startNotice_, QString());
}

UploadQueue& UploadQueue::shared()
{
    static UploadQueue* queue = new UploadQueue(defaultDir());
    return *queue;
}

QString UploadQueue::defaultDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Kaptorix/UploadQueue");
}

QString UploadQueue::pngPath(const QUuid& id) const
{
    return dir_ + '/' + id.toString(QUuid::WithoutBraces).toUpper() + QStringLiteral(".png");
}

QString UploadQueue::indexPath() const
{
    return dir_ + QStringLiteral("/queue.json");
}

std::optional<QUuid> UploadQueue::enqueue(const QByteArray& png, const QString& fileName,
                                          const std::optional<QUuid>& entryID, const QString& error,
                                          QString* why)
{
    PendingUpload item;
    item.id = QUuid::createUuid();
    item.fileName = fileName;
    item.entryID = entryID;
    item.queuedAt = QDateTime::currentDateTimeUtc();
    item.attempts = 1;
    item.lastError = error;
    QString reason;
    // An item without its image could never be sent: no image, no item.
    if (!writeFileAtomically(pngPath(item.id), png, &reason)) {
        if (why)
            *why = kx::tr("The image could not be kept for a retry: %1",
                          "A kép nem maradhatott meg újrapróbálásra: %1",
                          "Das Bild konnte nicht für einen erneuten Versuch aufbewahrt werden: %1")
                       .arg(reason);
        return std::nullopt;
    }
    changes_.append({Change::Kind::add, item});
    items_.append(item);
    if (!save(&reason)) {
        // Told as not kept, so not kept: the list and the image go as if never queued.
        changes_.removeIf(
            [&](const Change& c) { return c.kind == Change::Kind::add && c.item.id == item.id; });
        items_.removeIf([&](const PendingUpload& p) { return p.id == item.id; });
        QFile::remove(pngPath(item.id));
        if (why)
            *why = kx::tr("The upload queue could not be saved: %1", "A feltöltési sor nem menthető: %1",
                          "Die Upload-Warteschlange konnte nicht gespeichert werden: %1")
                       .arg(reason);
        Q_EMIT itemsChanged();  // a failed save may have shown the other instance's items
        return std::nullopt;
    }
    Q_EMIT itemsChanged();
    return item.id;
}

void UploadQueue::append(const PendingUpload& item)
{
    changes_.append({Change::Kind::add, item});
    items_.append(item);
    save();
    Q_EMIT itemsChanged();
}

void UploadQueue::recordFailure(const QUuid& id, const QString& error)
{
    const auto it =
        std::find_if(items_.begin(), items_.end(), [&](const PendingUpload& p) { return p.id == id; });
    if (it == items_.end())
        return;
    PendingUpload change;
    change.id = id;
    change.lastError = error;
    changes_.append({Change::Kind::failure, change});
    apply(items_, changes_.last());
    save();
    Q_EMIT itemsChanged();
}

void UploadQueue::remove(const QUuid& id, std::shared_ptr<void> claim)
{
    PendingUpload change;
    change.id = id;
    changes_.append({Change::Kind::remove, change});
    const qsizetype before = items_.size();
    apply(items_, changes_.last());
    // The index goes first: a crash in between leaves a stray image, never an item without
    // one. After a failed save the image waits for the save that takes the removal.
    // The claim of a sent item waits with it: the other Kaptorix must not send it again before
    // a saved queue lacks it.
    unlinkAfterSave_.append({id, std::move(claim)});
    save();
    if (items_.size() != before)
        Q_EMIT itemsChanged();
}

void UploadQueue::apply(QList<PendingUpload>& items, const Change& change)
{
    const QUuid& id = change.item.id;
    switch (change.kind) {
        case Change::Kind::add:
            if (std::none_of(items.cbegin(), items.cend(),
                             [&](const PendingUpload& p) { return p.id == id; }))
                items.append(change.item);
            break;
        case Change::Kind::failure:
            for (PendingUpload& item : items) {
                if (item.id == id) {
                    item.attempts += 1;
                    item.lastError = change.item.lastError;
                    break;
                }
            }
            break;
        case Change::Kind::remove:
            items.removeIf([&](const PendingUpload& p) { return p.id == id; });
            break;
    }
}

QList<PendingUpload> UploadQueue::withChanges(QList<PendingUpload> items) const
{
    for (const Change& change : changes_)
        apply(items, change);
    return items;
}

bool UploadQueue::readIfChanged()
{
    const std::optional<FileIdentity> now = fileIdentity(indexPath());
    if (!now || now == identity_)
        return true;
    // Written by another Kaptorix (a file that does not parse is set aside, as at start).
    const JsonArrayLoad load = loadQueue(indexPath(), &onDisk_);
    identity_ = fileIdentity(indexPath());
    return load.writable;
}

void UploadQueue::setItems(QList<PendingUpload> items)
{
    if (items == items_)
        return;
    items_ = std::move(items);
    Q_EMIT itemsChanged();
}

bool UploadQueue::takeOtherWrites()
{
    if (fileIdentity(indexPath()) == identity_)
        return true;
    const std::shared_ptr<void> held = lockFile(dir_ + QStringLiteral("/queue.lock"), kLockWaitMs);
    if (!held || !readIfChanged())
        return false;
    setItems(withChanges(onDisk_));
    return true;
}

UploadQueue::Claim UploadQueue::claim(const QUuid& id)
{
    Claim claim;
    int number = 0;
    claim.held = lockExistingFile(pngPath(id), 0, &claim.error, &number);
    // Looked at after the lock: whoever sent the item saved its removal before letting go.
    if (!takeOtherWrites() ||
        std::none_of(items_.cbegin(), items_.cend(), [&](const PendingUpload& p) { return p.id == id; })) {
        claim.held.reset();
        return claim;
    }
    if (claim.held)
        claim.state = Claim::State::claimed;
    else if (number == ENOENT)
        claim.state = Claim::State::noImage;
    else if (number != EWOULDBLOCK)
        claim.state = Claim::State::unreadable;
    return claim;
}

bool UploadQueue::save(QString* why)
{
    QString reason;
    const auto fail = [&] {
        if (why)
            *why = reason;
        return false;
    };
    // A queue.json that could not be read nor set aside is never written over.
    const QString badFile = kx::tr("queue.json could not be read nor set aside, so it is left as it is.",
                                   "A queue.json nem olvasható és nem tehető félre, ezért változatlan marad.",
                                   "queue.json konnte weder gelesen noch beiseitegelegt werden und bleibt, "
                                   "wie sie ist.");
    if (!writable_) {
        reason = badFile;
        return fail();
    }
    makePrivateFolder(dir_);
    const std::shared_ptr<void> held = lockFile(dir_ + QStringLiteral("/queue.lock"), kLockWaitMs, &reason);
    if (!held)
        return fail();
    if (!readIfChanged()) {
        reason = badFile;
        return fail();
    }
    QList<PendingUpload> merged = withChanges(onDisk_);
    if (!writeFileAtomically(indexPath(), encodeQueue(merged), &reason)) {
        // What the other Kaptorix wrote was read for this write: it shows all the same (it is
        // not read again, the file being unchanged since).
        setItems(std::move(merged));
        return fail();
    }
    identity_ = fileIdentity(indexPath());
    onDisk_ = merged;
    changes_.clear();
    for (const auto& [id, claim] : std::exchange(unlinkAfterSave_, {})) {
        if (std::none_of(merged.cbegin(), merged.cend(), [&](const PendingUpload& p) { return p.id == id; }))
            QFile::remove(pngPath(id));
    }
    items_ = std::move(merged);
    return true;
}

}  // namespace kx
