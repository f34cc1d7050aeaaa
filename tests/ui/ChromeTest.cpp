// Theme colours, the chrome button's background table and sizes, the small chrome pieces
// and the brand marks.
#include "TestSupport.h"
#include "ui/Brand.h"
#include "ui/ChromeButton.h"
#include "ui/ChromeParts.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>
#include <QEnterEvent>
#include <QPainter>
#include <QTemporaryDir>

using namespace kx;
using I = ChromeButtonStyle::Interaction;

namespace {

const QColor kAccent(10, 100, 250);
const QColor kPrimary(0, 0, 0);

QColor bg(bool prominent, bool selected, I state)
{
    return ChromeButtonStyle{selected, prominent, 30, 9, true}.background(state, kAccent, kPrimary);
}

QPalette paletteWithWindow(const QColor& window)
{
    QPalette p;
    p.setColor(QPalette::Window, window);
    return p;
}

}  // namespace

TEST(ChromeButtonStyle, BackgroundTableFollowsProminentThenSelected)
{
    // prominent wins over selected; a selected button ignores hovering; a plain one is clear at rest
    const struct {
        bool prominent, selected;
        I state;
        double alpha;
        QColor colour;
    } rows[] = {{true, false, I::pressed, 0.78, kAccent},   {true, true, I::hovered, 0.92, kAccent},
                {true, true, I::rest, 1.0, kAccent},        {false, true, I::hovered, 1.0, kAccent},
                {false, true, I::pressed, 0.8, kAccent},    {false, false, I::rest, 0.0, kPrimary},
                {false, false, I::hovered, 0.09, kPrimary}, {false, false, I::pressed, 0.16, kPrimary}};
    for (const auto& r : rows) {
        const QColor c = bg(r.prominent, r.selected, r.state);
        EXPECT_NEAR(c.alphaF(), r.alpha, 0.01) << r.prominent << r.selected << int(r.state);
        EXPECT_TRUE(r.alpha == 0 || c.rgb() == r.colour.rgb()) << r.prominent << r.selected << int(r.state);
    }
    EXPECT_EQ((ChromeButtonStyle{true, false}.foreground(kPrimary)), QColor(Qt::white));
    EXPECT_NEAR(ChromeButtonStyle{}.foreground(kPrimary).alphaF(), 0.86, 0.01);
}

TEST(ChromeButton, IconOnlyIsSquareTitledGrowsAndStatesReachThePainter)
{
    ChromeButton icon("pin"_sym, QString(), "Pin", QString(), QString(), false, false, {});
    EXPECT_TRUE(icon.chromeStyle().square);
    EXPECT_EQ(icon.sizeHint(), QSize(30, 30));

    ChromeButton titled("doc.on.doc"_sym, "Copy to clipboard", "Copy", QString(), "Ctrl+C", false, true, {});
    EXPECT_FALSE(titled.chromeStyle().square);
    EXPECT_EQ(titled.sizeHint().height(), 30);
    EXPECT_GT(titled.sizeHint().width(), 30 + 20);

    EXPECT_EQ(titled.interaction(), I::rest);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&titled, &enter);
    EXPECT_EQ(titled.interaction(), I::hovered);
    titled.setDown(true);
    EXPECT_EQ(titled.interaction(), I::pressed);

    ChromeButton stacked("pin"_sym, "Pin", ChromeButtonStyle{false, false, 42, 12, false}, {});
    stacked.setLabelLayout(ChromeButton::LabelLayout::stacked, 3);
    stacked.setLabelFrame(QSizeF(48, 42));
    EXPECT_EQ(stacked.sizeHint(), QSize(68, 42));
}

TEST(ChromeButton, DisabledButtonKeepsItsColoursAtReducedOpacity)
{
    auto render = [](bool enabled) {
        ChromeButton b("pin"_sym, QString(), ChromeButtonStyle{false, true, 30, 9, true}, {});
        b.setEnabled(enabled);
        b.resize(b.sizeHint());
        QImage img(b.size(), QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::transparent);
        b.render(&img, QPoint(), QRegion(), QWidget::DrawChildren);
        return img.convertToFormat(QImage::Format_ARGB32).pixel(3, 15);
    };
    const QRgb on = render(true), off = render(false);
    EXPECT_NEAR(qAlpha(off), qAlpha(on) * 0.32, 3);
}

TEST(Brand, StatusIconKeepsBracketsInsetAndStarCentredAtAnySize)
{
    for (const QSize size : {QSize(20, 18), QSize(64, 40)}) {
        QImage img(size, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::transparent);
        {
            QPainter p(&img);
            Brand::paintStatusIcon(p, QRectF(QPointF(0, 0), QSizeF(size)), Qt::black);
        }
        auto alpha = [&](qreal x, qreal y) { return qAlpha(img.pixel(int(x), int(y))); };
        const int w = size.width(), h = size.height();
        EXPECT_GT(alpha(2.2, 2.2), 100);            // top-left corner of a bracket
        EXPECT_GT(alpha(w - 2.4, h - 2.4), 100);    // bottom-right
        EXPECT_EQ(alpha(0, 0), 0);                  // nothing outside the inset
        EXPECT_GT(alpha(w / 2.0, h / 2.0), 200);    // the star's body
        EXPECT_EQ(alpha(w / 2.0 + 6, h / 2.0), 0);  // beyond its outer radius
    }
    const QImage dark = Brand::statusBarImage(true, 2.0);
    EXPECT_EQ(dark.size(), QSize(40, 36));
    EXPECT_EQ(QColor(dark.pixel(20, 18)).rgb(), QColor(Qt::white).rgb());
    EXPECT_EQ(QColor(Brand::statusBarImage(false, 1.0).pixel(10, 9)).rgb(), QColor(Qt::black).rgb());
}

TEST(Brand, LogoComesFromResourcesFolderElseWordmarkAndFollowsThePalette)
{
    qunsetenv("KAPTORIX_RESOURCES");
    EXPECT_FALSE(Brand::logo(false).has_value());
    MakerLogo plain(22);
    EXPECT_TRUE(plain.showsWordmark());

    QTemporaryDir dir;
    QDir().mkpath(dir.path() + "/Brand");
    QImage white(40, 10, QImage::Format_ARGB32);
    white.fill(Qt::white);
    white.save(dir.path() + "/Brand/OV-logo-white.png");
    QImage black(30, 10, QImage::Format_ARGB32);
    black.fill(Qt::black);
    black.save(dir.path() + "/Brand/OV-logo-black.png");
    qputenv("KAPTORIX_RESOURCES", dir.path().toUtf8());

    MakerLogo logo(20);
    logo.setPalette(paletteWithWindow(QColor(240, 240, 240)));
    EXPECT_FALSE(logo.showsWordmark());
    EXPECT_EQ(logo.sizeHint(), QSize(60, 20));  // the black 3:1 logo
    logo.setPalette(paletteWithWindow(QColor(20, 20, 20)));
    EXPECT_EQ(logo.sizeHint(), QSize(80, 20));  // now the white 4:1 logo
    qunsetenv("KAPTORIX_RESOURCES");
}
