// Wrapped text with explicit line breaks, as toasts show recognised text.
#include "ui/TextBlock.h"
#include "ui/ToastView.h"

#include <gtest/gtest.h>
#include <QFont>
#include <QImage>
#include <QPainter>

using namespace kx;

namespace {

// Runs of rows with dark pixels in the column x0..x1 of an image: the lines drawn there.
int inkBands(const QImage& img, int x0, int x1)
{
    int bands = 0;
    bool inside = false;
    for (int y = 0; y < img.height(); ++y) {
        bool ink = false;
        for (int x = x0; x < x1 && !ink; ++x)
            ink = qGray(img.pixel(x, y)) < 200;  // the second line is grey
        bands += ink && !inside;
        inside = ink;
    }
    return bands;
}

}  // namespace

TEST(TextBlock, LineBreaksGiveLinesInOrderAndTheLastAllowedLineTakesTheRest)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(12);
    EXPECT_EQ(TextBlock::lines("first\nsecond\nthird", font, 300, 3),
              (QStringList{"first", "second", "third"}));
    EXPECT_EQ(TextBlock::lines("one\r\ntwo", font, 300, 0), (QStringList{"one", "two"}));
    EXPECT_EQ(TextBlock::lines("a\n\nb\n", font, 300, 0), (QStringList{"a", "", "b"}));
    const QStringList cut = TextBlock::lines("first\nsecond\nthird\nfourth", font, 300, 3);
    ASSERT_EQ(cut.size(), 3);
    EXPECT_EQ(cut[1], "second");
    EXPECT_EQ(cut[2], "third fourth");
    // A long paragraph still wraps within the width, before the next one starts.
    const QStringList wrapped = TextBlock::lines(QString("word ").repeated(30) + "\nend", font, 120, 0);
    EXPECT_GT(wrapped.size(), 3);
    EXPECT_EQ(wrapped.last(), "end");
}

TEST(TextBlock, AToastShowsEachLineOfAThreeLineText)
{
    ToastView toast("Text copied", "Invoice 2026\nTotal 129.00 EUR\nPaid by card", "text.viewfinder");
    toast.resize(toast.sizeHint());
    QImage img(toast.size(), QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::white);
    toast.render(&img);
    // The text column: right of the 34-pt icon and its spacing inside the padding.
    EXPECT_EQ(inkBands(img, 14 + 12 + 34 + 12, img.width() - 14 - 16), 4);  // title and three lines
}
