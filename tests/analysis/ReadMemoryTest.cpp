// The memory of the recognition process: what a later capture takes from it must be exactly
// what reading its own pixels would give, in its own place.
#include "analysis/OCRLanguages.h"
#include "analysis/PageLayout.h"
#include "analysis/Polarity.h"
#include "analysis/TextRecognizer.h"

#include <gtest/gtest.h>
#include <QFont>
#include <QPainter>

using namespace kx;

namespace {

// Text near the top and near the bottom of a page taller than one remembered strip.
QImage page(const QString& bottomLine, QPoint offset = {})
{
    QImage img(760 + offset.x(), 900 + offset.y(), QImage::Format_RGB32);
    img.fill(QColor(250, 250, 248));
    QPainter p(&img);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(14);
    p.setFont(f);
    p.setPen(QColor(20, 20, 20));
    p.translate(offset);
    for (int i = 0; i < 3; ++i)
        p.drawText(24, 40 + 22 * i, QStringLiteral("Invoice 2026-%1 was paid on time.").arg(37 * i));
    p.drawText(24, 840, bottomLine);
    return img;
}

OCRResult read(const QImage& image, ocr::ReadMemory& memory)
{
    return ocr::recognize(image, {QStringLiteral("eng")}, OCRLanguages::dataDir(), {}, ocr::Pace::background,
                          &memory);
}

}  // namespace

TEST(ReadMemory, TakesOnlyStripsWhosePixelsAreTheSameAndPutsThemWhereTheyAreNow)
{
    ocr::ReadMemory memory(1 << 20);
    const QImage first = page(QStringLiteral("Order 4100 left the harbour."));
    const OCRResult before = read(first, memory);
    ASSERT_TRUE(before.ok) << before.error.toStdString();
    ASSERT_EQ(before.lines.size(), 4) << before.text().toStdString();
    ASSERT_EQ(memory.hits(), 0);
    const int strips = memory.misses();
    ASSERT_GE(strips, 2);

    // A pixel too faint to change the layout, at the bottom-right corner of the last block.
    QImage dotted = first.copy();
    const QList<QRect> blocks = ocr::textBlocks(ocr::darkOnWhite(ocr::prepared(first)));
    ASSERT_FALSE(blocks.isEmpty());
    dotted.setPixelColor(blocks.last().bottomRight(), QColor(222, 222, 222));
    ASSERT_EQ(ocr::textBlocks(ocr::darkOnWhite(ocr::prepared(dotted))), blocks);

    const struct {
        const char* what;
        QImage image;
        QPoint offset;
        const char* bottom;  // the last line as it must read
        int reread;          // strips read again
    } kCases[] = {
        {"the same screen", first, {}, "Order 4100 left the harbour.", 0},
        {"one digit changed",
         page(QStringLiteral("Order 4108 left the harbour.")),
         {},
         "Order 4108 left the harbour.",
         1},
        {"one faint pixel changed", dotted, {}, "Order 4100 left the harbour.", 1},
        // By whole tiles of the preparation, which turns each 8-px tile by its surroundings.
        {"moved right and down",
         page(QStringLiteral("Order 4100 left the harbour."), {40, 24}),
         {40, 24},
         "Order 4100 left the harbour.",
         0},
    };
    for (const auto& c : kCases) {
        const int hits = memory.hits(), misses = memory.misses();
        const OCRResult now = read(c.image, memory);
        ASSERT_TRUE(now.ok) << c.what;
        EXPECT_EQ(memory.misses() - misses, c.reread) << c.what;
        EXPECT_EQ(memory.hits() - hits, strips - c.reread) << c.what;
        ASSERT_EQ(now.lines.size(), before.lines.size()) << c.what << ": " << now.text().toStdString();
        EXPECT_EQ(now.lines.last().text, QLatin1String(c.bottom)) << c.what;
        for (int i = 0; i + 1 < now.lines.size(); ++i) {
            EXPECT_EQ(now.lines[i].text, before.lines[i].text) << c.what;
            EXPECT_EQ(now.lines[i].box, before.lines[i].box.translated(c.offset)) << c.what;
            EXPECT_EQ(now.lines[i].charBoxes.first(), before.lines[i].charBoxes.first().translated(c.offset))
                << c.what;
        }
    }
}

TEST(ReadMemory, StaysWithinItsBudgetDroppingTheLeastRecentlyUsed)
{
    TextObservation line;
    line.text = QStringLiteral("Invoice 2026-37 was paid on time.");
    line.charBoxes = QList<QRectF>(line.text.size(), QRectF(0, 0, 7, 14));
    const QList<TextObservation> lines(4, line);
    ocr::ReadMemory probe(1 << 20);
    probe.keep("size", lines);
    const qsizetype entry = probe.bytes();

    ocr::ReadMemory memory(3 * entry);
    memory.keep("a", lines);
    memory.keep("b", lines);
    memory.keep("c", lines);
    ASSERT_TRUE(memory.find("a"));  // used again: "b" is now the oldest
    memory.keep("d", lines);
    EXPECT_LE(memory.bytes(), 3 * entry);
    EXPECT_FALSE(memory.find("b"));
    for (const char* key : {"a", "c", "d"})
        EXPECT_TRUE(memory.find(key)) << key;
}

// Other models read the same pixels differently: nothing read with one set of languages answers
// a reading with another.
TEST(ReadMemory, LinesReadWithOtherLanguagesAreNotTaken)
{
    ocr::ReadMemory memory(1 << 20);
    const QImage image = page(QStringLiteral("Order 4100 left the harbour."));
    const QList<QStringList> sets{{QStringLiteral("eng")}, {QStringLiteral("eng"), QStringLiteral("deu")}};
    for (const QStringList& languages : sets) {
        const int misses = memory.misses();
        const OCRResult r =
            ocr::recognize(image, languages, OCRLanguages::dataDir(), {}, ocr::Pace::background, &memory);
        ASSERT_TRUE(r.ok) << r.error.toStdString();
        EXPECT_GE(memory.misses() - misses, 2) << languages.join('+').toStdString();
        EXPECT_EQ(memory.hits(), 0) << languages.join('+').toStdString();
    }
}
