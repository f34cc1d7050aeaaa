#pragma once
// What the server answered, judged in one place for every protocol and step: the look at a
// name, the upload and the connection test. Pure functions of what the programs printed; a
// failure carries the words the user reads.

#include "library/upload/ProgramText.h"
#include "library/upload/UploadTypes.h"

namespace kx::upload {

// curl's report of a WebDAV request: the status code and where a redirect points.
QString httpWriteOut();
// curl's report of an FTP transfer: the server's last reply code.
QString ftpWriteOut();

// Every judge hides `password` in what it quotes of the server's answer or the program's lines,
// but not inside `own`, the name this program gave the file.

// A look at one name on the server before it is used (HEAD for WebDAV, SIZE/MDTM for FTP).
// A redirect or a failed run is a failure of the look, never a free name.
enum class NameCheck { free, taken };
Outcome<NameCheck> judgeCurlCheck(const ProcessOutput& output, bool webdav,
                                  const QString& password = QString(), const QStringList& own = {});

// An upload either stored the file or found the name taken (a conditional WebDAV upload that
// was refused, an sftp rename onto an existing file); anything else is a failure.
enum class Stored { yes, nameTaken };
// WebDAV: only 200, 201 and 204 store; FTP: curl's success and a completion reply.
Outcome<Stored> judgeCurlUpload(const ProcessOutput& output, bool webdav, const QString& password = QString(),
                                const QStringList& own = {});
// Success of an sftp upload of `size` bytes sent as `temporary` and renamed to `remote`: the
// temporary file is gone and `remote` is listed as a regular file of that size. `temporary`
// still listed beside a listed `remote`: the rename found `remote` taken. `putFailed` tells a
// put that the server refused or cut short (the batch stopped there).
Outcome<Stored> judgeSftpUpload(const ProcessOutput& output, const QString& temporary, const QString& remote,
                                qint64 size, bool* putFailed = nullptr, const QString& password = QString());
// The clean-up session's "df" found no space left.
bool sftpDiskFull(const ProcessOutput& cleanup);
// An FTP upload that failed after the server may have begun writing the file.
bool ftpMayHaveWritten(const ProcessOutput& output);

// Success of the curl connection test (WebDAV: a PROPFIND answered 207 or 200).
Outcome<bool> judgeCurlTest(const ProcessOutput& output, bool webdav, const QString& password = QString());
// Success of the sftp test: none of sftp's missing-folder phrases.
Outcome<bool> judgeSftpTest(const ProcessOutput& output);

// Which of `remotes` no listing line shows, in their order.
QList<qsizetype> absentOnes(const ProcessOutput& output, const QStringList& remotes);

}  // namespace kx::upload
