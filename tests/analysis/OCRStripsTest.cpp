// A screen tall enough to be read in parallel strips: lines come back whole, in order, with
// image coordinates, and the words read reach an accuracy floor.
#include "analysis/OCRService.h"

#include <gtest/gtest.h>
#include <QPainter>
#include <QRegularExpression>

using namespace kx;

TEST(OCRStrips, NumberedLinesComeBackInOrderWithImageCoordinates)
{
    QImage img(1100, 1300, QImage::Format_RGB32);
    img.fill(QColor(250, 250, 248));
    QStringList drawn;
    QPainter p(&img);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(13);
    p.setFont(f);
    p.setPen(QColor(20, 20, 20));
    for (int row = 0; row < 60; ++row) {
        drawn += QStringLiteral("%1. Invoice 2026-%2 paid by transfer, total %3.50 EUR")
                     .arg(row + 1)
                     .arg(row * 3)
                     .arg(row * 17 + 4);
        p.drawText(24, 30 + row * 21, drawn.last());
    }
    p.end();
    const OCRResult result = OCRService::recognize(img, {QStringLiteral("eng")});
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    ASSERT_FALSE(result.lines.isEmpty());
    QStringList words = result.text().split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    const QStringList expected = drawn.join(' ').split(' ');
    qsizetype found = 0;
    for (const QString& w : expected)
        found += words.removeOne(w) ? 1 : 0;
    EXPECT_GE(double(found) / double(expected.size()), 0.995) << result.text().toStdString();
    EXPECT_LE(words.size(), expected.size() / 100) << "words read twice or invented";
    // Boxes from later strips sit lower in the image, never at strip-local positions.
    for (qsizetype i = 1; i < result.lines.size(); ++i)
        EXPECT_GE(result.lines[i].box.top(), result.lines[i - 1].box.top() - 2) << i;
    EXPECT_NEAR(result.lines.last().box.bottom(), 30 + 59 * 21, 8);
}
