#pragma once
// One transfer to the user's server, or one connection test, without any notice: the look at
// the name on the server, the upload under a name no other capture's upload has, and the
// server's answer judged (ServerAnswer). GUI thread only; the programs run as child processes.

#include "library/upload/ChildRunner.h"
#include "library/upload/UploadTypes.h"

#include <QByteArray>
#include <QFuture>
#include <QUuid>
#include <functional>

namespace kx {
class UploadNames;
class UploadQueue;
}  // namespace kx

namespace kx::upload {

// What an upload ended with: the name the server has the file under, and its public link.
struct Sent {
    QString name;
    std::optional<QString> link;
};

// Sends `png` as `fileName`, or under the next number when the server or another capture's
// upload has that name.
QFuture<Outcome<Sent>> transfer(const UploadSettings& s, const Endpoint& endpoint, const QString& password,
                                const QByteArray& png, const QString& fileName,
                                const std::optional<QUuid>& entryID);
// The success text or the failure's message.
QFuture<QString> connectionTest(const UploadSettings& s, const Endpoint& endpoint, const QString& password);

// The retry queue in use (a test's, else the shared one), and the names given beside it.
UploadQueue& queueInUse();
void useQueue(UploadQueue* queue);
UploadNames& namesInUse();

// Longest run of one child.
void setTimeLimitMs(int ms);
// ssh's known-hosts file (empty: ssh's own).
void setKnownHosts(const QString& path);

// Tests: a stand-in for the programs (empty: the real ones).
using ChildRunnerFunction = std::function<QFuture<Outcome<ProcessOutput>>(const ChildRequest&)>;
void setChildRunnerForTests(ChildRunnerFunction runner);
// Tests: called with the name chosen after the look, before the upload starts.
void setBeforeUploadForTests(std::function<void(const QString&)> step);

}  // namespace kx::upload
