#include "library/upload/UploadPlan.h"

#include "core/Localisation.h"
#include "library/upload/ServerAnswer.h"

#include <QUrl>

namespace kx::upload {

QString hostMissingText()
{
    return kx::tr("Set the server address in Settings → Upload.",
                  "Előbb add meg a szerver címét a Beállítások → Feltöltés fülön.",
                  "Trage zuerst die Serveradresse unter Einstellungen → Hochladen ein.");
}

QString invalidAddressText()
{
    return kx::tr("Invalid server address.", "Érvénytelen szervercím.", "Ungültige Serveradresse.");
}

QString controlCharacterText()
{
    return kx::tr(
        "The upload settings contain a line break or another control character.",
        "A feltöltési beállítások sortörést vagy más vezérlőkaraktert tartalmaznak.",
        "Die Einstellungen zum Hochladen enthalten einen Zeilenumbruch oder ein anderes Steuerzeichen.");
}

QString invalidFileNameText()
{
    return kx::tr("Invalid file name.", "Érvénytelen fájlnév.", "Ungültiger Dateiname.");
}

QString timedOutText()
{
    return kx::tr("The server did not answer in time.", "A szerver nem válaszolt időben.",
                  "Der Server hat nicht rechtzeitig geantwortet.");
}

QString notArrivedText()
{
    return kx::tr("The file did not arrive on the server.", "A fájl nem jelent meg a szerveren.",
                  "Die Datei ist nicht auf dem Server angekommen.");
}

QString folderMissingText()
{
    return kx::tr("The folder does not exist on the server.", "A mappa nem létezik a szerveren.",
                  "Der Ordner existiert nicht auf dem Server.");
}

QString queuedFailureText()
{
    return kx::tr("Upload failed – saved for a retry", "A feltöltés nem sikerült – újrapróbálásra mentve",
                  "Hochladen fehlgeschlagen – zum erneuten Versuch gespeichert");
}

QString notKeptFailureText()
{
    return kx::tr("Upload failed – not kept for a retry",
                  "A feltöltés nem sikerült – nem maradt meg újrapróbálásra",
                  "Hochladen fehlgeschlagen – nicht für einen erneuten Versuch aufbewahrt");
}

QString connectedText()
{
    return kx::tr("Connected – the folder is reachable.", "Kapcsolódva – a mappa elérhető.",
                  "Verbunden – der Ordner ist erreichbar.");
}

QString everyNameTakenText()
{
    return kx::tr("Every name tried is already taken on the server.",
                  "Minden kipróbált név foglalt már a szerveren.",
                  "Jeder versuchte Name ist auf dem Server schon vergeben.");
}

QString diskFullText()
{
    return kx::tr("The server's disk is full.", "A szerver lemeze megtelt.",
                  "Der Datenträger des Servers ist voll.");
}

QString connectionLostText()
{
    return kx::tr("The connection to the server was lost.", "Megszakadt a kapcsolat a szerverrel.",
                  "Die Verbindung zum Server ist abgebrochen.");
}

bool hasControlCharacter(const QString& text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7f && u <= 0x9f))
            return true;
    }
    return false;
}

std::optional<UploadError> checkValues(const UploadSettings& s, const QString& password,
                                       const std::optional<QString>& fileName)
{
    for (const QString* v : {&s.host, &s.folder, &s.user, &s.keyPath, &password}) {
        if (hasControlCharacter(*v))
            return UploadError{controlCharacterText()};
    }
    if (fileName && hasControlCharacter(*fileName))
        return UploadError{controlCharacterText()};
    // ssh reads a target that begins with "-" as one of its options.
    if (s.host.startsWith('-') || s.user.startsWith('-'))
        return UploadError{invalidAddressText()};
    if (fileName && (fileName->isEmpty() || *fileName == "." || *fileName == ".." || fileName->contains('/')))
        return UploadError{invalidFileNameText()};
    return std::nullopt;
}

namespace {

QStringList pieces(const QString& path)
{
    return path.split('/', Qt::SkipEmptyParts);
}

QString defaultScheme(RemoteProtocol p)
{
    switch (p) {
        case RemoteProtocol::webdav:
            return QStringLiteral("https");
        case RemoteProtocol::ftp:
            return QStringLiteral("ftp");
        case RemoteProtocol::sftp:
            return QStringLiteral("sftp");
    }
    return QStringLiteral("https");
}

}  // namespace

Outcome<Endpoint> endpointFor(const UploadSettings& s)
{
    const QString text = s.host;
    if (text.isEmpty())
        return UploadError{hostMissingText()};
    QString scheme = defaultScheme(s.protocol);
    QString rest = text;
    const qsizetype sep = text.indexOf(QStringLiteral("://"));
    if (sep >= 0) {
        const QString typed = text.left(sep).toLower();
        rest = text.mid(sep + 3);
        if (s.protocol == RemoteProtocol::webdav)
            scheme = typed == QStringLiteral("http") ? QStringLiteral("http") : QStringLiteral("https");
    }
    const QUrl url(scheme + QStringLiteral("://") + rest, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return UploadError{invalidAddressText()};

    Endpoint e;
    e.scheme = scheme;
    e.host = url.host(QUrl::FullyDecoded);
    if (e.host.startsWith('-') || hasControlCharacter(e.host))
        return UploadError{invalidAddressText()};
    // The port setting is shown for FTP and SFTP only; a WebDAV port is written in the
    // address, and a port kept from another protocol must not override it unseen.
    if (s.protocol != RemoteProtocol::webdav && s.port && *s.port >= 1) {
        if (*s.port > 65535)
            return UploadError{invalidAddressText()};
        e.port = int(*s.port);
    } else if (url.port() > 0) {
        e.port = url.port();
    }
    if (s.protocol == RemoteProtocol::webdav)
        e.basePath = pieces(url.path(QUrl::FullyDecoded));
    e.folder = pieces(s.folder);
    e.absolute = s.folder.startsWith('/');
    return e;
}

QByteArray encodePathPiece(const QString& piece)
{
    // What a URL path allows besides the unreserved characters; "[" "]" "#" "?" "%" are not.
    return QUrl::toPercentEncoding(piece, QByteArrayLiteral("!$&'()*+,;=:@"));
}

Outcome<QString> fileUrl(const std::optional<QString>& name, const Endpoint& e)
{
    QStringList all = e.basePath + e.folder;
    if (name)
        all.append(*name);
    QByteArray path = "/";
    for (qsizetype i = 0; i < all.size(); ++i) {
        if (i > 0)
            path += '/';
        path += encodePathPiece(all[i]);
    }
    if (!name && !all.isEmpty())
        path += '/';
    QUrl url;
    url.setScheme(e.scheme);
    url.setHost(e.host);
    if (e.port)
        url.setPort(*e.port);
    url.setPath(QString::fromLatin1(path), QUrl::TolerantMode);
    if (!url.isValid() || url.host().isEmpty())
        return UploadError{invalidAddressText()};
    return url.toString(QUrl::FullyEncoded);
}

std::optional<QString> publicLink(const QString& fileName, const QString& publicURL)
{
    QString base = publicURL;
    if (base.isEmpty())
        return std::nullopt;
    if (!base.contains(QStringLiteral("://")))
        base.prepend(QStringLiteral("https://"));
    while (base.endsWith('/'))
        base.chop(1);
    return base + '/' + QString::fromLatin1(encodePathPiece(fileName));
}

QString quoted(const QString& text)
{
    QString t = text;
    t.replace('\\', QStringLiteral("\\\\"));
    t.replace('"', QStringLiteral("\\\""));
    return '"' + t + '"';
}

namespace {

QStringList curlLines(const QString& user, const QString& password, bool createFolders)
{
    // globoff: "[" "{" in an address are taken as they are, never as URL patterns.
    QStringList lines{QStringLiteral("connect-timeout = 15"), QStringLiteral("max-time = 300")};
    if (createFolders)
        lines << QStringLiteral("ftp-create-dirs");
    lines << QStringLiteral("globoff");
    if (!user.isEmpty())
        lines << QStringLiteral("user = ") + quoted(user + ':' + password);
    return lines;
}

}  // namespace

QStringList curlBase(const QString& user, const QString& password)
{
    return curlLines(user, password, true);
}

QStringList curlUploadConfig(const QString& user, const QString& password, const QString& localFile,
                             const QString& url, bool webdav, bool onlyIfNew)
{
    QStringList lines = curlBase(user, password);
    if (webdav) {
        lines << QStringLiteral("header = ") + quoted(QStringLiteral("Content-Type: image/png"));
        if (onlyIfNew)
            lines << QStringLiteral("header = ") + quoted(QStringLiteral("If-None-Match: *"));
        // The server's page is not for the user; its status is.
        lines << QStringLiteral("output = ") + quoted(QStringLiteral("/dev/null"));
    }
    lines << QStringLiteral("write-out = ") + quoted(webdav ? httpWriteOut() : ftpWriteOut());
    lines << QStringLiteral("upload-file = ") + quoted(localFile);
    lines << QStringLiteral("url = ") + quoted(url);
    return lines;
}

QStringList curlCheckConfig(const QString& user, const QString& password, const QString& url, bool webdav)
{
    QStringList lines = curlLines(user, password, false);
    lines << QStringLiteral("head");
    lines << QStringLiteral("url = ") + quoted(url);
    lines << QStringLiteral("output = ") + quoted(QStringLiteral("/dev/null"));
    if (webdav)
        lines << QStringLiteral("write-out = ") + quoted(httpWriteOut());
    return lines;
}

QStringList curlDeleteConfig(const QString& user, const QString& password, const QString& name,
                             const Endpoint& e)
{
    // A command runs in the login folder, before curl changes to the folder of the address.
    Outcome<QString> url = fileUrl(std::nullopt, Endpoint{e.scheme, e.host, e.port, {}, {}, false});
    QStringList lines = curlLines(user, password, false);
    lines << QStringLiteral("url = ") + quoted(url.ok() ? url.value() : QString());
    lines << QStringLiteral("nobody");
    // "*": a file that is not there is no failure.
    lines << QStringLiteral("quote = ") +
                 quoted(QStringLiteral("*DELE ") + (e.folder + QStringList{name}).join('/'));
    return lines;
}

QStringList curlTestConfig(const QString& user, const QString& password, const QString& folderUrl,
                           bool webdav)
{
    // A test only looks: a mistyped folder is reported, never created.
    QStringList lines = curlLines(user, password, false);
    lines << QStringLiteral("url = ") + quoted(folderUrl);
    lines << QStringLiteral("output = ") + quoted(QStringLiteral("/dev/null"));
    if (webdav) {
        lines << QStringLiteral("request = ") + quoted(QStringLiteral("PROPFIND"));
        lines << QStringLiteral("header = ") + quoted(QStringLiteral("Depth: 0"));
        lines << QStringLiteral("write-out = ") + quoted(httpWriteOut());
    } else {
        lines << QStringLiteral("list-only");
    }
    return lines;
}

QStringList curlArguments()
{
    // No "--fail": it takes every 3xx for success; the status is judged instead.
    return {QStringLiteral("--silent"), QStringLiteral("--show-error"), QStringLiteral("--config"),
            QStringLiteral("-")};
}

QString inputText(const QStringList& lines)
{
    return lines.join('\n') + '\n';
}

QString expandHome(const QString& path, const QString& home)
{
    if (path == QStringLiteral("~"))
        return home;
    if (path.startsWith(QStringLiteral("~/")))
        return home + path.mid(1);
    return path;
}

QStringList sftpArguments(const Endpoint& e, const QString& user, const QString& keyPath,
                          const QString& knownHosts, const QString& sshProgram, bool stopAtFailure)
{
    QStringList args;
    if (!sshProgram.isEmpty())
        args << QStringLiteral("-S") << sshProgram;
    // sftp's "-b" also turns ssh's batch mode on, which would never ask for the pass phrase;
    // ssh takes the first value given, so this one comes first.
    if (stopAtFailure)
        args << QStringLiteral("-o") << QStringLiteral("BatchMode=no") << QStringLiteral("-b")
             << QStringLiteral("-");
    args << QStringList{QStringLiteral("-o"), QStringLiteral("StrictHostKeyChecking=accept-new"),
                        QStringLiteral("-o"), QStringLiteral("ConnectTimeout=15"),
                        QStringLiteral("-o"), QStringLiteral("NumberOfPasswordPrompts=1")};
    if (!knownHosts.isEmpty())
        args << QStringLiteral("-o") << QStringLiteral("UserKnownHostsFile=") + quoted(knownHosts);
    if (e.port)
        args << QStringLiteral("-P") << QString::number(*e.port);
    if (!keyPath.isEmpty())
        args << QStringLiteral("-i") << keyPath;
    // The user goes as an option of its own: in "user@host" sftp would take a ":" in the
    // user for the end of the host, and connect (and send the password) elsewhere.
    if (!user.isEmpty())
        args << QStringLiteral("-o") << QStringLiteral("User=") + quoted(user);
    // sftp reads "host:path"; an IPv6 address needs its brackets.
    args << (e.host.contains(':') ? '[' + e.host + ']' : e.host);
    return args;
}

namespace {

// sftp's listing expands "{a,b}" even inside quotes (it escapes only "*", "?" and "[" itself).
QString listingQuoted(const QString& path)
{
    QString q = quoted(path);
    q.replace('{', QStringLiteral("\\{"));
    q.replace('}', QStringLiteral("\\}"));
    return q;
}

}  // namespace

namespace {

// sftp's own commands read an argument beginning with "-" as options, quoted or not: a
// relative path starts with "./".
QString pathPrefix(const Endpoint& e)
{
    return e.absolute ? QStringLiteral("/") : QStringLiteral("./");
}

}  // namespace

SftpUploadPlan sftpUploadCommands(const QString& localFile, const QString& temporaryName, const QString& name,
                                  const Endpoint& e)
{
    const QString prefix = pathPrefix(e);
    SftpUploadPlan plan;
    for (qsizetype k = 1; k <= e.folder.size(); ++k)
        plan.commands << QStringLiteral("-mkdir ") + quoted(prefix + e.folder.mid(0, k).join('/'));
    plan.temporary = sftpRemotePath(temporaryName, e);
    plan.remote = sftpRemotePath(name, e);
    plan.commands << QStringLiteral("put ") + quoted(localFile) + ' ' + quoted(plan.temporary);
    plan.commands << sftpRenameCommands(plan.temporary, plan.remote);
    return plan;
}

QStringList sftpRenameCommands(const QString& temporary, const QString& remote)
{
    // "-l": the plain rename of the protocol, which never replaces an existing file (the
    // extension sftp prefers would). A refusal leaves the temporary file listed.
    return {QStringLiteral("-rename -l ") + quoted(temporary) + ' ' + quoted(remote),
            QStringLiteral("-ls -l ") + listingQuoted(temporary),
            QStringLiteral("-ls -l ") + listingQuoted(remote)};
}

QStringList sftpRemoveCommands(const QString& temporary, const Endpoint& e)
{
    const QString folder = e.folder.isEmpty() ? QStringLiteral(".") : pathPrefix(e) + e.folder.join('/');
    return {QStringLiteral("-df ") + quoted(folder), QStringLiteral("-rm ") + quoted(temporary)};
}

QString sftpRemotePath(const QString& name, const Endpoint& e)
{
    return pathPrefix(e) + (e.folder + QStringList{name}).join('/');
}

QStringList sftpCheckCommands(const QStringList& remotes)
{
    QStringList commands;
    for (const QString& remote : remotes)
        commands << QStringLiteral("-ls -l ") + listingQuoted(remote);
    return commands;
}

QStringList sftpTestCommands(const Endpoint& e)
{
    QStringList commands{QStringLiteral("pwd")};
    if (!e.folder.isEmpty())
        commands << QStringLiteral("ls -l ") + quoted(pathPrefix(e) + e.folder.join('/'));
    return commands;
}

QByteArray askpassScript()
{
    return QByteArrayLiteral("#!/bin/sh\nprintf '%s\\n' \"$KX_SFTP_PASS\"\n");
}

}  // namespace kx::upload
