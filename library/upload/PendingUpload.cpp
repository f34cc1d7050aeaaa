#include "library/upload/PendingUpload.h"

#include <QJsonObject>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>

namespace kx {

namespace {

constexpr qint64 kReferenceMs = 978307200000;  // 2001-01-01T00:00:00Z in Unix milliseconds

void appendString(QByteArray& out, const QString& text)
{
    out += '"';
    const QByteArray utf8 = text.toUtf8();
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '/':
                out += "\\/";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += ch;
                }
        }
    }
    out += '"';
}

void appendNumber(QByteArray& out, double v)
{
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr - buf);
}

QString uuidUpper(const QUuid& id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

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
        appendString(out, uuidUpper(p.id));
        out += ",\"fileName\":";
        appendString(out, p.fileName);
        if (p.entryID) {
            out += ",\"entryID\":";
            appendString(out, uuidUpper(*p.entryID));
        }
        out += ",\"queuedAt\":";
        appendNumber(out, queueSeconds(p.queuedAt));
        out += ",\"attempts\":";
        out += QByteArray::number(p.attempts);
        out += ",\"lastError\":";
        appendString(out, p.lastError);
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
    const double n = attempts.toDouble();
    if (n != std::floor(n) || n < INT_MIN || n > INT_MAX || !std::isfinite(at.toDouble()))
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
    p.attempts = int(n);
    p.lastError = error.toString();
    return p;
}

}  // namespace kx
