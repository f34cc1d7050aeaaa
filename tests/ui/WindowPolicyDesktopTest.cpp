#include "TestSupport.h"
#include "core/Prefs.h"
#include "platform/WindowTaskbar.h"
#include "platform/WindowType.h"
#include "ui/FloatingPanel.h"
#include "ui/Toast.h"
#include "ui/ToastView.h"
#include "ui/WindowPolicy.h"

#include <gtest/gtest.h>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QWidget>
#include <QWindow>

using namespace kx;

TEST(WindowPolicyDesktop, TaskbarStateFollowsShowDockAndMinimising)
{
    if (!test::haveDisplay() || QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "no X display";
    QTemporaryDir home;
    test::isolateUserFolders(home.path());
    Prefs::set("showDock", false);
    WindowPolicy::shared().install();

    QWidget w;
    w.resize(300, 200);
    w.show();
    ASSERT_TRUE(test::waitFor([&] { return w.windowHandle() && w.windowHandle()->isExposed(); }, 10000));
    EXPECT_TRUE(test::waitFor([&] { return skipsTaskbar(w.windowHandle()); }, 5000));

    Prefs::set("showDock", true);
    EXPECT_TRUE(test::waitFor([&] { return !skipsTaskbar(w.windowHandle()); }, 5000));
    Prefs::set("showDock", false);
    EXPECT_TRUE(test::waitFor([&] { return skipsTaskbar(w.windowHandle()); }, 5000));

    w.showMinimized();  // a minimised accessory window must stay reachable
    EXPECT_TRUE(test::waitFor([&] { return !skipsTaskbar(w.windowHandle()); }, 5000));
}

// A toast is a notification window: compositors' usual rules give it no drawn shadow around
// the transparent margin in which it draws its own.
TEST(WindowPolicyDesktop, ToastsAreNotificationWindows)
{
    if (!kx::test::haveDisplay())
        GTEST_SKIP() << "no X display";
    kx::Toast::present(new kx::ToastView("Saved", "shot.png", "checkmark.circle.fill"), 30);
    ASSERT_TRUE(kx::Toast::current());
    ASSERT_TRUE(kx::test::waitFor([] { return kx::Toast::current()->isVisible(); }));
    EXPECT_TRUE(kx::hasNotificationWindowType(kx::Toast::current()->windowHandle()));
    kx::Toast::dismiss();
}

// A fitted window is placed by its client's rectangle, and the manager is asked to keep the
// client where it is put (static gravity): where it lands never hangs on whether Qt has caught
// up with the frame the manager told.
TEST(WindowPolicyDesktop, AFittedWindowKeepsItsClientWhereFitted)
{
    if (!test::haveDisplay() || QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "no X display";
    QWidget w;
    w.resize(400, 300);
    WindowPolicy::centre(&w);
    w.show();
    ASSERT_TRUE(test::waitFor([&] { return w.windowHandle() && w.windowHandle()->isExposed(); }, 10000));
    QByteArray hints;
    test::run("xprop", {"-id", QString::number(w.winId()), "WM_NORMAL_HINTS"}, &hints);
    EXPECT_TRUE(hints.contains("window gravity: Static")) << hints.constData();
    // Fitted again with the frame told, the client lands where the fitting says.
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QRect expected;
    EXPECT_TRUE(test::waitFor(
        [&] {
            const QMargins frame = w.windowHandle()->frameMargins();
            expected = WindowPolicy::fitted({400, 300}, frame, area);
            return !frame.isNull() && w.geometry() == expected && area.contains(w.frameGeometry());
        },
        10000))
        << "at " << w.geometry().x() << "," << w.geometry().y() << " not " << expected.x() << ","
        << expected.y();
}
