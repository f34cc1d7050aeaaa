// Lines far wider than a screen are read in slices: where a strip is cut, and how the pieces of
// each line are joined again.
#include "analysis/LineSlices.h"

#include <gtest/gtest.h>
#include <QImage>
#include <QMap>

using namespace kx;
using namespace kx::ocr;

namespace {

// A strip `width` wide of "glyphs" (dark columns) with a blank column every `every` columns
// (none when 0), and the columns in `light` only as dark as given.
QImage strip(int width, int every, const QMap<int, int>& light = {})
{
    QImage img(width, 40, QImage::Format_Grayscale8);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < width; ++x)
            img.scanLine(y)[x] = uchar((every > 0 && x % every == 0) ? 250 : light.value(x, 30));
    return img;
}

bool blankColumn(const QImage& img, int x)
{
    for (int y = 0; y < img.height(); ++y)
        if (img.constScanLine(y)[x] < 250)
            return false;
    return true;
}

// A piece of a line as the reader gives it: glyphs 8 px wide from `left`, blanks 8 px wide.
TextObservation piece(const QString& text, double left, double top)
{
    TextObservation o;
    o.text = text;
    o.confidence = 90;
    for (qsizetype i = 0; i < text.size(); ++i)
        o.charBoxes.append(QRectF(left + 8 * i, top, 8, 14));
    o.box = QRectF(left, top, 8 * text.size(), 14);
    return o;
}

}  // namespace

TEST(LineSlices, AWideStripIsCutAtBlankColumnsIntoSlicesNoWiderThanTheLimit)
{
    for (const int width : {kMaxSliceWidth, kMaxSliceWidth + 1, 9000, 16384}) {
        SCOPED_TRACE(width);
        const QImage img = strip(width, 97);
        const std::vector<int> cuts = sliceCuts(img, 0, img.height());
        ASSERT_GE(cuts.size(), 2u);
        EXPECT_EQ(cuts.front(), 0);
        EXPECT_EQ(cuts.back(), width);
        EXPECT_EQ(cuts.size() == 2, width <= kMaxSliceWidth);
        for (std::size_t k = 1; k < cuts.size(); ++k) {
            EXPECT_GT(cuts[k], cuts[k - 1]);
            EXPECT_LE(cuts[k] - cuts[k - 1], kMaxSliceWidth);
            if (k + 1 < cuts.size()) {
                EXPECT_TRUE(blankColumn(img, cuts[k])) << cuts[k];
            }
        }
    }
    // Ink in every column: the cut goes where there is least of it, near or not.
    const QImage dense = strip(9000, 0, {{2990, 200}, {3300, 240}, {6100, 200}});
    EXPECT_EQ(sliceCuts(dense, 0, dense.height()), (std::vector<int>{0, 3300, 6100, 9000}));
    // Only the strip's own rows count: above them the column is inked.
    QImage lower = strip(9000, 0);
    for (int y = 20; y < lower.height(); ++y)
        lower.scanLine(y)[3400] = 250;
    EXPECT_NE(sliceCuts(lower, 0, 20)[1], 3400);
    EXPECT_EQ(sliceCuts(lower, 20, 40)[1], 3400);
}

TEST(LineSlices, ThePiecesOfEachLineAreJoinedInOrderWithABlankOnlyAtAWordsGap)
{
    // Two lines over three slices: cut inside "Invoice" (touching pieces), between words (a gap
    // of 5 px), and a line that begins only in the last slice, in two pieces there. The second
    // slice lists the lower line first.
    const std::vector<QList<TextObservation>> slices{
        {piece("Invo", 0, 10), piece("Receipt", 0, 40)},
        {piece("8 mailed", 61, 41), piece("ice 42", 32, 11)},
        {piece("paid", 85, 12), piece("Total", 200, 70), piece("EUR", 300, 71)},
    };
    const QList<TextObservation> lines = joinSlices(slices);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0].text, "Invoice 42 paid");
    EXPECT_EQ(lines[1].text, "Receipt 8 mailed");
    EXPECT_EQ(lines[2].text, "Total EUR");
    for (const TextObservation& line : lines) {
        SCOPED_TRACE(line.text.toStdString());
        ASSERT_EQ(line.charBoxes.size(), line.text.size());
        for (qsizetype i = 1; i < line.charBoxes.size(); ++i)
            EXPECT_LE(line.charBoxes[i - 1].right(), line.charBoxes[i].left() + 0.5);
        QRectF all;
        for (const QRectF& box : line.charBoxes)
            all = all.united(box);
        EXPECT_EQ(line.box, all);
    }
    // The blank spans the gap between the words it parts.
    EXPECT_EQ(lines[0].charBoxes[10], QRectF(QPointF(80, 11), QPointF(85, 26)));
}
