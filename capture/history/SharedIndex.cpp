#include "capture/history/SharedIndex.h"

#include "capture/history/HistoryIndex.h"
#include "capture/history/KeptCopies.h"
#include "core/AtomicFile.h"
#include "core/Localisation.h"
#include "ui/ToastView.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

namespace kx {

SharedIndex::SharedIndex(QString dir, int lockWaitMs) : dir_(std::move(dir)), lockWaitMs_(lockWaitMs)
{
}

std::shared_ptr<void> SharedIndex::lock(QString* error) const
{
    // A folder removed meanwhile is made again, as the write itself would.
    makePrivateFolder(dir_);
    return lockFile(lockPath(), lockWaitMs_, error);
}

namespace {

QSet<QUuid> readPurgeFile(const QString& path)
{
    QSet<QUuid> ids;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return ids;
    for (const QJsonValue v : QJsonDocument::fromJson(f.readAll()).array()) {
        const QUuid id(v.toString());
        if (!id.isNull())
            ids.insert(id);
    }
    return ids;
}

}  // namespace

bool SharedIndex::begin(const QList<HistoryEntry>& read)
{
    known_ = read;
    const QSet<QUuid> pending = readPurgeFile(purgePath());
    QMutexLocker lock(&mutex_);
    identity_ = fileIdentity(indexPath());
    forgotten_.unite(pending);
    return !pending.isEmpty();
}

bool SharedIndex::updatePurgeFile(const QSet<QUuid>& add, const QSet<QUuid>& done, QString* error)
{
    QSet<QUuid> ids = readPurgeFile(purgePath());
    const qsizetype before = ids.size();
    ids.unite(add);
    ids.subtract(done);
    if (ids.isEmpty())
        return !pathTaken(purgePath()) || QFile::remove(purgePath());
    if (ids.size() == before && done.isEmpty() && pathTaken(purgePath()))
        return true;
    QJsonArray list;
    for (const QUuid& id : std::as_const(ids))
        list.append(uuidText(id));
    return writeFileAtomically(purgePath(), QJsonDocument(list).toJson(QJsonDocument::Compact), error);
}

JsonStoreWriter::Output SharedIndex::merge(quint64 sequence, const QList<HistoryEntry>& mine,
                                           const LocalChanges& changes, bool local)
{
    lastSequence_ = sequence;
    // Captures removed here are written down before an index without them is: a stop or a
    // quit must not leave their records in the kept copies with nothing that names them.
    QSet<QUuid> unlisted;
    {
        QMutexLocker lock(&mutex_);
        unlisted = unlisted_;
    }
    if (!unlisted.isEmpty()) {
        if (keptCopies(dir_).isEmpty()) {
            // Nothing keeps them: nothing to write down.
            QMutexLocker lock(&mutex_);
            unlisted_.subtract(unlisted);
        } else if (QString why; updatePurgeFile(unlisted, {}, &why)) {
            QMutexLocker lock(&mutex_);
            unlisted_.subtract(unlisted);
        } else {
            return JsonStoreWriter::Output::failed(why);
        }
    }
    const std::optional<FileIdentity> now = fileIdentity(indexPath());
    bool read = false;
    {
        QMutexLocker lock(&mutex_);
        read = now && now != identity_;
    }
    // Only a file is read: something else in its place (a folder, a link) is left as it is,
    // and the write then fails and says so.
    const QFileInfo info(indexPath());
    read = read && info.isFile() && !info.isSymLink();
    if (read) {
        // Another Kaptorix wrote it. A file that cannot be read is set aside as at start, and
        // what this process knew of the history stands in for it.
        LoadedIndex loaded = loadIndex(indexPath());
        if (!loaded.writable)
            return JsonStoreWriter::Output::failed(
                kx::tr("The index is unreadable and could not be kept aside.",
                       "Az index olvashatatlan, és nem sikerült félretenni.",
                       "Der Index ist unlesbar und konnte nicht beiseitegelegt werden."));
        if (loaded.read) {
            shareTexts(loaded.entries, known_);
            known_ = std::move(loaded.entries);
            // Until a write that takes it in succeeds, every result carries it.
            foreign_ = true;
        }
        QMutexLocker lock(&mutex_);
        identity_ = fileIdentity(indexPath());
    }
    Result result;
    result.foreign = read || foreign_;
    result.entries = mergeHistory(known_, mine, changes, [&](const QUuid& id) {
        // Another Kaptorix sets a capture's image aside before its index lacks it; an image
        // still in its place means the index lost the entry instead.
        const QString image = dir_ + QLatin1Char('/') + uuidText(id) + QStringLiteral(".png");
        const bool gone = !pathTaken(image) || pathTaken(image + QStringLiteral(".removed"));
        result.foreign = result.foreign || gone;
        return gone;
    });
    result.wrote = local || !sameEntries(result.entries, known_);
    lastSequence_ = sequence;
    last_ = result;
    if (!result.wrote)
        return JsonStoreWriter::Output::unchanged();
    return encodeIndex(result.entries);
}

void SharedIndex::written(bool ok, quint64 newest)
{
    if (last_) {
        Result result = *std::exchange(last_, std::nullopt);
        QMutexLocker lock(&mutex_);
        if (ok) {
            if (result.wrote)
                identity_ = fileIdentity(indexPath());
            known_ = result.entries;
            foreign_ = false;
            results_.insert(lastSequence_, std::move(result));
        }
    }
    // The newer write cleans, with whatever was removed meanwhile.
    if (lastSequence_ >= newest)
        cleanCopies();
}

bool SharedIndex::cleanNow()
{
    QMutexLocker lock(&mutex_);
    cleanNow_ = !forgotten_.isEmpty();
    return cleanNow_;
}

void SharedIndex::forgetInCopies(const QList<QUuid>& ids)
{
    QMutexLocker lock(&mutex_);
    for (const QUuid& id : ids) {
        forgotten_.insert(id);
        unlisted_.insert(id);
    }
    lastForget_.start();
}

QString SharedIndex::takeCopyFailure()
{
    QMutexLocker lock(&mutex_);
    return std::exchange(copyFailure_, QString());
}

void SharedIndex::cleanCopies()
{
    QSet<QUuid> ids;
    {
        QMutexLocker lock(&mutex_);
        // A copy of 100 MB takes seconds to write anew: removals that come together share it.
        if (!cleanNow_ && quietMs_ > 0 && lastForget_.isValid() && !lastForget_.hasExpired(quietMs_))
            return;
        cleanNow_ = false;
        ids = forgotten_;
    }
    if (ids.isEmpty())
        return;
    // known_ is what the index on disk names now, whether this write landed or not.
    QSet<QUuid> indexed;
    indexed.reserve(known_.size());
    for (const HistoryEntry& e : std::as_const(known_))
        indexed.insert(e.id);
    const CopyCleaning cleaned = forgetInKeptCopies(dir_, ids, indexed);
    // Done: off the purge list, whatever another Kaptorix still lists. Should that fail, the
    // next start finds them and looks once more.
    if (cleaned.failed.isEmpty())
        updatePurgeFile({}, ids);
    QMutexLocker lock(&mutex_);
    if (cleaned.failed.isEmpty()) {
        forgotten_.subtract(ids);
        unlisted_.subtract(ids);
        copyFailure_.clear();
        return;
    }
    copyFailure_ = copyFailureText(cleaned.failed.first(), cleaned.error);
}

QString SharedIndex::copyFailureText(const QString& copy, const QString& reason)
{
    // The copy by its name (it lies in the history folder), so that the reason still shows.
    QString text = kx::tr("Deleted captures are still named in %1, which could not be written anew.",
                          "A törölt képek még szerepelnek ebben: %1; nem sikerült újraírni.",
                          "In %1 stehen noch gelöschte Aufnahmen.")
                       .arg(ToastView::shortName(QFileInfo(copy).fileName(), 40));
    if (!reason.isEmpty())
        text += QLatin1Char(' ') + reason;
    return text;
}

std::optional<SharedIndex::Result> SharedIndex::take(quint64 sequence)
{
    QMutexLocker lock(&mutex_);
    // Results of writes the owner never heard of (superseded) go with the newer one.
    std::optional<Result> out;
    for (auto it = results_.begin(); it != results_.end();) {
        if (it.key() == sequence)
            out = std::move(it.value());
        if (it.key() <= sequence)
            it = results_.erase(it);
        else
            ++it;
    }
    return out;
}

bool SharedIndex::changedElsewhere() const
{
    const std::optional<FileIdentity> now = fileIdentity(indexPath());
    QMutexLocker lock(&mutex_);
    return now && now != identity_;
}

}  // namespace kx
