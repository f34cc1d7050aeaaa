#include "capture/overlay/DimmedCopy.h"
#include "capture/overlay/OverlayPainter.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QPainter>
#include <QPixmap>
#include <random>

using namespace kx;

namespace {

// Premultiplied noise where some pixels are see-through or fully transparent.
QImage translucentNoise(QSize size, unsigned seed)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    std::mt19937 rng(seed);
    for (int y = 0; y < size.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const unsigned pick = rng() % 8;
            const int alpha = pick == 0 ? 0 : pick == 1 ? int(rng() % 255) : 255;
            row[x] = qPremultiply(qRgba(int(rng() % 256), int(rng() % 256), int(rng() % 256), alpha));
        }
    }
    return image;
}

// What the raster engine draws: the picture over the target, then black over all but `clear`.
QImage reference(QImage target, const QRect& area, const QImage& source, QPoint origin,
                 const std::optional<QRect>& clear, int alpha)
{
    QPainter p(&target);
    p.setClipRect(area);
    p.drawImage(origin, source);
    QRegion dimmed(area);
    if (clear)
        dimmed -= *clear;
    p.setClipRegion(dimmed);
    p.fillRect(area, QColor(0, 0, 0, alpha));
    return target;
}

}  // namespace

TEST(DimmedCopy, MatchesThePainterPixelForPixel)
{
    struct Case {
        const char* what;
        QRect area;
        QPoint origin;
        std::optional<QRect> clear;
        int alpha;
        bool translucent;
    };
    const QList<Case> cases = {
        {"whole, nothing clear", QRect(0, 0, 157, 93), {}, std::nullopt, 107, false},
        {"part, clear across its edges", QRect(9, 4, 120, 70), {}, QRect(40, -10, 51, 50), 107, false},
        {"clear inside, odd widths", QRect(3, 3, 131, 81), {}, QRect(50, 20, 7, 33), 107, false},
        {"clear outside the area", QRect(0, 0, 60, 40), {}, QRect(100, 60, 30, 20), 107, false},
        {"picture moved, see-through pixels", QRect(20, 10, 90, 60), QPoint(11, 7), QRect(30, 30, 40, 9), 107,
         true},
        {"no dimming", QRect(5, 5, 99, 77), {}, QRect(10, 10, 5, 5), 0, true},
        {"strong dimming", QRect(0, 0, 157, 93), {}, QRect(1, 1, 155, 91), 250, true},
    };
    for (const QImage::Format format : {QImage::Format_ARGB32_Premultiplied, QImage::Format_RGB32}) {
        const QImage below = kx::test::noiseImage(QSize(157, 93), 3).convertToFormat(format);
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (format == QImage::Format_RGB32 ? " (RGB32)" : " (ARGB32)"));
            const QImage source =
                c.translucent ? translucentNoise(QSize(157, 93) - QSize(c.origin.x(), c.origin.y()), 5)
                              : kx::test::noiseImage(QSize(157, 93), 4)
                                    .convertToFormat(QImage::Format_ARGB32_Premultiplied);
            QImage target = below.copy();
            ASSERT_TRUE(drawDimmed(target, c.area, source, c.origin, c.clear, c.alpha));
            EXPECT_EQ(kx::test::maxChannelDifference(
                          target, reference(below, c.area, source, c.origin, c.clear, c.alpha)),
                      0);
        }
    }
}

TEST(DimmedCopy, LeavesWhatItCannotDrawToThePainter)
{
    const QImage source =
        kx::test::noiseImage(QSize(64, 48), 1).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QImage target(64, 48, QImage::Format_ARGB32_Premultiplied);
    target.fill(Qt::red);
    const QImage before = target.copy();
    // Past the target, past the picture, a picture in another format, a target in another format.
    EXPECT_FALSE(drawDimmed(target, QRect(10, 10, 60, 10), source, {}, std::nullopt, 107));
    EXPECT_FALSE(drawDimmed(target, QRect(0, 0, 20, 20), source, QPoint(5, 0), std::nullopt, 107));
    EXPECT_FALSE(drawDimmed(target, QRect(0, 0, 20, 20), source.convertToFormat(QImage::Format_RGB888), {},
                            std::nullopt, 107));
    QImage other = target.convertToFormat(QImage::Format_RGB888);
    EXPECT_FALSE(drawDimmed(other, QRect(0, 0, 20, 20), source, {}, std::nullopt, 107));
    // A target sharing its pixels with another image: writing would go to a copy.
    QImage shared = target;
    EXPECT_FALSE(drawDimmed(shared, QRect(0, 0, 20, 20), source, {}, std::nullopt, 107));
    EXPECT_EQ(target, before);
}

// The overlay painted into an image takes the one-pass backdrop; painted into a pixmap, the
// painter's own drawing. Both must show the same.
TEST(OverlayBackdrop, OnePassAndPainterAgreeAtEveryScale)
{
    for (const double scale : {1.0, 2.0}) {
        for (const SelectionMode mode : {SelectionMode::area, SelectionMode::colorPicker}) {
            SCOPED_TRACE(QStringLiteral("scale %1, mode %2").arg(scale).arg(int(mode)).toStdString());
            const QSizeF bounds(300, 200);
            const QImage frozen =
                kx::test::noiseImage((bounds * scale).toSize(), 9).convertToFormat(QImage::Format_RGB32);
            OverlayState state(mode, bounds, frozen, scale, {});
            state.mouseMoved(QPointF(37, 51));
            state.mousePressed(QPointF(37, 51));
            state.mouseDragged(QPointF(181, 140), false);
            const OverlayPainter painter(frozen, scale, mode);
            const QRegion everything(QRect(QPoint(0, 0), bounds.toSize()));

            QImage direct((bounds * scale).toSize(), QImage::Format_RGB32);
            direct.setDevicePixelRatio(scale);
            direct.fill(Qt::green);
            {
                QPainter p(&direct);
                painter.paint(p, state, OverlayLook(), everything);
            }
            QPixmap viaPainter((bounds * scale).toSize());
            viaPainter.setDevicePixelRatio(scale);
            viaPainter.fill(Qt::green);
            {
                QPainter p(&viaPainter);
                painter.paint(p, state, OverlayLook(), everything);
            }
            const QImage drawn = viaPainter.toImage().convertToFormat(QImage::Format_RGB32);
            EXPECT_EQ(kx::test::maxChannelDifference(direct, drawn), 0);
            // And the backdrop is there, away from the decorations: dimmed outside the selection,
            // plain inside; the picker dims nothing.
            const QPoint outside(290 * int(scale), 190 * int(scale));
            const QPoint inside(170 * int(scale), 130 * int(scale));
            if (mode == SelectionMode::colorPicker) {
                EXPECT_EQ(direct.pixel(outside), frozen.pixel(outside));
            } else {
                EXPECT_EQ(direct.pixel(inside), frozen.pixel(inside));
                EXPECT_NE(direct.pixel(outside), frozen.pixel(outside));
            }
        }
    }
}
