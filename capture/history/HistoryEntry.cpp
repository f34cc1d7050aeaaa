#include "capture/history/HistoryEntry.h"

#include "core/JsonText.h"

#include <QJsonValue>
#include <QRegularExpression>
#include <cmath>

namespace kx {

namespace {

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
    appendJsonString(out, *value);
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
    appendJsonString(out, uuidText(e.id));
    appendKey(out, "date");
    appendJsonString(out, historyDateText(e.date));
    appendKey(out, "width");
    out += QByteArray::number(e.width);
    appendKey(out, "height");
    out += QByteArray::number(e.height);
    appendKey(out, "scale");
    appendJsonNumber(out, e.scale);
    appendKey(out, "kind");
    appendJsonString(out, rawValue(e.kind));
    appendOptional(out, "title", e.title);
    appendOptional(out, "ocrText", e.ocrText);
    appendOptional(out, "uploadURL", e.uploadURL);
    appendKey(out, "favorite");
    out += e.favorite ? "true" : "false";
    appendOptional(out, "aiSummary", e.aiSummary);
    if (e.textFailed)
        out += ",\"ocrFailed\":true";
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

    const auto width = jsonInteger(o.value(QLatin1String("width")));
    const auto height = jsonInteger(o.value(QLatin1String("height")));
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
    // Our own addition: anything but true is no failure, and never costs the record.
    e.textFailed = o.value(QLatin1String("ocrFailed")).toBool(false);
    return e;
}

}  // namespace kx
