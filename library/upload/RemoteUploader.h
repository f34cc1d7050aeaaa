#pragma once
// Sends a capture as PNG to the user's own server (WebDAV and FTP through curl, SFTP
// through sftp), records the public link in the history and on the clipboard, and keeps
// every failed upload in the retry queue. Settings and the password are read at each call.
// GUI thread only; the programs run as child processes.

#include "capture/history/HistoryEntry.h"
#include "library/upload/UploadTypes.h"

#include <QFuture>
#include <QImage>
#include <QObject>
#include <QUuid>
#include <memory>

namespace kx {

class HistoryStore;
class UploadQueue;

// What one upload ended with: the toast it showed.
struct UploadReport {
    bool sent = false;
    bool queued = false;
    QString title;
    QString subtitle;
};

// One retry pass: items sent of the items it started with, less those another Kaptorix of this
// user was sending or had sent meanwhile.
struct RetryTally {
    int sent = 0;
    int total = 0;
};

class RemoteUploader : public QObject {
    Q_OBJECT
public:
    static RemoteUploader& shared();

    // The one entry point of every upload: encodes, names (a name no other capture's upload
    // has), shows "Uploading…" and returns at once; the future ends with the final toast's texts (after the
    // retry pass of a success).
    static QFuture<UploadReport> upload(const QImage& image, double scale,
                                        const std::optional<HistoryEntry>& entry,
                                        const std::optional<QString>& title);
    // One transfer without any notice; the public link (nothing without a public URL) or the
    // reason it failed.
    static QFuture<Outcome<std::optional<QString>>> send(const QByteArray& png, const QString& fileName);
    // The text for the settings' "Test connection": the success text or the failure's message.
    static QFuture<QString> testConnection();

    // Resends the queued items one after another, each once claimed (UploadQueue::claim). A
    // request while a pass runs joins that pass.
    QFuture<RetryTally> retryPass();
    bool retrying() const { return pass_ != nullptr; }

    // Longest run of one child (default 300 s).
    static void setTimeLimitMs(int ms);
    // Quitting: ends the programs of every running transfer with everything they started, and
    // removes their work folders.
    static void abandonTransfers();
    // At start: removes work folders that ended processes left in the temporary folder.
    static int sweepStaleWorkFolders();

    // At start, once the history is read: the upload names forget every capture the history
    // lacks (a deletion a stop or a full disk kept out of the names), and from now on each
    // capture the history loses.
    static void followHistory();

    // Tests: the queue and history to use instead of the shared ones (nullptr: shared).
    static void useForTests(UploadQueue* queue, HistoryStore* history);
    // Tests: ssh's known-hosts file (empty: ssh's own).
    static void setKnownHostsForTests(const QString& path);

Q_SIGNALS:
    void retryingChanged(bool retrying);

private:
    struct Pass;
    RemoteUploader() = default;
    ~RemoteUploader() override;
    void nextInPass();
    void endPass();

    std::unique_ptr<Pass> pass_;
};

}  // namespace kx
