#pragma once
// Locks between processes of one user that share a folder (two X sessions with one home run
// two Kaptorix): flock(2) on a small file beside the data, never removed. A lock that another
// process holds is waited for, but only so long: one that is stopped must not hang this one.

#include <QString>
#include <memory>
#include <optional>

namespace kx {

// Held while the returned handle lives. Null, with the reason in `error`, when `path` cannot
// be opened (created owner-only) or another process held it for `waitMs`.
std::shared_ptr<void> lockFile(const QString& path, int waitMs, QString* error = nullptr);
// The same on a file that must be there already (it is opened for reading, never created, so
// a file that another process removed does not come back empty). `errorNumber` gets ENOENT for
// a file that is not there and EWOULDBLOCK for one another process held.
std::shared_ptr<void> lockExistingFile(const QString& path, int waitMs, QString* error = nullptr,
                                       int* errorNumber = nullptr);

// What tells one version of a file from another that replaced it: device, inode, size and
// modification time. Nothing when nothing is at the path.
struct FileIdentity {
    quint64 device = 0, inode = 0;
    qint64 size = 0, mtimeNs = 0;
    bool operator==(const FileIdentity&) const = default;
};
std::optional<FileIdentity> fileIdentity(const QString& path);

}  // namespace kx
