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
#include <functional>

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

// Hands each line of the file to `take` (without its newline), read in pieces of 64 KiB: a
// line longer than kMaxLineBytes is handed over empty with `tooLong` set, its bytes never held.
// `whole` is false for a last line without its newline.
void forEachLine(int fd, const std::function<void(const QByteArray& line, bool whole, bool tooLong)>& take)
{
    char buffer[1 << 16];
    QByteArray line;
    bool tooLong = false;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        const char* p = buffer;
        const char* const end = buffer + n;
        while (p < end) {
            const char* nl = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
            const char* stop = nl ? nl : end;
            if (!tooLong && line.size() + (stop - p) > HistoryJournal::kMaxLineBytes) {
                tooLong = true;
                line = QByteArray();
            } else if (!tooLong) {
                line.append(p, stop - p);
            }
            if (!nl)
                break;
            take(line, true, tooLong);
            line.truncate(0);
            tooLong = false;
            p = nl + 1;
        }
    }
    if (tooLong || !line.isEmpty())
        take(line, false, tooLong);
}

// The records of a journal in file order, each to `take`; true when a line was no record
// (or the last one was cut).
bool readRecords(int fd, const std::function<void(HistoryEntry&&)>& take)
{
    bool bad = false;
    forEachLine(fd, [&](const QByteArray& line, bool whole, bool tooLong) {
        if (!tooLong && line.trimmed().isEmpty())
            return;
        std::optional<HistoryEntry> entry;
        if (whole && !tooLong) {
            const QJsonDocument doc = QJsonDocument::fromJson(line);
            if (doc.isObject())
                entry = entryFromJson(doc.object());
        }
        if (entry)
            take(std::move(*entry));
        else
            bad = true;
    });
    return bad;
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
        if (held) {
            // A running Kaptorix's: its captures are its own to finish.
            readRecords(fd, [&](HistoryEntry&& e) { s.live.insert(e.id); });
        } else if (name.endsWith(QLatin1String(kNewSuffix))) {
            QFile::remove(path);  // made by a process stopped before it could use it
        } else {
            const bool bad = readRecords(fd, [&](HistoryEntry&& e) { s.records.insert(e.id, std::move(e)); });
            s.taken.append(path);
            if (bad)
                s.unreadable.append(path);
        }
        ::close(fd);
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
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return out;
    readRecords(fd, [&](HistoryEntry&& e) { out.insert(e.id, std::move(e)); });
    ::close(fd);
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
    inFile_.clear();
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
    inFile_.clear();
}

bool HistoryJournal::append(const HistoryEntry& entry, QString* error)
{
    // A start needs no texts to rebuild an entry, and a journal that outlives a deletion
    // must not hold them.
    HistoryEntry record = entry;
    record.ocrText.reset();
    record.uploadURL.reset();
    record.aiSummary.reset();
    record.textFailed = false;
    QByteArray line;
    appendEntryJson(line, record);
    QMutexLocker lock(&mutex_);
    records_.append({entry.id, line});
    if (!openLocked(error))
        return false;
    inFile_.insert(entry.id);
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
    if (retiredLines_ > kRetiredLinesBeforeRewrite)
        rewriteLocked();
}

void HistoryJournal::purge(const QSet<QUuid>& ids)
{
    QMutexLocker lock(&mutex_);
    records_.removeIf([&](const QPair<QUuid, QByteArray>& r) { return ids.contains(r.first); });
    if (!inFile_.intersects(ids))
        return;
    if (records_.isEmpty())
        closeLocked(true);
    else
        rewriteLocked();
}

void HistoryJournal::rewriteLocked()
{
    if (fd_ < 0)
        return;
    // Written anew in a file of its own, synced, before the old one goes. When that fails the
    // old file stays: it goes anyway once its last record is retired.
    const QString oldPath = std::exchange(path_, QString());
    const int oldFd = std::exchange(fd_, -1);
    const QSet<QUuid> oldInFile = inFile_;
    QByteArray rest;
    for (const auto& r : std::as_const(records_))
        rest += r.second + '\n';
    if (openLocked(nullptr) && writeAll(fd_, rest) && ::fdatasync(fd_) == 0) {
        ::unlink(QFile::encodeName(oldPath).constData());
        ::close(oldFd);
        for (const auto& r : std::as_const(records_))
            inFile_.insert(r.first);
        return;
    }
    closeLocked(true);
    path_ = oldPath;
    fd_ = oldFd;
    inFile_ = oldInFile;
}

}  // namespace kx
