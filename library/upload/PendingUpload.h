#pragma once
// One failed upload waiting in the retry queue, and its form in queue.json.

#include <QByteArray>
#include <QDateTime>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QUuid>
#include <optional>

namespace kx {

struct PendingUpload {
    QUuid id;  // also names the PNG beside queue.json
    QString fileName;
    std::optional<QUuid> entryID;  // history entry that gets the link
    QDateTime queuedAt;
    int attempts = 1;
    QString lastError;

    bool operator==(const PendingUpload&) const = default;
};

// Seconds since 2001-01-01 00:00:00 UTC, the time base of queue.json.
double queueSeconds(const QDateTime& date);
QDateTime queueDate(double seconds);

// The compact JSON array of the items: keys in field order, "/" written "\/", upper-case ids,
// "entryID" left out when absent.
QByteArray encodeQueue(const QList<PendingUpload>& items);
// One element of the array; nothing when a required key is missing or has the wrong type.
std::optional<PendingUpload> decodePendingUpload(const QJsonValue& value);

}  // namespace kx
