#pragma once
// Shared pieces of the history tests: images and a settable clock.

#include "capture/history/HistoryStore.h"

#include "fakes/FakeRecognizer.h"

#include <QColor>
#include <QImage>
#include <QPainter>

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

struct FakeClock {
    QDateTime now = QDateTime(QDate(2026, 10, 9), QTime(14, 32, 5), Qt::UTC);
    std::function<QDateTime()> function()
    {
        return [this] { return now; };
    }
};

}  // namespace kx::test
