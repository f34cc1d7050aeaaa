#include "capture/history/HistoryJournal.h"

#include "core/AtomicFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <cerrno>
#include <cstring>

namespace kx {

namespace {

// The one file older versions wrote, and the files of this one.
const QStringList kJournalNames{QStringLiteral("index*.journal")};
constexpr char kNewSuffix[] = ".new";  // a journal being made, before it carries its lock
// A file whose retired lines outnumber this is written anew with the records still needed.
constexpr int kRetiredLinesBeforeRewrite = 512;

QString systemError(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

struct Lines {
    QList<QPair<QUuid, QByteArray>> records;  // in file order
    bool bad = false;                         // a line that is no record, or a cut last one
};

Lines linesOf(const QByteArray& bytes)
{
    Lines out;
    qsizetype from = 0;
    while (from < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', from);
        const bool whole = end >= 0;
        if (!whole)
            end = bytes.size();
        const QByteArray line = bytes.mid(from, end - from);
        from = end + 1;
        if (line.trimmed().isEmpty())
            continue;
        const QJsonDocument doc = QJsonDocument::fromJson(line);
        const auto entry = whole && doc.isObject() ? entryFromJson(doc.object()) : std::nullopt;
        if (entry)
            out.records.append({entry->id, line});
        else
            out.bad = true;
    }
    return out;
}

QByteArray readFd(int fd)
{
    QByteArray out;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return out;
        out.append(buffer, n);
    }
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

HistoryJournal::HistoryJournal(QString dir) : dir_(std::move(dir))
{
}

HistoryJournal::~HistoryJournal()
{
    QMutexLocker lock(&mutex_);
    closeLocked(records_.isEmpty());
}

QString HistoryJournal::path() const
{
    QMutexLocker lock(&mutex_);
    return path_;
}

HistoryJournal::Survey HistoryJournal::survey(const QString& dir)
{
    Survey s;
    const QStringList names =
        QDir(dir).entryList(kJournalNames + QStringList{QStringLiteral("index.*.journal") + kNewSuffix},
                            QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDir::Name);
    for (const QString& name : names) {
        const QString path = dir + QLatin1Char('/') + name;
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0)
            continue;
        const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
        const Lines lines = linesOf(readFd(fd));
        ::close(fd);
        if (held) {
            // A running Kaptorix's: its captures are its own to finish.
            for (const auto& r : lines.records)
                s.live.insert(r.first);
        } else if (name.endsWith(QLatin1String(kNewSuffix))) {
            QFile::remove(path);  // made by a process stopped before it could use it
        } else {
            for (const auto& [id, line] : lines.records)
                s.records.insert(id, *entryFromJson(QJsonDocument::fromJson(line).object()));
            s.taken.append(path);
            if (lines.bad)
                s.unreadable.append(path);
        }
    }
    return s;
}

QStringList HistoryJournal::release(const Survey& survey)
{
    QStringList kept;
    for (const QString& path : survey.taken) {
        if (!survey.unreadable.contains(path)) {
            QFile::remove(path);
        } else if (const QString aside = setAside(path); !aside.isEmpty()) {
            kept.append(aside);
        } else {
            kept.append(path);  // left where it is; never dropped unread
        }
    }
    return kept;
}

QHash<QUuid, HistoryEntry> HistoryJournal::read(const QString& path)
{
    QHash<QUuid, HistoryEntry> out;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return out;
    for (const auto& [id, line] : linesOf(f.readAll()).records)
        out.insert(id, *entryFromJson(QJsonDocument::fromJson(line).object()));
    return out;
}

bool HistoryJournal::openLocked(QString* error)
{
    if (fd_ >= 0)
        return true;
    // Made under another name and renamed once locked: a start never sees it unlocked.
    const QString name = QStringLiteral("%1/index.%2.journal")
                             .arg(dir_)
                             .arg(QRandomGenerator::system()->generate(), 8, 16, QLatin1Char('0'));
    const QByteArray made = QFile::encodeName(name + QLatin1String(kNewSuffix));
    // Owner-only like everything in the history folder; a link is not followed.
    const int fd =
        ::open(made.constData(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        if (error)
            *error = systemError(errno);
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 ||
        ::rename(made.constData(), QFile::encodeName(name).constData()) != 0) {
        const int err = errno;
        ::unlink(made.constData());
        ::close(fd);
        if (error)
            *error = systemError(err);
        return false;
    }
    fd_ = fd;
    path_ = name;
    cut_ = false;
    dirSynced_ = false;
    retiredLines_ = 0;
    return true;
}

void HistoryJournal::closeLocked(bool remove)
{
    if (fd_ < 0)
        return;
    // Removed before its lock goes: a start that finds the file finds it held.
    if (remove)
        ::unlink(QFile::encodeName(path_).constData());
    ::close(fd_);
    fd_ = -1;
    path_.clear();
}

bool HistoryJournal::append(const HistoryEntry& entry, QString* error)
{
    QByteArray line;
    appendEntryJson(line, entry);
    QMutexLocker lock(&mutex_);
    records_.append({entry.id, line});
    if (!openLocked(error))
        return false;
    // One write of the whole line. After a failed write the line is begun anew, so the cut
    // one cannot take it along.
    if (!writeAll(fd_, (cut_ ? QByteArray("\n") : QByteArray()) + line + '\n')) {
        const int err = errno;
        cut_ = true;
        // A full disk must not leave an empty file behind.
        if (struct stat st{}; ::fstat(fd_, &st) == 0 && st.st_size == 0)
            closeLocked(true);
        if (error)
            *error = systemError(err);
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
    bool syncDir = false;
    {
        QMutexLocker lock(&mutex_);
        if (fd_ >= 0)
            fd = ::fcntl(fd_, F_DUPFD_CLOEXEC, 0);
        syncDir = fd >= 0 && !std::exchange(dirSynced_, true);
    }
    if (fd < 0)
        return;
    ::fdatasync(fd);
    ::close(fd);
    if (syncDir) {
        // The new file's name must survive a power cut as well as its lines.
        const int dirFd = ::open(QFile::encodeName(dir_).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dirFd >= 0) {
            ::fsync(dirFd);
            ::close(dirFd);
        }
    }
}

void HistoryJournal::retire(const QSet<QUuid>& ids)
{
    QMutexLocker lock(&mutex_);
    const qsizetype gone =
        records_.removeIf([&](const QPair<QUuid, QByteArray>& r) { return ids.contains(r.first); });
    if (gone == 0)
        return;
    if (records_.isEmpty()) {
        closeLocked(true);
        return;
    }
    retiredLines_ += int(gone);
    if (retiredLines_ <= kRetiredLinesBeforeRewrite || fd_ < 0)
        return;
    // Written anew in a file of its own, synced, before the old one goes.
    const QString oldPath = std::exchange(path_, QString());
    const int oldFd = std::exchange(fd_, -1);
    QByteArray rest;
    for (const auto& r : std::as_const(records_))
        rest += r.second + '\n';
    if (openLocked(nullptr) && writeAll(fd_, rest) && ::fdatasync(fd_) == 0) {
        ::unlink(QFile::encodeName(oldPath).constData());
        ::close(oldFd);
        return;
    }
    closeLocked(true);
    path_ = oldPath;
    fd_ = oldFd;
}

}  // namespace kx
