#include "capture/history/HistoryJournal.h"

#include "core/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <cerrno>
#include <cstring>

namespace kx {

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The whole, readable records of the file in order; a line cut by a stop is no record.
QList<QPair<QUuid, QByteArray>> records(const QString& path)
{
    QList<QPair<QUuid, QByteArray>> out;
    const QByteArray bytes = fileBytes(path);
    qsizetype from = 0;
    for (qsizetype end = bytes.indexOf('\n'); end >= 0; from = end + 1, end = bytes.indexOf('\n', from)) {
        const QByteArray line = bytes.mid(from, end - from);
        const QJsonDocument doc = QJsonDocument::fromJson(line);
        if (const auto entry = doc.isObject() ? entryFromJson(doc.object()) : std::nullopt)
            out.append({entry->id, line});
    }
    return out;
}

bool writeAll(int fd, const QByteArray& data)
{
    const char* p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        left -= n;
    }
    return true;
}

}  // namespace

HistoryJournal::HistoryJournal(QString path) : path_(std::move(path)), records_(records(path_))
{
}

HistoryJournal::~HistoryJournal()
{
    if (fd_ >= 0)
        ::close(fd_);
}

QHash<QUuid, HistoryEntry> HistoryJournal::read(const QString& path)
{
    QHash<QUuid, HistoryEntry> out;
    for (const auto& [id, line] : records(path)) {
        if (const auto entry = entryFromJson(QJsonDocument::fromJson(line).object()))
            out.insert(id, *entry);
    }
    return out;
}

QList<QUuid> HistoryJournal::adopted() const
{
    QList<QUuid> ids;
    for (const auto& r : records_)
        ids.append(r.first);
    return ids;
}

bool HistoryJournal::openLocked(QString* error)
{
    if (fd_ >= 0)
        return true;
    // Owner-only like everything in the history folder; a link is not followed.
    fd_ = ::open(QFile::encodeName(path_).constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW,
                 0600);
    if (fd_ < 0 && error)
        *error = QString::fromLocal8Bit(std::strerror(errno));
    return fd_ >= 0;
}

bool HistoryJournal::append(const HistoryEntry& entry, QString* error)
{
    QByteArray line;
    appendEntryJson(line, entry);
    QMutexLocker lock(&mutex_);
    records_.append({entry.id, line});
    if (!openLocked(error))
        return false;
    // One write of the whole line: a stop leaves it whole or cut, and a cut one is no record.
    // After a failed write the line is begun anew, so the cut one cannot take it along.
    if (!writeAll(fd_, (cut_ ? QByteArray("\n") : QByteArray()) + line + '\n')) {
        const int err = errno;
        cut_ = true;
        // A full disk must not leave an empty file behind.
        if (struct stat st{}; ::fstat(fd_, &st) == 0 && st.st_size == 0) {
            ::unlink(QFile::encodeName(path_).constData());
            ::close(fd_);
            fd_ = -1;
            cut_ = false;
        }
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(err));
        return false;
    }
    cut_ = false;
    return true;
}

void HistoryJournal::sync()
{
    // Synced through a copy of the descriptor, outside the lock: an append on the UI thread
    // must not wait for the disk.
    int fd = -1;
    {
        QMutexLocker lock(&mutex_);
        if (fd_ >= 0)
            fd = ::fcntl(fd_, F_DUPFD_CLOEXEC, 0);
    }
    if (fd >= 0) {
        ::fdatasync(fd);
        ::close(fd);
    }
}

void HistoryJournal::retire(const QSet<QUuid>& ids)
{
    QMutexLocker lock(&mutex_);
    if (records_.removeIf([&](const QPair<QUuid, QByteArray>& r) { return ids.contains(r.first); }) == 0)
        return;
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    cut_ = false;
    if (records_.isEmpty()) {
        QFile::remove(path_);
        return;
    }
    QByteArray rest;
    for (const auto& r : std::as_const(records_))
        rest += r.second + '\n';
    // A rewrite that fails keeps the old file: it holds every record still needed, and more.
    writeFileAtomically(path_, rest);
}

}  // namespace kx
