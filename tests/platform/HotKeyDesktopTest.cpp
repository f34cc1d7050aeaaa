// Global keys on a real X server, pressed with xdotool: permanent actions (also with Num Lock
// on), a combination another client holds, temporary keys that give a focused window its key
// back, and grabs that follow a keyboard remapping.
#include "core/Prefs.h"
#include "platform/HotKeyManager.h"
#include "platform/XHotKeyBackend.h"

#include "FixtureClient.h"
#include "TestClient.h"
#include "TestSupport.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <xcb/xcb.h>
#include <QGuiApplication>
#include <QScopeGuard>

#include <atomic>
#include <cstdlib>
#include <thread>
#include <vector>

namespace kx {
namespace {

bool key(const QString& combo)
{
    return test::runTool("xdotool", {"key", combo});
}

bool numLockOn()
{
    QByteArray out;
    return test::runTool("xset", {"q"}, &out) && out.simplified().contains("Num Lock: on");
}

class HotKeyDesktop : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!test::haveDisplay())
            GTEST_SKIP() << "needs an X display";
        ASSERT_TRUE(test::waitForWindowManager());
        for (HotKeyAction a : allCases<HotKeyAction>())
            Prefs::remove(HotKeyManager::settingsKey(a));
        auto b = std::make_unique<XHotKeyBackend>();
        ASSERT_TRUE(b->connected());
        backend = b.get();
        manager = std::make_unique<HotKeyManager>(std::move(b));
        manager->onTrigger = [this](HotKeyAction a) { fired << a; };
    }
    void TearDown() override { manager.reset(); }

    bool waitFired(HotKeyAction a)
    {
        return test::waitFor([&] { return fired.contains(a); });
    }

    XHotKeyBackend* backend = nullptr;
    std::unique_ptr<HotKeyManager> manager;
    QList<HotKeyAction> fired;
};

TEST_F(HotKeyDesktop, CtrlAlt1StartsTheAreaActionAlsoWithNumLockOn)
{
    manager->registerAll();
    EXPECT_TRUE(manager->failed().isEmpty());
    ASSERT_TRUE(key("ctrl+alt+1"));
    ASSERT_TRUE(waitFired(HotKeyAction::area));

    ASSERT_TRUE(key("Num_Lock"));
    ASSERT_TRUE(test::waitFor(numLockOn));
    fired.clear();
    ASSERT_TRUE(key("ctrl+alt+1"));
    EXPECT_TRUE(waitFired(HotKeyAction::area));
    ASSERT_TRUE(key("Num_Lock"));
    EXPECT_TRUE(test::waitFor([] { return !numLockOn(); }));

    // A removed shortcut no longer fires: its press comes before the area's and would show first.
    fired.clear();
    manager->setCombo(std::nullopt, HotKeyAction::ocr);
    ASSERT_TRUE(key("ctrl+alt+6"));
    ASSERT_TRUE(key("ctrl+alt+1"));
    ASSERT_TRUE(waitFired(HotKeyAction::area));
    EXPECT_EQ(fired, QList<HotKeyAction>{HotKeyAction::area});
}

TEST_F(HotKeyDesktop, CombinationHeldByAnotherClientFailsAndStaysItsOwn)
{
    // Ctrl (0x4) + Alt (Mod1, 0x8) + 2, grabbed on the root by another client first.
    test::TestClient holder({"grab-key", QString::number(XK_2), "0xC"});
    ASSERT_TRUE(holder.waitReady());
    manager->registerAll();
    EXPECT_EQ(manager->failed(), QSet<HotKeyAction>{HotKeyAction::fullscreen});
    EXPECT_TRUE(manager->isRegistered(HotKeyAction::ocr));

    // Registering again and dropping our manager must leave the other client's grab alone:
    // a third client is still refused (kxtestwin exits with 4 on BadAccess).
    manager->registerAction(HotKeyAction::fullscreen);
    manager.reset();
    test::TestClient second({"grab-key", QString::number(XK_2), "0xC"});
    EXPECT_EQ(second.waitExited(), 4);
    holder.stop();
    // Once the holder is gone the combination is free again.
    test::TestClient third({"grab-key", QString::number(XK_2), "0xC"});
    EXPECT_TRUE(third.waitReady());
}

TEST_F(HotKeyDesktop, SwapThenResetGivesEveryActionItsKey)
{
    manager->registerAll();
    manager->setCombo(KeyCombo::defaultFor(HotKeyAction::fullscreen), HotKeyAction::area);
    manager->setCombo(KeyCombo::defaultFor(HotKeyAction::area), HotKeyAction::fullscreen);
    EXPECT_TRUE(manager->failed().isEmpty());
    ASSERT_TRUE(key("ctrl+alt+1"));
    ASSERT_TRUE(waitFired(HotKeyAction::fullscreen));
    manager->resetAll();
    EXPECT_TRUE(manager->failed().isEmpty());
    fired.clear();
    ASSERT_TRUE(key("ctrl+alt+2"));
    ASSERT_TRUE(key("ctrl+alt+1"));
    ASSERT_TRUE(waitFired(HotKeyAction::area));
    EXPECT_EQ(fired, (QList<HotKeyAction>{HotKeyAction::fullscreen, HotKeyAction::area}));
}

TEST_F(HotKeyDesktop, TemporaryEscFiresThenReachesTheFocusedWindowAgain)
{
    test::FixtureClient target({"--at", "200", "200"});  // prints "KEY <name>" for each key it gets
    ASSERT_TRUE(target.waitReady());
    ASSERT_TRUE(test::runTool("xdotool", {"windowactivate", "--sync", QString::number(target.windowId())}));
    auto escapes = [&] { return int(target.lines().count("KEY Esc")); };
    ASSERT_TRUE(key("Escape"));
    ASSERT_TRUE(test::waitFor([&] { return escapes() == 1; }));

    int handled = 0;
    const auto id = manager->registerTemporary(XK_Escape, 0, [&] { ++handled; });
    ASSERT_TRUE(id);
    EXPECT_GT(*id, 1000u);
    ASSERT_TRUE(key("Escape"));
    ASSERT_TRUE(test::waitFor([&] { return handled == 1; }));
    // A plain key still reaches the window, the grabbed Esc did not.
    ASSERT_TRUE(key("a"));
    ASSERT_TRUE(target.waitForLine([](const QString& l) { return l == "KEY A"; }));
    EXPECT_EQ(escapes(), 1);

    manager->unregisterTemporary(*id);
    ASSERT_TRUE(key("Escape"));
    EXPECT_TRUE(test::waitFor([&] { return escapes() == 2; }));
    EXPECT_EQ(handled, 1);

    const auto ret = manager->registerTemporary(XK_Return, 0, [] {});
    const auto enter = manager->registerTemporary(XK_KP_Enter, 0, [] {});
    ASSERT_TRUE(ret && enter);
    EXPECT_EQ(*enter, *ret + 1);
}

TEST_F(HotKeyDesktop, KeysAreGrabbedAgainAfterTheKeyboardIsRemapped)
{
    manager->registerAll();
    int regrabs = 0;
    QObject::connect(backend, &XHotKeyBackend::regrabbed, [&] { ++regrabs; });
    // Move "1" from its own key to a spare key code.
    ASSERT_TRUE(test::runTool("xmodmap", {"-e", "keycode 10 = F20"}));
    ASSERT_TRUE(test::runTool("xmodmap", {"-e", "keycode 200 = 1 exclam"}));
    ASSERT_TRUE(test::waitFor([&] { return regrabs >= 2; }));
    ASSERT_TRUE(key("ctrl+alt+1"));
    EXPECT_TRUE(waitFired(HotKeyAction::area));
    test::runTool("xmodmap", {"-e", "keycode 200 = NoSymbol"});
    test::runTool("xmodmap", {"-e", "keycode 10 = 1 exclam"});
}

// A keyboard taking over from another (xdotool's virtual one, a second keyboard) tells of a new
// map that is the same. The shortcuts are never let go meanwhile: a key pressed then would be
// lost. Another client trying all along to take Ctrl+Alt+0 (the history's, grabbed last when
// all are grabbed again) never gets it; a key a third client holds stays reported.
TEST_F(HotKeyDesktop, AMapToldAgainUnchangedNeverLetsTheKeysGo)
{
    test::TestClient holder({"grab-key", QString::number(XK_2), "0xC"});
    ASSERT_TRUE(holder.waitReady());
    manager->registerAll();
    ASSERT_TRUE(manager->isRegistered(HotKeyAction::history));
    int regrabs = 0;
    QObject::connect(backend, &XHotKeyBackend::regrabbed, [&] { ++regrabs; });
    std::atomic<bool> stop = false, taken = false;
    std::thread probe([&] {
        xcb_connection_t* c = xcb_connect(nullptr, nullptr);
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        constexpr xcb_keycode_t zero = 19;  // "0" on the server's default map
        // Many requests in flight at once, so that the server always has one of ours to serve.
        constexpr quint16 mods = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;
        while (!stop && !xcb_connection_has_error(c)) {
            std::vector<xcb_void_cookie_t> tries;
            for (int i = 0; i < 64; ++i)
                tries.push_back(
                    xcb_grab_key_checked(c, 1, root, mods, zero, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
            bool got = false;
            for (const xcb_void_cookie_t& t : tries) {
                if (xcb_generic_error_t* e = xcb_request_check(c, t))
                    std::free(e);
                else
                    got = true;
            }
            if (got) {
                taken = true;
                xcb_ungrab_key(c, zero, root, mods);
                xcb_flush(c);
            }
        }
        xcb_disconnect(c);
    });
    auto joined = qScopeGuard([&] {
        stop = true;
        probe.join();
    });
    for (int i = 1; i <= 40; ++i) {
        ASSERT_TRUE(test::runTool("xmodmap", {"-e", "keycode 19 = 0 parenright"}));
        ASSERT_TRUE(test::waitFor([&] { return regrabs >= i; })) << i;
    }
    joined.dismiss();
    stop = true;
    probe.join();
    EXPECT_FALSE(taken);
    EXPECT_EQ(manager->failed(), QSet<HotKeyAction>{HotKeyAction::fullscreen});
    EXPECT_FALSE(manager->isRegistered(HotKeyAction::fullscreen));
    ASSERT_TRUE(key("ctrl+alt+0"));
    EXPECT_TRUE(waitFired(HotKeyAction::history));
}

// A modifier map that moves Alt or Super to another modifier bit: the keys are grabbed again
// with the new bit, and a combination with that modifier still fires.
TEST_F(HotKeyDesktop, KeysAreGrabbedAgainWhenAltOrSuperMovesToAnotherBit)
{
    const struct {
        const char* keys;   // the modifier's keys
        const char* from;   // its row in the usual map
        const char* press;  // a combination with it
    } moves[] = {{"Alt_L Alt_R Meta_L", "mod1", "ctrl+alt+0"}, {"Super_L Super_R", "mod4", "ctrl+super+0"}};
    manager->setCombo(KeyCombo{XK_0, KeyCombo::control | KeyCombo::alt, "0"}, HotKeyAction::history);
    manager->setCombo(KeyCombo{XK_0, KeyCombo::control | KeyCombo::super, "0"}, HotKeyAction::ocr);
    manager->registerAll();
    ASSERT_TRUE(manager->failed().isEmpty());
    int regrabs = 0;
    QObject::connect(backend, &XHotKeyBackend::regrabbed, [&] { ++regrabs; });
    for (const auto& m : moves) {
        SCOPED_TRACE(m.keys);
        const QString keys = QString::fromLatin1(m.keys), from = QString::fromLatin1(m.from);
        auto restore = qScopeGuard([&] {
            test::runTool("xmodmap", {"-e", "remove mod3 = " + keys, "-e", "add " + from + " = " + keys});
        });
        const int before = regrabs;
        ASSERT_TRUE(
            test::runTool("xmodmap", {"-e", "remove " + from + " = " + keys, "-e", "add mod3 = " + keys}));
        ASSERT_TRUE(test::waitFor([&] { return regrabs > before; }));
        fired.clear();
        ASSERT_TRUE(key(QString::fromLatin1(m.press)));
        EXPECT_TRUE(
            waitFired(QString(m.press).contains("super") ? HotKeyAction::ocr : HotKeyAction::history));
    }
}

TEST_F(HotKeyDesktop, LayoutChangeGivesASharedKeyToTheEarlierActionAndReportsTheOther)
{
    QByteArray query;
    ASSERT_TRUE(test::runTool("setxkbmap", {"-query"}, &query));
    const QString layout =
        QString::fromUtf8(query).section(QStringLiteral("layout:"), 1).trimmed().section('\n', 0, 0);
    auto restore = qScopeGuard([&] { test::runTool("setxkbmap", {layout.isEmpty() ? "us" : layout}); });

    // "[" has a key of its own on a US layout; a German one puts it on the 8 key (AltGr).
    manager->setCombo(KeyCombo{XK_bracketleft, KeyCombo::control | KeyCombo::alt, "["},
                      HotKeyAction::history);
    manager->registerAll();
    ASSERT_TRUE(manager->failed().isEmpty());
    ASSERT_TRUE(test::runTool("setxkbmap", {"de"}));
    ASSERT_TRUE(test::waitFor([&] { return manager->failed().contains(HotKeyAction::history); }));
    EXPECT_TRUE(manager->isRegistered(HotKeyAction::pinArea));
    ASSERT_TRUE(key("ctrl+alt+8"));
    ASSERT_TRUE(key("ctrl+alt+1"));
    ASSERT_TRUE(waitFired(HotKeyAction::area));
    EXPECT_EQ(fired, (QList<HotKeyAction>{HotKeyAction::pinArea, HotKeyAction::area}));

    // Back on the old layout the history key is its own again.
    fired.clear();
    ASSERT_TRUE(test::runTool("setxkbmap", {layout.isEmpty() ? "us" : layout}));
    ASSERT_TRUE(test::waitFor([&] { return manager->isRegistered(HotKeyAction::history); }));
    EXPECT_TRUE(manager->failed().isEmpty());
    ASSERT_TRUE(key("ctrl+alt+bracketleft"));
    EXPECT_TRUE(waitFired(HotKeyAction::history));
}

// Recorded on a French layout, Ctrl+Alt+"&" shares the 7 key with the colour picker once the
// layout is US: the area keeps it, the picker names the area as the holder, the 7 key starts
// only the area, and every hint is the key as the layout names it.
TEST_F(HotKeyDesktop, AKeyRecordedOnAnotherLayoutStartsOnlyTheActionThatShowsIt)
{
    QByteArray query;
    ASSERT_TRUE(test::runTool("setxkbmap", {"-query"}, &query));
    const QString layout =
        QString::fromUtf8(query).section(QStringLiteral("layout:"), 1).trimmed().section('\n', 0, 0);
    const QString home = layout.isEmpty() ? QStringLiteral("us") : layout;
    auto restore = qScopeGuard([&] { test::runTool("setxkbmap", {home}); });

    ASSERT_TRUE(test::runTool("setxkbmap", {"fr"}));
    manager->setCombo(KeyCombo{XK_ampersand, KeyCombo::control | KeyCombo::alt, "&"}, HotKeyAction::area);
    manager->registerAll();
    ASSERT_TRUE(test::waitFor([&] { return manager->failed().isEmpty(); }));
    // On fr the digits need Shift: the hint names the key pressed without it.
    ASSERT_TRUE(manager->shownCombo(HotKeyAction::fullscreen));
    EXPECT_EQ(manager->shownCombo(HotKeyAction::fullscreen)->display(), "Ctrl+Alt+É");

    ASSERT_TRUE(test::runTool("setxkbmap", {"us"}));
    ASSERT_TRUE(test::waitFor([&] { return manager->failed().contains(HotKeyAction::colorPicker); }));
    EXPECT_EQ(manager->heldBy(HotKeyAction::colorPicker), HotKeyAction::area);
    ASSERT_TRUE(manager->shownCombo(HotKeyAction::area));
    EXPECT_EQ(manager->shownCombo(HotKeyAction::area)->display(), "Ctrl+Alt+7");
    EXPECT_FALSE(manager->shownCombo(HotKeyAction::colorPicker));
    EXPECT_EQ(manager->shownCombo(HotKeyAction::fullscreen)->display(), "Ctrl+Alt+2");
    fired.clear();
    ASSERT_TRUE(key("ctrl+alt+7"));
    ASSERT_TRUE(key("ctrl+alt+2"));
    ASSERT_TRUE(waitFired(HotKeyAction::fullscreen));
    EXPECT_EQ(fired, (QList<HotKeyAction>{HotKeyAction::area, HotKeyAction::fullscreen}));
}

}  // namespace
}  // namespace kx
