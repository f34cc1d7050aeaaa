#include "capture/history/HistoryStore.h"

#include "analysis/BackgroundWork.h"
#include "analysis/OCRService.h"
#include "capture/history/HistoryIndex.h"
#include "capture/history/HistoryRecovery.h"
#include "capture/history/SharedIndex.h"
#include "core/AtomicFile.h"
#include "core/ImageReading.h"
#include "core/Localisation.h"
#include "core/Prefs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSet>
#include <QStandardPaths>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <utility>

namespace kx {

namespace {

constexpr int kThumbnailCacheKiB = 64 * 1024;

double saneScale(double scale)
{
    return (scale > 0 && std::isfinite(scale)) ? scale : 1.0;
}

HistoryStore::Recognizer ocrRecognizer()
{
    // Nobody waits for it: one engine on the idle-class thread, never while a capture is
    // being taken or written.
    return [](const QImage& image) {
        return OCRService::backgroundObservations(image).then(
            [](const OCRResult& r) -> std::optional<QString> {
                if (!r.ok)
                    return std::nullopt;
                return r.text();
            });
    };
}

// Title, recognised text, AI summary, kind label and upload link, joined by blanks and
// lower-cased. Made only when the search index takes an entry's text: the history keeps
// no second copy of its recognised texts.
QString searchTextOf(const HistoryEntry& e)
{
    QString text;
    auto add = [&text](const QString& part) {
        if (!text.isEmpty())
            text += QLatin1Char(' ');
        text += part;
    };
    for (const auto* part : {&e.title, &e.ocrText, &e.aiSummary}) {
        if (*part)
            add(**part);
    }
    add(label(e.kind));
    if (e.uploadURL)
        add(*e.uploadURL);
    return std::move(text).toLower();
}

}  // namespace

HistoryStore& HistoryStore::shared()
{
    // Parented to the application so it is flushed and deleted with it.
    static HistoryStore* store = new HistoryStore(Options{}, QCoreApplication::instance());
    return *store;
}

QString HistoryStore::defaultDir()
{
    const QString env = qEnvironmentVariable("KAPTORIX_DATA_DIR");
    if (!env.isEmpty())
        return QDir::cleanPath(env);
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Kaptorix/History");
}

HistoryStore::HistoryStore(Options options, QObject* parent)
    : QObject(parent),
      dir_(options.dir.isEmpty() ? defaultDir() : QDir::cleanPath(options.dir)),
      now_(options.now ? std::move(options.now) : [] { return QDateTime::currentDateTimeUtc(); }),
      recognize_(options.recognize ? std::move(options.recognize) : ocrRecognizer()),
      thumbs_(kThumbnailCacheKiB)
{
    // A history holds whatever was on screen: only its owner may read it. A folder that
    // cannot be made is told with the first write that needs it, with the system's reason.
    makePrivateFolder(dir_);
    images_ = std::make_unique<ImageWriter>(dir_);
    shared_ = std::make_shared<SharedIndex>(dir_, options.lockWaitMs);
    index_ = std::make_unique<JsonStoreWriter>(
        indexPath(),
        [this] {
            // An entry enters the index only once its image is on disk: a crash or a full
            // disk in between must not leave an entry without its image.
            QList<HistoryEntry> entries = entries_;
            if (!unwritten_.isEmpty())
                entries.removeIf([this](const HistoryEntry& e) { return unwritten_.contains(e.id); });
            const quint64 sequence = index_->submitted();
            // This state names every journaled entry whose image is on disk (or no longer
            // holds it): once it is written their records can go.
            for (auto it = journaled_.begin(); it != journaled_.end(); ++it) {
                if (it.value() == 0 && !unwritten_.contains(it.key()) && !pending_.contains(it.key()))
                    it.value() = sequence;
            }
            QHash<QUuid, quint64> taken = changesToWrite();
            LocalChanges changes;
            for (auto it = taken.cbegin(); it != taken.cend(); ++it)
                changes.insert(it.key(), changes_.value(it.key()));
            writing_.insert(sequence, std::move(taken));
            return [shared = shared_, sequence, entries = std::move(entries), changes = std::move(changes),
                    local = std::exchange(localChange_, false)] {
                return shared->merge(sequence, entries, changes, local);
            };
        },
        options.debounceMs);
    index_->setGuard([shared = shared_](QString* why) { return shared->lock(why); });
    index_->setAfterWrite(
        [shared = shared_, writer = index_.get()](bool ok) { shared->written(ok, writer->submitted()); });
    shared_->setQuietMs(options.copyQuietMs);
    copiesQuiet_.setSingleShot(true);
    connect(&copiesQuiet_, &QTimer::timeout, index_.get(), &JsonStoreWriter::markChanged);
    connect(index_.get(), &JsonStoreWriter::written, this, &HistoryStore::indexDone);
    journal_ = std::make_unique<HistoryJournal>(dir_);

    StartState start;
    QStringList keptJournals;
    {
        // One start at a time, and none while another Kaptorix writes the index.
        QString why;
        const std::shared_ptr<void> held = shared_->lock(&why);
        LoadedIndex loaded = loadIndex(indexPath());
        keptBadIndex_ = loaded.keptAs;
        index_->setWritable(loaded.writable);
        // A deletion an earlier run could not finish in the kept copies is tried again with
        // the first write of every start until it succeeds, and told each time it fails.
        if (shared_->begin(loaded.entries))
            index_->markChanged();
        HistoryJournal::Survey survey;
        start = historyAtStart(std::move(loaded), dir_, indexPath(), [&] {
            survey = HistoryJournal::survey(dir_);
            // Without the lock another start may be under way: nothing is taken over.
            return StartJournals{survey.records, survey.live, bool(held)};
        });
        // What came back from its image is this process's to write now; journaled before
        // the journals it came from go.
        for (const HistoryEntry& e : std::as_const(start.entries)) {
            if (start.rebuilt.contains(e.id) && journal_->append(e)) {
                journaled_.insert(e.id, 0);
                note(e.id, changeAdded);
            } else if (start.rebuilt.contains(e.id)) {
                note(e.id, changeAdded);
            }
        }
        journal_->sync();
        if (held)
            keptJournals = HistoryJournal::release(survey);
    }
    for (const QUuid& id : std::as_const(start.removing))
        note(id, changeRemoved);
    entries_ = std::move(start.entries);
    searchLang_ = Lang::current();
    for (const auto& [title, text] : std::as_const(start.notices))
        startNotice(title, text);
    if (!keptJournals.isEmpty())
        startNotice(kx::tr("History journal unreadable", "Az előzménynapló olvashatatlan",
                           "Verlaufsjournal unlesbar"),
                    kx::tr("Kept as %1; captures it names may lack their title.",
                           "Megmaradt: %1; az általa említett képekről hiányozhat a cím.",
                           "Aufbewahrt als %1; Aufnahmen darin fehlt vielleicht der Titel.")
                        .arg(displayPath(keptJournals.first())));
    spared_ = start.rebuilt;
    for (const QUuid& id : std::as_const(start.removing))
        unlinked_.append({index_->submitted(), id});  // gone with the next index written
    // A removal a stop cut short: the copies kept aside may still hold the capture.
    shared_->forgetInCopies(QList<QUuid>(start.removing.cbegin(), start.removing.cend()));
    sweepOrphans(start.sweep, QList<QUuid>(start.rebuilt.cbegin(), start.rebuilt.cend()));
    if (start.rewrite)
        persist();
    // Once the launch is done (the tray icon shows first): texts dropped at a quit, a failed
    // reading or a rebuilt entry are read now.
    QTimer::singleShot(0, this, &HistoryStore::queueMissingText);

    // Another Kaptorix of this user writing the same index: its changes are taken in.
    watcher_ = new QFileSystemWatcher(this);
    if (QFileInfo(dir_).isDir())
        watcher_->addPath(dir_);
    otherWrites_.setSingleShot(true);
    otherWrites_.setInterval(100);
    connect(watcher_, &QFileSystemWatcher::directoryChanged, &otherWrites_, qOverload<>(&QTimer::start));
    connect(&otherWrites_, &QTimer::timeout, this, &HistoryStore::lookForOtherWrites);

    if (auto* app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &HistoryStore::flush);
}

QList<HistoryStore::Notice> HistoryStore::takeStartNotices()
{
    startNoticeTaken_ = true;
    return std::exchange(startNotices_, {});
}

QString HistoryStore::takeStartNotice()
{
    QStringList texts;
    for (const Notice& n : takeStartNotices())
        texts << n.text;
    return texts.join(QLatin1Char(' '));
}

void HistoryStore::startNotice(const QString& title, const QString& text)
{
    if (startNotices_.isEmpty() && !startNoticeTaken_)
        startNoticeTitle_ = title;
    startNotices_.append({title, text});
}

HistoryStore::~HistoryStore()
{
    flush();
    // Taken apart by hand, writers first, so that nothing they report reaches a store half
    // gone: the index writer, whose own destructor writes and reports once more, is cut off
    // before it goes, and the image jobs, which report into outcomes_, end before any member.
    // The state is on disk or was tried twice: the writer's destructor is left nothing to write.
    index_->setWritable(false);
    disconnect(index_.get(), nullptr, this, nullptr);
    index_.reset();
    images_.reset();
    sweep_.waitForFinished();
}

QString HistoryStore::indexPath() const
{
    return dir_ + QStringLiteral("/index.json");
}

qsizetype HistoryStore::indexOf(const QUuid& id) const
{
    for (qsizetype i = 0; i < entries_.size(); ++i) {
        if (entries_[i].id == id)
            return i;
    }
    return -1;
}

void HistoryStore::changed()
{
    Q_EMIT entriesChanged();
}

HistoryEntry HistoryStore::add(const CaptureResult& result, QFuture<QByteArray> png)
{
    HistoryEntry entry;
    entry.id = QUuid::createUuid();
    entry.date = result.date.isValid() ? result.date : now_();
    entry.width = result.image.width();
    entry.height = result.image.height();
    entry.scale = saneScale(result.scale);
    entry.kind = result.kind;
    entry.title = result.title;
    entries_.prepend(entry);
    unwritten_.insert(entry.id);
    note(entry.id, changeAdded);
    // Before its image can reach the disk: a start that finds the image without an index
    // naming it still knows what it was, and another one starting meanwhile leaves it alone.
    journal_->append(entry);
    journaled_.insert(entry.id, 0);
    spared_.clear();
    changed();
    writeImages(entry.id, result.image, entry.scale, std::move(png));
    persist();
    prune();
    recognize(entry.id);
    return entry;
}

void HistoryStore::update(const QUuid& id, const QImage& image, double scale)
{
    const qsizetype i = indexOf(id);
    if (i < 0)
        return;
    HistoryEntry& e = entries_[i];
    const std::pair<QSize, double> before{QSize(e.width, e.height), e.scale};
    e.width = image.width();
    e.height = image.height();
    // The entry must agree with its PNG, which takes the new scale.
    e.scale = saneScale(scale);
    note(id, changeImage);
    // Its files are being written anew: a start meanwhile must leave them alone.
    journal_->append(e);
    journaled_.insert(id, 0);
    changed();
    writeImages(id, image, e.scale);
    updatedFrom_.insert(pending_.value(id).generation, before);
    persist();
    recognize(id);
}

void HistoryStore::dropEntriesWithoutImage()
{
    QList<QUuid> gone;
    for (const HistoryEntry& e : std::as_const(entries_)) {
        if (!pending_.contains(e.id) && !QFileInfo::exists(images_->pngPath(e.id)))
            gone.append(e.id);
    }
    if (gone.isEmpty())
        return;
    // Their text must not outlive them in a kept copy either.
    remove(gone);
    startNotice(kx::tr("History", "Előzmények", "Verlauf"), withoutImageNotice(gone.size()));
}

QList<HistoryStore::RemoveFailure> HistoryStore::remove(const QList<QUuid>& ids)
{
    QList<RemoveFailure> failed;
    QSet<QUuid> gone;
    QList<QUuid> removed;  // entries of the history that go
    const quint64 lastNaming = index_->submitted();
    for (const QUuid& id : ids) {
        if (gone.contains(id))
            continue;
        if (indexOf(id) >= 0) {
            const QString refusal = unlinkRefusal(images_->pngPath(id));
            if (!refusal.isEmpty()) {
                if (!std::any_of(failed.cbegin(), failed.cend(),
                                 [&](const RemoveFailure& f) { return f.id == id; }))
                    failed.append({id, refusal});
                continue;
            }
            unlinked_.append({lastNaming, id});
            images_->setAside(id);
            note(id, changeRemoved);
            removed.append(id);
        }
        gone.insert(id);
        unwritten_.remove(id);
        images_->forget(id);
        pending_.remove(id);
        holdBackgroundWhileWriting();
        thumbs_.remove(id);
        textGeneration_.remove(id);
        textAttempt_.remove(id);
    }
    // Nothing of a deleted capture may stay in the folder: its journal line goes now, its
    // records in the kept copies with the next index write.
    if (!removed.isEmpty()) {
        journal_->purge(QSet<QUuid>(removed.cbegin(), removed.cend()));
        shared_->forgetInCopies(removed);
        copiesQuiet_.start(shared_->quietMs() + 50);
    }
    if (entries_.removeIf([&](const HistoryEntry& e) { return gone.contains(e.id); }) > 0)
        changed();
    persist();
    if (!removed.isEmpty())
        Q_EMIT this->removed(removed);
    return failed;
}

QList<HistoryEntry> HistoryStore::search(const QString& query, bool favoritesOnly) const
{
    const QString q = trimBlanks(query).toLower();
    QList<HistoryEntry> out;
    if (q.isEmpty() && !favoritesOnly)
        return entries_;
    if (q.isEmpty()) {
        out.reserve(entries_.size());
        for (const HistoryEntry& e : entries_) {
            if (!favoritesOnly || e.favorite)
                out.append(e);
        }
        return out;
    }
    followLanguage();
    const std::vector<qsizetype> hits = searchIndex_.find(entries_, searchTextOf, q);
    // Every entry (a first letter, mostly): the list itself, shared rather than copied entry by
    // entry, which at 50,000 entries cost more than the search.
    if (!favoritesOnly && hits.size() == size_t(entries_.size()))
        return entries_;
    out.reserve(qsizetype(hits.size()));
    for (qsizetype i : hits) {
        if (!favoritesOnly || entries_[i].favorite)
            out.append(entries_[i]);
    }
    return out;
}

void HistoryStore::prepareSearch() const
{
    followLanguage();
    searchIndex_.prepare(entries_, searchTextOf);
}

void HistoryStore::releaseSearch() const
{
    searchIndex_.clear();
}

QString HistoryStore::searchText(const QUuid& id) const
{
    const qsizetype i = indexOf(id);
    return i < 0 ? QString() : searchTextOf(entries_[i]);
}

void HistoryStore::followLanguage() const
{
    // The kind labels in the index are in the language of the last search.
    if (searchLang_ == Lang::current())
        return;
    searchLang_ = Lang::current();
    searchIndex_.clear();
}

template <typename Change>
void HistoryStore::modify(const QUuid& id, quint8 fields, Change change)
{
    const qsizetype i = indexOf(id);
    if (i < 0)
        return;
    change(entries_[i]);
    note(id, fields);
    searchIndex_.stale(id);
    changed();
    persist();
}

void HistoryStore::toggleFavorite(const QUuid& id)
{
    modify(id, changeStar, [](HistoryEntry& e) { e.favorite = !e.favorite; });
}

void HistoryStore::setOCR(const QUuid& id, const QString& text)
{
    // A text set now is newer than any recognition still running for this entry.
    if (textGeneration_.contains(id))
        textGeneration_.insert(id, ++textCounter_);
    applyText(id, text);
}

void HistoryStore::applyText(const QUuid& id, const QString& text)
{
    modify(id, changeText, [&](HistoryEntry& e) {
        e.ocrText = text;
        e.textFailed = false;
    });
}

void HistoryStore::setUploadURL(const QUuid& id, const QString& url)
{
    modify(id, changeLink, [&](HistoryEntry& e) { e.uploadURL = url; });
}

void HistoryStore::setAISummary(const QUuid& id, const QString& text)
{
    modify(id, changeSummary, [&](HistoryEntry& e) { e.aiSummary = text; });
}

std::optional<HistoryEntry> HistoryStore::entry(const QUuid& id) const
{
    const qsizetype i = indexOf(id);
    return i < 0 ? std::nullopt : std::optional<HistoryEntry>(entries_[i]);
}

std::optional<DecodedImage> HistoryStore::loadImage(const QUuid& id) const
{
    const qsizetype i = indexOf(id);
    const double scale = i < 0 ? 2.0 : entries_[i].scale;
    const auto it = pending_.constFind(id);
    if (it != pending_.cend())
        return DecodedImage{it->image, scale};
    const ImageRead read = readImageFile(images_->pngPath(id));
    if (!read.image || read.image->image.isNull())
        return std::nullopt;
    return DecodedImage{read.image->image, scale};
}

void HistoryStore::cacheThumbnail(const QUuid& id, const QImage& image, std::optional<FileIdentity> file)
{
    thumbs_.insert(id, new CachedThumbnail{image, file}, int(image.sizeInBytes() / 1024) + 1);
}

QImage HistoryStore::thumbnail(const QUuid& id)
{
    const auto it = pending_.constFind(id);
    if (const CachedThumbnail* cached = thumbs_.object(id)) {
        // The file is compared, not the size in the entry: an edit of the same size written by
        // another Kaptorix changes nothing else this process would see.
        if (it != pending_.cend() || cached->file == fileIdentity(images_->thumbnailPath(id)))
            return cached->image;
    }
    if (it != pending_.cend()) {
        // The file is on its way; scaling a tall capture takes long enough that a view
        // repainting must not do it again. The written thumbnail replaces this one.
        const QImage preview = fitted(it->image, ImageWriter::kThumbnailEdge);
        cacheThumbnail(id, preview, std::nullopt);
        return preview;
    }
    // Its identity first: a file replaced while it is read is read again next time.
    const std::optional<FileIdentity> file = fileIdentity(images_->thumbnailPath(id));
    QImage image(images_->thumbnailPath(id));
    if (image.isNull()) {
        thumbs_.remove(id);
        return {};
    }
    cacheThumbnail(id, image, file);
    return image;
}

}  // namespace kx
