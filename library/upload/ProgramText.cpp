#include "library/upload/ProgramText.h"

#include "core/Localisation.h"
#include "library/upload/UploadPlan.h"

#include <QRegularExpression>
#include <algorithm>
#include <array>

namespace kx::upload {

namespace {

// A shorter password would be found inside ordinary words of what a program printed.
constexpr qsizetype kShortestHidden = 4;

QString hostNotFoundText()
{
    return kx::tr("The server's name could not be found: check the address in Settings → Upload.",
                  "A szerver neve nem található: ellenőrizd a címet a Beállítások → Feltöltés fülön.",
                  "Der Name des Servers wurde nicht gefunden: prüfe die Adresse unter Einstellungen → "
                  "Hochladen.");
}

QString hostKeyChangedText()
{
    return kx::tr(
        "The server's key differs from the one known for it: if it was changed on purpose, "
        "remove the old key from ~/.ssh/known_hosts.",
        "A szerver kulcsa eltér a korábban megismerttől: ha szándékosan változott, töröld a régi "
        "kulcsot a ~/.ssh/known_hosts fájlból.",
        "Der Schlüssel des Servers weicht vom bekannten ab: wurde er absichtlich geändert, "
        "entferne den alten Schlüssel aus ~/.ssh/known_hosts.");
}

QString noSecureConnectionText()
{
    return kx::tr(
        "No secure connection could be made with the server: check the address and port in "
        "Settings → Upload.",
        "Nem sikerült biztonságos kapcsolatot létesíteni a szerverrel: ellenőrizd a címet és a "
        "portot a Beállítások → Feltöltés fülön.",
        "Es konnte keine sichere Verbindung zum Server aufgebaut werden: prüfe Adresse und Port "
        "unter Einstellungen → Hochladen.");
}

QString certificateText()
{
    return kx::tr("The server's certificate could not be verified (it may be self-signed or expired).",
                  "A szerver tanúsítványa nem ellenőrizhető (lehet, hogy saját aláírású vagy lejárt).",
                  "Das Zertifikat des Servers konnte nicht geprüft werden (vielleicht selbst signiert oder "
                  "abgelaufen).");
}

QString noAnswerText()
{
    return kx::tr("The server closed the connection without an answer.",
                  "A szerver válasz nélkül bontotta a kapcsolatot.",
                  "Der Server hat die Verbindung ohne Antwort geschlossen.");
}

// curl's exit codes of failures a user can mend, by the number curl prints ("curl: (7) …").
QString curlReason(int code)
{
    switch (code) {
        case 3:
            return invalidAddressText();
        case 6:
            return hostNotFoundText();
        case 7:
            return unreachableText();
        case 9:
            return folderRefusedText();
        case 28:
            return timedOutText();
        case 35:
        case 53:
        case 54:
        case 58:
        case 59:
        case 64:
        case 66:
        case 80:
        case 83:
        case 90:
        case 91:
            return noSecureConnectionText();
        case 60:
            return certificateText();
        case 52:
            return noAnswerText();
        case 55:
        case 56:
            return connectionLostText();
        case 67:
            return loginRefusedText();
        default:
            return QString();
    }
}

// ssh's lines of failures a user can mend (sftp prints them as they are).
QString sshReason(const QString& line)
{
    const auto has = [&line](const char* phrase) { return line.contains(QLatin1String(phrase)); };
    if (has("Could not resolve hostname"))
        return hostNotFoundText();
    if (has("Host key verification failed"))
        return hostKeyChangedText();
    if (has("Permission denied (") || has("Too many authentication failures"))
        return loginRefusedText();
    if (line.startsWith(QLatin1String("ssh: connect to host"))) {
        if (has("timed out"))
            return timedOutText();
        return unreachableText();  // refused, no route, network unreachable
    }
    if (has("timed out during banner exchange"))
        return timedOutText();
    return QString();
}

// The reason of the last line that names a known failure; empty when none does.
QString knownReason(const QStringList& lines)
{
    static const QRegularExpression curlLine(QStringLiteral(R"(^curl: \((\d+)\))"));
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        const QRegularExpressionMatch m = curlLine.match(*it);
        const QString reason = m.hasMatch() ? curlReason(m.captured(1).toInt()) : sshReason(*it);
        if (!reason.isEmpty())
            return reason;
    }
    return QString();
}

// The password as it may stand in a text: each character as typed or as its UTF-8 bytes
// percent-encoded (hexadecimal in either case), a blank also as "+".
QRegularExpression secretPattern(const QString& password)
{
    QString pattern;
    for (const char32_t point : password.toUcs4()) {
        const QString ch = QString::fromUcs4(&point, 1);
        QString encoded;
        for (const char byte : ch.toUtf8()) {
            encoded += QLatin1Char('%');
            for (const int nibble : {uchar(byte) >> 4, uchar(byte) & 15}) {
                const QChar hex = QLatin1Char("0123456789ABCDEF"[nibble]);
                encoded += hex.isLetter() ? QStringLiteral("[%1%2]").arg(hex, hex.toLower()) : QString(hex);
            }
        }
        pattern += QStringLiteral("(?:") + QRegularExpression::escape(ch) + QLatin1Char('|') + encoded;
        if (ch == QLatin1String(" "))
            pattern += QStringLiteral("|\\+");
        pattern += QLatin1Char(')');
    }
    return QRegularExpression(pattern);
}

// What every sftp prints for a server's status: as well known as this program's own sentences,
// so they are told in its words and never searched for the password (a mask inside one of
// them would show which word the password is).
QList<QPair<QString, QString>> fixedTexts()
{
    static const std::array<std::array<const char*, 3>, 8> words{{
        {"No such file or directory", "Nincs ilyen fájl vagy mappa", "Datei oder Ordner nicht gefunden"},
        {"Permission denied", "Hozzáférés megtagadva", "Zugriff verweigert"},
        {"Operation unsupported", "A művelet nem támogatott", "Vorgang nicht unterstützt"},
        {"End of file", "Fájl vége", "Dateiende"},
        {"Bad message", "Hibás üzenet", "Fehlerhafte Nachricht"},
        {"No connection", "Nincs kapcsolat", "Keine Verbindung"},
        {"Connection lost", "Megszakadt a kapcsolat", "Verbindung verloren"},
        {"Failure", "Hiba", "Fehler"},
    }};
    QList<QPair<QString, QString>> out;
    for (const auto& [en, hu, de] : words)
        out.append({QString::fromUtf8(en),
                    kx::tr(QString::fromUtf8(en), QString::fromUtf8(hu), QString::fromUtf8(de))});
    return out;
}

bool wordCharacter(const QString& text, qsizetype at)
{
    return at >= 0 && at < text.size() && text[at].isLetterOrNumber();
}

// The text with the password hidden everywhere but inside sftp's fixed words (with `ownWords`
// told in the program's) and inside `own` (names this program built, typed or percent-encoded).
QString hidden(const QString& text, const QString& password, const QStringList& own, bool ownWords)
{
    struct Kept {
        qsizetype start, end;
        QString as;
    };
    QList<Kept> kept;
    for (const auto& [said, ours] : fixedTexts())
        for (qsizetype at = text.indexOf(said); at >= 0; at = text.indexOf(said, at + said.size()))
            if (!wordCharacter(text, at - 1) && !wordCharacter(text, at + said.size()))
                kept.append({at, at + said.size(), ownWords ? ours : said});
    for (const QString& name : own)
        if (!name.isEmpty())
            for (const QRegularExpressionMatch& m : secretPattern(name).globalMatch(text))
                kept.append({m.capturedStart(), m.capturedEnd(), m.captured()});
    QList<QPair<qsizetype, qsizetype>> masks;
    if (password.size() >= kShortestHidden)
        for (const QRegularExpressionMatch& m : secretPattern(password).globalMatch(text))
            masks.append({m.capturedStart(), m.capturedEnd()});
    // A password reaching out of a kept text is hidden whole: that text is then no longer kept.
    std::sort(kept.begin(), kept.end(), [](const Kept& a, const Kept& b) { return a.start < b.start; });
    QList<Kept> keep;
    for (const Kept& k : kept) {
        const bool straddled = std::any_of(masks.begin(), masks.end(), [&k](const auto& m) {
            return m.first < k.end && m.second > k.start && (m.first < k.start || m.second > k.end);
        });
        if (!straddled && (keep.isEmpty() || keep.last().end <= k.start))
            keep.append(k);
    }
    QString out;
    qsizetype i = 0, nextKept = 0, nextMask = 0;
    while (i < text.size()) {
        while (nextMask < masks.size() && masks[nextMask].first < i)
            ++nextMask;
        if (nextKept < keep.size() && keep[nextKept].start == i) {
            out += keep[nextKept].as;
            i = keep[nextKept++].end;
        } else if (nextMask < masks.size() && masks[nextMask].first == i) {
            out += QStringLiteral("•••");
            i = masks[nextMask++].second;
        } else {
            out += text[i++];
        }
    }
    return out;
}

}  // namespace

QString unreachableText()
{
    return kx::tr(
        "The server could not be reached: check the address and port in Settings → Upload, and "
        "that the server is running.",
        "A szerver nem érhető el: ellenőrizd a címet és a portot a Beállítások → Feltöltés fülön, "
        "és hogy fut-e a szerver.",
        "Der Server ist nicht erreichbar: prüfe Adresse und Port unter Einstellungen → Hochladen "
        "und ob der Server läuft.");
}

QString loginRefusedText()
{
    return kx::tr(
        "The server refused the login: check the user name and password (or key) in Settings → "
        "Upload.",
        "A szerver elutasította a bejelentkezést: ellenőrizd a felhasználónevet és a jelszót (vagy "
        "a kulcsot) a Beállítások → Feltöltés fülön.",
        "Der Server hat die Anmeldung abgelehnt: prüfe Benutzername und Passwort (oder Schlüssel) "
        "unter Einstellungen → Hochladen.");
}

QString folderRefusedText()
{
    return kx::tr(
        "The server did not let the login open or make the folder: check the folder in Settings → "
        "Upload.",
        "A szerver nem engedte megnyitni vagy létrehozni a mappát: ellenőrizd a mappát a "
        "Beállítások → Feltöltés fülön.",
        "Der Server hat das Öffnen oder Anlegen des Ordners nicht erlaubt: prüfe den Ordner unter "
        "Einstellungen → Hochladen.");
}

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

QString failureMessage(const QString& err, int exitCode, const QString& lang, const QString& password,
                       const QStringList& own)
{
    const QStringList lines = meaningfulLines(err);
    if (const QString reason = knownReason(lines); !reason.isEmpty())
        return reason;
    if (!lines.isEmpty())
        return textWithoutSecrets(lines.mid(std::max<qsizetype>(0, lines.size() - 2)).join(' '), password,
                                  own);
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

namespace {

QString withoutSecrets(const QString& text, const QString& password, const QStringList& own, bool ownWords)
{
    static const QRegularExpression address(QStringLiteral(R"([A-Za-z][A-Za-z0-9+.\-]*://\S*)"));
    QString safe;
    qsizetype from = 0;
    for (const QRegularExpressionMatch& m : address.globalMatch(text)) {
        safe += hidden(text.mid(from, m.capturedStart() - from), password, own, ownWords);
        // The scheme is none of the user's: hiding a password that is one would name it.
        const QString bare = addressForText(m.captured());
        const qsizetype scheme = bare.indexOf(QStringLiteral("://")) + 3;
        safe += bare.left(scheme) + hidden(bare.mid(scheme), password, own, ownWords);
        from = m.capturedEnd();
    }
    return safe + hidden(text.mid(from), password, own, ownWords);
}

}  // namespace

QString textWithoutSecrets(const QString& text, const QString& password, const QStringList& own)
{
    return withoutSecrets(text, password, own, false);
}

QString sftpStatusText(const QString& text, const QString& password, const QStringList& own)
{
    return withoutSecrets(text, password, own, true);
}

}  // namespace kx::upload
