// Grabs from a real X server: screens, rectangles, windows, the pointer, and Kaptorix's own
// windows kept out. Runs at Qt's scale 1 and again with QT_SCALE_FACTOR=2.
#include "platform/ScreenCapturer.h"
#include "platform/WindowList.h"
#include "platform/XConnection.h"

#include "TestClient.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QWidget>

namespace kx {
namespace {

const QRgb green = qRgb(0, 200, 0);
const QRgb red = qRgb(220, 0, 0);

int countColour(const QImage& img, QRgb colour, QRect* box = nullptr)
{
    int n = 0;
    QRect bounds;
    for (int y = 0; y < img.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            if ((row[x] & 0xffffff) == (colour & 0xffffff)) {
                ++n;
                bounds |= QRect(x, y, 1, 1);
            }
        }
    }
    if (box)
        *box = bounds;
    return n;
}

class ColourWidget : public QWidget {
public:
    explicit ColourWidget(QColor c) : colour_(c)
    {
        setWindowFlags(Qt::FramelessWindowHint | Qt::Tool | Qt::WindowStaysOnTopHint);
        setWindowTitle("kx-own-panel");
    }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), colour_); }

private:
    QColor colour_;
};

// Every pixel of the screen its own colour along the rows: a row out of place shows.
QRgb rowsPattern(int x, int y)
{
    return qRgb(y & 0xff, ((y >> 8) & 0xf) | ((x & 0xf) << 4), (x >> 4) & 0xff);
}

class RowsWidget : public QWidget {
public:
    RowsWidget()
    {
        setWindowFlags(Qt::FramelessWindowHint | Qt::Tool | Qt::WindowStaysOnTopHint);
        setWindowTitle("kx-rows");
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        const double dpr = devicePixelRatioF();
        QImage pattern((QSizeF(size()) * dpr).toSize(), QImage::Format_RGB32);
        for (int y = 0; y < pattern.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(pattern.scanLine(y));
            for (int x = 0; x < pattern.width(); ++x)
                row[x] = rowsPattern(x, y);
        }
        pattern.setDevicePixelRatio(dpr);
        QPainter(this).drawImage(0, 0, pattern);
    }
};

class ScreenGrabDesktop : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!test::haveDisplay() || QGuiApplication::platformName() != "xcb")
            GTEST_SKIP() << "needs an X display";
        ASSERT_TRUE(test::waitForWindowManager());
        screen = QGuiApplication::primaryScreen();
        scale = screen->devicePixelRatio();
    }

    // A green window of 240 x 160 points from another process, and its entry in the list.
    std::optional<WindowInfo> startGreen(int x = 300, const QString& title = "kx-green")
    {
        client = std::make_unique<test::TestClient>(
            QStringList{"window", title, QString::number(x), "200", "240", "160", "0", "200", "0"});
        std::optional<WindowInfo> found;
        if (client->waitReady())
            test::waitFor([&] { return (found = listed(client->windowId())).has_value(); });
        return found;
    }
    static std::optional<WindowInfo> listed(quint32 id)
    {
        for (const WindowInfo& w : WindowList::onScreen(true)) {
            if (w.id == id)
                return w;
        }
        return std::nullopt;
    }

    // The grab at (points, relative to the primary screen) reaches a colour, or time runs out.
    bool waitForColourAt(QPointF at, QRgb colour)
    {
        return test::waitFor([&] {
            const auto g = ScreenCapturer::captureScreen(screen, QRectF(at, QSizeF(1, 1)), false, false);
            return g && (g->image.pixel(0, 0) & 0xffffff) == (colour & 0xffffff);
        });
    }

    QScreen* screen = nullptr;
    double scale = 1.0;
    std::unique_ptr<test::TestClient> client;
};

TEST_F(ScreenGrabDesktop, WholeScreenAndFreezeHaveTheNativeSize)
{
    const auto grab = ScreenCapturer::captureScreen(screen, std::nullopt, false, false);
    ASSERT_TRUE(grab) << grab.error().message().toStdString();
    EXPECT_EQ(grab->scale, scale);
    EXPECT_EQ(grab->image.size(), screen->geometry().size() * scale);
    EXPECT_EQ(grab->image.format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(grab->image.pixel(0, 0) >> 24, 0xffu);

    const auto frozen = ScreenCapturer::freezeAllScreens();
    ASSERT_TRUE(frozen);
    ASSERT_EQ(frozen->size(), QGuiApplication::screens().size());
    for (int i = 0; i < frozen->size(); ++i) {
        QScreen* s = QGuiApplication::screens()[i];
        EXPECT_EQ((*frozen)[i].screen, s);
        EXPECT_EQ((*frozen)[i].image.size(), s->geometry().size() * s->devicePixelRatio()) << i;
    }
}

TEST_F(ScreenGrabDesktop, WindowGrabGivesItsExactPixelsWithTheFrame)
{
    const auto info = startGreen();
    ASSERT_TRUE(info);
    const auto grab = ScreenCapturer::captureWindow(info->id, false);
    ASSERT_TRUE(grab) << grab.error().message().toStdString();
    EXPECT_EQ(grab->scale, scale);
    // The frame includes the window manager's title bar, so it is taller than the client.
    EXPECT_GT(info->frame.height(), 160);
    EXPECT_NEAR(grab->image.width(), info->frame.width() * scale, 1.0);
    EXPECT_NEAR(grab->image.height(), info->frame.height() * scale, 1.0);
    // Exactly the client's pixels are green, in one block of the client's size.
    QRect box;
    const int clientPixels = int(240 * scale) * int(160 * scale);
    EXPECT_EQ(countColour(grab->image, green, &box), clientPixels);
    EXPECT_EQ(box.size(), QSize(240, 160) * scale);
    grab->image.save(test::artifactDir("platform") + "/window-grab.png");
}

TEST_F(ScreenGrabDesktop, RectangleAtFractionalPointsHasTheRoundedSizeAndThePixelsUnderIt)
{
    const auto info = startGreen();
    ASSERT_TRUE(info);
    const QPointF origin = info->frame.topLeft() - screen->geometry().topLeft();
    // Well inside the green client area, at fractional points.
    const QRectF rect(origin.x() + 40.25, origin.y() + 60.5, 100.25, 50.5);
    const auto grab = ScreenCapturer::captureScreen(screen, rect, false, false);
    ASSERT_TRUE(grab);
    const QSize expected = scale == 2.0 ? QSize(201, 101) : QSize(100, 51);
    EXPECT_EQ(grab->image.size(), expected);
    EXPECT_EQ(countColour(grab->image, green), expected.width() * expected.height());

    const auto tiny = ScreenCapturer::captureScreen(
        screen, QRectF(origin.x() + 50, origin.y() + 70, 0.2, 0.2), false, false);
    ASSERT_TRUE(tiny);
    EXPECT_EQ(tiny->image.size(), QSize(1, 1));
    EXPECT_EQ(tiny->image.pixel(0, 0) & 0xffffff, green & 0xffffff);

    // A rectangle that runs off the screen keeps its size; what is beyond is black.
    const QSizeF screenSize = screen->geometry().size();
    const auto edge = ScreenCapturer::captureScreen(
        screen, QRectF(screenSize.width() - 10, screenSize.height() - 10, 20, 20), false, false);
    ASSERT_TRUE(edge);
    EXPECT_EQ(edge->image.size(), QSize(20, 20) * scale);
    EXPECT_EQ(edge->image.pixel(edge->image.width() - 1, edge->image.height() - 1), qRgb(0, 0, 0));
}

TEST_F(ScreenGrabDesktop, PointerIsDrawnOnlyWhenAsked)
{
    const auto info = startGreen();
    ASSERT_TRUE(info);
    const QPoint centre = info->frame.center();
    const QPointF nativeCentre = QPointF(centre - screen->geometry().topLeft()) * scale;
    ASSERT_TRUE(test::runTool("xdotool", {"mousemove", QString::number(qRound(nativeCentre.x())),
                                          QString::number(qRound(nativeCentre.y()))}));
    const QRectF around(centre.x() - screen->geometry().x() - 20, centre.y() - screen->geometry().y() - 20,
                        40, 40);
    const auto plain = ScreenCapturer::captureScreen(screen, around, false, false);
    const auto withPointer = ScreenCapturer::captureScreen(screen, around, true, false);
    ASSERT_TRUE(plain && withPointer);
    const int all = plain->image.width() * plain->image.height();
    EXPECT_EQ(countColour(plain->image, green), all);
    EXPECT_LT(countColour(withPointer->image, green), all - 10);
}

TEST_F(ScreenGrabDesktop, OwnWindowsStayOutOfTheGrabOnlyWhenAsked)
{
    const auto info = startGreen();
    ASSERT_TRUE(info);
    const QRect over(info->frame.center() - QPoint(40, 30), QSize(80, 60));
    ColourWidget own(QColor::fromRgb(red));
    own.setGeometry(over);
    own.show();
    ASSERT_TRUE(waitForColourAt(over.center() - screen->geometry().topLeft(), red));

    const QRectF rect(over.adjusted(-10, -10, 10, 10).translated(-screen->geometry().topLeft()));
    const auto with = ScreenCapturer::captureScreen(screen, rect, false, false);
    ASSERT_TRUE(with);
    EXPECT_EQ(countColour(with->image, red), int(80 * scale) * int(60 * scale));

    const auto without = ScreenCapturer::captureScreen(screen, rect, false, true);
    ASSERT_TRUE(without);
    without->image.save(test::artifactDir("platform") + "/without-own.png");
    EXPECT_EQ(countColour(without->image, red), 0);
    EXPECT_EQ(countColour(without->image, green), without->image.width() * without->image.height());

    // The panel is back afterwards.
    EXPECT_TRUE(waitForColourAt(over.center() - screen->geometry().topLeft(), red));
    // A grab that does not touch it is not disturbed by it.
    const auto beside = ScreenCapturer::captureScreen(screen, QRectF(0, 0, 20, 20), false, true);
    ASSERT_TRUE(beside);
    EXPECT_EQ(beside->image.size(), QSize(20, 20) * scale);
}

TEST_F(ScreenGrabDesktop, ClosedWindowIsNoWindow)
{
    const auto info = startGreen(300, "kx-short-lived");
    ASSERT_TRUE(info);
    client->stop();
    ASSERT_TRUE(test::waitFor([&] { return !listed(info->id); }));
    const auto grab = ScreenCapturer::captureWindow(info->id, false);
    ASSERT_FALSE(grab);
    EXPECT_EQ(grab.error().kind(), CaptureError::Kind::noWindow);
}

// The screen comes through shared memory in bands, two in turn; put together they are the
// screen as one plain request reads it, every row in its place.
TEST_F(ScreenGrabDesktop, SharedMemoryBandsGiveExactlyThePixelsOfAPlainGrab)
{
    const std::shared_ptr<XConnection> x = XConnection::shared();
    ASSERT_TRUE(x);
    if (!x->hasShm())
        GTEST_SKIP() << "the X server has no shared memory";
    RowsWidget rows;
    rows.setGeometry(screen->geometry());
    rows.show();
    const QList<ScreenPlacement> places = x->placements();
    const qsizetype index = QGuiApplication::screens().indexOf(screen);
    ASSERT_TRUE(index >= 0 && index < places.size());
    const ScreenPlacement place = places[index];
    const QPoint probe(place.native.width() / 2 + 7, place.native.height() - 3);
    ASSERT_TRUE(test::waitFor([&] {
        const QImage g = x->grab(place.xScreen, QRect(place.native.topLeft() + probe, QSize(1, 1)));
        return !g.isNull() && (g.pixel(0, 0) & 0xffffff) == (rowsPattern(probe.x(), probe.y()) & 0xffffff);
    }));

    // The whole screen (several bands), and an odd rectangle whose last band is short.
    for (const QRect& r : {place.native, QRect(place.native.topLeft() + QPoint(3, 5), QSize(1001, 777))}) {
        QString error;
        const QImage banded = x->grab(place.xScreen, r, XConnection::GrabMethod::sharedMemory, &error);
        ASSERT_FALSE(banded.isNull()) << error.toStdString();
        const QImage plain = x->grab(place.xScreen, r, XConnection::GrabMethod::getImage, &error);
        ASSERT_FALSE(plain.isNull()) << error.toStdString();
        ASSERT_EQ(banded.size(), r.size());
        ASSERT_EQ(banded.format(), QImage::Format_ARGB32_Premultiplied);
        EXPECT_TRUE(banded == plain) << r.width() << "x" << r.height();
        const QPoint inside = probe - (r.topLeft() - place.native.topLeft());
        EXPECT_EQ(banded.pixel(inside.x(), inside.y() - r.height() / 2),
                  rowsPattern(probe.x(), probe.y() - r.height() / 2));
        EXPECT_EQ(qAlpha(banded.pixel(0, r.height() - 1)), 255);
    }
}

// Runs last: it splits the X screen into two monitors that do not overlap, as a desktop with
// two displays on one X screen has them.
TEST_F(ScreenGrabDesktop, EachMonitorGrabsItsOwnPart)
{
    ASSERT_TRUE(test::runTool("xrandr", {"--setmonitor", "kxleft", "960/254x1080/286+0+0", "screen"}));
    ASSERT_TRUE(test::runTool("xrandr", {"--setmonitor", "kxright", "960/254x1080/286+960+0", "none"}));
    QScreen* right = nullptr;
    ASSERT_TRUE(test::waitFor([&] {
        for (QScreen* s : QGuiApplication::screens()) {
            if (s->name() == "kxright")
                right = s;
        }
        return right != nullptr;
    }));
    const auto info = startGreen(1200);
    ASSERT_TRUE(info);
    ASSERT_TRUE(right->geometry().contains(info->frame.center()));
    const QPointF local = info->frame.center() - right->geometry().topLeft();
    const auto grab =
        ScreenCapturer::captureScreen(right, QRectF(local - QPointF(10, 10), QSizeF(20, 20)), false, false);
    ASSERT_TRUE(grab);
    EXPECT_EQ(grab->image.size(), QSize(20, 20) * right->devicePixelRatio());
    EXPECT_EQ(countColour(grab->image, green), grab->image.width() * grab->image.height());
    const auto whole = ScreenCapturer::captureScreen(right, std::nullopt, false, false);
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->image.size(), QSize(960, 1080));

    test::runTool("xrandr", {"--delmonitor", "kxleft"});
    test::runTool("xrandr", {"--delmonitor", "kxright"});
}

}  // namespace
}  // namespace kx
