#include "capture/history/HistoryStore.h"

#include "analysis/BackgroundWork.h"
#include "analysis/OCRService.h"
#include "core/Futures.h"
#include "core/ImageReading.h"

#include <QFutureWatcher>
#include <QThreadPool>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace kx {

// Text recognition of the history's images: one at a time, newest first, in the background.

void HistoryStore::queueMissingText()
{
    // Newest first: the captures the user is most likely to look for.
    for (const HistoryEntry& e : std::as_const(entries_)) {
        if (!e.ocrText && !e.textFailed && !textGeneration_.contains(e.id))
            recognize(e.id);
    }
}

void HistoryStore::recognize(const QUuid& id, int attempt)
{
    const quint64 generation = ++textCounter_;
    textGeneration_.insert(id, generation);
    textAttempt_.insert(id, attempt);
    textQueue_.append({id, generation});
    recognizeNext();
}

void HistoryStore::recognizeNext()
{
    while (!recognizing_ && !textQueue_.isEmpty()) {
        const auto [id, generation] = textQueue_.takeFirst();
        const QImage held = heldForText_.take(generation);
        // Superseded by a newer image or a text set by hand, or removed.
        if (textGeneration_.value(id) != generation || indexOf(id) < 0)
            continue;
        recognizing_ = true;
        const auto it = pending_.constFind(id);
        if (it != pending_.cend()) {
            recognizeImage(id, generation, it->image);
        } else if (!held.isNull()) {
            recognizeImage(id, generation, held);
        } else {
            const auto reading = BackgroundWork::run([path = images_->pngPath(id)] {
                const BackgroundWork::IdleIo io;
                const ImageRead read = readImageFile(path);
                return read.image ? read.image->image : QImage();
            });
            continueIn(this, reading, [this, id, generation](const QImage& image) {
                recognizeImage(id, generation, image);
            });
        }
    }
}

void HistoryStore::recognizeImage(const QUuid& id, quint64 generation, const QImage& image)
{
    if (image.isNull() || textGeneration_.value(id) != generation) {
        recognitionDone(id, generation, {});
        return;
    }
    // A watcher also reports a recogniser's cancelled future, which .then() would skip.
    auto* watcher = new QFutureWatcher<std::optional<QString>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, id, generation] {
        watcher->deleteLater();
        recognitionDone(id, generation, watcher->future());
    });
    watcher->setFuture(recognize_(image));
}

void HistoryStore::recognitionDone(const QUuid& id, quint64 generation,
                                   const QFuture<std::optional<QString>>& text)
{
    recognizing_ = false;
    // Only the newest recognition of an entry may set its text. A failure (a stalled or
    // killed reader included) is tried once more, after the others; then the entry is marked
    // so that it is not tried at every start. A reading cancelled at quit is no failure.
    if (!text.isCanceled() && text.resultCount() > 0 && textGeneration_.value(id) == generation) {
        if (const std::optional<QString> t = text.result()) {
            applyText(id, *t);
        } else if (const int attempt = textAttempt_.value(id, 1); attempt < kTextAttempts) {
            recognize(id, attempt + 1);
        } else if (const qsizetype i = indexOf(id); i >= 0) {
            // Nothing a view shows: saved, not announced.
            entries_[i].textFailed = true;
            note(id, changeText);
            persist();
        }
    }
    if (textQueue_.isEmpty() && pending_.isEmpty())
        releaseFreedMemory();
    recognizeNext();
}

void HistoryStore::releaseFreedMemory()
{
    // Nothing is left to recognise: the engine (tens of MB with its models) goes now rather
    // than after the recognition service's idle time, and full-screen images freed on worker
    // threads stay in glibc's arenas until trimmed.
    QThreadPool::globalInstance()->start([] {
        OCRService::releaseIdleEngines(0);
#ifdef __GLIBC__
        malloc_trim(0);
#endif
    });
}

}  // namespace kx
