#include "library/history/ThumbnailLoader.h"

#include "capture/history/HistoryEntry.h"
#include "core/Futures.h"

#include <QDir>
#include <QImageReader>
#include <QPointer>
#include <QtConcurrent>
#include <algorithm>

namespace kx {

namespace {
constexpr int kWorkers = 2;
}

ThumbnailLoader::ThumbnailLoader(QString dir, Decoder decoder, int cacheKiB, QObject* parent)
    : QObject(parent),
      dir_(std::move(dir)),
      decoder_(decoder ? std::move(decoder) : Decoder(&decode)),
      cache_(cacheKiB)
{
    pool_.setMaxThreadCount(kWorkers);
}

ThumbnailLoader::~ThumbnailLoader()
{
    queue_.clear();
    pool_.waitForDone();
}

QImage ThumbnailLoader::decode(const QString& path, const QSize& size)
{
    QImageReader reader(path);
    const QSize full = reader.size();
    if (full.isValid() && size.isValid() && full.width() > size.width() && full.height() > size.height())
        reader.setScaledSize(full.scaled(size, Qt::KeepAspectRatioByExpanding));
    QImage image = reader.read();
    if (image.isNull() || !size.isValid())
        return image;
    // Cropped and scaled to the card here, in the painter's own format: painting then only
    // copies pixels (scaling or converting while painting costs the UI thread milliseconds).
    QRect crop(QPoint(), size.scaled(image.size(), Qt::KeepAspectRatio));
    crop.moveCenter(image.rect().center());
    return image.copy(crop)
        .scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage ThumbnailLoader::cached(const QUuid& id) const
{
    const Thumb* t = cache_.object(id);
    return t ? t->image : QImage();
}

void ThumbnailLoader::want(const QList<QUuid>& ids, const QSize& size)
{
    if (size != size_) {
        // What was made for the old size shows until the new one lands: a resize never blanks
        // the cards.
        size_ = size;
        missing_.clear();
    }
    queue_.clear();
    for (const QUuid& id : ids) {
        if (missing_.contains(id) || inFlight_.contains(id))
            continue;
        const Thumb* t = cache_.object(id);
        if (!t || t->stale || t->size != size_)
            queue_.append(id);
    }
    pump();
}

void ThumbnailLoader::invalidate(const QUuid& id)
{
    if (Thumb* t = cache_.object(id))
        t->stale = true;
    missing_.remove(id);
    generation_[id] += 1;
}

QString ThumbnailLoader::pathOf(const QUuid& id) const
{
    return QDir(dir_).filePath(uuidText(id) + QStringLiteral(".thumb.jpg"));
}

int ThumbnailLoader::revalidate()
{
    QList<QUuid> changed;
    const QList<QUuid> held = cache_.keys();
    for (const QUuid& id : held) {
        const Thumb* t = cache_.object(id);
        if (!t->stale && t->file != fileIdentity(pathOf(id)))
            changed.append(id);
    }
    for (auto it = missing_.cbegin(); it != missing_.cend(); ++it) {
        if (it.value() != fileIdentity(pathOf(it.key())))
            changed.append(it.key());
    }
    for (const QUuid& id : std::as_const(changed)) {
        invalidate(id);
        Q_EMIT loaded(id);
    }
    return int(changed.size());
}

void ThumbnailLoader::pump()
{
    while (inFlight_.size() < kWorkers && !queue_.isEmpty()) {
        const QUuid id = queue_.takeFirst();
        inFlight_.insert(id);
        const quint64 gen = generation_.value(id);
        const QString path = pathOf(id);
        const auto decoding = QtConcurrent::run(&pool_, [decoder = decoder_, path, size = size_] {
            // Its identity first: a file replaced while it is read shows as changed later.
            std::optional<FileIdentity> file = fileIdentity(path);
            return Decoded{decoder(path, size), size, file};
        });
        continueIn(this, decoding, [this, id, gen](const Decoded& decoded) { landed(id, gen, decoded); });
    }
}

void ThumbnailLoader::landed(const QUuid& id, quint64 generation, const Decoded& decoded)
{
    inFlight_.remove(id);
    if (generation == generation_.value(id)) {
        const QImage& image = decoded.image;
        if (image.isNull()) {
            missing_.insert(id, decoded.file);
            cache_.remove(id);
        } else {
            cache_.insert(id, new Thumb{image, decoded.size, decoded.file},
                          int(image.sizeInBytes() / 1024) + 1);
        }
    }
    // Also for a stale decode: the repaint asks for the file again.
    Q_EMIT loaded(id);
    pump();
}

}  // namespace kx
