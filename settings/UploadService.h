#pragma once
// What the Upload page needs of the uploader and its retry queue: a connection test, the
// queued items, deleting one, and the one retry pass of the program.
#include <QFuture>
#include <QList>
#include <QObject>
#include <QUuid>

namespace kx {

class UploadService : public QObject {
    Q_OBJECT
public:
    struct Item {
        QUuid id;
        QString fileName;
        int attempts = 0;
        QString lastError;
    };
    struct RetrySummary {
        int sent = 0;
        int total = 0;
    };

    // The service pages use: the one a test installed, else the program's.
    static UploadService* shared();
    static void setShared(UploadService* service);
    // The remote uploader and its retry queue.
    static UploadService& program();

    // The answer of a test of the current settings (success text or the failure's message).
    virtual QFuture<QString> testConnection() = 0;
    virtual QList<Item> items() const = 0;
    virtual void remove(const QUuid& id) = 0;
    // Whether a retry pass runs anywhere in the program.
    virtual bool retrying() const = 0;
    // Starts a pass over a snapshot of the queue; while one runs this gives a cancelled future.
    virtual QFuture<RetrySummary> retryAll() = 0;

Q_SIGNALS:
    void queueChanged();
    void retryingChanged(bool running);
};

// "1 of 3 sent." in the interface language.
QString retrySummaryText(const UploadService::RetrySummary& summary);

}  // namespace kx
