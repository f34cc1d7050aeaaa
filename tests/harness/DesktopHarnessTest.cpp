// Proves the desktop test session: a real Qt window under a real window manager on Xvfb,
// read back by X tools the way a user's screenshot would see it; plus the session bus
// with an unlocked Secret Service.
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QWidget>

using namespace kx;

namespace {
class Swatch : public QWidget {
public:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), QColor(0x12, 0xc0, 0x7e)); }
};

QString xwininfo(WId id)
{
    QByteArray out;
    test::run("xwininfo", {"-id", QString::number(id)}, &out);
    return QString::fromUtf8(out);
}
}  // namespace

TEST(DesktopHarness, QtWindowUnderOpenboxIsMappedAndVisible)
{
    if (!test::haveDisplay())
        GTEST_SKIP() << "no X server";
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(screen.size(), QSize(1920, 1080));

    // openbox is the window manager of this session.
    QByteArray wm;
    ASSERT_EQ(test::run("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}, &wm), 0);
    EXPECT_TRUE(wm.contains("window id"));

    Swatch w;
    w.setWindowTitle("Kaptorix harness swatch");
    w.setGeometry(300, 200, 400, 250);
    w.show();
    ASSERT_TRUE(test::waitFor([&] { return xwininfo(w.winId()).contains("IsViewable"); }, 15000));

    // Managed: openbox reparented it into a decorated frame.
    QByteArray tree;
    test::run("xwininfo", {"-id", QString::number(w.winId()), "-tree"}, &tree);
    static const QRegularExpression parent(R"(Parent window id: (0x[0-9a-f]+))");
    const auto m = parent.match(QString::fromUtf8(tree));
    ASSERT_TRUE(m.hasMatch());
    QByteArray root;
    test::run("xwininfo", {"-root"}, &root);
    EXPECT_FALSE(root.contains(m.captured(1).toUtf8())) << "window was not reparented by the WM";

    // The pixels on screen are the window's own: read the whole root the way a user would.
    QTemporaryDir dir;
    const QString shot = dir.path() + "/root.png";
    const QPoint centre = w.mapToGlobal(w.rect().center());
    QImage img;
    ASSERT_TRUE(test::waitFor(
        [&] {
            if (test::run("import", {"-window", "root", shot}) != 0)
                return false;
            img = QImage(shot);
            return !img.isNull() && img.pixelColor(centre) == QColor(0x12, 0xc0, 0x7e);
        },
        15000))
        << "swatch colour never appeared at " << centre.x() << "," << centre.y();
    EXPECT_EQ(img.size(), QSize(1920, 1080));
    img.save(test::artifactDir("harness") + "/root.png");
}

TEST(DesktopHarness, SessionBusHasAnUnlockedSecretService)
{
    if (!test::haveDisplay())
        GTEST_SKIP() << "no X server";
    ASSERT_FALSE(qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"));
    QProcess store;
    store.start("secret-tool", {"store", "--label=harness", "service", "kx-harness", "account", "a"});
    ASSERT_TRUE(store.waitForStarted());
    store.write("päss\n");
    store.closeWriteChannel();
    ASSERT_TRUE(store.waitForFinished(15000));
    ASSERT_EQ(store.exitCode(), 0);
    QByteArray out;
    ASSERT_EQ(test::run("secret-tool", {"lookup", "service", "kx-harness", "account", "a"}, &out, 15000), 0);
    EXPECT_EQ(QString::fromUtf8(out).trimmed(), QString::fromUtf8("päss"));
}
