#include "library/upload/ServerAnswer.h"

#include "core/Localisation.h"
#include "library/upload/UploadPlan.h"

#include <algorithm>

namespace kx::upload {

namespace {

// What curl reported of an HTTP exchange; status 0 when no answer came.
struct HttpAnswer {
    int status = 0;
    QString location;
};

HttpAnswer httpAnswer(const QString& out, const QString& password, const QStringList& own = {})
{
    const QString text = out.trimmed();
    HttpAnswer a;
    a.status = text.section(' ', 0, 0).toInt();
    // A server's text reaches the user: no control characters, no endless address.
    QString where = addressForText(text.section(' ', 1).trimmed());
    if (hasControlCharacter(where) || where.size() > 300)
        where.clear();
    a.location = textWithoutSecrets(where, password, own);
    return a;
}

QString status(int code)
{
    return QString::number(code);
}

QString movedText(const HttpAnswer& a)
{
    if (a.location.isEmpty())
        return kx::tr(
                   "The server sent the request elsewhere (HTTP %1): check the address in Settings → Upload.",
                   "A szerver máshová irányította a kérést (HTTP %1): ellenőrizd a címet a Beállítások → "
                   "Feltöltés fülön.",
                   "Der Server hat die Anfrage umgeleitet (HTTP %1): prüfe die Adresse unter Einstellungen → "
                   "Hochladen.")
            .arg(status(a.status));
    return kx::tr("The server moved to %1: change the address in Settings → Upload.",
                  "A szerver új helye: %1 – módosítsd a címet a Beállítások → Feltöltés fülön.",
                  "Der Server ist umgezogen nach %1: ändere die Adresse unter Einstellungen → Hochladen.")
        .arg(a.location);
}

QString httpLoginRefusedText(int code)
{
    return kx::tr("The server refused the user name or password (HTTP %1).",
                  "A szerver elutasította a felhasználónevet vagy a jelszót (HTTP %1).",
                  "Der Server hat Benutzername oder Passwort abgelehnt (HTTP %1).")
        .arg(status(code));
}

QString notStoredText(int code)
{
    switch (code) {
        case 403:
            return kx::tr("The server did not let the login write into the folder (HTTP 403).",
                          "A szerver nem engedélyezte az írást a mappába (HTTP 403).",
                          "Der Server hat das Schreiben in den Ordner nicht erlaubt (HTTP 403).");
        case 404:  // the folder of the address is not there (what most servers say)
        case 409:  // the same, in the words of the WebDAV standard
            return kx::tr(
                "The folder does not exist on the server: create it there or choose another in "
                "Settings → Upload.",
                "A mappa nem létezik a szerveren: hozd létre ott, vagy válassz másikat a Beállítások "
                "→ Feltöltés fülön.",
                "Der Ordner existiert nicht auf dem Server: lege ihn dort an oder wähle einen "
                "anderen unter Einstellungen → Hochladen.");
        case 413:
            return kx::tr("The server refused a file this large (HTTP 413).",
                          "A szerver ekkora fájlt nem fogad el (HTTP 413).",
                          "Der Server nimmt so große Dateien nicht an (HTTP 413).");
        case 507:
            return diskFullText();
        default:
            return kx::tr("The server did not store the file (HTTP %1).",
                          "A szerver nem tárolta a fájlt (HTTP %1).",
                          "Der Server hat die Datei nicht gespeichert (HTTP %1).")
                .arg(status(code));
    }
}

QString answeredText(int code)
{
    return kx::tr("The server answered HTTP %1.", "A szerver válasza: HTTP %1.",
                  "Der Server antwortete mit HTTP %1.")
        .arg(status(code));
}

QString ftpUnconfirmedText(const QString& reply)
{
    return kx::tr("The server did not confirm the upload (reply %1).",
                  "A szerver nem igazolta a feltöltést (válaszkód: %1).",
                  "Der Server hat das Hochladen nicht bestätigt (Antwort %1).")
        .arg(reply.isEmpty() ? QStringLiteral("–") : reply);
}

QString ftpRefusedText(const QString& reply)
{
    return kx::tr(
               "The server refused to store the file (reply %1): check that the login may write into the "
               "folder.",
               "A szerver nem tárolta a fájlt (válaszkód: %1): ellenőrizd, hogy a bejelentkezés írhat-e a "
               "mappába.",
               "Der Server hat die Datei nicht gespeichert (Antwort %1): prüfe, ob die Anmeldung in den "
               "Ordner schreiben darf.")
        .arg(reply.isEmpty() ? QStringLiteral("–") : reply);
}

QString ftpAbortedText()
{
    return kx::tr("The server broke off the transfer (reply 426) – its disk may be full.",
                  "A szerver megszakította az átvitelt (426-os válasz) – lehet, hogy megtelt a lemeze.",
                  "Der Server hat die Übertragung abgebrochen (Antwort 426) – vielleicht ist sein "
                  "Datenträger voll.");
}

bool redirect(int code)
{
    return code >= 300 && code < 400;
}

// The failure every WebDAV step shares: no answer, a redirect, a refused login.
std::optional<UploadError> httpFailure(const ProcessOutput& output, const HttpAnswer& a,
                                       const QString& password, const QStringList& own = {})
{
    if (output.exitCode != 0 || a.status == 0)
        return UploadError{failureMessage(output.err, output.exitCode, Lang::current(), password, own)};
    if (redirect(a.status))
        return UploadError{movedText(a)};
    if (a.status == 401)
        return UploadError{httpLoginRefusedText(a.status)};
    return std::nullopt;
}

}  // namespace

QString httpWriteOut()
{
    return QStringLiteral("%{http_code} %{redirect_url}");
}

QString ftpWriteOut()
{
    return QStringLiteral("%{response_code}");
}

Outcome<NameCheck> judgeCurlCheck(const ProcessOutput& output, bool webdav, const QString& password,
                                  const QStringList& own)
{
    if (webdav) {
        const HttpAnswer a = httpAnswer(output.out, password, own);
        if (auto failed = httpFailure(output, a, password, own))
            return *failed;
        // Any other answer (no right to look, HEAD not allowed...) leaves it to the upload,
        // which says what is wrong or asks the server not to replace.
        return a.status >= 200 && a.status < 300 ? NameCheck::taken : NameCheck::free;
    }
    switch (output.exitCode) {
        case 0:
            return NameCheck::taken;
        case 78:  // no such file
        case 9:   // no such folder: the upload makes it
            return NameCheck::free;
        default:
            return UploadError{failureMessage(output.err, output.exitCode, Lang::current(), password, own)};
    }
}

Outcome<Stored> judgeCurlUpload(const ProcessOutput& output, bool webdav, const QString& password,
                                const QStringList& own)
{
    if (!webdav) {
        const QString reply = output.out.trimmed();
        // 452 and 552 say there is no room; 426 is what a server says when its write failed
        // mid-transfer (a full disk most of all), which curl reports as a partial file.
        if (reply == QStringLiteral("452") || reply == QStringLiteral("552"))
            return UploadError{diskFullText()};
        if (reply == QStringLiteral("426"))
            return UploadError{ftpAbortedText()};
        if (output.exitCode == 25)  // the server refused the STOR (550, 553…)
            return UploadError{ftpRefusedText(reply)};
        if (output.exitCode != 0)
            return UploadError{failureMessage(output.err, output.exitCode, Lang::current(), password, own)};
        // 226 or 250 after the transfer; curl's own success alone can follow a reply that
        // never said the file was complete.
        if (reply.size() == 3 && reply.startsWith('2'))
            return Stored::yes;
        return UploadError{ftpUnconfirmedText(reply)};
    }
    const HttpAnswer a = httpAnswer(output.out, password, own);
    if (auto failed = httpFailure(output, a, password, own))
        return *failed;
    switch (a.status) {
        case 200:
        case 201:
        case 204:
            return Stored::yes;
        case 412:  // a server that keeps conditions has a file of that name
            return Stored::nameTaken;
        default:
            return UploadError{notStoredText(a.status)};
    }
}

Outcome<bool> judgeCurlTest(const ProcessOutput& output, bool webdav, const QString& password)
{
    if (!webdav) {
        // The test only changes into the folder: a refusal there is, most of all, a mistyped one.
        if (output.exitCode == 9)
            return UploadError{folderMissingText()};
        if (output.exitCode != 0)
            return UploadError{failureMessage(output.err, output.exitCode, Lang::current(), password)};
        return true;
    }
    const HttpAnswer a = httpAnswer(output.out, password);
    if (auto failed = httpFailure(output, a, password))
        return *failed;
    if (a.status == 207 || a.status == 200)
        return true;
    if (a.status == 404)
        return UploadError{folderMissingText()};
    return UploadError{answeredText(a.status)};
}

QList<qsizetype> absentOnes(const ProcessOutput& output, const QStringList& remotes)
{
    QStringList lines = output.out.split('\n', Qt::SkipEmptyParts);
    for (QString& line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    QList<qsizetype> absent;
    for (qsizetype i = 0; i < remotes.size(); ++i) {
        const QString tail = ' ' + remotes[i];
        if (std::none_of(lines.cbegin(), lines.cend(), [&](const QString& l) { return l.endsWith(tail); }))
            absent << i;
    }
    return absent;
}

namespace {

// The size a listing gives a regular file whose path ends in `path`; -1 when it lists none.
qint64 listedSize(const QString& out, const QString& path)
{
    for (const QString& line : out.split('\n', Qt::SkipEmptyParts)) {
        QString l = line;
        if (l.endsWith('\r'))
            l.chop(1);
        // mode, links, owner, group, size, date, path
        if (l.startsWith('-') && l.endsWith(' ' + path))
            return l.split(' ', Qt::SkipEmptyParts).value(4).toLongLong();
    }
    return -1;
}

QString incompleteText(qint64 listed, qint64 size)
{
    return kx::tr("Only %1 of %2 bytes arrived on the server.",
                  "Csak %1 bájt érkezett meg a szerverre a %2-ből.",
                  "Nur %1 von %2 Bytes sind auf dem Server angekommen.")
        .arg(listed)
        .arg(size);
}

}  // namespace

namespace {

// sftp names the file in its error ("dest open \"…\": Permission denied"): the first line that
// names the temporary file is the first error from the put on. What the server said follows
// the last ": ".
QString errorAbout(const QString& err, const QString& temporary, const QString& password,
                   const QStringList& own)
{
    const QString name = temporary.section('/', -1);
    for (const QString& line : meaningfulLines(err)) {
        if (line.contains(name)) {
            const qsizetype colon = line.lastIndexOf(QStringLiteral(": "));
            return sftpStatusText(colon >= 0 ? line.mid(colon + 2) : line, password, own);
        }
    }
    return QString();
}

QString notWrittenText(const QString& why)
{
    return kx::tr("The server did not write the file: %1.", "A szerver nem írta ki a fájlt: %1.",
                  "Der Server hat die Datei nicht geschrieben: %1.")
        .arg(why);
}

QString renameRefusedText(const QString& why)
{
    return kx::tr("The server did not let the uploaded file be renamed: %1.",
                  "A szerver nem engedte átnevezni a feltöltött fájlt: %1.",
                  "Der Server hat das Umbenennen der hochgeladenen Datei nicht erlaubt: %1.")
        .arg(why);
}

}  // namespace

Outcome<Stored> judgeSftpUpload(const ProcessOutput& output, const QString& temporary, const QString& remote,
                                qint64 size, bool* putFailed, const QString& password)
{
    if (putFailed)
        *putFailed = false;
    const qint64 listed = listedSize(output.out, remote);
    const bool temporaryLeft = listedSize(output.out, temporary) >= 0;
    if (temporaryLeft && listed >= 0)
        return Stored::nameTaken;
    // The names this program gave the file are its own words.
    const QStringList own{temporary.section('/', -1), remote.section('/', -1)};
    const QString why = errorAbout(output.err, temporary, password, own);
    if (temporaryLeft)
        return UploadError{renameRefusedText(why.isEmpty() ? notArrivedText() : why)};
    if (listed >= 0)
        return listed == size ? Outcome<Stored>(Stored::yes) : UploadError{incompleteText(listed, size)};
    // The batch stops at a failed put: its error is the one that names the temporary file.
    if (!why.isEmpty()) {
        if (putFailed)
            *putFailed = true;
        return UploadError{notWrittenText(why)};
    }
    // ssh's own exit status after sftp had begun the batch (it echoes each command): the
    // connection went down on the way.
    if (output.exitCode == 255 && output.out.contains(QStringLiteral("sftp> ")))
        return UploadError{connectionLostText()};
    if (output.exitCode != 0)
        return UploadError{failureMessage(output.err, output.exitCode, Lang::current(), password, own)};
    const QStringList lines = meaningfulLines(output.err);
    return UploadError{lines.isEmpty() ? notArrivedText() : textWithoutSecrets(lines.last(), password, own)};
}

bool sftpDiskFull(const ProcessOutput& cleanup)
{
    // "Size Used Avail (root) %Capacity", then the figures in KiB.
    const QStringList lines = cleanup.out.split('\n', Qt::SkipEmptyParts);
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        if (!lines[i].contains(QStringLiteral("Avail")))
            continue;
        bool number = false;
        const qint64 avail = lines[i + 1].split(' ', Qt::SkipEmptyParts).value(2).toLongLong(&number);
        return number && avail == 0;
    }
    return false;
}

bool ftpMayHaveWritten(const ProcessOutput& output)
{
    switch (output.exitCode) {
        case 0:   // no completion reply
        case 18:  // partial file
        case 28:  // time-out
        case 55:  // sending failed
        case 56:  // receiving failed
            return true;
        default:
            return false;
    }
}

Outcome<bool> judgeSftpTest(const ProcessOutput& output)
{
    for (const char* phrase : {"not found", "No such file", "Can't ls"}) {
        if (output.err.contains(QLatin1String(phrase)))
            return UploadError{folderMissingText()};
    }
    return true;
}

}  // namespace kx::upload
