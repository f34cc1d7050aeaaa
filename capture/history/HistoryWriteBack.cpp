#include "capture/history/HistoryStore.h"

#include "analysis/BackgroundWork.h"
#include "capture/history/HistoryRecovery.h"
#include "capture/history/SharedIndex.h"
#include "core/AtomicFile.h"
#include "core/Localisation.h"

#include <QSet>
#include <QtConcurrent>

namespace kx {

// The store's write-back: image files on the writer pool, then the index that names them.

void HistoryStore::sweepOrphans(bool sweep, const QList<QUuid>& rebuilt)
{
    QSet<QUuid> named;
    for (const HistoryEntry& e : std::as_const(entries_))
        named.insert(e.id);
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-kOrphanAgeSeconds);
    // Young thumbnails may belong to a capture being added right now.
    sweep_ = QtConcurrent::run([dir = dir_, named, before, sweep, rebuilt] {
        const BackgroundWork::IdleIo io;
        remakeMissingThumbnails(dir, rebuilt);
        if (sweep)
            removeUnnamedThumbnails(dir, named, before);
    });
}

void HistoryStore::writeImages(const QUuid& id, const QImage& image, double scale, QFuture<QByteArray> png)
{
    // The store outlives every write: its destructor waits for them (flush()).
    const quint64 generation = images_->write(
        id, image, scale,
        [this, id](quint64 gen, const QImage& thumb, bool ok, const QString& error) {
            {
                QMutexLocker lock(&outcomesMutex_);
                outcomes_.append({id, gen, thumb, ok, error});
            }
            QMetaObject::invokeMethod(this, &HistoryStore::takeWriteOutcomes, Qt::QueuedConnection);
        },
        std::move(png), [journal = journal_.get()] { journal->sync(); });
    pending_.insert(id, PendingImage{image, generation});
    thumbs_.remove(id);
    holdBackgroundWhileWriting();
}

void HistoryStore::holdBackgroundWhileWriting()
{
    // The capture's PNG is being encoded (the clipboard waits for the same bytes): background
    // recognition must not take cores from it.
    if (pending_.isEmpty())
        imagesHold_.reset();
    else if (!imagesHold_)
        imagesHold_ = BackgroundWork::hold();
}

void HistoryStore::takeWriteOutcomes()
{
    QList<WriteOutcome> outcomes;
    {
        QMutexLocker lock(&outcomesMutex_);
        outcomes.swap(outcomes_);
    }
    for (const WriteOutcome& o : std::as_const(outcomes))
        imagesWritten(o);
}

void HistoryStore::imagesWritten(const WriteOutcome& outcome)
{
    const auto& [id, generation, thumbnail, ok, error] = outcome;
    // Whichever write put it there, the image is on disk: the index may name the entry now.
    if (ok && unwritten_.remove(id))
        persist();
    const bool wasUpdate = updatedFrom_.contains(generation);
    const std::pair<QSize, double> before = updatedFrom_.take(generation);
    const auto it = pending_.constFind(id);
    if (it == pending_.cend() || it->generation != generation)
        return;  // a newer image is on its way, or the entry is gone
    if (const quint64 text = textGeneration_.value(id);
        ok && !it->image.isDetached() && textQueue_.contains(qMakePair(id, text)))
        heldForText_.insert(text, it->image);
    pending_.erase(it);
    holdBackgroundWhileWriting();
    if (!ok) {
        QString reason = kx::tr("The image file could not be written in %1.", "A képfájl nem írható ide: %1.",
                                "Die Bilddatei konnte nicht in %1 geschrieben werden.")
                             .arg(displayPath(dir_));
        if (!error.isEmpty())
            reason += QLatin1Char(' ') + error;
        const qsizetype i = indexOf(id);
        if (unwritten_.contains(id)) {
            dropUnwritten(id, reason);
        } else if (wasUpdate && i >= 0) {
            // The old PNG stays (files are replaced atomically): the entry keeps describing it.
            entries_[i].width = before.first.width();
            entries_[i].height = before.first.height();
            entries_[i].scale = before.second;
            note(id, changeImage);
            changed();
            persist();
        }
        Q_EMIT imageWriteFailed(id, reason);
    }
    // The written file replaces the preview made while waiting. Only a view that asks keeps a
    // thumbnail in memory: the tray process caching every capture's grew by 64 MB.
    if (ok && thumbs_.contains(id) && !thumbnail.isNull())
        cacheThumbnail(id, thumbnail, fileIdentity(images_->thumbnailPath(id)));
    else
        thumbs_.remove(id);
    Q_EMIT thumbnailChanged(id);
    if (!recognizing_ && textQueue_.isEmpty() && pending_.isEmpty())
        releaseFreedMemory();
}

void HistoryStore::dropUnwritten(const QUuid& id, const QString& reason)
{
    // An entry whose image never reached the disk would show nothing and could never be
    // opened; it is not kept (the index never named it).
    unwritten_.remove(id);
    changes_.remove(id);
    images_->forget(id);
    textGeneration_.remove(id);
    thumbs_.remove(id);
    if (entries_.removeIf([&](const HistoryEntry& e) { return e.id == id; }) > 0)
        changed();
    Q_EMIT captureDropped(id, reason);
}

void HistoryStore::persist()
{
    localChange_ = true;
    index_->markChanged();
}

void HistoryStore::indexDone(quint64 sequence, bool ok)
{
    bool wrote = true;
    if (ok) {
        wrote = takeMerged(sequence);
    } else {
        // Its changes stay for the next write.
        writing_.removeIf([&](const auto& w) { return w.key() <= sequence; });
        localChange_ = true;
    }
    if (ok) {
        QSet<QUuid> recorded;
        for (auto it = journaled_.begin(); it != journaled_.end();) {
            if (it.value() != 0 && it.value() <= sequence) {
                recorded.insert(it.key());
                it = journaled_.erase(it);
            } else {
                ++it;
            }
        }
        if (!recorded.isEmpty())
            journal_->retire(recorded);
        // Every state from `sequence` on lacks the entries removed before it was taken, so
        // their files can go without leaving an index entry without its image.
        unlinked_.removeIf([&](const QPair<quint64, QUuid>& u) {
            if (u.first >= sequence)
                return false;
            images_->removeFiles(u.second);
            return true;
        });
    }
    if (!ok && !indexFailing_) {
        QString reason = kx::tr("The history index could not be written in %1; the last saved one is kept.",
                                "Az előzmények indexe nem írható ide: %1; a legutóbb mentett megmaradt.",
                                "Der Verlaufsindex konnte nicht in %1 geschrieben werden; der zuletzt "
                                "gespeicherte bleibt.")
                             .arg(displayPath(dir_));
        if (const QString why = index_->lastError(); !why.isEmpty())
            reason += QLatin1Char(' ') + why;
        Q_EMIT indexWriteFailed(reason);
    }
    indexFailing_ = !ok;
    // The kept copies are cleaned under the folder's lock after each write.
    const QString copies = shared_->takeCopyFailure();
    if (!copies.isEmpty() && !copiesFailing_)
        Q_EMIT copiesNotCleaned(copies);
    copiesFailing_ = !copies.isEmpty();
    if (wrote)
        Q_EMIT indexWritten(ok);
}

void HistoryStore::flush()
{
    images_->wait();
    // The finished writes decide which new entries the index may name.
    takeWriteOutcomes();
    sweep_.waitForFinished();
    // A quit does not wait for removals to pause before the kept copies lose them.
    if (shared_->cleanNow())
        index_->markChanged();
    index_->flush();
}

}  // namespace kx
