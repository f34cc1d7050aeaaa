#include "capture/history/HistoryIndex.h"

#include "core/AtomicFile.h"
#include "core/JsonStore.h"

#include <QJsonObject>
#include <QSet>

namespace kx {

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

namespace {

std::function<bool(const QJsonValue&)> collector(QList<HistoryEntry>& out)
{
    return [&out](const QJsonValue& v) {
        const auto entry = v.isObject() ? entryFromJson(v.toObject()) : std::nullopt;
        if (entry)
            out.append(*entry);
        return entry.has_value();
    };
}

}  // namespace

DecodedIndex decodeIndex(const QByteArray& bytes)
{
    DecodedIndex result;
    const JsonArrayDecode decoded = decodeJsonArray(bytes, collector(result.entries));
    result.readable = decoded.readable;
    result.rejected = decoded.rejected;
    return result;
}

bool writeIndex(const QString& path, const QList<HistoryEntry>& entries, QString* error)
{
    return writeFileAtomically(path, encodeIndex(entries), error);
}

LoadedIndex loadIndex(const QString& path)
{
    LoadedIndex loaded;
    // A second record of an id is set aside as a bad one is: two entries would share one
    // image, and removing either would take both.
    QSet<QUuid> seen;
    const auto collect = collector(loaded.entries);
    const JsonArrayLoad load = loadJsonArray(path, [&](const QJsonValue& v) {
        if (!collect(v))
            return false;
        if (!seen.contains(loaded.entries.last().id)) {
            seen.insert(loaded.entries.last().id);
            return true;
        }
        loaded.entries.removeLast();
        return false;
    });
    if (load.unreadable)
        loaded.entries.clear();
    loaded.read = load.read;
    loaded.rejected = load.rejected;
    loaded.keptAs = load.keptAs;
    loaded.keptNow = load.keptNow;
    loaded.unreadable = load.unreadable;
    loaded.writable = load.writable;
    return loaded;
}

}  // namespace kx
