// The text blocks that recognition reads: each block keeps a line height of its own background
// around the text, so that the recogniser sees the tops and bottoms of the glyphs.
#include "analysis/PageLayout.h"
#include "analysis/Polarity.h"

#include <gtest/gtest.h>
#include <QImage>

using namespace kx;

namespace {

// `lines` lines of glyph-like stripes, `height` pixels tall with `gap` blank rows between them,
// from (left, top) to x = right, black on a light grey page.
QImage page(int lines, int height, int gap, int left, int top, int right)
{
    QImage img(900, 700, QImage::Format_Grayscale8);
    img.fill(235);
    for (int i = 0; i < lines; ++i)
        for (int y = top + i * (height + gap); y < top + i * (height + gap) + height; ++y)
            for (int x = left; x < right; x += 6)
                for (int k = 0; k < 3; ++k)
                    img.scanLine(y)[x + k] = 20;
    return img;
}

}  // namespace

TEST(PageLayout, ABlockKeepsALineHeightOfMarginOnEverySide)
{
    struct Case {
        int height, gap;
    };
    for (const Case& c : {Case{24, 12}, Case{40, 18}, Case{16, 8}}) {
        SCOPED_TRACE(c.height);
        const int lines = 5, left = 200, top = 150, right = 500;
        const int bottom = top + lines * (c.height + c.gap) - c.gap;  // below the last line
        const QList<QRect> blocks = ocr::textBlocks(page(lines, c.height, c.gap, left, top, right));
        ASSERT_EQ(blocks.size(), 1);
        const QRect b = blocks.first();
        // The ink starts one pixel left of the first stripe (an edge is marked on its left pixel).
        const QRect ink(QPoint(left - 1, top), QPoint(right - 1, bottom - 1));
        const int margin = std::max(8, c.height);
        EXPECT_LE(b.left(), ink.left() - margin);
        EXPECT_LE(b.top(), ink.top() - margin);
        EXPECT_GE(b.right(), ink.right() - 3 + margin);  // the last stripe may end short of `right`
        EXPECT_GE(b.bottom(), ink.bottom() + margin);
        // And not much more: the neighbours' text stays out.
        EXPECT_GE(b.left(), ink.left() - margin - 2);
        EXPECT_GE(b.top(), ink.top() - margin - 2);
        EXPECT_LE(b.bottom(), ink.bottom() + margin + 2);
    }
}

TEST(PageLayout, AMarginStopsAtThePageEdge)
{
    const QList<QRect> blocks = ocr::textBlocks(page(3, 30, 12, 4, 5, 300));
    ASSERT_EQ(blocks.size(), 1);
    EXPECT_EQ(blocks.first().topLeft(), QPoint(0, 0));
}

TEST(PageLayout, ThinRulesGoAndGlyphsAndBarsStay)
{
    // Glyph-like stripes crossed by a one-pixel grid line and a two-pixel column rule, beside a
    // four-pixel bar, a short dash and a tall glyph stroke, and three-pixel rules both ways (the
    // thickest a rule may be): only the rules are lines.
    QImage img = page(3, 20, 8, 100, 100, 400);
    const auto fill = [&img](int x, int y, int w, int h) {
        for (int r = y; r < y + h; ++r)
            for (int c = x; c < x + w; ++c)
                img.scanLine(r)[c] = 40;
    };
    fill(60, 124, 400, 1);   // the grid line, through the blank rows between two lines of text
    fill(250, 80, 2, 120);   // the column rule, through the text
    fill(60, 300, 400, 4);   // a bar
    fill(500, 100, 40, 2);   // a dash, shorter than any rule
    fill(600, 100, 5, 90);   // a tall stroke, thicker than any rule
    fill(60, 400, 400, 3);   // the thickest rule across
    fill(700, 400, 3, 120);  // and down
    const QImage out = ocr::withoutRules(img);
    ASSERT_EQ(out.size(), img.size());
    struct Probe {
        QPoint at;
        bool stays;
    };
    for (const auto& [at, stays] :
         {Probe{{70, 124}, false}, Probe{{250, 90}, false}, Probe{{251, 195}, false}, Probe{{100, 105}, true},
          Probe{{70, 301}, true}, Probe{{510, 100}, true}, Probe{{602, 150}, true}, Probe{{70, 402}, false},
          Probe{{702, 450}, false}}) {
        SCOPED_TRACE(testing::Message() << at.x() << "," << at.y());
        EXPECT_EQ(out.pixel(at) == img.pixel(at), stays);
        if (!stays) {
            EXPECT_EQ(qGray(out.pixel(at)), 255);
        }
    }
    EXPECT_TRUE(ocr::withoutRules(QImage()).isNull());
}

// A dark patch with light text on a light page is a ground of its own, turned over, from six
// 8-pixel tiles on; a smaller one is a thick stroke, ink of the page around it.
TEST(Polarity, TheSmallestPatchKeptAsAGroundIsSixTiles)
{
    const struct {
        int tilesWide, tilesHigh;
        bool ground;
    } table[]{{2, 3, true}, {3, 2, true}, {6, 5, true}, {2, 2, false}, {1, 1, false}};
    for (const auto& c : table) {
        SCOPED_TRACE(std::to_string(c.tilesWide) + " x " + std::to_string(c.tilesHigh));
        QImage img(160, 120, QImage::Format_Grayscale8);
        img.fill(240);
        const QRect patch(48, 40, c.tilesWide * 8, c.tilesHigh * 8);
        for (int y = patch.top(); y <= patch.bottom(); ++y)
            for (int x = patch.left(); x <= patch.right(); ++x)
                img.scanLine(y)[x] = (x % 8 == 3 || x % 8 == 4) && (y % 8 == 3 || y % 8 == 4) ? 230 : 30;
        const QImage out = ocr::darkOnWhite(img);
        ASSERT_EQ(out.size(), img.size());
        qint64 sum = 0;
        for (int y = patch.top(); y <= patch.bottom(); ++y)
            for (int x = patch.left(); x <= patch.right(); ++x)
                sum += out.constScanLine(y)[x];
        const qint64 mean = sum / (qint64(patch.width()) * patch.height());
        if (c.ground) {
            EXPECT_GT(mean, 200) << "the patch was not turned to a white ground";
        } else {
            EXPECT_LT(mean, 60) << "the patch was taken for a ground";
        }
    }
}
