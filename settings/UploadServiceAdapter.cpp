// The program's upload service: the remote uploader and its retry queue.
#include "library/upload/RemoteUploader.h"
#include "library/upload/UploadQueue.h"
#include "settings/UploadService.h"

namespace kx {

namespace {

class RemoteUploadService : public UploadService {
public:
    RemoteUploadService()
    {
        connect(&UploadQueue::shared(), &UploadQueue::itemsChanged, this, &UploadService::queueChanged);
        connect(&RemoteUploader::shared(), &RemoteUploader::retryingChanged, this,
                &UploadService::retryingChanged);
    }
    QFuture<QString> testConnection() override { return RemoteUploader::testConnection(); }
    QList<Item> items() const override
    {
        QList<Item> out;
        for (const PendingUpload& p : UploadQueue::shared().items())
            out << Item{p.id, p.fileName, p.attempts, p.lastError};
        return out;
    }
    void remove(const QUuid& id) override { UploadQueue::shared().remove(id); }
    bool retrying() const override { return RemoteUploader::shared().retrying(); }
    QFuture<RetrySummary> retryAll() override
    {
        return RemoteUploader::shared().retryPass().then([](const RetryTally& t) {
            return RetrySummary{t.sent, t.total};
        });
    }
};

}  // namespace

UploadService& UploadService::program()
{
    static RemoteUploadService* service = new RemoteUploadService;
    return *service;
}

}  // namespace kx
