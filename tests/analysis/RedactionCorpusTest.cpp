// Screens a user would redact (mail, chat, terminals, code editors, spreadsheets, forms,
// banking, dark and light themes, coloured bars and bubbles, serif and small text, scale 1.5
// and 2, a light window on a black desktop), drawn at run time with the pixels of every
// sensitive item and every decoy known. Real recognition, then the finder: nearly every item
// must be covered whole, and no decoy at all.
#include "analysis/OCRService.h"
#include "analysis/SensitiveData.h"
#include "tests/analysis/corpus/OcrCorpus.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QPainter>
#include <cmath>
#include <iostream>

using namespace kx;

namespace {

// Pixels of `ink` inside no hit.
int uncovered(const QRect& ink, const QList<SensitiveData::Match>& hits)
{
    int n = 0;
    for (int y = ink.top(); y <= ink.bottom(); ++y)
        for (int x = ink.left(); x <= ink.right(); ++x) {
            const QPointF centre(x + 0.5, y + 0.5);
            n += std::none_of(hits.begin(), hits.end(),
                              [&](const SensitiveData::Match& m) { return m.rect.contains(centre); });
        }
    return n;
}

// A decoy counts as covered once a hit hides a tenth of it.
bool touched(const QRect& ink, const QList<SensitiveData::Match>& hits)
{
    const double area = double(ink.width()) * ink.height();
    return area > 0 && double(uncovered(ink, hits)) < 0.9 * area;
}

// The page with the hits outlined, for a look when an item is missed.
void saveMarked(const test::CorpusPage& page, const QList<SensitiveData::Match>& hits)
{
    QImage marked = page.image.copy();
    QPainter p(&marked);
    p.setPen(QPen(Qt::red, 2));
    for (const SensitiveData::Match& m : hits)
        p.drawRect(m.rect);
    p.end();
    marked.save(test::artifactDir(QStringLiteral("redaction")) + QLatin1Char('/') + page.name +
                QStringLiteral(".png"));
}

}  // namespace

TEST(RedactionCorpus, CoversNearlyEveryItemWholeAndNoDecoy)
{
    const QList<test::CorpusPage> pages =
        test::ocrCorpus(test::sourcePath(QStringLiteral("tests/analysis/redaction")));
    ASSERT_GE(pages.size(), 20);
    int items = 0, covered = 0, decoys = 0, decoysCovered = 0;
    for (const test::CorpusPage& page : pages) {
        ASSERT_FALSE(page.image.isNull()) << page.name.toStdString() << " does not parse";
        ASSERT_FALSE(page.items.isEmpty()) << page.name.toStdString();
        const OCRResult read = OCRService::recognize(page.image, page.languages);
        ASSERT_TRUE(read.ok) << read.error.toStdString();
        const QList<SensitiveData::Match> hits = SensitiveData::find(read.lines);
        int pageItems = 0, pageCovered = 0;
        bool missed = false;
        for (const test::CorpusItem& item : page.items) {
            ASSERT_FALSE(item.ink.isEmpty()) << page.name.toStdString() << ": " << item.text.toStdString();
            if (item.decoy) {
                ++decoys;
                if (touched(item.ink, hits)) {
                    ++decoysCovered;
                    missed = true;
                    ADD_FAILURE() << page.name.toStdString()
                                  << ": decoy covered: " << item.text.toStdString();
                }
                continue;
            }
            ++pageItems;
            const int left = uncovered(item.ink, hits);
            if (left == 0) {
                ++pageCovered;
            } else {
                missed = true;
                std::cout << page.name.toStdString() << ": " << item.text.toStdString() << " "
                          << left * 100 / (item.ink.width() * item.ink.height()) << " % left readable\n";
            }
        }
        if (page.everyItem) {
            EXPECT_EQ(pageCovered, pageItems) << page.name.toStdString() << ": an item left readable";
        }
        items += pageItems;
        covered += pageCovered;
        if (missed) {
            saveMarked(page, hits);
            std::cout << page.name.toStdString() << " read as:\n" << read.text().toStdString() << "\n";
        }
    }
    std::cout << "redaction corpus: " << covered << " of " << items << " items covered whole ("
              << std::lround(1000.0 * covered / std::max(1, items)) / 10.0 << " %), " << decoysCovered
              << " of " << decoys << " decoys covered, " << pages.size() << " screens\n";
    EXPECT_GE(covered * 100, items * 98);
    EXPECT_EQ(decoysCovered, 0);
    EXPECT_GE(decoys, 10);
}
