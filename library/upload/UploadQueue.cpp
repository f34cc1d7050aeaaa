#include "library/upload/UploadQueue.h"

#include "core/AtomicFile.h"
#include "core/JsonStore.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace kx {

UploadQueue::UploadQueue(const QString& directory, QObject* parent)
    : QObject(parent), dir_(QDir::cleanPath(directory))
{
    makePrivateFolder(dir_);
    const JsonArrayLoad load = loadJsonArray(indexPath(), [this](const QJsonValue& v) {
        std::optional<PendingUpload> item = decodePendingUpload(v);
        if (item)
            items_.append(std::move(*item));
        return item.has_value();
    });
    if (load.unreadable)
        items_.clear();
    rejectedAtLoad_ = load.rejected;
    keptAs_ = load.keptAs;
    writable_ = load.writable;
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
    // An item without its image could never be sent: no image, no item.
    if (!writeFileAtomically(pngPath(item.id), png, why))
        return std::nullopt;
    append(item);
    return item.id;
}

void UploadQueue::append(const PendingUpload& item)
{
    items_.append(item);
    save();
    Q_EMIT itemsChanged();
}

void UploadQueue::recordFailure(const QUuid& id, const QString& error)
{
    for (PendingUpload& item : items_) {
        if (item.id == id) {
            item.attempts += 1;
            item.lastError = error;
            save();
            Q_EMIT itemsChanged();
            return;
        }
    }
}

void UploadQueue::remove(const QUuid& id)
{
    const qsizetype removed = items_.removeIf([&](const PendingUpload& p) { return p.id == id; });
    // The index goes first: a crash in between leaves a stray image, never an item without one.
    if (save())
        QFile::remove(pngPath(id));
    if (removed > 0)
        Q_EMIT itemsChanged();
}

bool UploadQueue::save()
{
    if (!writable_)
        return false;
    return writeFileAtomically(indexPath(), encodeQueue(items_));
}

}  // namespace kx
