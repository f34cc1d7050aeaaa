#include "capture/history/HistoryEntry.h"

#include <QJsonValue>
#include <QRegularExpression>
#include <charconv>
#include <cmath>
#include <limits>

namespace kx {

namespace {

void appendEscaped(QByteArray& out, const QString& text)
{
    out += '"';
    const QByteArray utf8 = text.toUtf8();
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
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
            default:
                if (u < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", u);
                    out += buf;
                } else {
                    out += c;
                }
        }
    }
    out += '"';
}

void appendNumber(QByteArray& out, double value)
{
    // Shortest text that reads back as the same double: 2 for 2.0, 1.5, 0.1.
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, res.ptr - buf);
}

void appendKey(QByteArray& out, const char* key)
{
    out += ",\"";
    out += key;
    out += "\":";
}

void appendOptional(QByteArray& out, const char* key, const std::optional<QString>& value)
{
    if (!value)
        return;
    appendKey(out, key);
    appendEscaped(out, *value);
}

std::optional<int> integerValue(const QJsonValue& v)
{
    if (!v.isDouble())
        return std::nullopt;
    const double d = v.toDouble();
    if (d != std::floor(d) || d < std::numeric_limits<int>::min() || d > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(d);
}

// Absent and null are "no value"; anything but a string makes the record unreadable.
bool optionalText(const QJsonObject& o, const char* key, std::optional<QString>& out)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined() || v.isNull())
        return true;
    if (!v.isString())
        return false;
    out = v.toString();
    return true;
}

}  // namespace

QString uuidText(const QUuid& id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

QString historyDateText(const QDateTime& date)
{
    // The format has no milliseconds field, so a fraction is simply dropped.
    return date.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) + QLatin1Char('Z');
}

std::optional<QDateTime> parseHistoryDate(const QString& text)
{
    static const QRegularExpression form(
        QStringLiteral("^\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}(Z|[+-]\\d{2}:\\d{2})$"));
    if (!form.match(text).hasMatch())
        return std::nullopt;
    const QDateTime date = QDateTime::fromString(text, Qt::ISODate);
    if (!date.isValid())
        return std::nullopt;
    return date.toUTC();
}

void appendEntryJson(QByteArray& out, const HistoryEntry& e)
{
    out += "{\"id\":";
    appendEscaped(out, uuidText(e.id));
    appendKey(out, "date");
    appendEscaped(out, historyDateText(e.date));
    appendKey(out, "width");
    out += QByteArray::number(e.width);
    appendKey(out, "height");
    out += QByteArray::number(e.height);
    appendKey(out, "scale");
    appendNumber(out, e.scale);
    appendKey(out, "kind");
    appendEscaped(out, rawValue(e.kind));
    appendOptional(out, "title", e.title);
    appendOptional(out, "ocrText", e.ocrText);
    appendOptional(out, "uploadURL", e.uploadURL);
    appendKey(out, "favorite");
    out += e.favorite ? "true" : "false";
    appendOptional(out, "aiSummary", e.aiSummary);
    out += '}';
}

std::optional<HistoryEntry> entryFromJson(const QJsonObject& o)
{
    HistoryEntry e;
    const QJsonValue id = o.value(QLatin1String("id"));
    if (!id.isString() || id.toString().size() != 36)
        return std::nullopt;
    e.id = QUuid::fromString(id.toString());
    if (e.id.isNull() && id.toString() != QLatin1String("00000000-0000-0000-0000-000000000000"))
        return std::nullopt;

    const QJsonValue date = o.value(QLatin1String("date"));
    const auto parsed = date.isString() ? parseHistoryDate(date.toString()) : std::nullopt;
    if (!parsed)
        return std::nullopt;
    e.date = *parsed;

    const auto width = integerValue(o.value(QLatin1String("width")));
    const auto height = integerValue(o.value(QLatin1String("height")));
    if (!width || !height)
        return std::nullopt;
    e.width = *width;
    e.height = *height;

    const QJsonValue scale = o.value(QLatin1String("scale"));
    if (!scale.isDouble())
        return std::nullopt;
    e.scale = scale.toDouble();
    if (!(e.scale > 0) || !std::isfinite(e.scale))
        e.scale = 1.0;

    const QJsonValue kind = o.value(QLatin1String("kind"));
    const auto k = kind.isString() ? sourceKindFromRaw(kind.toString()) : std::nullopt;
    if (!k)
        return std::nullopt;
    e.kind = *k;

    const QJsonValue favorite = o.value(QLatin1String("favorite"));
    if (!favorite.isBool())
        return std::nullopt;
    e.favorite = favorite.toBool();

    if (!optionalText(o, "title", e.title) || !optionalText(o, "ocrText", e.ocrText) ||
        !optionalText(o, "uploadURL", e.uploadURL) || !optionalText(o, "aiSummary", e.aiSummary))
        return std::nullopt;
    return e;
}

}  // namespace kx
