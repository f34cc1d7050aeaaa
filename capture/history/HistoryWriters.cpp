#include "capture/history/HistoryWriters.h"

#include "core/AtomicFile.h"
#include "core/ImageUtils.h"

#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <cerrno>
#include <cstring>

namespace kx {

QString unlinkRefusal(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0)
        return errno == ENOENT ? QString() : QString::fromLocal8Bit(std::strerror(errno));
    if (S_ISDIR(st.st_mode))
        return QString::fromLocal8Bit(std::strerror(EISDIR));
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    if (::access(folder.constData(), W_OK | X_OK) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    return {};
}

ImageWriter::ImageWriter(QString dir) : dir_(std::move(dir))
{
    pool_.setObjectName(QStringLiteral("kx-history-images"));
    pool_.setMaxThreadCount(std::max(1, QThread::idealThreadCount()));
}

ImageWriter::~ImageWriter()
{
    wait();
}

QString ImageWriter::pngPath(const QUuid& id) const
{
    return dir_ + QLatin1Char('/') + uuidText(id) + QStringLiteral(".png");
}

QString ImageWriter::thumbnailPath(const QUuid& id) const
{
    return dir_ + QLatin1Char('/') + uuidText(id) + QStringLiteral(".thumb.jpg");
}

QString ImageWriter::removedPath(const QUuid& id) const
{
    return dir_ + QLatin1Char('/') + uuidText(id) + kRemovedSuffix;
}

void ImageWriter::setAside(const QUuid& id)
{
    ::rename(QFile::encodeName(pngPath(id)).constData(), QFile::encodeName(removedPath(id)).constData());
}

quint64 ImageWriter::write(const QUuid& id, const QImage& image, double scale,
                           std::function<void(quint64, const QImage&, bool, const QString&)> done,
                           QFuture<QByteArray> png, std::function<void()> first)
{
    const quint64 generation = ++generations_;
    pool_.start([this, id, image, scale, generation, done = std::move(done), png = std::move(png),
                 first = std::move(first)] {
        std::optional<QByteArray> pngBytes;
        if (!png.isCanceled()) {
            // Waits for the shared encode (started before this job) rather than repeating it;
            // the thumbnail comes after, so it does not take cores from the clipboard's PNG.
            if (QByteArray shared = png.result(); !shared.isEmpty())
                pngBytes = std::move(shared);
        }
        if (!pngBytes)
            pngBytes = encoded(image, ImageFormat::png, 0.9, scale);
        const QImage thumbnail = fitted(image, kThumbnailEdge);
        const auto thumbBytes = encoded(thumbnail, ImageFormat::jpg, 0.8, 1.0);
        // The files are written outside the lock: forget() runs on the UI thread and must
        // not wait for a disk. One write per id at a time keeps an older image from
        // landing after a newer one.
        bool claimed = false;
        {
            QMutexLocker lock(&mutex_);
            while (writing_.contains(id))
                writeDone_.wait(&mutex_);
            if (!forgotten_.contains(id) && committed_.value(id) < generation) {
                committed_.insert(id, generation);
                writing_.insert(id);
                claimed = true;
            }
        }
        bool ok = false;
        QString error;
        if (claimed) {
            if (first)
                first();
            ok = pngBytes && writeFileAtomically(pngPath(id), *pngBytes, &error);
            if (thumbBytes)
                ok =
                    writeFileAtomically(thumbnailPath(id), *thumbBytes, error.isEmpty() ? &error : nullptr) &&
                    ok;
            QMutexLocker lock(&mutex_);
            writing_.remove(id);
            if (removed_.contains(id)) {
                // Removed while the files were written: they must not outlive the entry.
                QFile::remove(pngPath(id));
                QFile::remove(thumbnailPath(id));
                ok = false;
            }
            writeDone_.wakeAll();
        }
        if (done)
            done(generation, thumbnail, ok, error);
    });
    return generation;
}

void ImageWriter::forget(const QUuid& id)
{
    QMutexLocker lock(&mutex_);
    forgotten_.insert(id);
    committed_.remove(id);
}

void ImageWriter::removeFiles(const QUuid& id)
{
    QMutexLocker lock(&mutex_);
    forgotten_.insert(id);
    removed_.insert(id);
    committed_.remove(id);
    QFile::remove(pngPath(id));
    QFile::remove(removedPath(id));
    QFile::remove(thumbnailPath(id));
}

void ImageWriter::wait()
{
    pool_.waitForDone();
}

}  // namespace kx
