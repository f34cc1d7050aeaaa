#pragma once
// The pure part of an upload: parsing the server address, file and public addresses, the
// curl configuration and the sftp command list (ServerAnswer judges what came back).
// Nothing here reads settings or starts a process, so every rule can be checked alone.

#include "library/upload/UploadTypes.h"

#include <QByteArray>

namespace kx::upload {

// User-visible texts, in the current interface language.
QString hostMissingText();
QString invalidAddressText();
QString controlCharacterText();
QString invalidFileNameText();
QString timedOutText();
QString notArrivedText();
QString folderMissingText();
QString connectedText();
// The toast of a failed upload that waits in the queue (the help quotes it).
QString queuedFailureText();
// The toast of a failed upload that the queue could not keep.
QString notKeptFailureText();
QString everyNameTakenText();
QString diskFullText();
QString connectionLostText();

// True when the text holds a line break, another C0 or C1 control character or DEL.
bool hasControlCharacter(const QString& text);

// Refuses values that could become a second configuration line, a second sftp command or
// an ssh option: control characters anywhere, a host or user beginning with "-", a file
// name that is empty, "." or "..", or holds a "/".
std::optional<UploadError> checkValues(const UploadSettings& settings, const QString& password,
                                       const std::optional<QString>& fileName);

// The server address of the settings (scheme, host, port, base path, folder).
Outcome<Endpoint> endpointFor(const UploadSettings& settings);

// A path piece percent-encoded for a URL path ("[", "]", "#", "?", "%", space... encoded).
QByteArray encodePathPiece(const QString& piece);

// Address of the file `name` in the endpoint's folder, or of the folder itself (ending in
// "/") when there is no name.
Outcome<QString> fileUrl(const std::optional<QString>& name, const Endpoint& endpoint);

// The public link of an uploaded file, or nothing without a public URL.
std::optional<QString> publicLink(const QString& fileName, const QString& publicURL);

// The quoting of curl configuration values and sftp arguments.
QString quoted(const QString& text);

// curl configuration lines.
QStringList curlBase(const QString& user, const QString& password);
// The server's status (WebDAV) or last reply (FTP) comes on standard output for ServerAnswer.
// `onlyIfNew` (WebDAV): a server that keeps conditions answers 412 instead of replacing a
// file of that name.
QStringList curlUploadConfig(const QString& user, const QString& password, const QString& localFile,
                             const QString& url, bool webdav, bool onlyIfNew = false);

// A look at one name on the server before it is used (HEAD for WebDAV, SIZE/MDTM for FTP).
QStringList curlCheckConfig(const QString& user, const QString& password, const QString& url, bool webdav);
// Deletes `name` in the endpoint's folder (FTP), whatever the answer: the file an upload cut
// short left under its name.
QStringList curlDeleteConfig(const QString& user, const QString& password, const QString& name,
                             const Endpoint& endpoint);
QStringList curlTestConfig(const QString& user, const QString& password, const QString& folderUrl,
                           bool webdav);
// The fixed argument list of every curl run (the configuration comes on standard input).
QStringList curlArguments();
// Lines joined with line feeds plus a final one.
QString inputText(const QStringList& lines);

// sftp's argument list; `knownHosts` replaces ssh's own known-hosts file and `sshProgram`
// runs in place of ssh, when not empty. `stopAtFailure`: the batch ends at the first failing
// command not marked with "-".
QStringList sftpArguments(const Endpoint& endpoint, const QString& user, const QString& keyPath,
                          const QString& knownHosts, const QString& sshProgram = QString(),
                          bool stopAtFailure = false);
// "~" or "~/..." at the start becomes the home folder.
QString expandHome(const QString& path, const QString& home);

// The file goes under `temporaryName` and is then renamed to `name` without replacing a file
// that has it; paths as the listing shows them.
struct SftpUploadPlan {
    QStringList commands;
    QString temporary;
    QString remote;
};
SftpUploadPlan sftpUploadCommands(const QString& localFile, const QString& temporaryName, const QString& name,
                                  const Endpoint& endpoint);
// Another try at the rename, after `remote` was found taken.
QStringList sftpRenameCommands(const QString& temporary, const QString& remote);
// Removes a temporary file left by an upload that gave up, after a look at the space left in
// its folder.
QStringList sftpRemoveCommands(const QString& temporary, const Endpoint& endpoint);
QStringList sftpTestCommands(const Endpoint& endpoint);
// The path of a file named `name` in the endpoint's folder, as the sftp commands write it.
QString sftpRemotePath(const QString& name, const Endpoint& endpoint);
// One listing per path, each allowed to fail (a missing file is what is hoped for).
QStringList sftpCheckCommands(const QStringList& remotes);

// The askpass script: it prints the password from the child's environment.
QByteArray askpassScript();

}  // namespace kx::upload
