// Dominant colours: the cut-offs, the nearness rule, alpha, squeezing and stability.
#include "analysis/Palette.h"
#include "analysis/PaletteWindowController.h"

#include <gtest/gtest.h>
#include <QPainter>

using namespace kx;

namespace {

// Vertical bands of colour, widths in pixels of a 1000-wide image; codes and shares found.
QStringList palette(const QList<QPair<int, QColor>>& bands, int count = 8, int height = 200)
{
    QImage img(1000, height, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    for (int x = 0; const auto& [w, c] : bands)
        p.fillRect(std::exchange(x, x + w), 0, w, height, c);
    p.end();
    QStringList out;
    for (const PaletteColor& c : Palette::dominant(height == 200 ? img : img.scaled(4000, height), count))
        out.append(c.hex() + ' ' + c.percent());
    return out;
}

}  // namespace

TEST(Palette, CutOffsNearnessAlphaSqueezeAndStability)
{
    const QColor grey(96, 96, 96);
    const QList<QPair<QList<QPair<int, QColor>>, QStringList>> table{
        {{{1000, QColor(0x1E, 0x90, 0xFF)}}, {"#1E90FF 100%"}},
        {{{995, Qt::white}, {5, Qt::black}}, {"#FFFFFF 99%"}},  // under 1 % ends the walk
        {{{600, QColor(100, 100, 100)}, {400, QColor(120, 120, 120)}}, {"#646464 60%"}},  // 20 apart: one
        {{{600, grey}, {400, QColor(120, 120, 120)}}, {"#606060 60%", "#787878 40%"}},    // 24 apart: two
        {{{500, grey}, {300, QColor(104, 104, 104)}, {200, QColor(240, 0, 0)}},
         {"#606060 50%", "#F00000 20%"}},
        {{{500, QColor(200, 0, 0, 128)}, {500, QColor(0, 0, 255, 127)}}, {"#640000 100%"}},  // premultiplied
        {{{1000, Qt::transparent}}, {}},
        {{{125, Qt::red}, {875, Qt::blue}}, {"#0000FF 88%", "#FF0000 13%"}}};
    for (const auto& [bands, expected] : table)
        EXPECT_EQ(palette(bands), expected) << expected.join(", ").toStdString();
    EXPECT_EQ(palette({{125, Qt::red}, {500, Qt::green}, {375, Qt::blue}}, 2),
              (QStringList{"#00FF00 50%", "#0000FF 38%"}));
    EXPECT_EQ(palette({{750, Qt::black}, {250, Qt::yellow}}, 8, 100),
              (QStringList{"#000000 75%", "#FFFF00 25%"}));
    // Four equal cells come in the order of their colour keys, the same on every run.
    const QList<QPair<int, QColor>> tie{
        {250, Qt::cyan}, {250, Qt::magenta}, {250, Qt::darkGreen}, {250, Qt::gray}};
    EXPECT_EQ(palette(tie), (QStringList{"#008000 25%", "#00FFFF 25%", "#A0A0A4 25%", "#FF00FF 25%"}));
}

// Swatch columns of 190 pt with 10 pt between, 20 pt padding either side and room for a scroll
// bar; the copy row stays below the swatches while it fits on one line and leaves 150 pt for them.
TEST(PaletteArrangementTest, ColumnsAndTheCopyRowFollowTheWindow)
{
    const QSize row(420, 64);
    const struct {
        QSize view;
        int columns;
        bool stacked;
    } cases[] = {
        {{460, 420}, 2, false},  // the window's own size
        {{446, 420}, 2, false}, {{445, 420}, 1, false}, {{646, 420}, 3, false}, {{100, 420}, 1, true},
        {{420, 214}, 1, false}, {{419, 420}, 1, true},  {{460, 213}, 2, true},  {{320, 136}, 1, true},
    };
    for (const auto& c : cases) {
        const PaletteArrangement a = paletteArrangement(c.view, row);
        EXPECT_EQ(a.columns, c.columns) << c.view.width() << "×" << c.view.height();
        EXPECT_EQ(a.stacked, c.stacked) << c.view.width() << "×" << c.view.height();
    }
}
