#include "capture/history/HistoryIndex.h"

#include "core/AtomicFile.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

namespace kx {

namespace {

// The name setAside() would choose, for a copy that leaves the original in place.
QString asideName(const QString& path)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = path + QStringLiteral(".bad-") + stamp;
    for (int i = 2; QFileInfo::exists(target); ++i)
        target = path + QStringLiteral(".bad-") + stamp + QLatin1Char('-') + QString::number(i);
    return target;
}

}  // namespace

QByteArray encodeIndex(const QList<HistoryEntry>& entries)
{
    QByteArray out;
    out.reserve(qsizetype(entries.size()) * 200 + 2);
    out += '[';
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (i > 0)
            out += ',';
        appendEntryJson(out, entries[i]);
    }
    out += ']';
    return out;
}

DecodedIndex decodeIndex(const QByteArray& bytes)
{
    DecodedIndex result;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray())
        return result;
    result.readable = true;
    const QJsonArray array = doc.array();
    result.entries.reserve(array.size());
    for (const QJsonValue& v : array) {
        const auto entry = v.isObject() ? entryFromJson(v.toObject()) : std::nullopt;
        if (entry)
            result.entries.append(*entry);
        else
            ++result.rejected;
    }
    return result;
}

bool writeIndex(const QString& path, const QList<HistoryEntry>& entries, QString* error)
{
    return writeFileAtomically(path, encodeIndex(entries), error);
}

LoadedIndex loadIndex(const QString& path)
{
    LoadedIndex loaded;
    QFile file(path);
    if (!file.exists())
        return loaded;
    if (!file.open(QIODevice::ReadOnly)) {
        // Unreadable now; keep it out of the way of the next write all the same.
        loaded.keptAs = setAside(path);
        loaded.writable = !loaded.keptAs.isEmpty();
        return loaded;
    }
    const QByteArray bytes = file.readAll();
    file.close();
    DecodedIndex decoded = decodeIndex(bytes);
    if (!decoded.readable) {
        loaded.keptAs = setAside(path);
        loaded.writable = !loaded.keptAs.isEmpty();
        return loaded;
    }
    if (decoded.rejected > 0) {
        const QString copy = asideName(path);
        if (writeFileAtomically(copy, bytes))
            loaded.keptAs = copy;
        loaded.writable = !loaded.keptAs.isEmpty();
    }
    loaded.entries = std::move(decoded.entries);
    return loaded;
}

}  // namespace kx
