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

QPalette darkPalette()
{
    QPalette p;
    p.setColor(QPalette::Window, QColor(40, 40, 44));
    p.setColor(QPalette::WindowText, QColor(240, 240, 240));
    p.setColor(QPalette::Highlight, QColor(10, 132, 255));
    return p;
}

QPalette lightPalette()
{
    QPalette p;
    p.setColor(QPalette::Window, QColor(236, 236, 238));
    p.setColor(QPalette::WindowText, QColor(20, 20, 20));
    p.setColor(QPalette::Highlight, QColor(0, 122, 255));
    return p;
}

class Sheet {
public:
    Sheet(QPainter& p, const QPalette& palette) : p_(p), palette_(palette) {}

    // Renders a widget (with the sheet's palette) at a point; returns its size.
    QSize put(QWidget* w, const QPoint& at)
    {
        w->setPalette(palette_);
        w->ensurePolished();
        w->resize(w->sizeHint());
        w->render(&p_, at, QRegion(), QWidget::DrawChildren);
        return w->size();
    }
    void label(const QString& text, const QPoint& at)
    {
        p_.save();
        p_.setFont(Theme::font(11, QFont::Medium));
        p_.setPen(Theme::secondary(palette_));
        p_.drawText(at, text);
        p_.restore();
    }

private:
    QPainter& p_;
    QPalette palette_;
};

ChromeButton* plain(const QString& symbol, bool selected, bool prominent, const QString& title = QString())
{
    return new ChromeButton(symbol, title, QString(), QString(), QString(), selected, prominent, {});
}

void hover(ChromeButton* b)
{
    QEnterEvent e(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(b, &e);
}

// One half of the gallery; returns the rectangles of the hovered and resting plain button.
std::pair<QRect, QRect> drawHalf(QPainter& p, const QRect& area, const QPalette& palette)
{
    p.fillRect(area, Theme::canvas(palette));
    Sheet s(p, palette);
    const int x0 = area.x() + 24;
    int y = area.y() + 30;

    s.label(Theme::isDark(palette) ? "Dark appearance" : "Light appearance", {x0, y});
    y += 18;

    // Status icon ×1 and ×2, drawn 1:1 in device pixels beside each other.
    s.label("Status icon ×1 / ×2", {x0, y + 12});
    const bool dark = Theme::isDark(palette);
    p.drawImage(QPointF(x0 + 130, y), Brand::statusBarImage(dark, 1.0));
    p.drawImage(QPointF(x0 + 170, y), Brand::statusBarImage(dark, 2.0));
    auto* logo = new MakerLogo(22);
    s.put(logo, {x0 + 230, y - 2});
    delete logo;
    y += 40;

    // Chrome buttons in every state.
    s.label("Chrome buttons: rest · hover · pressed · disabled", {x0, y});
    y += 10;
    int x = x0;
    QRect hovered, resting;
    for (int kind = 0; kind < 3; ++kind) {
        const bool sel = kind == 1, prom = kind == 2;
        for (int state = 0; state < 4; ++state) {
            std::unique_ptr<ChromeButton> b(plain(kind == 0   ? "crop"_sym
                                                  : kind == 1 ? "highlighter"_sym
                                                              : "doc.on.doc"_sym,
                                                  sel, prom));
            if (state == 1)
                hover(b.get());
            if (state == 2)
                b->setDown(true);
            if (state == 3)
                b->setEnabled(false);
            const QSize size = s.put(b.get(), {x, y});
            if (kind == 0 && state == 1)
                hovered = QRect(QPoint(x, y), size);
            if (kind == 0 && state == 0)
                resting = QRect(QPoint(x, y), size);
            x += size.width() + 6;
        }
        x += 14;
    }
    y += 44;
    x = x0;
    for (auto* b : {plain("square.and.arrow.down"_sym, false, false, "Save"),
                    plain("sparkles"_sym, true, false, "AI"), plain("doc.on.doc"_sym, false, true, "Copy")}) {
        std::unique_ptr<ChromeButton> owned(b);
        x += s.put(b, {x, y}).width() + 8;
    }
    auto divider = std::make_unique<VDivider>(20);
    x += s.put(divider.get(), {x, y + 5}).width() + 8;
    auto cap = std::make_unique<KeyCap>("Ctrl+Alt+1");
    x += s.put(cap.get(), {x, y + 5}).width() + 12;
    for (auto [sym, tint] : {std::pair{"sparkles.rectangle.stack"_sym, Theme::systemPurple()},
                             std::pair{"questionmark"_sym, QColor(142, 142, 147)},
                             std::pair{"camera.viewfinder"_sym, Theme::systemBlue()}}) {
        auto badge = std::make_unique<IconBadge>(sym, tint, 28);
        x += s.put(badge.get(), {x, y + 1}).width() + 8;
    }
    y += 50;

    // Tip bubble and toasts.
    auto tip =
        std::make_unique<TipBubble>("Blur",
                                    "Blurs the area you drag over. Drag again to add more blurred areas; "
                                    "the strength is set in the bar above the picture.",
                                    "B");
    const QSize tipSize = s.put(tip.get(), {x0 - 10, y});
    auto toast =
        std::make_unique<ToastView>("Copied to clipboard", "1600 × 1000 px", "checkmark.circle.fill"_sym);
    const QSize toastSize = s.put(toast.get(), {x0 + tipSize.width(), y});
    auto failed = std::make_unique<ToastView>("Capture failed",
                                              "The screen could not be read. Check that Kaptorix "
                                              "runs in an X11 session.",
                                              "exclamationmark.triangle.fill"_sym);
    s.put(failed.get(), {x0 + tipSize.width(), y + toastSize.height() - 16});
    y += std::max(tipSize.height(), 2 * toastSize.height()) + 4;

    // Preview cards with four and five buttons, and the countdown.
    QuickPreviewActions none{[] {}, [] {}, [] {}, [] {}, {}, [] {}};
    auto four = std::make_unique<QuickPreviewView>(samples::screenshot(QSize(1440, 900)),
                                                   "1440 × 900 px · Area", none);
    none.upload = [] {};
    auto five = std::make_unique<QuickPreviewView>(samples::screenshot(QSize(1440, 900)),
                                                   "1440 × 900 px · Window", none);
    five->setThumbnailHovered(true);
    const QSize fourSize = s.put(four.get(), {x0 - 14, y});
    const QSize fiveSize = s.put(five.get(), {x0 - 14 + fourSize.width(), y});
    CountdownModel model(5);
    model.setRemaining(3);
    auto countdown = std::make_unique<CountdownView>(&model);
    s.put(countdown.get(), {x0 - 14 + fourSize.width() + fiveSize.width(), y + 40});
    return {hovered, resting};
}

}  // namespace

TEST(Gallery, EveryPieceRendersInLightAndDark)
{
    const QSize size(1000, 1440);
    QImage gallery(size * 2, QImage::Format_ARGB32_Premultiplied);
    gallery.setDevicePixelRatio(2);
    std::pair<QRect, QRect> lightButtons;
    {
        QPainter p(&gallery);
        p.setRenderHint(QPainter::Antialiasing);
        lightButtons = drawHalf(p, QRect(0, 0, size.width(), size.height() / 2), lightPalette());
        drawHalf(p, QRect(0, size.height() / 2, size.width(), size.height() / 2), darkPalette());
    }
    const QString path = kx::test::artifactDir("notice") + "/gallery.png";
    ASSERT_TRUE(gallery.save(path));

    // A hovered plain button shows a background where a resting one shows the canvas.
    const QImage g = gallery.convertToFormat(QImage::Format_ARGB32);
    auto at = [&](const QPoint& pt) { return g.pixel(pt.x() * 2, pt.y() * 2); };
    const QPoint corner(4, 15);
    EXPECT_EQ(at(lightButtons.second.topLeft() + corner), Theme::canvasLight().rgb());
    EXPECT_NE(at(lightButtons.first.topLeft() + corner), Theme::canvasLight().rgb());
    std::cout << "gallery: " << path.toStdString() << std::endl;
}
