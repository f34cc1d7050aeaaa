// Desktop services against the real thing: wheel steps through XTest (on the fixture page), secrets in an
// unlocked gnome-keyring (checked with secret-tool), and images on the X clipboard (checked with xclip).
#include "platform/Clipboard.h"
#include "platform/ClipboardOwner.h"
#include "platform/Keychain.h"
#include "platform/XConnection.h"
#include "platform/XTestScroller.h"

#include "FixtureClient.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

namespace kx {
namespace {

bool desktop()
{
    return test::haveDisplay() && QGuiApplication::platformName() == "xcb";
}

// The scroll positions the fixture reported, one per wheel step.
QList<int> scrolls(test::FixtureClient& c)
{
    QList<int> values;
    for (const QString& l : c.lines()) {
        if (l.startsWith("SCROLL "))
            values << l.mid(7).toInt();
    }
    return values;
}

TEST(XTestScrolling, WheelStepsScrollTheWindowUnderThePointBothWays)
{
    if (!desktop())
        GTEST_SKIP() << "needs an X display";
    ASSERT_TRUE(test::waitForWindowManager());
    test::FixtureClient page({"--at", "200", "150"});
    ASSERT_TRUE(page.waitReady());
    XTestScroller scroller;
    ASSERT_TRUE(scroller.available());
    ASSERT_TRUE(scroller.scroll(page.area().center(), 2));
    ASSERT_TRUE(test::waitFor([&] { return scrolls(page).size() >= 2; }));
    const QList<int> down = scrolls(page);
    EXPECT_GT(down[0], 0);
    EXPECT_GT(down[1], down[0]);
    ASSERT_TRUE(scroller.scroll(page.area().center(), -1));
    ASSERT_TRUE(test::waitFor([&] { return scrolls(page).size() >= 3; }));
    EXPECT_EQ(scrolls(page)[2], down[0]);
}

QString secretTool(const QStringList& args, int* code = nullptr)
{
    QByteArray out;
    const int rc = test::run("secret-tool", args, &out, 20000);
    if (code)
        *code = rc;
    return QString::fromUtf8(out);
}

int itemsFor(const QString& account)
{
    const QString out =
        secretTool({"search", "--all", "service", Keychain::kServiceName, "account", account});
    return int(out.count(QRegularExpression("^\\[/", QRegularExpression::MultilineOption)));
}

class KeyringDesktop : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") ||
            test::run("secret-tool", {"--version"}) < 0)
            GTEST_SKIP() << "needs the desktop session's keyring";
    }
};

TEST_F(KeyringDesktop, FirstUseDropsTheLegacyHubTokenInTheBackground)
{
    QProcess store;
    store.start("secret-tool", {"store", "--label=old hub token", "service", Keychain::kServiceName,
                                "account", "hub.token"});
    store.write("legacy");
    store.closeWriteChannel();
    ASSERT_TRUE(store.waitForFinished(20000));
    ASSERT_EQ(itemsFor("hub.token"), 1);
    EXPECT_FALSE(Keychain::get("anthropic.apiKey"));
    EXPECT_TRUE(test::waitFor([] { return itemsFor("hub.token") == 0; }, 15000));
}

TEST_F(KeyringDesktop, SecretsRoundTripAndASecondSetReplacesInPlace)
{
    const QString first = QString::fromUtf8("p\u00e4ss w\u00f6rd \u20ac");
    ASSERT_TRUE(Keychain::set("remote.password", first));
    EXPECT_EQ(Keychain::get("remote.password"), first);
    ASSERT_TRUE(Keychain::set("remote.password", "second"));
    EXPECT_EQ(Keychain::get("remote.password"), "second");
    EXPECT_EQ(itemsFor("remote.password"), 1);
    int code = 0;
    EXPECT_EQ(secretTool({"lookup", "service", Keychain::kServiceName, "account", "remote.password"}, &code),
              "second");
    // Other accounts are separate items.
    ASSERT_TRUE(Keychain::set("openai.apiKey", "sk-test"));
    EXPECT_EQ(Keychain::get("remote.password"), "second");

    ASSERT_TRUE(Keychain::set("remote.password", ""));
    EXPECT_FALSE(Keychain::get("remote.password"));
    EXPECT_EQ(itemsFor("remote.password"), 0);
    // Deleting what is not there is no failure.
    EXPECT_TRUE(Keychain::set("remote.password", ""));
    EXPECT_EQ(Keychain::get("openai.apiKey"), "sk-test");

    // The asynchronous calls run in the order they were made.
    QFuture<bool> write = Keychain::setAsync("remote.password", "async");
    QFuture<std::optional<QString>> read = Keychain::getAsync("remote.password");
    QFuture<bool> removal = Keychain::removeAsync("remote.password");
    QFuture<std::optional<QString>> after = Keychain::getAsync("remote.password");
    ASSERT_TRUE(test::waitFor([&] { return after.isFinished(); }, 30000));
    EXPECT_TRUE(write.result());
    EXPECT_EQ(read.result(), "async");
    EXPECT_TRUE(removal.result());
    EXPECT_FALSE(after.result());
}

QImage pattern(int w, int h)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(x * 5 % 256, y * 3 % 256, 128));
    return img;
}

// xclip reads the selection from us, so our event loop must run while it works.
QByteArray readClipboard(const QString& target)
{
    QProcess xclip;
    xclip.start("xclip", {"-selection", "clipboard", "-t", target, "-o"});
    if (!test::waitFor([&] { return xclip.state() == QProcess::NotRunning; }, 20000)) {
        xclip.kill();
        xclip.waitForFinished(5000);
        return {};
    }
    return xclip.readAllStandardOutput();
}

// The forms themselves are checked offscreen; here they must reach the X clipboard.
TEST(ClipboardDesktop, CopiedImageReadsBackThroughXclipAt144Dpi)
{
    if (!desktop())
        GTEST_SKIP() << "needs an X display";
    const QImage img = pattern(64, 48);
    Clipboard::copy(img, 2.0);
    const QString targets = QString::fromUtf8(readClipboard("TARGETS"));
    EXPECT_TRUE(targets.contains("image/png") && targets.contains("image/tiff")) << targets.toStdString();
    QImage png;
    ASSERT_TRUE(png.loadFromData(readClipboard("image/png"), "PNG"));
    EXPECT_NEAR(png.dotsPerMeterX() * 0.0254, 144.0, 0.05);
    EXPECT_EQ(test::maxChannelDifference(png, img), 0);
}

bool otherOwnsClipboard()
{
    auto x = XConnection::shared();
    if (!x)
        return false;
    auto lock = x->lock();
    xcb_connection_t* c = x->raw();
    xcb_get_selection_owner_reply_t* reply =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, x->atom("CLIPBOARD")), nullptr);
    const xcb_window_t owner = reply ? reply->owner : xcb_window_t(XCB_WINDOW_NONE);
    free(reply);
    return owner != XCB_WINDOW_NONE && !ClipboardOwner::ownsClipboard();
}

// Another client claims the clipboard just before Kaptorix does, with no X event handled by
// Qt in between (as when the claim lands just before a hot key that Kaptorix's grab keeps from
// Qt): Qt's claim carries an older time than the other client's and the server ignores it.
// The claim is made again with a fresh server time and the image arrives.
TEST(ClipboardDesktop, TheImageArrivesWhenAnotherClientTookTheClipboardJustBefore)
{
    if (!desktop())
        GTEST_SKIP() << "needs an X display";
    const QImage img = pattern(40, 30);
    for (int round = 0; round < 3; ++round) {
        QTemporaryDir dir;
        QFile text(dir.filePath("text"));
        ASSERT_TRUE(text.open(QIODevice::WriteOnly) && text.write("taken by another client"));
        text.close();
        QProcess other;
        other.start("xclip", {"-quiet", "-selection", "clipboard", "-i", text.fileName()});
        ASSERT_TRUE(other.waitForStarted(10000));
        // Waited for on a connection of our own: Qt's event loop must not run (and learn a
        // newer time) before the claim.
        bool taken = false;
        for (int i = 0; i < 1000 && !taken; ++i) {
            taken = otherOwnsClipboard();
            if (!taken)
                QThread::msleep(10);
        }
        ASSERT_TRUE(taken);
        QFuture<bool> held = ClipboardOwner::claim([&] { return Clipboard::mimeDataFor(img, 1.0); });
        ASSERT_TRUE(test::waitFor([&] { return held.isFinished(); }, 10000));
        EXPECT_TRUE(held.result()) << "round " << round;
        QImage png;
        EXPECT_TRUE(png.loadFromData(readClipboard("image/png"), "PNG")) << "round " << round;
        EXPECT_EQ(test::maxChannelDifference(png, img), 0);
        other.kill();
        other.waitForFinished(5000);
    }
}

TEST(ClipboardDesktop, ImageFromAnotherApplicationReadsWithItsScale)
{
    if (!desktop())
        GTEST_SKIP() << "needs an X display";
    QTemporaryDir dir;
    QImage img = pattern(50, 40);
    img.setDotsPerMeterX(int(std::lround(144 / 0.0254)));
    img.setDotsPerMeterY(int(std::lround(144 / 0.0254)));
    const QString file = dir.filePath("shot.png");
    ASSERT_TRUE(img.save(file, "PNG"));
    // In the foreground, so that it can be stopped by its own PID.
    QProcess xclip;
    xclip.start("xclip", {"-quiet", "-selection", "clipboard", "-t", "image/png", "-i", file});
    ASSERT_TRUE(xclip.waitForStarted(10000));
    std::optional<ClipboardImage> read;
    // Until xclip owns the clipboard, an earlier copy of ours may still be on it.
    EXPECT_TRUE(test::waitFor([&] {
        return !QGuiApplication::clipboard()->ownsClipboard() && (read = Clipboard::readImage()).has_value();
    }));
    xclip.kill();
    xclip.waitForFinished(5000);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->scale, 2.0);
    EXPECT_EQ(test::maxChannelDifference(read->image, img), 0);
}

}  // namespace
}  // namespace kx
