// The window list against real X clients under a window manager: titles, process ids and
// names, front-to-back order, the active window, and what the filters leave out.
#include "platform/WindowList.h"

#include "TestClient.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QGuiApplication>
#include <QWidget>

namespace kx {
namespace {

std::optional<WindowInfo> listed(quint32 id, bool includeOwn = true)
{
    for (const WindowInfo& w : WindowList::onScreen(includeOwn)) {
        if (w.id == id)
            return w;
    }
    return std::nullopt;
}

int position(quint32 id)
{
    const QList<WindowInfo> list = WindowList::onScreen(true);
    for (int i = 0; i < list.size(); ++i) {
        if (list[i].id == id)
            return i;
    }
    return -1;
}

// Whether the window manager lists the window at all (before any filtering).
bool managed(quint32 id)
{
    QByteArray out;
    return test::runTool("xprop", {"-root", "_NET_CLIENT_LIST_STACKING"}, &out) &&
           out.contains(QByteArray("0x") + QByteArray::number(id, 16));
}

class WindowListDesktop : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!test::haveDisplay() || QGuiApplication::platformName() != "xcb")
            GTEST_SKIP() << "needs an X display";
        ASSERT_TRUE(test::waitForWindowManager());
    }
    // Starts a client and waits until the list shows its window.
    static bool start(test::TestClient& c)
    {
        return c.waitReady() && test::waitFor([&] { return listed(c.windowId()).has_value(); });
    }
};

TEST_F(WindowListDesktop, NamesWindowsWithTitlePidAndOwnerFrontToBack)
{
    test::TestClient alpha({"window", "kx-alpha", "100", "100", "300", "200", "200", "0", "0"});
    ASSERT_TRUE(start(alpha));
    test::TestClient beta({"window", "kx-beta \u00e9", "200", "150", "300", "200", "0", "0", "200"});
    ASSERT_TRUE(start(beta));

    const auto a = listed(alpha.windowId());
    const auto b = listed(beta.windowId());
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->title, "kx-alpha");
    EXPECT_EQ(b->title, QString::fromUtf8("kx-beta \u00e9"));
    EXPECT_EQ(a->pid, alpha.pid());
    EXPECT_EQ(b->pid, beta.pid());
    EXPECT_EQ(a->owner, "kxtestwin");
    EXPECT_GE(a->frame.width(), 300);

    // The newer window is in front; activating the older one brings it forward.
    EXPECT_TRUE(test::waitFor([&] { return position(beta.windowId()) < position(alpha.windowId()); }));
    ASSERT_TRUE(test::runTool("xdotool", {"windowactivate", "--sync", QString::number(alpha.windowId())}));
    EXPECT_TRUE(test::waitFor([&] { return position(alpha.windowId()) < position(beta.windowId()); }));
    std::optional<WindowInfo> front;
    EXPECT_TRUE(test::waitFor([&] {
        front = WindowList::frontmostAppWindow();
        return front && front->id == alpha.windowId();
    }));
}

TEST_F(WindowListDesktop, SmallFaintAndOwnWindowsAreLeftOutNamelessOnesKept)
{
    test::TestClient narrow({"window", "kx-narrow", "50", "50", "30", "300", "10", "10", "10"});
    test::TestClient faint({"window", "kx-faint", "400", "50", "200", "200", "10", "10", "10"});
    test::TestClient bare({"bare", "700", "50", "200", "120", "0", "0", "255"});
    ASSERT_TRUE(narrow.waitReady() && faint.waitReady() && bare.waitReady());
    ASSERT_TRUE(test::waitFor([&] { return listed(faint.windowId()).has_value(); }));
    // Almost fully transparent (opacity 0.04 of 0xffffffff).
    ASSERT_TRUE(
        test::runTool("xprop", {"-id", QString::number(faint.windowId()), "-f", "_NET_WM_WINDOW_OPACITY",
                                "32c", "-set", "_NET_WM_WINDOW_OPACITY", "171798691"}));
    EXPECT_TRUE(test::waitFor([&] { return !listed(faint.windowId()).has_value(); }));

    // The narrow window (its frame under 40 points wide even with the borders) exists on the
    // server but is not in the list.
    ASSERT_TRUE(test::waitFor([&] { return managed(narrow.windowId()); }));
    EXPECT_FALSE(listed(narrow.windowId()));

    // A window without a name and without _NET_WM_PID: empty title, pid from the server.
    std::optional<WindowInfo> b;
    ASSERT_TRUE(test::waitFor([&] { return (b = listed(bare.windowId())).has_value(); }));
    EXPECT_TRUE(b->title.isEmpty());
    EXPECT_EQ(b->pid, bare.pid());
    EXPECT_EQ(b->owner, "kxtestwin");

    QWidget own;
    own.setWindowTitle("kx-own-window");
    own.setGeometry(300, 400, 250, 150);
    own.show();
    ASSERT_TRUE(test::waitFor([&] { return listed(own.winId(), true).has_value(); }));
    EXPECT_FALSE(listed(own.winId(), false));
    EXPECT_EQ(listed(own.winId(), true)->pid, qint32(QCoreApplication::applicationPid()));
}

TEST_F(WindowListDesktop, ShadedAndShapelessWindowsAreLeftOutLegacyTitlesDecoded)
{
    // "Łódź" in COMPOUND_TEXT: ASCII, then ISO 8859-2 in the right half.
    test::TestClient legacy({"bare", "100", "500", "200", "120", "0", "128", "0", "ct:1b2d42a3f364bc"});
    ASSERT_TRUE(start(legacy));
    EXPECT_EQ(listed(legacy.windowId())->title, QString::fromUtf8("\u0141\u00f3d\u017a"));

    auto done = [](test::TestClient& c) {
        return c.waitForLine([](const QString& l) { return l == "DONE"; });
    };
    for (const char* how : {"noinput", "noshape", "shade"}) {
        test::TestClient w({"bare", "400", "500", "200", "120", "0", "0", "128", how});
        ASSERT_TRUE(w.waitReady() && done(w)) << how;
        ASSERT_TRUE(test::waitFor([&] { return managed(w.windowId()); })) << how;
        if (QByteArray(how) == "shade") {
            ASSERT_TRUE(test::waitFor([&] {
                QByteArray out;
                return test::runTool("xprop", {"-id", QString::number(w.windowId()), "_NET_WM_STATE"},
                                     &out) &&
                       out.contains("SHADED");
            }));
        }
        EXPECT_FALSE(listed(w.windowId())) << how;
    }
}

}  // namespace
}  // namespace kx
