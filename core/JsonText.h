#pragma once
// Pieces of the compact JSON the stores write by hand (fixed key order, no pretty-printing)
// and the checks they read numbers with.

#include <QByteArray>
#include <QJsonValue>
#include <QString>
#include <optional>

namespace kx {

// The text as a quoted JSON string: quote, backslash and control characters escaped (the
// short forms where JSON has them, else \u00XX), anything else as UTF-8. `escapeSlash`
// writes "/" as "\/" (files first written that way keep their bytes).
void appendJsonString(QByteArray& out, const QString& text, bool escapeSlash = false);
// The shortest text that reads back as the same double: 2 for 2.0, 1.5, 0.1.
void appendJsonNumber(QByteArray& out, double value);
// A JSON number that is a whole int; nothing for anything else (fractions, out of range, text).
std::optional<int> jsonInteger(const QJsonValue& value);

}  // namespace kx
