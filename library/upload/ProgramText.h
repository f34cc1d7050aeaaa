#pragma once
// What curl, sftp and ssh print, made into what the user reads. The failures met most often
// are told in the program's own words with what to change; any other line is shown as it
// stands, without the login, query and fragment of its addresses and without the password.
// Only text that came from outside is searched for the password: hiding a word of the
// program's own sentences would give the password away to whoever reads them. So would hiding
// it inside the fixed words every sftp prints or inside a name the program built itself (`own`:
// the file's name on the server).

#include <QString>
#include <QStringList>

namespace kx::upload {

// The error lines that say something: blanks trimmed, sftp's greeting and farewell left out.
QStringList meaningfulLines(const QString& err);

// Message of a failed child: a known failure in the program's words, else the last two
// meaningful error lines (the password hidden), else the exit-code form in `lang`.
QString failureMessage(const QString& err, int exitCode, const QString& lang,
                       const QString& password = QString(), const QStringList& own = {});

// A server-given address as it may be shown or stored: without the login curl puts into it
// (user and password), without query and fragment.
QString addressForText(const QString& url);
// Text from outside (a server's answer, a program's line, an address) as it may be shown or
// stored: every address in it made so, and the password, as typed or percent-encoded in any
// mix, hidden everywhere but in an address's scheme, sftp's fixed words and `own`.
QString textWithoutSecrets(const QString& text, const QString& password = QString(),
                           const QStringList& own = {});
// What sftp said of a refused command (what follows its last ": ") made so, with its fixed
// status words told in the program's.
QString sftpStatusText(const QString& text, const QString& password = QString(), const QStringList& own = {});

// Reasons shared with the judging of the servers' answers.
QString unreachableText();
QString loginRefusedText();
QString folderRefusedText();

}  // namespace kx::upload
