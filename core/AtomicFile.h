#pragma once
#include <QByteArray>
#include <QString>

namespace kx {

// Writes the whole file or nothing (temporary file + rename); creates the folder. A file in a
// folder that only its owner may enter is made readable by its owner only (0600).
// A write that fails (a full disk included, however small the file) leaves the old file
// as it was and `error` with the system's reason.
bool writeFileAtomically(const QString& path, const QByteArray& data, QString* error = nullptr);

// The name a temporary file of writeFileAtomically() was to take ("." + name + ".tmp-…"
// gives name), or empty when `fileName` is no such name.
QString atomicWriteTarget(const QString& fileName);

// For tests where no full filesystem can be made: writeFileAtomically() stops with ENOSPC
// once `bytes` more bytes were written, in any thread; a negative value ends that.
void failWritesAfter(qint64 bytes);

// Creates the folder and any missing parents for the owner only (0700), and takes the group's
// and others' rights from the folder itself when it already exists. False when it is missing
// afterwards, with the system's reason in `error`.
bool makePrivateFolder(const QString& path, QString* error = nullptr);

// Moves a file that failed to parse out of the way as "<path>.bad-<yyyyMMdd-HHmmss>" (with a
// counter if taken) so it is never overwritten; a symbolic link is moved itself. Returns the
// new path, or empty on failure.
QString setAside(const QString& path);

// Keeps a copy of `bytes` (a file that parsed only in part, which is about to be written anew)
// as "<path>.bad-<yyyyMMdd-HHmmss>", unless such a copy of the same bytes is there already.
// Returns the copy's path (`made` tells whether this call wrote it), or empty on failure.
QString keepCopyAside(const QString& path, const QByteArray& bytes, bool* made);

// A path as the user reads it in a message: the home folder as "~".
QString displayPath(const QString& path);

// Something is at `path`: a file, a folder, or a link (even one that leads nowhere).
bool pathTaken(const QString& path);

}  // namespace kx
