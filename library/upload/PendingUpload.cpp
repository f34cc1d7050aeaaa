#include "library/upload/PendingUpload.h"

#include "capture/history/HistoryEntry.h"
#include "core/JsonText.h"

#include <QJsonObject>
#include <cmath>

namespace kx {

namespace {

constexpr qint64 kReferenceMs = 978307200000;  // 2001-01-01T00:00:00Z in Unix milliseconds

std::optional<QUuid> uuidFrom(const QJsonValue& v)
{
    if (!v.isString() || v.toString().size() != 36)
        return std::nullopt;
    const QUuid id = QUuid::fromString(v.toString());
    if (id.isNull())
        return std::nullopt;
    return id;
}

}  // namespace

double queueSeconds(const QDateTime& date)
{
    return double(date.toMSecsSinceEpoch() - kReferenceMs) / 1000.0;
}

QDateTime queueDate(double seconds)
{
    return QDateTime::fromMSecsSinceEpoch(kReferenceMs + qint64(std::llround(seconds * 1000.0)), Qt::UTC);
}

QByteArray encodeQueue(const QList<PendingUpload>& items)
{
    QByteArray out;
    out.reserve(64 + items.size() * 200);
    out += '[';
    for (qsizetype i = 0; i < items.size(); ++i) {
        const PendingUpload& p = items[i];
        if (i > 0)
            out += ',';
        out += "{\"id\":";
        appendJsonString(out, uuidText(p.id), true);
        out += ",\"fileName\":";
        appendJsonString(out, p.fileName, true);
        if (p.entryID) {
            out += ",\"entryID\":";
            appendJsonString(out, uuidText(*p.entryID), true);
        }
        out += ",\"queuedAt\":";
        appendJsonNumber(out, queueSeconds(p.queuedAt));
        out += ",\"attempts\":";
        out += QByteArray::number(p.attempts);
        out += ",\"lastError\":";
        appendJsonString(out, p.lastError, true);
        out += '}';
    }
    out += ']';
    return out;
}

std::optional<PendingUpload> decodePendingUpload(const QJsonValue& value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject o = value.toObject();
    PendingUpload p;
    const auto id = uuidFrom(o.value(QLatin1String("id")));
    const QJsonValue name = o.value(QLatin1String("fileName"));
    const QJsonValue at = o.value(QLatin1String("queuedAt"));
    const QJsonValue attempts = o.value(QLatin1String("attempts"));
    const QJsonValue error = o.value(QLatin1String("lastError"));
    if (!id || !name.isString() || !at.isDouble() || !attempts.isDouble() || !error.isString())
        return std::nullopt;
    const std::optional<int> n = jsonInteger(attempts);
    if (!n || !std::isfinite(at.toDouble()))
        return std::nullopt;
    const QJsonValue entry = o.value(QLatin1String("entryID"));
    if (!entry.isUndefined() && !entry.isNull()) {
        p.entryID = uuidFrom(entry);
        if (!p.entryID)
            return std::nullopt;
    }
    p.id = *id;
    p.fileName = name.toString();
    p.queuedAt = queueDate(at.toDouble());
    p.attempts = *n;
    p.lastError = error.toString();
    return p;
}

}  // namespace kx
