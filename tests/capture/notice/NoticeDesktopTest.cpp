// Under a real X server with a window manager: where a toast sits, that it leaves the
// focus alone, that no black corners show, and how the preview card follows the pointer.
#include "ChildProcess.h"
#include "TestSupport.h"
#include "capture/notice/QuickPreviewView.h"
#include "ui/FloatingPanel.h"
#include "ui/Toast.h"
#include "ui/ToastView.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QStandardPaths>
#include <QWidget>
#include <QWindow>

using namespace kx;

namespace {

const QColor kBackdrop(0, 160, 0);

QString out(const QString& program, const QStringList& args)
{
    QByteArray bytes;
    return kx::test::runTool(program, args, &bytes) ? QString::fromUtf8(bytes).trimmed() : QString();
}

QString focusedWindow()
{
    return out("xdotool", {"getwindowfocus"});
}

QRect workArea()
{
    const QString text = out("xprop", {"-root", "_NET_WORKAREA"});
    const auto m = QRegularExpression(R"(=\s*(\d+),\s*(\d+),\s*(\d+),\s*(\d+))").match(text);
    return m.hasMatch() ? QRect(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(),
                                m.captured(4).toInt())
                        : QRect();
}

// The window's geometry as the X server has it.
QRect xGeometry(WId id)
{
    const QString info = out("xwininfo", {"-id", QString::number(id)});
    auto field = [&](const char* name) {
        const auto m = QRegularExpression(QString(name) + R"(:\s*(-?\d+))").match(info);
        return m.hasMatch() ? m.captured(1).toInt() : -1;
    };
    return {field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"), field("Height")};
}

void pointerTo(const QPoint& p)
{
    kx::test::xdotool({"mousemove", QString::number(p.x()), QString::number(p.y())});
}

// Where a toast of the panel's size rests: 16 points in from the work area's corner.
QRect restingRect(const QWidget* panel)
{
    const QRect area = workArea();
    return QRect(area.right() + 1 - 16 - panel->width(), area.bottom() + 1 - 16 - panel->height(),
                 panel->width(), panel->height());
}

// A full-screen window in a plain colour that holds the keyboard focus.
class FocusedBackdrop {
public:
    FocusedBackdrop()
    {
        window.setAutoFillBackground(true);
        QPalette pal;
        pal.setColor(QPalette::Window, kBackdrop);
        window.setPalette(pal);
        window.showFullScreen();
        kx::test::waitFor([&] { return window.isVisible() && window.windowHandle()->isExposed(); });
        id = QString::number(window.winId());
        kx::test::run("xdotool", {"windowactivate", "--sync", id});
        focused = kx::test::waitFor([&] { return focusedWindow() == id; }, 15000);
    }
    QWidget window;
    QString id;
    bool focused = false;
};

// A dock along the bottom edge that reserves 40 px, so the work area differs from the
// screen; held until the window manager and Qt both report the smaller area.
class BottomDock {
public:
    static constexpr int height = 40;
    BottomDock()
    {
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        dock.setGeometry(screen.x(), screen.bottom() + 1 - height, screen.width(), height);
        dock.show();
        kx::test::waitFor([&] { return dock.windowHandle()->isExposed(); });
        const QString strut = QString("0, 0, 0, %1, 0, 0, 0, 0, 0, 0, %2, %3")
                                  .arg(height)
                                  .arg(screen.x())
                                  .arg(screen.x() + screen.width() - 1);
        kx::test::run("xprop", {"-id", QString::number(dock.winId()), "-f", "_NET_WM_STRUT_PARTIAL", "32c",
                                "-set", "_NET_WM_STRUT_PARTIAL", strut});
        ready = kx::test::waitFor(
            [&] {
                return workArea().height() == screen.height() - height &&
                       QGuiApplication::primaryScreen()->availableGeometry().height() ==
                           screen.height() - height;
            },
            15000);
    }
    QWidget dock;
    bool ready = false;
};

bool near(QRgb px, const QColor& c)
{
    return std::abs(qRed(px) - c.red()) < 8 && std::abs(qGreen(px) - c.green()) < 8 &&
           std::abs(qBlue(px) - c.blue()) < 8;
}

}  // namespace

TEST(NoticeDesktop, ToastSitsInTheWorkAreaCornerLeavesFocusAloneAndHasNoBlackCorners)
{
    if (!kx::test::haveDisplay())
        GTEST_SKIP() << "no X display";
    BottomDock dock;
    ASSERT_TRUE(dock.ready) << "the work area never shrank: " << workArea().height();
    FocusedBackdrop backdrop;
    ASSERT_TRUE(backdrop.focused) << "the test window never got the focus";
    pointerTo({200, 200});

    Toast::present(new ToastView("Copied to clipboard", "1600 × 1000 px", "checkmark.circle.fill"), 0);
    QPointer<FloatingPanel> panel = Toast::current();
    ASSERT_TRUE(panel);
    ASSERT_TRUE(workArea().isValid());
    const QRect expected = restingRect(panel);
    ASSERT_TRUE(kx::test::waitFor([&] { return xGeometry(panel->winId()) == expected; }, 15000))
        << "toast at " << xGeometry(panel->winId()).x() << "," << xGeometry(panel->winId()).y();
    EXPECT_EQ(focusedWindow(), backdrop.id);

    // A click on the toast does nothing and takes nothing.
    pointerTo(expected.center());
    kx::test::run("xdotool", {"click", "1"});
    EXPECT_TRUE(kx::test::waitFor([&] { return focusedWindow() == backdrop.id; }, 5000));
    EXPECT_FALSE(panel->isActiveWindow());

    // The screen around the surface shows the window below, not black.
    const QImage screen = kx::test::rootScreenshot(kx::test::artifactDir("notice") + "/toast-desktop.png");
    ASSERT_FALSE(screen.isNull());
    const QRect r = expected;
    for (const QPoint& p : {r.topLeft() + QPoint(1, 1), r.topRight() + QPoint(-1, 1),
                            r.bottomLeft() + QPoint(1, -1), r.bottomRight() + QPoint(-1, -1),
                            // just outside the rounded corners of the surface (14 pt in, radius 20)
                            r.topLeft() + QPoint(15, 15), r.bottomRight() + QPoint(-15, -15)})
        EXPECT_TRUE(near(screen.pixel(p), kBackdrop)) << "corner pixel at " << p.x() << "," << p.y() << " is "
                                                      << QColor(screen.pixel(p)).name().toStdString();
    EXPECT_FALSE(near(screen.pixel(r.center()), kBackdrop));  // and the toast itself shows
    Toast::dismiss();
}

TEST(NoticeDesktop, PreviewCardStaysWhileThePointerIsOnItAndGoesAboutThreeSecondsAfterItLeaves)
{
    if (!kx::test::haveDisplay())
        GTEST_SKIP() << "no X display";
    FocusedBackdrop backdrop;
    pointerTo({200, 200});

    QuickPreviewActions actions{[] {}, [] {}, [] {}, [] {}, {}, [] {}};
    QImage shot(1440, 900, QImage::Format_RGB32);
    shot.fill(QColor(90, 120, 220));
    Toast::present(new QuickPreviewView(shot, "1440 × 900 px · Area", actions), 6);
    QPointer<FloatingPanel> card = Toast::current();
    ASSERT_TRUE(card);
    ASSERT_TRUE(kx::test::waitFor([&] { return card->isVisible() && xGeometry(card->winId()).width() > 0; }));

    pointerTo(card->geometry().center());
    ASSERT_TRUE(kx::test::waitFor([] { return Toast::pendingDismissMs() == -1; }, 10000))
        << "the card never saw the pointer";
    // Well past its own 6 s, it is still there while the pointer rests on it.
    EXPECT_FALSE(kx::test::waitFor([&] { return Toast::current() != card; }, 7500));
    EXPECT_TRUE(card && card->isVisible());

    // Leaving arms the 3 s dismissal (and nothing shorter): the card is still there with it
    // armed, and it is that timer that ends it.
    pointerTo({200, 200});
    ASSERT_TRUE(kx::test::waitFor([] { return Toast::pendingDismissMs() == 3000; }, 10000));
    EXPECT_EQ(Toast::current(), card);
    ASSERT_TRUE(kx::test::waitFor(
        [&] { return Toast::current() == nullptr || Toast::pendingDismissMs() != 3000; }, 15000));
    EXPECT_EQ(Toast::current(), nullptr) << "the card outlived its dismissal";
    EXPECT_TRUE(kx::test::waitFor([&] { return !card || !card->isVisible(); }, 10000));
    EXPECT_EQ(focusedWindow(), backdrop.id);
}

TEST(NoticeDesktop, WithACompositorThePanelIsTranslucentWithAShadowAndStillNoBlackCorners)
{
    if (!kx::test::haveDisplay())
        GTEST_SKIP() << "no X display";
    const QString compositor = QStandardPaths::findExecutable("xcompmgr");
    if (compositor.isEmpty())
        GTEST_SKIP() << "xcompmgr is not installed";
    BottomDock dock;
    FocusedBackdrop backdrop;
    pointerTo({200, 200});
    QProcess xcompmgr;
    xcompmgr.start(compositor, {});
    ASSERT_TRUE(xcompmgr.waitForStarted());
    ASSERT_TRUE(kx::test::waitFor(compositorRunning, 15000));

    Toast::present(new ToastView("Saved", "Kaptorix 2026-10-09 14.32.05.png", "checkmark.circle.fill"), 0);
    QPointer<FloatingPanel> panel = Toast::current();
    ASSERT_TRUE(panel);
    EXPECT_TRUE(panel->isTranslucent());
    const QRect r = restingRect(panel);
    ASSERT_TRUE(kx::test::waitFor([&] { return xGeometry(panel->winId()) == r; }, 15000));
    QImage screen;
    // Wait for the fade-in to end: the toast's middle is drawn fully.
    const QString shot = kx::test::artifactDir("notice") + "/toast-composited.png";
    ASSERT_TRUE(kx::test::waitFor(
        [&] {
            kx::test::run("import", {"-window", "root", shot});
            screen = QImage(shot);
            return !screen.isNull() && qRed(screen.pixel(r.center())) > 200;
        },
        15000));
    for (const QPoint& p :
         {r.topLeft() + QPoint(1, 1), r.topRight() + QPoint(-1, 1), r.topLeft() + QPoint(15, 15)})
        EXPECT_TRUE(near(screen.pixel(p), kBackdrop))
            << p.x() << "," << p.y() << " is " << QColor(screen.pixel(p)).name().toStdString();
    // Just below the surface the backdrop is darkened by the shadow, not replaced by black.
    const QRgb below = screen.pixel(r.center().x(), r.bottom() - 14 + 3);
    EXPECT_LT(qGreen(below), kBackdrop.green() - 4);
    EXPECT_GT(qGreen(below), kBackdrop.green() / 2);
    Toast::dismiss();
    xcompmgr.terminate();
    xcompmgr.waitForFinished(5000);
}

namespace {

// Sets the X screen to `size` (a mode added once) and waits until the window manager and Qt
// both have the new work area.
bool resizeScreen(const QSize& size)
{
    const QString mode = QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
    if (!out("xrandr", {}).contains(mode + " ")) {
        kx::test::run("xrandr", {"--newmode", mode, "74.25", QString::number(size.width()), "0", "0",
                                 QString::number(size.width() + 1), QString::number(size.height()), "0", "0",
                                 QString::number(size.height() + 1)});
        kx::test::run("xrandr", {"--addmode", "screen", mode});
    }
    kx::test::run("xrandr", {"--output", "screen", "--mode", mode});
    return kx::test::waitFor(
        [&] {
            return workArea().size() == size &&
                   QGuiApplication::primaryScreen()->availableGeometry().size() == size;
        },
        15000);
}

}  // namespace

// A warning, a card and a confirmation on a large screen that becomes a small one while they
// show (a laptop undocked): every panel the X server shows stands whole inside the new work
// area, the oldest having given way.
TEST(NoticeDesktop, NoticesFollowTheWorkAreaWhenTheScreenShrinksUnderThem)
{
    if (!kx::test::haveDisplay())
        GTEST_SKIP() << "no X display";
    const QSize large = QGuiApplication::primaryScreen()->geometry().size();
    if (out("xrandr", {}).isEmpty() || !resizeScreen(large))
        GTEST_SKIP() << "the X server cannot change its size";
    pointerTo({200, 200});

    QuickPreviewActions actions{[] {}, [] {}, [] {}, [] {}, {}, [] {}};
    QImage shot(1440, 900, QImage::Format_RGB32);
    shot.fill(QColor(90, 120, 220));
    Toast::present(
        new ToastView("Settings cannot be saved", "The disk is full.", "exclamationmark.triangle.fill"), 30);
    Toast::present(new QuickPreviewView(shot, "1440 × 900 px · Area", actions), 30);
    Toast::present(new ToastView("Color copied", "#3A7BD5", "checkmark.circle.fill"), 30);
    ASSERT_EQ(Toast::shown().size(), 3);

    const bool shrunk = resizeScreen({640, 360});
    auto allInside = [] {
        const QRect area = workArea();
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* panel = qobject_cast<FloatingPanel*>(w);
            if (panel && panel->isVisible() && !area.contains(xGeometry(panel->winId())))
                return false;
        }
        return !Toast::shown().isEmpty();
    };
    EXPECT_TRUE(shrunk);
    EXPECT_TRUE(kx::test::waitFor(allInside, 15000));
    kx::test::rootScreenshot(kx::test::artifactDir("notice") + "/toasts-after-shrink.png");
    // The card, too tall beside any notice here, gave way; the warning and the newest stay.
    EXPECT_EQ(Toast::card(), nullptr);
    EXPECT_EQ(Toast::shown().size(), 2);
    EXPECT_TRUE(Toast::waiting().isEmpty());

    // Back to the large screen: still inside, now in the larger corner.
    EXPECT_TRUE(resizeScreen(large));
    EXPECT_TRUE(kx::test::waitFor(
        [&] {
            return allInside() && xGeometry(Toast::current()->winId()).bottom() >
                                      QGuiApplication::primaryScreen()->geometry().height() - 60;
        },
        15000));
    while (Toast::current())
        Toast::dismiss();
}

// On a small screen a warning gives way to a newer card: it is off the screen, not under the
// card, and comes back whole once the card goes.
TEST(NoticeDesktop, AWarningThatGaveWayIsHiddenUntilItShowsAgain)
{
    if (!kx::test::haveDisplay())
        GTEST_SKIP() << "no X display";
    const QSize large = QGuiApplication::primaryScreen()->geometry().size();
    if (out("xrandr", {}).isEmpty() || !resizeScreen({640, 360}))
        GTEST_SKIP() << "the X server cannot change its size";
    pointerTo({200, 200});
    auto visible = [] {
        QList<QWidget*> out;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<FloatingPanel*>(w) && w->isVisible())
                out << w;
        return out;
    };
    Toast::present(new ToastView("Save failed", "The disk is full.", "exclamationmark.triangle.fill"), 30);
    QuickPreviewActions actions{[] {}, [] {}, [] {}, [] {}, {}, [] {}};
    Toast::present(
        new QuickPreviewView(QImage(1440, 900, QImage::Format_RGB32), "1440 × 900 px · Area", actions), 30);
    FloatingPanel* card = Toast::card();
    ASSERT_TRUE(card);
    EXPECT_EQ(Toast::waiting(), QStringList{"Save failed"});
    EXPECT_TRUE(kx::test::waitFor([&] { return visible() == QList<QWidget*>{card}; }, 15000));

    Toast::dismiss(card);
    EXPECT_TRUE(kx::test::waitFor(
        [&] {
            const QList<QWidget*> shown = visible();
            return shown.size() == 1 && shown.first() == Toast::current() &&
                   workArea().contains(xGeometry(shown.first()->winId()));
        },
        15000));
    EXPECT_TRUE(Toast::waiting().isEmpty());
    while (Toast::current())
        Toast::dismiss();
    EXPECT_TRUE(resizeScreen(large));
}

// What a user meets on the smallest screen the program supports (1280×720 at scale 2, run with
// KX_SCREENS and QT_SCALE_FACTOR): a card, a German early-end warning of five lines and a
// confirmation; whatever shows is whole inside the work area, the newest among it.
TEST(NoticeDesktop, TheLongestNoticesBesideACardStayInsideASmallScreen)
{
    if (!kx::test::haveDisplay())
        GTEST_SKIP() << "no X display";
    pointerTo({200, 200});
    QuickPreviewActions actions{[] {}, [] {}, [] {}, [] {}, [] {}, [] {}};
    QImage shot(1280, 4000, QImage::Format_RGB32);
    shot.fill(QColor(90, 120, 220));
    Toast::present(new QuickPreviewView(shot, "1280 × 4000 px · Scroll-Aufnahme", actions), 30);
    Toast::present(
        new ToastView("Scroll-Aufnahme vorzeitig beendet",
                      "Konnte dem Scrollen über einen Teil der Seite hinaus, der sich ständig ändert "
                      "(eine Zeichenfläche oder ein Video), nicht folgen: Das Bild endet dort.",
                      "exclamationmark.triangle.fill"),
        30);
    Toast::present(new ToastView("Farbe kopiert", "#3A7BD5", "checkmark.circle.fill"), 30);
    const QRect area = workArea();
    auto allInside = [&] {
        for (FloatingPanel* panel : Toast::shown())
            if (!panel->isVisible() || !area.contains(xGeometry(panel->winId())))
                return false;
        return !Toast::shown().isEmpty();
    };
    EXPECT_TRUE(kx::test::waitFor(allInside, 15000));
    EXPECT_TRUE(Toast::shown().contains(Toast::current()));
    // Once the fades are over, for a look.
    kx::test::waitFor([] { return false; }, 600);
    kx::test::rootScreenshot(kx::test::artifactDir("notice") + "/toasts-small-screen.png");
    while (Toast::current())
        Toast::dismiss();
}
