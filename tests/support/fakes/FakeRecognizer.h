#pragma once
// A text recogniser whose results the test hands out by hand, in any order.
#include <QFuture>
#include <QImage>
#include <QList>
#include <QPromise>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace kx::test {

class FakeRecognizer {
public:
    // The recogniser to install (HistoryStore::Recognizer and the like): one pending future per image.
    std::function<QFuture<std::optional<QString>>(const QImage&)> function()
    {
        return [this](const QImage& image) {
            auto promise = std::make_shared<QPromise<std::optional<QString>>>();
            promise->start();
            promises_.append(promise);
            images_.append(image);
            return promise->future();
        };
    }
    qsizetype count() const { return promises_.size(); }
    const QImage& image(qsizetype i) const { return images_[i]; }
    // No value: recognition failed.
    void finish(qsizetype i, std::optional<QString> text)
    {
        promises_[i]->addResult(std::move(text));
        promises_[i]->finish();
    }

private:
    QList<std::shared_ptr<QPromise<std::optional<QString>>>> promises_;
    QList<QImage> images_;
};

}  // namespace kx::test
