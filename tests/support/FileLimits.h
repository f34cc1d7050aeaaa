#pragma once
// Disk accidents on demand: a full disk (a file-size limit) and a folder the process may not
// write (root's override of file permissions dropped), for the failure paths of writers.

#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <csignal>

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

}  // namespace kx::test
