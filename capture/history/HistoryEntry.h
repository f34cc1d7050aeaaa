#pragma once
// One item of the capture history, and its form in index.json.

#include "core/SourceKind.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QUuid>
#include <optional>

namespace kx {

struct HistoryEntry {
    QUuid id;            // also names the image files
    QDateTime date;      // capture date
    int width = 0;       // pixels
    int height = 0;      // pixels
    double scale = 1.0;  // pixels per point
    SourceKind kind = SourceKind::area;
    std::optional<QString> title;      // window or application title
    std::optional<QString> ocrText;    // absent until recognition has finished
    std::optional<QString> uploadURL;  // link of the last upload
    bool favorite = false;             // starred entries are never pruned
    std::optional<QString> aiSummary;  // last AI answer for this image
    // Recognition was tried twice and gave nothing: not tried again by itself. Stored as
    // "ocrFailed" only when true, so readers that know no such key see an entry without text.
    bool textFailed = false;

    bool operator==(const HistoryEntry&) const = default;
};

// "7C1A…-…" : the upper-case hyphenated form used in the index and in file names.
QString uuidText(const QUuid& id);

// "2026-12-05T19:33:16Z": UTC, whole seconds (fractions are dropped).
QString historyDateText(const QDateTime& date);
// Internet date and time with "Z" or an offset; fractional seconds are refused.
std::optional<QDateTime> parseHistoryDate(const QString& text);

// Appends the compact JSON object of the entry, keys in field order, absent texts left out.
void appendEntryJson(QByteArray& out, const HistoryEntry& entry);
// The entry of one index record, or nothing when a required key is missing or has the
// wrong type, the kind is unknown or the date is not a whole-second internet date.
// A scale of 0 or less (or not finite) is taken as 1.
std::optional<HistoryEntry> entryFromJson(const QJsonObject& object);

}  // namespace kx
