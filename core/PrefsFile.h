#pragma once
// The settings file on the disk, below QSettings: made for its owner only, tried for writes as
// QSettings makes them, and told apart from the file a write puts in its place.
#include <QString>

#include <sys/stat.h>
#include <ctime>

namespace kx {

// The system's text for an errno value ("No space left on device").
QString systemReason(int error);

// What a write changes: QSettings writes a new file and renames it over the old one.
struct FileStamp {
    static FileStamp of(const QString& path);
    bool exists = false;
    dev_t dev = 0;
    ino_t ino = 0;
    timespec mtime{};
    off_t size = 0;
    bool operator==(const FileStamp& o) const
    {
        return exists == o.exists && dev == o.dev && ino == o.ino && mtime.tv_sec == o.mtime.tv_sec &&
               mtime.tv_nsec == o.mtime.tv_nsec && size == o.size;
    }
};

// Makes the file's folder (and the folders above it) and the file itself if missing, for their
// owner only; closes an older one to group and others. Returns why the folder could not be
// made, if it could not.
QString makeSettingsFilePrivate(const QString& path);
// Puts an empty file for its owner only in place of the link at `path`, leaving the file the
// link names as it is. 0 or the error.
int replaceLinkWithFile(const QString& path);
// Empty when changes can reach `path`, else the system's reason.
QString whySettingsCannotBeWritten(const QString& path);

}  // namespace kx
