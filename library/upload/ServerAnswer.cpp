#include "library/upload/ServerAnswer.h"

#include "core/Localisation.h"
#include "library/upload/UploadPlan.h"

#include <QRegularExpression>
#include <QUrl>
#include <algorithm>

namespace kx::upload {

namespace {

// What curl reported of an HTTP exchange; status 0 when no answer came.
struct HttpAnswer {
    int status = 0;
    QString location;
};

HttpAnswer httpAnswer(const QString& out)
{
    const QString text = out.trimmed();
    HttpAnswer a;
    a.status = text.section(' ', 0, 0).toInt();
    // A server's text reaches the user: no control characters, no endless address.
    QString where = addressForText(text.section(' ', 1).trimmed());
    if (hasControlCharacter(where) || where.size() > 300)
        where.clear();
    a.location = where;
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

QString loginRefusedText(int code)
{
    return kx::tr("The server refused the user name or password (HTTP %1).",
                  "A szerver elutasította a felhasználónevet vagy a jelszót (HTTP %1).",
                  "Der Server hat Benutzername oder Passwort abgelehnt (HTTP %1).")
        .arg(status(code));
}

QString notStoredText(int code)
{
    return kx::tr("The server did not store the file (HTTP %1).", "A szerver nem tárolta a fájlt (HTTP %1).",
                  "Der Server hat die Datei nicht gespeichert (HTTP %1).")
        .arg(status(code));
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
std::optional<UploadError> httpFailure(const ProcessOutput& output, const HttpAnswer& a)
{
    if (output.exitCode != 0 || a.status == 0)
        return UploadError{failureMessage(output.err, output.exitCode, Lang::current())};
    if (redirect(a.status))
        return UploadError{movedText(a)};
    if (a.status == 401)
        return UploadError{loginRefusedText(a.status)};
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

Outcome<NameCheck> judgeCurlCheck(const ProcessOutput& output, bool webdav)
{
    if (webdav) {
        const HttpAnswer a = httpAnswer(output.out);
        if (auto failed = httpFailure(output, a))
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
            return UploadError{failureMessage(output.err, output.exitCode, Lang::current())};
    }
}

Outcome<Stored> judgeCurlUpload(const ProcessOutput& output, bool webdav)
{
    if (!webdav) {
        const QString reply = output.out.trimmed();
        // 452 and 552 say there is no room; 426 is what a server says when its write failed
        // mid-transfer (a full disk most of all), which curl reports as a partial file.
        if (reply == QStringLiteral("452") || reply == QStringLiteral("552"))
            return UploadError{diskFullText()};
        if (reply == QStringLiteral("426"))
            return UploadError{ftpAbortedText()};
        if (output.exitCode != 0)
            return UploadError{failureMessage(output.err, output.exitCode, Lang::current())};
        // 226 or 250 after the transfer; curl's own success alone can follow a reply that
        // never said the file was complete.
        if (reply.size() == 3 && reply.startsWith('2'))
            return Stored::yes;
        return UploadError{ftpUnconfirmedText(reply)};
    }
    const HttpAnswer a = httpAnswer(output.out);
    if (auto failed = httpFailure(output, a))
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

Outcome<bool> judgeCurlTest(const ProcessOutput& output, bool webdav)
{
    if (!webdav) {
        if (output.exitCode != 0)
            return UploadError{failureMessage(output.err, output.exitCode, Lang::current())};
        return true;
    }
    const HttpAnswer a = httpAnswer(output.out);
    if (auto failed = httpFailure(output, a))
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

// The error lines that say something: sftp's own greeting and farewell are left out.
QStringList meaningfulLines(const QString& err)
{
    QStringList lines;
    for (const QString& raw : err.split('\n', Qt::SkipEmptyParts)) {
        QString line = raw;
        while (!line.isEmpty() && (line.front() == ' ' || line.front() == '\t' || line.front() == '\r'))
            line.remove(0, 1);
        while (!line.isEmpty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r'))
            line.chop(1);
        if (line.isEmpty() || line.startsWith(QStringLiteral("Connection closed")) ||
            line.startsWith(QStringLiteral("Connected to")))
            continue;
        lines << line;
    }
    return lines;
}

}  // namespace

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
QString errorAbout(const QString& err, const QString& temporary)
{
    const QString name = temporary.section('/', -1);
    for (const QString& line : meaningfulLines(err)) {
        if (line.contains(name)) {
            const qsizetype colon = line.lastIndexOf(QStringLiteral(": "));
            return colon >= 0 ? line.mid(colon + 2) : line;
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
                                qint64 size, bool* putFailed)
{
    if (putFailed)
        *putFailed = false;
    const qint64 listed = listedSize(output.out, remote);
    const bool temporaryLeft = listedSize(output.out, temporary) >= 0;
    if (temporaryLeft && listed >= 0)
        return Stored::nameTaken;
    const QString why = errorAbout(output.err, temporary);
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
        return UploadError{failureMessage(output.err, output.exitCode, Lang::current())};
    const QStringList lines = meaningfulLines(output.err);
    return UploadError{lines.isEmpty() ? notArrivedText() : lines.last()};
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

QString failureMessage(const QString& err, int exitCode, const QString& lang)
{
    const QStringList lines = meaningfulLines(err);
    if (!lines.isEmpty())
        return textWithoutSecrets(lines.mid(std::max<qsizetype>(0, lines.size() - 2)).join(' '));
    // sftp's only word when the connection went down.
    if (err.contains(QStringLiteral("Connection closed")))
        return connectionLostText();
    const QString n = QString::number(exitCode);
    if (lang == QStringLiteral("hu"))
        return "Sikertelen (" + n + "-es kilépési kód)";
    if (lang == QStringLiteral("de"))
        return "Fehlgeschlagen (Exit-Code " + n + ")";
    return "Failed (exit code " + n + ")";
}

QString addressForText(const QString& url)
{
    QString rest = url;
    QString front;
    const qsizetype sep = url.indexOf(QStringLiteral("://"));
    if (sep >= 0) {
        front = url.left(sep + 3);
        rest = url.mid(sep + 3);
        // The authority ends where the path, query or fragment begins; its login ends at the
        // last "@" (curl writes one inside the login as %40).
        qsizetype end = 0;
        while (end < rest.size() && !QStringLiteral("/?#").contains(rest[end]))
            ++end;
        const qsizetype at = rest.left(end).lastIndexOf('@');
        if (at >= 0)
            rest.remove(0, at + 1);
    }
    for (const QChar stop : {QChar('?'), QChar('#')}) {
        const qsizetype i = rest.indexOf(stop);
        if (i >= 0)
            rest.truncate(i);
    }
    return front + rest;
}

QString textWithoutSecrets(const QString& text, const QString& password)
{
    static const QRegularExpression address(QStringLiteral(R"([A-Za-z][A-Za-z0-9+.\-]*://\S*)"));
    QString safe;
    qsizetype from = 0;
    for (const QRegularExpressionMatch& m : address.globalMatch(text)) {
        safe += text.mid(from, m.capturedStart() - from) + addressForText(m.captured());
        from = m.capturedEnd();
    }
    safe += text.mid(from);
    // A program may print the password outside an address; a very short one would mark
    // ordinary words, and an address never carries it after the line above.
    if (password.size() >= 4) {
        const QString encoded = QString::fromLatin1(QUrl::toPercentEncoding(password));
        for (const QString& secret : {password, encoded})
            safe.replace(secret, QStringLiteral("•••"), Qt::CaseInsensitive);
    }
    return safe;
}

}  // namespace kx::upload
