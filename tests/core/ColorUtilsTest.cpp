#include "core/ColorUtils.h"

#include <gtest/gtest.h>

using namespace kx;

TEST(HexColors, ParsingIsStrict)
{
    for (const char* white : {"#FFF", "fff", " #fff ", "ffffff", "#FFFFFF#"}) {
        const auto c = colorFromHex(white);
        ASSERT_TRUE(c) << white;
        EXPECT_EQ(c->rgb(), qRgb(255, 255, 255)) << white;
    }
    for (const char* bad :
         {"#ffff", "#fffffff", "#12345G", "\tfff", "fff\n", "0xfff", "-fffff", "ff fff", "", "#", "ｆｆｆ"})
        EXPECT_FALSE(colorFromHex(QString::fromUtf8(bad))) << bad;
    EXPECT_EQ(colorFromHex("#1a2B3c")->rgb(), qRgb(0x1a, 0x2b, 0x3c));
    EXPECT_EQ(colorFromHex("abc")->rgb(), qRgb(0xaa, 0xbb, 0xcc));
}

// A plus sign is read as the number's sign: it takes one of the six places.
TEST(HexColors, ALeadingPlusIsTheSignOfSixPlaces)
{
    const struct {
        const char* text;
        std::optional<QRgb> rgb;
    } cases[] = {
        {"+fffff", qRgb(0x0f, 0xff, 0xff)},
        {"#+00001", qRgb(0, 0, 1)},
        {" +ABCDE ", qRgb(0x0a, 0xbc, 0xde)},
        {"+ff", std::nullopt},
        {"++ffff", std::nullopt},
        {"f+ffff", std::nullopt},
        {"+-ffff", std::nullopt},
        {"+ffffff", std::nullopt},
        {"+", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto color = colorFromHex(QString::fromUtf8(c.text));
        ASSERT_EQ(color.has_value(), c.rgb.has_value()) << c.text;
        if (color) {
            EXPECT_EQ(color->rgb(), *c.rgb) << c.text;
        }
    }
}

TEST(ColorText, FiveFormsWithRoundedAndClampedChannels)
{
    const QColor orange = QColor::fromRgbF(1.0f, 0.5f, 0.0f);
    EXPECT_EQ(formatted(orange, ColorFormat::hex), "#FF8000");
    EXPECT_EQ(formatted(orange, ColorFormat::hexLower), "#ff8000");
    EXPECT_EQ(formatted(orange, ColorFormat::rgb), "rgb(255, 128, 0)");
    EXPECT_EQ(formatted(orange, ColorFormat::swiftUI), "Color(red: 1.000, green: 0.502, blue: 0.000)");
    EXPECT_EQ(formatted(orange, ColorFormat::hsl), "hsl(30, 100%, 50%)");
    EXPECT_EQ(formatted(Qt::black, ColorFormat::hsl), "hsl(0, 0%, 0%)");
    EXPECT_EQ(formatted(Qt::white, ColorFormat::hsl), "hsl(0, 0%, 100%)");
    EXPECT_EQ(formatted(QColor(128, 128, 128), ColorFormat::hsl), "hsl(0, 0%, 50%)");
    EXPECT_EQ(formatted(QColor(255, 0, 0), ColorFormat::hsl), "hsl(0, 100%, 50%)");
    EXPECT_EQ(formatted(QColor(0, 0, 255), ColorFormat::hsl), "hsl(240, 100%, 50%)");
    // A hue just below red rounds up to 360 and stays there.
    EXPECT_EQ(formatted(QColor(255, 0, 1), ColorFormat::hsl), "hsl(360, 100%, 50%)");
    // Channels are rounded, and extended-range components (e.g. from a wide-gamut source)
    // stay within a byte.
    EXPECT_EQ(formatted(QColor::fromRgbF(0.5f, 0.0f, 1.0f), ColorFormat::rgb), "rgb(128, 0, 255)");
    EXPECT_EQ(formatted(QColor::fromRgbF(1.2f, -0.1f, 0.5f), ColorFormat::hex), "#FF0080");
}
