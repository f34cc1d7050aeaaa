#pragma once
// Shared pieces of the history tests: images, a controllable recogniser, a settable clock.

#include "capture/history/HistoryStore.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPromise>
#include <memory>

namespace kx::test {

inline QImage historyImage(int w, int h, QColor color = QColor(40, 90, 160), int seed = 0)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(color);
    QPainter p(&img);
    p.setPen(Qt::white);
    p.drawText(10, 20, QStringLiteral("capture %1").arg(seed));
    p.fillRect(w / 3, h / 3, w / 4 + 1, h / 4 + 1, QColor((seed * 37) % 256, 200, 80));
    return img;
}

// Hands out futures that the test finishes by hand, in any order.
class FakeRecognizer {
public:
    HistoryStore::Recognizer function()
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
    void finish(qsizetype i, std::optional<QString> text)
    {
        promises_[i]->addResult(std::move(text));
        promises_[i]->finish();
    }

private:
    QList<std::shared_ptr<QPromise<std::optional<QString>>>> promises_;
    QList<QImage> images_;
};

struct FakeClock {
    QDateTime now = QDateTime(QDate(2026, 10, 9), QTime(14, 32, 5), Qt::UTC);
    std::function<QDateTime()> function()
    {
        return [this] { return now; };
    }
};

}  // namespace kx::test
