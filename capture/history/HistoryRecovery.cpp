#include "capture/history/HistoryRecovery.h"

#include "capture/history/HistoryWriters.h"
#include "core/AtomicFile.h"
#include "core/ImageReading.h"
#include "core/ImageUtils.h"
#include "core/Localisation.h"

#include <zlib.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QtEndian>
#include <algorithm>
#include <cstdio>

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

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString restoredTitle()
{
    return kx::tr("History restored from its images", "Az előzmények visszaállítva a képekből",
                  "Verlauf aus den Bildern wiederhergestellt");
}

}  // namespace

void removeUnnamedThumbnails(const QString& dir, const QSet<QUuid>& named, const QDateTime& before)
{
    const QFileInfoList files =
        QDir(dir).entryInfoList({QStringLiteral("*.thumb.jpg")}, QDir::Files | QDir::NoSymLinks);
    for (const QFileInfo& f : files) {
        QUuid id;
        // A thumbnail without its image is what a removal left half done; the image itself
        // is the user's and stays.
        if (isImageFileName(f.fileName(), &id) && !named.contains(id) && f.lastModified().toUTC() < before &&
            !pathTaken(dir + QLatin1Char('/') + uuidText(id) + QStringLiteral(".png")))
            QFile::remove(f.absoluteFilePath());
    }
}

void remakeMissingThumbnails(const QString& dir, const QList<QUuid>& ids)
{
    for (const QUuid& id : ids) {
        const QString base = dir + QLatin1Char('/') + uuidText(id);
        const QString thumb = base + QStringLiteral(".thumb.jpg");
        if (pathTaken(thumb))
            continue;
        const ImageRead read = readImageFile(base + QStringLiteral(".png"));
        if (!read.image || read.image->image.isNull())
            continue;
        if (const auto bytes =
                encoded(fitted(read.image->image, ImageWriter::kThumbnailEdge), ImageFormat::jpg, 0.8, 1.0))
            writeFileAtomically(thumb, *bytes);
    }
}

QHash<QUuid, QJsonObject> salvageRecords(const QByteArray& bytes)
{
    // Each outermost {...} outside strings is one record; brackets inside a record (a bad
    // value) do not matter, and a cut at the end loses only the record it cut.
    QHash<QUuid, QJsonObject> out;
    int depth = 0;
    bool inString = false;
    qsizetype start = -1;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '{') {
            if (depth++ == 0)
                start = i;
        } else if (c == '}' && depth > 0 && --depth == 0) {
            const QJsonDocument doc = QJsonDocument::fromJson(bytes.mid(start, i - start + 1));
            const QJsonValue id = doc.object().value(QLatin1String("id"));
            const QUuid uuid = id.isString() ? QUuid::fromString(id.toString()) : QUuid();
            if (!uuid.isNull())
                out.insert(uuid, doc.object());
        }
    }
    return out;
}

void takeReadableFields(HistoryEntry& e, const QJsonObject& r)
{
    if (const QJsonValue date = r.value(QLatin1String("date")); date.isString()) {
        if (const auto parsed = parseHistoryDate(date.toString()))
            e.date = *parsed;
    }
    if (const QJsonValue kind = r.value(QLatin1String("kind")); kind.isString()) {
        if (const auto k = sourceKindFromRaw(kind.toString()))
            e.kind = *k;
    }
    if (const QJsonValue favorite = r.value(QLatin1String("favorite")); favorite.isBool())
        e.favorite = favorite.toBool();
    if (const QJsonValue failed = r.value(QLatin1String("ocrFailed")); failed.isBool())
        e.textFailed = failed.toBool();
    const std::pair<const char*, std::optional<QString>*> texts[]{{"title", &e.title},
                                                                  {"ocrText", &e.ocrText},
                                                                  {"uploadURL", &e.uploadURL},
                                                                  {"aiSummary", &e.aiSummary}};
    for (const auto& [key, field] : texts) {
        if (const QJsonValue v = r.value(QLatin1String(key)); v.isString())
            *field = v.toString();
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

bool pngIsWhole(const QString& path)
{
    static const char kSignature[8] = {'\x89', 'P', 'N', 'G', '\r', '\n', '\x1a', '\n'};
    QFile f(path);
    char sig[8];
    if (!f.open(QIODevice::ReadOnly) || !readExactly(f, sig, 8) || !std::equal(sig, sig + 8, kSignature))
        return false;
    QByteArray buffer(1 << 16, Qt::Uninitialized);
    for (;;) {
        char head[8];
        if (!readExactly(f, head, 8))
            return false;
        quint32 left = bigEndian32(head);
        if (left > 0x7fffffffu)
            return false;
        uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(head + 4), 4);
        while (left > 0) {
            const qint64 n = std::min<qint64>(left, buffer.size());
            if (!readExactly(f, buffer.data(), n))
                return false;
            crc = crc32(crc, reinterpret_cast<const Bytef*>(buffer.constData()), uInt(n));
            left -= quint32(n);
        }
        char stored[4];
        if (!readExactly(f, stored, 4) || bigEndian32(stored) != quint32(crc))
            return false;
        if (QByteArrayView(head + 4, 4) == "IEND")
            return true;
    }
}

QSet<QUuid> settleTemporaryFiles(const QString& dir, const QStringList& names, const QSet<QUuid>& removing,
                                 const QSet<QUuid>& live)
{
    QSet<QUuid> back;
    for (const QString& name : names) {
        const QString target = atomicWriteTarget(name);
        if (target.isEmpty())
            continue;
        const QString path = dir + QLatin1Char('/') + name;
        QUuid id;
        const bool ofImage = isImageFileName(target, &id);
        if (ofImage && live.contains(id))
            continue;
        // The index, thumbnails and cut images are made again from what is on disk.
        if (ofImage && target.endsWith(QLatin1String(".png")) && !back.contains(id) &&
            !removing.contains(id) && uuidText(id) + QStringLiteral(".png") == target) {
            const QString image = dir + QLatin1Char('/') + target;
            if (!pathTaken(image) && pngIsWhole(path) &&
                ::rename(QFile::encodeName(path).constData(), QFile::encodeName(image).constData()) == 0) {
                back.insert(id);
                continue;
            }
        }
        QFile::remove(path);
    }
    return back;
}

QList<HistoryEntry> entriesFromImages(const QString& dir, const QStringList& names, const QSet<QUuid>& skip)
{
    QList<HistoryEntry> out;
    for (const QString& name : names) {
        if (!name.endsWith(QLatin1String(".png")) || name.startsWith(QLatin1Char('.')))
            continue;
        const QUuid id = QUuid::fromString(QStringView(name).chopped(4));
        if (id.isNull() || skip.contains(id))
            continue;
        const QFileInfo file(dir + QLatin1Char('/') + name);
        if (!file.isFile() || file.isSymLink())
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
        e.kind = SourceKind::area;
        out.append(e);
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const HistoryEntry& a, const HistoryEntry& b) { return a.date > b.date; });
    return out;
}

QString withoutImageNotice(int count)
{
    if (count == 1)
        return kx::tr("1 entry of the capture history had no image file and was removed.",
                      "Az előzmények 1 bejegyzésének nem volt képfájlja, ezért törlődött.",
                      "1 Eintrag des Verlaufs hatte keine Bilddatei und wurde entfernt.");
    return kx::tr("%1 entries of the capture history had no image file and were removed.",
                  "Az előzmények %1 bejegyzésének nem volt képfájlja, ezért törlődtek.",
                  "%1 Einträge des Verlaufs hatten keine Bilddatei und wurden entfernt.")
        .arg(count);
}

namespace {

QString capturesBack(qsizetype n)
{
    if (n == 1)
        return kx::tr("1 capture is back.", "1 kép visszakerült.", "1 Aufnahme ist wieder da.");
    return kx::tr("%1 captures are back.", "%1 kép visszakerült.", "%1 Aufnahmen sind wieder da.").arg(n);
}

QString unreadEntries(int n)
{
    if (n == 1)
        return kx::tr("1 entry could not be read.", "1 bejegyzés nem olvasható.",
                      "1 Eintrag konnte nicht gelesen werden.");
    return kx::tr("%1 entries could not be read.", "%1 bejegyzés nem olvasható.",
                  "%1 Einträge konnten nicht gelesen werden.")
        .arg(n);
}

QString keptAsText(const QString& kept)
{
    return kx::tr("The index was kept as %1.", "Az index megmaradt: %1.",
                  "Der Index wurde als %1 aufbewahrt.")
        .arg(kept);
}

// Puts each rebuilt entry before the first entry older than it, keeping the others' order.
void placeByDate(QList<HistoryEntry>& entries, QList<HistoryEntry> rebuilt)
{
    std::stable_sort(rebuilt.begin(), rebuilt.end(),
                     [](const HistoryEntry& a, const HistoryEntry& b) { return a.date > b.date; });
    qsizetype at = 0;
    for (HistoryEntry& e : rebuilt) {
        while (at < entries.size() && !(entries[at].date < e.date))
            ++at;
        entries.insert(at++, std::move(e));
    }
}

}  // namespace

StartState historyAtStart(LoadedIndex loaded, const QString& dir, const QString& indexPath,
                          const std::function<StartJournals()>& journals)
{
    StartState start;
    start.entries = std::move(loaded.entries);
    start.sweep = loaded.read;
    const QString kept = displayPath(loaded.keptAs.isEmpty() ? indexPath : loaded.keptAs);
    // What a damaged index still says about the captures it could not give whole.
    const bool damaged = loaded.unreadable || loaded.rejected > 0;
    const QHash<QUuid, QJsonObject> known = damaged && !loaded.keptAs.isEmpty()
                                                ? salvageRecords(fileBytes(loaded.keptAs))
                                                : QHash<QUuid, QJsonObject>();
    // One listing, before the journals are read: whatever a running Kaptorix put in the
    // folder by then is in its journal.
    QStringList names = QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDir::Name);
    // Removed by the user, the index without them not yet written: they stay removed.
    for (const QString& name : std::as_const(names)) {
        if (!name.endsWith(ImageWriter::kRemovedSuffix))
            continue;
        const QUuid id = QUuid::fromString(QStringView(name).chopped(ImageWriter::kRemovedSuffix.size()));
        if (!id.isNull())
            start.removing.insert(id);
    }
    const StartJournals found = journals ? journals() : StartJournals{};
    const QHash<QUuid, HistoryEntry>& journal = found.records;
    if (!found.settle)
        names.clear();
    for (const QUuid& id : settleTemporaryFiles(dir, names, start.removing, found.live))
        names.append(uuidText(id) + QStringLiteral(".png"));
    const qsizetype removed =
        start.entries.removeIf([&](const HistoryEntry& e) { return start.removing.contains(e.id); });
    QSet<QUuid> named = found.live;
    for (const HistoryEntry& e : std::as_const(start.entries))
        named.insert(e.id);
    QList<HistoryEntry> rebuilt = entriesFromImages(dir, names, named);
    for (HistoryEntry& e : rebuilt) {
        start.rebuilt.insert(e.id);
        // The record kept as the capture was added; size and scale stay the image's.
        if (const auto j = journal.constFind(e.id); j != journal.cend()) {
            e.date = j->date;
            e.kind = j->kind;
            e.title = j->title;
        }
        if (const auto it = known.constFind(e.id); it != known.cend())
            takeReadableFields(e, *it);
    }
    const qsizetype back = rebuilt.size();
    placeByDate(start.entries, std::move(rebuilt));
    // An index that could not be kept aside must not be replaced.
    start.rewrite = (back > 0 || removed > 0 || !start.removing.isEmpty()) && loaded.writable;

    // Each notice short enough for a toast: two title lines, three lines of text.
    auto say = [&start](const QString& title, const QString& text) { start.notices.append({title, text}); };
    if (loaded.unreadable && back > 0) {
        say(restoredTitle(),
            capturesBack(back) + QLatin1Char(' ') +
                kx::tr("The unreadable index was kept as %1.", "Az olvashatatlan index megmaradt: %1.",
                       "Der unlesbare Index wurde als %1 aufbewahrt.")
                    .arg(kept));
    } else if (loaded.unreadable) {
        say(kx::tr("History could not be read", "Az előzmények nem olvashatók",
                   "Verlauf konnte nicht gelesen werden"),
            kx::tr("The old index was kept as %1.", "A régi index megmaradt: %1.",
                   "Der alte Index wurde als %1 aufbewahrt.")
                .arg(kept));
    } else if (!loaded.read && back > 0) {
        say(restoredTitle(),
            (back == 1 ? kx::tr("No index was found; the capture in %1 is back.",
                                "Nem volt index; a(z) %1 mappa képe visszakerült.",
                                "Kein Index gefunden; die Aufnahme in %1 ist wieder da.")
                       : kx::tr("No index was found; the %2 captures in %1 are back.",
                                "Nem volt index; a(z) %1 mappa %2 képe visszakerült.",
                                "Kein Index gefunden; die %2 Aufnahmen in %1 sind wieder da."))
                .arg(displayPath(dir))
                .arg(back));
    } else if (loaded.rejected > 0 && loaded.keptNow) {
        say(kx::tr("History partly unreadable", "Az előzmények részben olvashatatlanok",
                   "Verlauf teilweise unlesbar"),
            unreadEntries(loaded.rejected) + QLatin1Char(' ') + keptAsText(kept));
        if (back > 0)
            say(restoredTitle(), capturesBack(back));
    } else if (back > 0) {
        // Left by a stop between an image write and the index write that names it.
        say(restoredTitle(),
            kx::tr("Captures the index did not name yet:", "Az indexben még nem szereplő képek:",
                   "Aufnahmen, die der Index noch nicht nannte:") +
                QLatin1Char(' ') + capturesBack(back));
    }
    return start;
}

}  // namespace kx
