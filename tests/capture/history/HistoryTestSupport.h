#pragma once
// Shared pieces of the history tests: images, a settable clock, file reads and a fixture
// without retention limits.

#include "capture/history/HistoryStore.h"
#include "core/Localisation.h"
#include "core/Prefs.h"

#include "fakes/FakeRecognizer.h"

#include <gtest/gtest.h>
#include <QColor>
#include <QFile>
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

inline QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A store test where neither count nor age prunes anything, in English.
class UnlimitedHistoryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Prefs::registerDefaults();
        Prefs::set(QStringLiteral("history.max"), 0);
        Prefs::set(QStringLiteral("history.days"), 0);
        Lang::overrideForTests(QStringLiteral("en"));
    }
    void TearDown() override
    {
        Prefs::remove(QStringLiteral("history.max"));
        Prefs::remove(QStringLiteral("history.days"));
        Lang::overrideForTests(QStringLiteral("en"));
    }
};

}  // namespace kx::test
