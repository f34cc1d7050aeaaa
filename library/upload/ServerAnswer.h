#pragma once
// What the server answered, judged in one place for every protocol and step: the look at a
// name, the upload and the connection test. Pure functions of what the programs printed.

#include "library/upload/UploadTypes.h"

namespace kx::upload {

// True when a conditional WebDAV upload was refused because the name is taken.
bool refusedAsExisting(const ProcessOutput& output);

// A look at one name on the server before it is used (HEAD for WebDAV, SIZE/MDTM for FTP).
enum class NameCheck { free, taken, failed };
NameCheck judgeCurlCheck(const ProcessOutput& output, bool webdav);

// Which of `remotes` no listing line shows, in their order.
QList<qsizetype> absentOnes(const ProcessOutput& output, const QStringList& remotes);

// Success of an sftp upload: a listing line of a regular file ending in `remote`.
Outcome<bool> judgeSftpUpload(const ProcessOutput& output, const QString& remote);
// Success of the sftp test: none of sftp's missing-folder phrases.
Outcome<bool> judgeSftpTest(const ProcessOutput& output);

// Message of a failed child: the last two meaningful error lines, else the exit-code form.
QString failureMessage(const QString& err, int exitCode, const QString& lang);

}  // namespace kx::upload
