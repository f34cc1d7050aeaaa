// Renders every piece of the shared look into one picture (light and dark), as a person
// would look at it, and checks what the picture must show.
#include "TestSupport.h"
#include "capture/notice/Countdown.h"
#include "capture/notice/QuickPreviewView.h"
#include "devtools/samples/SamplePictures.h"
#include "ui/Brand.h"
#include "ui/ChromeButton.h"
#include "ui/ChromeParts.h"
#include "ui/Theme.h"
#include "ui/TipBubble.h"
#include "ui/ToastView.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QEnterEvent>
#include <QPainter>
#include <memory>

using namespace kx;

namespace {

QPalette palette(QColor window, QColor text, QColor highlight)
{
    QPalette p;
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Highlight, highlight);
    return p;
}

ChromeButton* plain(const QString& symbol, bool selected, bool prominent, const QString& title = QString())
{
    return new ChromeButton(symbol, title, QString(), QString(), QString(), selected, prominent, {});
}

// One half of the gallery, the pieces in rows left to right; returns where the resting and
// the hovered plain button went.
std::pair<QRect, QRect> drawHalf(QPainter& p, const QRect& area, const QPalette& pal)
{
    p.fillRect(area, Theme::canvas(pal));
    const bool dark = Theme::isDark(pal);
    p.setPen(Theme::secondary(pal));
    p.drawText(area.topLeft() + QPoint(24, 24), dark ? "Dark appearance" : "Light appearance");
    p.drawImage(QPointF(area.x() + 200, area.y() + 10), Brand::statusBarImage(dark, 1.0));
    p.drawImage(QPointF(area.x() + 240, area.y() + 10), Brand::statusBarImage(dark, 2.0));

    QPoint at = area.topLeft() + QPoint(24, 48);
    int rowHeight = 0;
    auto put = [&](QWidget* w) {
        std::unique_ptr<QWidget> owned(w);
        w->setPalette(pal);
        w->ensurePolished();
        w->resize(w->sizeHint());
        if (at.x() + w->width() > area.right() - 12) {
            at = QPoint(area.x() + 24, at.y() + rowHeight + 12);
            rowHeight = 0;
        }
        w->render(&p, at, QRegion(), QWidget::DrawChildren);
        const QRect placed(at, w->size());
        at.rx() += w->width() + 8;
        rowHeight = std::max(rowHeight, w->height());
        return placed;
    };
    put(new MakerLogo(22));
    // Chrome buttons at rest, hovered, pressed and disabled; plain, selected and prominent.
    QRect resting, hovered;
    for (const QString& symbol : {"crop"_sym, "highlighter"_sym, "doc.on.doc"_sym}) {
        for (int state = 0; state < 4; ++state) {
            auto* b = plain(symbol, symbol == "highlighter"_sym, symbol == "doc.on.doc"_sym);
            if (state == 1) {
                QEnterEvent e(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
                QApplication::sendEvent(b, &e);
            }
            b->setDown(state == 2);
            b->setEnabled(state != 3);
            const QRect r = put(b);
            if (symbol == "crop"_sym && state < 2)
                (state == 0 ? resting : hovered) = r;
        }
    }
    put(plain("square.and.arrow.down"_sym, false, false, "Save"));
    put(plain("sparkles"_sym, true, false, "AI"));
    put(plain("doc.on.doc"_sym, false, true, "Copy"));
    put(new VDivider(20));
    put(new KeyCap("Ctrl+Alt+1"));
    put(new IconBadge("sparkles.rectangle.stack"_sym, Theme::systemPurple(), 28));
    put(new IconBadge("camera.viewfinder"_sym, Theme::systemBlue(), 28));
    put(new TipBubble("Blur",
                      "Blurs the area you drag over. Drag again to add more blurred areas; the strength "
                      "is set in the bar above the picture.",
                      "B"));
    put(new ToastView("Copied to clipboard", "1600 × 1000 px", "checkmark.circle.fill"_sym));
    put(new ToastView("Capture failed",
                      "The screen could not be read. Check that Kaptorix runs in an X11 session.",
                      "exclamationmark.triangle.fill"_sym));
    // Preview cards with four and five buttons, and the countdown.
    QuickPreviewActions actions{[] {}, [] {}, [] {}, [] {}, {}, [] {}};
    put(new QuickPreviewView(samples::screenshot(QSize(1440, 900)), "1440 × 900 px · Area", actions));
    actions.upload = [] {};
    auto* five =
        new QuickPreviewView(samples::screenshot(QSize(1440, 900)), "1440 × 900 px · Window", actions);
    five->setThumbnailHovered(true);
    put(five);
    CountdownModel model(5);
    model.setRemaining(3);
    put(new CountdownView(&model));
    return {resting, hovered};
}

}  // namespace

TEST(Gallery, EveryPieceRendersInLightAndDark)
{
    const QSize size(1000, 1800);
    QImage gallery(size * 2, QImage::Format_ARGB32_Premultiplied);
    gallery.setDevicePixelRatio(2);
    std::pair<QRect, QRect> light;
    {
        QPainter p(&gallery);
        p.setRenderHint(QPainter::Antialiasing);
        const QRect half(0, 0, size.width(), size.height() / 2);
        light = drawHalf(p, half, palette({236, 236, 238}, {20, 20, 20}, {0, 122, 255}));
        drawHalf(p, half.translated(0, half.height()),
                 palette({40, 40, 44}, {240, 240, 240}, {10, 132, 255}));
    }
    const QString path = kx::test::artifactDir("notice") + "/gallery.png";
    ASSERT_TRUE(gallery.save(path));

    // A hovered plain button shows a background where a resting one shows the canvas.
    const QImage g = gallery.convertToFormat(QImage::Format_ARGB32);
    auto at = [&](const QPoint& pt) { return g.pixel(pt.x() * 2, pt.y() * 2); };
    const QPoint corner(4, 15);
    EXPECT_EQ(at(light.first.topLeft() + corner), Theme::canvasLight().rgb());
    EXPECT_NE(at(light.second.topLeft() + corner), Theme::canvasLight().rgb());
    std::cout << "gallery: " << path.toStdString() << std::endl;
}
