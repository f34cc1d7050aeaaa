#include "core/FileLock.h"

#include "core/Localisation.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <cerrno>
#include <cstring>

namespace kx {

namespace {

struct Held {
    int fd = -1;
    ~Held()
    {
        if (fd >= 0)
            ::close(fd);  // closing the last descriptor lets go of the lock
    }
};

std::shared_ptr<void> lockOpened(const QString& path, int flags, int waitMs, QString* error, int* errorNumber)
{
    const auto fail = [&](int number, QString why) {
        if (error)
            *error = std::move(why);
        if (errorNumber)
            *errorNumber = number;
        return nullptr;
    };
    auto held = std::make_shared<Held>();
    held->fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC, 0600);
    if (held->fd < 0)
        return fail(errno, QString::fromLocal8Bit(std::strerror(errno)));
    QElapsedTimer waited;
    waited.start();
    for (int pause = 1;; pause = std::min(pause * 2, 50)) {
        if (::flock(held->fd, LOCK_EX | LOCK_NB) == 0)
            return held;
        if (errno != EWOULDBLOCK && errno != EINTR)
            return fail(errno, QString::fromLocal8Bit(std::strerror(errno)));
        if (waited.elapsed() >= waitMs)
            break;
        QThread::msleep(pause);
    }
    return fail(EWOULDBLOCK, kx::tr("Another Kaptorix of this user kept it locked.",
                                    "A felhasználó egy másik Kaptorixa zárolva tartotta.",
                                    "Ein anderes Kaptorix dieses Benutzers hielt es gesperrt."));
}

}  // namespace

std::shared_ptr<void> lockFile(const QString& path, int waitMs, QString* error)
{
    return lockOpened(path, O_RDWR | O_CREAT | O_NOFOLLOW, waitMs, error, nullptr);
}

std::shared_ptr<void> lockExistingFile(const QString& path, int waitMs, QString* error, int* errorNumber)
{
    return lockOpened(path, O_RDONLY, waitMs, error, errorNumber);
}

std::optional<FileIdentity> fileIdentity(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return FileIdentity{quint64(st.st_dev), quint64(st.st_ino), qint64(st.st_size),
                        qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

}  // namespace kx
