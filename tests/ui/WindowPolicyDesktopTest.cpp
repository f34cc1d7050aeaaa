#include "TestSupport.h"
#include "core/Prefs.h"
#include "platform/WindowTaskbar.h"
#include "ui/WindowPolicy.h"

#include <gtest/gtest.h>
#include <QGuiApplication>
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
