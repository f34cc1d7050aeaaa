// Dominant colours: the cut-offs, the nearness rule, alpha, squeezing and stability.
#include "analysis/Palette.h"

#include <gtest/gtest.h>
#include <QPainter>

using namespace kx;

namespace {

// Vertical bands of colour; widths in pixels of a 1000-wide image.
QImage bands(const QList<QPair<int, QColor>>& parts, int height = 200,
             QImage::Format format = QImage::Format_ARGB32)
{
    QImage img(1000, height, format);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    int x = 0;
    for (const auto& [w, c] : parts) {
        p.fillRect(x, 0, w, height, c);
        x += w;
    }
    return img;
}

QStringList hexes(const QList<PaletteColor>& colors)
{
    QStringList out;
    for (const PaletteColor& c : colors)
        out.append(c.hex() + QLatin1Char(' ') + c.percent());
    return out;
}

}  // namespace

TEST(Palette, CutOffsNearnessAndAlpha)
{
    const QColor blue(0x1E, 0x90, 0xFF);
    EXPECT_EQ(hexes(Palette::dominant(bands({{1000, blue}}), 8)), QStringList{"#1E90FF 100%"});
    // Under 1 %: the small cell ends the walk.
    EXPECT_EQ(hexes(Palette::dominant(bands({{995, Qt::white}, {5, Qt::black}}), 8)),
              QStringList{"#FFFFFF 99%"});
    // (20,20,20) apart is one colour, (24,24,24) apart two.
    EXPECT_EQ(
        Palette::dominant(bands({{600, QColor(100, 100, 100)}, {400, QColor(120, 120, 120)}}), 8).size(), 1);
    EXPECT_EQ(hexes(Palette::dominant(bands({{600, QColor(96, 96, 96)}, {400, QColor(120, 120, 120)}}), 8)),
              (QStringList{"#606060 60%", "#787878 40%"}));
    // A skipped near cell does not end the walk: red is found after the second grey.
    EXPECT_EQ(
        hexes(Palette::dominant(
            bands({{500, QColor(96, 96, 96)}, {300, QColor(104, 104, 104)}, {200, QColor(240, 0, 0)}}), 8)),
        (QStringList{"#606060 50%", "#F00000 20%"}));
    // Half-transparent pixels count premultiplied (darker); nearly transparent ones not at all.
    EXPECT_EQ(
        hexes(Palette::dominant(bands({{500, QColor(200, 0, 0, 128)}, {500, QColor(0, 0, 255, 127)}}), 8)),
        QStringList{"#640000 100%"});
    EXPECT_TRUE(Palette::dominant(bands({{1000, Qt::transparent}}), 8).isEmpty());
    EXPECT_TRUE(Palette::dominant(QImage(), 8).isEmpty());
    // Asked for fewer than there are: the most frequent first, 0.125 shows as 13 %.
    EXPECT_EQ(hexes(Palette::dominant(bands({{125, Qt::red}, {500, Qt::green}, {375, Qt::blue}}), 2)),
              (QStringList{"#00FF00 50%", "#0000FF 38%"}));
    EXPECT_EQ(hexes(Palette::dominant(bands({{125, Qt::red}, {875, Qt::blue}}), 8)).last(), "#FF0000 13%");
}

TEST(Palette, SqueezedWideImageKeepsSharesAndTiesAreStable)
{
    // 4000 × 100: squeezed to a square, the shares stay those of the bands.
    QImage wide = bands({{750, Qt::black}, {250, Qt::yellow}}, 100).scaled(4000, 100);
    EXPECT_EQ(hexes(Palette::dominant(wide, 8)), (QStringList{"#000000 75%", "#FFFF00 25%"}));
    const QImage tie = bands({{250, Qt::cyan}, {250, Qt::magenta}, {250, Qt::darkGreen}, {250, Qt::gray}});
    const QStringList first = hexes(Palette::dominant(tie, 8));
    EXPECT_EQ(first.size(), 4);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(hexes(Palette::dominant(tie.copy(), 8)), first);
}
