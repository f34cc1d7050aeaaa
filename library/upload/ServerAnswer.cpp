#include "library/upload/ServerAnswer.h"

#include "library/upload/UploadPlan.h"

#include <algorithm>

namespace kx::upload {

bool refusedAsExisting(const ProcessOutput& output)
{
    return output.exitCode == 22 && output.out.trimmed() == QLatin1String("412");
}

NameCheck judgeCurlCheck(const ProcessOutput& output, bool webdav)
{
    if (webdav) {
        if (output.exitCode != 0)
            return NameCheck::failed;
        const QString status = output.out.trimmed();
        // Any other answer (no right to look, HEAD not allowed...) leaves it to the upload,
        // which says what is wrong or asks the server not to replace.
        return status.startsWith('2') ? NameCheck::taken : NameCheck::free;
    }
    switch (output.exitCode) {
        case 0:
            return NameCheck::taken;
        case 78:  // no such file
        case 9:   // no such folder: the upload makes it
            return NameCheck::free;
        default:
            return NameCheck::failed;
    }
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

Outcome<bool> judgeSftpUpload(const ProcessOutput& output, const QString& remote)
{
    for (const QString& line : output.out.split('\n', Qt::SkipEmptyParts)) {
        QString l = line;
        if (l.endsWith('\r'))
            l.chop(1);
        if (l.startsWith('-') && l.endsWith(remote))
            return true;
    }
    const QStringList lines = meaningfulLines(output.err);
    return UploadError{lines.isEmpty() ? notArrivedText() : lines.last()};
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
        return lines.mid(std::max<qsizetype>(0, lines.size() - 2)).join(' ');
    const QString n = QString::number(exitCode);
    if (lang == QStringLiteral("hu"))
        return "Sikertelen (" + n + "-es kilépési kód)";
    if (lang == QStringLiteral("de"))
        return "Fehlgeschlagen (Exit-Code " + n + ")";
    return "Failed (exit code " + n + ")";
}

}  // namespace kx::upload
