#include "library/upload/UploadQueue.h"

#include "core/AtomicFile.h"
#include "core/JsonStore.h"
#include "core/Localisation.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <utility>

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
