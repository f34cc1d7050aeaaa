// A screen tall enough to be read in parallel strips: every line comes back whole, once, in
// order, with its box in image coordinates, and the words read reach an accuracy floor.
#include "analysis/OCRService.h"

#include <gtest/gtest.h>
#include <QFont>
#include <QPainter>

using namespace kx;

TEST(OCRStrips, NumberedLinesComeBackInOrderWithImageCoordinates)
{
    QImage img(1100, 1300, QImage::Format_RGB32);
    img.fill(QColor(250, 250, 248));
    QStringList drawn;
    QList<int> baselines;
    {
        QPainter p(&img);
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setPixelSize(13);
        p.setFont(f);
        p.setPen(QColor(20, 20, 20));
        for (int row = 0; row < 60; ++row) {
            drawn.append(QStringLiteral("%1. Invoice 2026-%2 paid by transfer, total %3.50 EUR")
                             .arg(row + 1)
                             .arg(row * 3)
                             .arg(row * 17 + 4));
            baselines.append(30 + row * 21);
            p.drawText(24, baselines.last(), drawn.last());
        }
    }
    const OCRResult result = OCRService::recognize(img, {QStringLiteral("eng")});
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    QStringList words;
    for (const TextObservation& line : result.lines)
        words += line.text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    int found = 0, total = 0;
    for (const QString& line : drawn) {
        for (const QString& w : line.split(QLatin1Char(' '))) {
            ++total;
            if (words.removeOne(w))
                ++found;
        }
    }
    EXPECT_GE(double(found) / total, 0.995) << result.text().toStdString();
    EXPECT_LE(words.size(), total / 100) << "words read twice or invented";
    // Boxes from later strips sit lower in the image, never at strip-local positions.
    double lastTop = -1;
    for (const TextObservation& line : result.lines) {
        EXPECT_GE(line.box.top(), lastTop - 2) << line.text.toStdString();
        lastTop = line.box.top();
    }
    ASSERT_FALSE(result.lines.isEmpty());
    EXPECT_NEAR(result.lines.last().box.bottom(), baselines.last(), 8);
}
