#include "capture/history/HistoryRecovery.h"

#include "core/AtomicFile.h"
#include "core/ImageUtils.h"
#include "core/Localisation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <algorithm>

namespace kx {

namespace {

constexpr int kMaxChunksBeforeData = 64;

bool readExactly(QFile& f, char* out, qint64 size)
{
    return f.read(out, size) == size;
}

quint32 bigEndian32(const char* p)
{
    return qFromBigEndian<quint32>(p);
}

bool isImageFileName(const QString& name, QUuid* id)
{
    for (const QLatin1String suffix : {QLatin1String(".thumb.jpg"), QLatin1String(".png")}) {
        if (name.endsWith(suffix)) {
            *id = QUuid::fromString(QStringView(name).chopped(suffix.size()));
            return !id->isNull();
        }
    }
    return false;
}

QString restoredTitle()
{
    return kx::tr("History restored from its images", "Az előzmények visszaállítva a képekből",
                  "Verlauf aus den Bildern wiederhergestellt");
}

}  // namespace

void removeUnnamedImages(const QString& dir, const QSet<QUuid>& named, const QDateTime& before)
{
    const QFileInfoList files = QDir(dir).entryInfoList(
        {QStringLiteral("*.png"), QStringLiteral("*.thumb.jpg")}, QDir::Files | QDir::NoSymLinks);
    for (const QFileInfo& f : files) {
        QUuid id;
        if (isImageFileName(f.fileName(), &id) && !named.contains(id) && f.lastModified().toUTC() < before)
            QFile::remove(f.absoluteFilePath());
    }
}

std::optional<PngHeader> readPngHeader(const QString& path)
{
    static const char kSignature[8] = {'\x89', 'P', 'N', 'G', '\r', '\n', '\x1a', '\n'};
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    char sig[8];
    if (!readExactly(f, sig, 8) || !std::equal(sig, sig + 8, kSignature))
        return std::nullopt;
    std::optional<PngHeader> header;
    for (int i = 0; i < kMaxChunksBeforeData; ++i) {
        char head[8];
        if (!readExactly(f, head, 8))
            break;
        const quint32 length = bigEndian32(head);
        const QByteArray type(head + 4, 4);
        if (i == 0 && type != "IHDR")
            return std::nullopt;
        if (type == "IHDR" || type == "pHYs") {
            char data[13];
            const qint64 want = type == "IHDR" ? 13 : 9;
            if (length != quint32(want) || !readExactly(f, data, want))
                return header;
            if (type == "IHDR") {
                const quint32 w = bigEndian32(data);
                const quint32 h = bigEndian32(data + 4);
                if (w == 0 || h == 0 || w > 0x7fffffffu || h > 0x7fffffffu)
                    return std::nullopt;
                header = PngHeader{int(w), int(h), 1.0};
            } else if (header && data[8] == 1) {  // unit: metre
                header->scale = scaleFromDotsPerMeter(int(std::min<quint32>(bigEndian32(data), 1u << 30)));
            }
            f.skip(4);  // CRC
        } else if (type == "IDAT" || type == "IEND") {
            break;
        } else if (!f.skip(qint64(length) + 4)) {
            break;
        }
    }
    return header;
}

QList<HistoryEntry> entriesFromImages(const QString& dir)
{
    QList<HistoryEntry> out;
    const QFileInfoList files =
        QDir(dir).entryInfoList({QStringLiteral("*.png")}, QDir::Files | QDir::NoSymLinks, QDir::Name);
    for (const QFileInfo& file : files) {
        const QUuid id = QUuid::fromString(QStringView(file.fileName()).chopped(4));
        if (id.isNull())
            continue;
        const std::optional<PngHeader> header = readPngHeader(file.absoluteFilePath());
        if (!header)
            continue;
        HistoryEntry e;
        e.id = id;
        // Whole seconds, as the index keeps them.
        e.date = QDateTime::fromSecsSinceEpoch(file.lastModified().toSecsSinceEpoch(), Qt::UTC);
        e.width = header->width;
        e.height = header->height;
        e.scale = header->scale;
        e.kind = SourceKind::file;
        out.append(e);
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const HistoryEntry& a, const HistoryEntry& b) { return a.date > b.date; });
    return out;
}

QString withoutImageNotice(int count)
{
    return kx::tr("%1 entries of the capture history had no image file and were removed.",
                  "Az előzmények %1 bejegyzésének nem volt képfájlja, ezért törlődtek.",
                  "%1 Einträge des Verlaufs hatten keine Bilddatei und wurden entfernt.")
        .arg(count);
}

StartState historyAtStart(LoadedIndex loaded, const QString& dir, const QString& indexPath)
{
    StartState start;
    start.entries = std::move(loaded.entries);
    start.sweep = loaded.read && loaded.keptAs.isEmpty();
    const QString kept = displayPath(loaded.keptAs.isEmpty() ? indexPath : loaded.keptAs);
    if (!loaded.read) {
        // No index was read (none there, or it could not be read): the images are the only
        // record left, so none of them may be swept, and they become entries again.
        start.entries = entriesFromImages(dir);
        start.rewrite = !start.entries.isEmpty();
    }
    const qsizetype restored = start.entries.size();
    if (loaded.unreadable && restored > 0) {
        start.title = restoredTitle();
        start.notice = kx::tr("%1 captures are back. The unreadable index was kept as %2.",
                              "%1 kép visszakerült. Az olvashatatlan index megmaradt: %2.",
                              "%1 Aufnahmen sind wieder da. Der unlesbare Index wurde als %2 aufbewahrt.")
                           .arg(restored)
                           .arg(kept);
    } else if (loaded.unreadable) {
        start.title = kx::tr("History could not be read", "Az előzmények nem olvashatók",
                             "Verlauf konnte nicht gelesen werden");
        start.notice = kx::tr("The old index was kept as %1.", "A régi index megmaradt: %1.",
                              "Der alte Index wurde als %1 aufbewahrt.")
                           .arg(kept);
    } else if (!loaded.read && restored > 0) {
        start.title = restoredTitle();
        start.notice = kx::tr("No index was found; the %1 captures in %2 are back.",
                              "Nem volt index; a(z) %2 mappa %1 képe visszakerült.",
                              "Kein Index gefunden; die %1 Aufnahmen in %2 sind wieder da.")
                           .arg(restored)
                           .arg(displayPath(dir));
    } else if (loaded.rejected > 0 && loaded.keptNow) {
        start.title = kx::tr("History partly unreadable", "Az előzmények részben olvashatatlanok",
                             "Verlauf teilweise unlesbar");
        start.notice = kx::tr("%1 entries could not be read and were left out. The index was kept as %2.",
                              "%1 bejegyzés nem olvasható, ezért kimaradt. Az index megmaradt: %2.",
                              "%1 Einträge konnten nicht gelesen werden und fehlen. Der Index wurde als %2 "
                              "aufbewahrt.")
                           .arg(loaded.rejected)
                           .arg(kept);
    }
    return start;
}

}  // namespace kx
