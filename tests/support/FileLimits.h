#pragma once
// Disk accidents on demand: a full disk (a file-size limit) and a folder the process may not
// write (root's override of file permissions dropped), for the failure paths of writers.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <fcntl.h>
#include <linux/capability.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstring>

namespace kx::test {

// While it lives, no file of the process grows beyond `bytes`: writes fail with EFBIG, as
// on a full disk. For every thread.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = old_;
        small.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

// While it lives, the calling thread obeys file modes even as root (CAP_DAC_OVERRIDE and
// CAP_DAC_READ_SEARCH leave its effective set), so a folder of mode 0555 refuses it.
class ObeyFileModes {
public:
    ObeyFileModes()
    {
        ::syscall(SYS_capget, &header_, saved_);
        __user_cap_data_struct less[2] = {saved_[0], saved_[1]};
        less[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        ::syscall(SYS_capset, &header_, less);
    }
    ~ObeyFileModes() { ::syscall(SYS_capset, &header_, saved_); }
    ObeyFileModes(const ObeyFileModes&) = delete;
    ObeyFileModes& operator=(const ObeyFileModes&) = delete;

private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
};

// Makes the mounts of the calling thread, and of the processes it starts later, its own: one
// made after this is seen by no other process and goes when the last of them ends, whatever
// becomes of the test. False where that is not allowed (no root, a locked-down container).
inline bool privateMounts()
{
    static const bool made =
        ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    return made;
}

// A really full (or read-only) filesystem: a small tmpfs mounted on a fresh folder for as
// long as this lives. Put the files that must already be there first, then fill() it to the last byte.
// Mounting needs the right to (root, outside a locked-down container); without it mounted()
// is false and why() says what refused.
class FullFilesystem {
public:
    FullFilesystem()
    {
        const QByteArray at = QFile::encodeName(dir_.path());
        if (::mount("tmpfs", at.constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=512k,mode=0700") != 0)
            why_ = QString::fromLocal8Bit(std::strerror(errno));
        else
            mounted_ = true;
    }
    ~FullFilesystem()
    {
        if (mounted_)
            ::umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
    }
    FullFilesystem(const FullFilesystem&) = delete;
    FullFilesystem& operator=(const FullFilesystem&) = delete;

    bool mounted() const { return mounted_; }
    QString why() const { return why_; }
    QString path() const { return dir_.path(); }
    // Makes the filesystem read-only (EROFS for every write). True when it is.
    bool makeReadOnly()
    {
        const QByteArray at = QFile::encodeName(dir_.path());
        return mounted_ && ::mount("tmpfs", at.constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }
    // Writes a filler file until the filesystem refuses another byte. True when it is full.
    bool fill()
    {
        const QByteArray filler = QFile::encodeName(dir_.path() + QStringLiteral("/filler"));
        const int fd = ::open(filler.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (fd < 0)
            return false;
        const QByteArray block(4096, 'f');
        int err = 0;
        for (qsizetype chunk : {qsizetype(4096), qsizetype(1)}) {
            for (;;) {
                const ssize_t n = ::write(fd, block.constData(), size_t(chunk));
                if (n <= 0) {
                    err = errno;
                    break;
                }
            }
        }
        ::close(fd);
        return err == ENOSPC;
    }

private:
    QTemporaryDir dir_;
    bool mounted_ = false;
    QString why_;
};

}  // namespace kx::test
