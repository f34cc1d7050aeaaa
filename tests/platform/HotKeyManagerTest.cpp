// Shortcut storage and the hot-key manager's bookkeeping, over a fake key-grab backend.
#include "core/Prefs.h"
#include "platform/HotKeyManager.h"

#include "TestSupport.h"
#include "fakes/FakeHotKeyBackend.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <QCoreApplication>

namespace kx {
namespace {

using FakeBackend = test::FakeHotKeyBackend;

class HotKeyManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (HotKeyAction a : allCases<HotKeyAction>())
            Prefs::remove(HotKeyManager::settingsKey(a));
        auto b = std::make_unique<FakeBackend>();
        backend = b.get();
        manager = std::make_unique<HotKeyManager>(std::move(b));
        manager->onTrigger = [this](HotKeyAction a) { triggered << a; };
    }
    void settle() { QCoreApplication::processEvents(); }

    FakeBackend* backend = nullptr;
    std::unique_ptr<HotKeyManager> manager;
    QList<HotKeyAction> triggered;
};

TEST(KeyCombo, DisplayListsModifiersInFixedOrderAndUpperCasesTheKey)
{
    KeyCombo all{XK_k, 0x100000 | 0x20000 | 0x80000 | 0x40000, "k"};
    EXPECT_EQ(all.display(), "Ctrl+Alt+Shift+Super+K");
    // Bits other than the four modifiers (caps lock 0x10000) neither show nor count.
    KeyCombo caps{XK_s, 0x10000 | KeyCombo::shift, "s"};
    EXPECT_EQ(caps.display(), "Shift+S");
    EXPECT_EQ(caps.modifiers(), KeyCombo::shift);
}

TEST(KeyCombo, JsonHasExactlyThreeKeysAndRejectsBadFields)
{
    const KeyCombo c{XK_F5, KeyCombo::control | KeyCombo::shift, "F5"};
    const QByteArray json = c.toJson();
    EXPECT_EQ(KeyCombo::fromJson(json), c);
    EXPECT_TRUE(json.contains("\"keyCode\"") && json.contains("\"cocoaModifiers\"") &&
                json.contains("\"label\""));
    EXPECT_EQ(
        KeyCombo::fromJson(R"({"keyCode":49,"cocoaModifiers":786432,"label":"1","extra":true})")->keyCode,
        49u);
    for (const char* bad :
         {R"({"keyCode":49,"label":"1"})", R"({"keyCode":"49","cocoaModifiers":0,"label":"1"})",
          R"({"keyCode":-1,"cocoaModifiers":0,"label":"1"})",
          R"({"keyCode":1.5,"cocoaModifiers":0,"label":"1"})",
          R"({"keyCode":49,"cocoaModifiers":0,"label":7})", "[49,0,\"1\"]", "none", ""})
        EXPECT_FALSE(KeyCombo::fromJson(bad)) << bad;
}

TEST_F(HotKeyManagerTest, RegistersAllTenDefaultsAndPressesDispatchByIdOnTheEventLoop)
{
    manager->registerAll();
    EXPECT_TRUE(manager->failed().isEmpty());
    ASSERT_EQ(backend->held.size(), 10);
    EXPECT_EQ(backend->held.value(0).keysym, quint32(XK_1));
    EXPECT_EQ(backend->held.value(9).keysym, quint32(XK_0));
    EXPECT_EQ(backend->held.value(4).modifiers, KeyCombo::control | KeyCombo::alt);
    EXPECT_EQ(backend->held.value(hotKeyId(HotKeyAction::repeatLast)).keysym, quint32(XK_9));
    EXPECT_EQ(KeyCombo::defaultFor(HotKeyAction::area).cocoaModifiers, 0xC0000u);  // the stored form

    for (HotKeyAction a : allCases<HotKeyAction>())
        backend->press(quint32(hotKeyId(a)));
    backend->press(12);
    backend->press(1000);
    EXPECT_TRUE(triggered.isEmpty());  // queued, not run inside the backend
    settle();
    EXPECT_EQ(triggered, allCases<HotKeyAction>());  // the tenth (history, Ctrl+Alt+0) too, no other
}

TEST_F(HotKeyManagerTest, RefusedAndDuplicateCombinationsEndInFailed)
{
    backend->takenElsewhere.insert(XK_2);
    manager->registerAll();
    EXPECT_EQ(manager->failed(), QSet<HotKeyAction>{HotKeyAction::fullscreen});
    EXPECT_FALSE(backend->held.contains(1));

    // The area's combination for the history action as well: the second one is refused.
    manager->setCombo(KeyCombo::defaultFor(HotKeyAction::area), HotKeyAction::history);
    EXPECT_TRUE(manager->failed().contains(HotKeyAction::history));
    EXPECT_TRUE(manager->isRegistered(HotKeyAction::area));
    EXPECT_EQ(backend->held.value(0).keysym, quint32(XK_1));

    // Once the other client lets go, registering again succeeds.
    backend->takenElsewhere.clear();
    manager->registerAction(HotKeyAction::fullscreen);
    EXPECT_FALSE(manager->failed().contains(HotKeyAction::fullscreen));
    EXPECT_TRUE(backend->held.contains(1));
}

// "&" recorded on a French layout shares the 7 key with the colour picker on a US one: the
// earlier action keeps the key whichever grabbed first, the other names it as the holder, and
// only the holder shows the key, named as the layout names it.
TEST_F(HotKeyManagerTest, AKeyTwoOfOurActionsNeedGoesToTheEarlierOne)
{
    backend->keyOf = {{XK_ampersand, 16}, {XK_7, 16}};
    backend->keyName = {{16, "7"}};
    const KeyCombo amp{XK_ampersand, KeyCombo::control | KeyCombo::alt, "&"};
    const auto check = [&](const char* when) {
        EXPECT_TRUE(manager->isRegistered(HotKeyAction::area)) << when;
        EXPECT_EQ(manager->failed(), QSet<HotKeyAction>{HotKeyAction::colorPicker}) << when;
        EXPECT_EQ(manager->heldBy(HotKeyAction::colorPicker), HotKeyAction::area) << when;
        EXPECT_FALSE(backend->held.contains(hotKeyId(HotKeyAction::colorPicker))) << when;
        ASSERT_TRUE(manager->shownCombo(HotKeyAction::area)) << when;
        EXPECT_EQ(manager->shownCombo(HotKeyAction::area)->display(), "Ctrl+Alt+7") << when;
        EXPECT_FALSE(manager->shownCombo(HotKeyAction::colorPicker)) << when;
    };
    manager->registerAll();  // the colour picker holds the 7 key first
    manager->setCombo(amp, HotKeyAction::area);
    check("recorded later");
    manager->registerAll();
    check("at start");
    EXPECT_EQ(manager->shownCombo(HotKeyAction::fullscreen)->display(), "Ctrl+Alt+2");

    // Another client's refusal names no holder of ours.
    backend->takenElsewhere.insert(XK_2);
    manager->registerAll();
    EXPECT_TRUE(manager->failed().contains(HotKeyAction::fullscreen));
    EXPECT_FALSE(manager->heldBy(HotKeyAction::fullscreen));
    backend->takenElsewhere.clear();

    // The area moves away: the colour picker gets its key back.
    manager->setCombo(KeyCombo{XK_k, KeyCombo::control | KeyCombo::alt, "K"}, HotKeyAction::area);
    EXPECT_TRUE(manager->isRegistered(HotKeyAction::colorPicker));
    EXPECT_FALSE(manager->heldBy(HotKeyAction::colorPicker));
    EXPECT_EQ(manager->shownCombo(HotKeyAction::colorPicker)->display(), "Ctrl+Alt+7");
}

TEST_F(HotKeyManagerTest, RemovingAShortcutStoresNoneAndResetBringsDefaultsBack)
{
    manager->registerAll();
    manager->setCombo(std::nullopt, HotKeyAction::ocr);
    EXPECT_EQ(Prefs::storedValue("hotkey.ocr").toString(), "none");
    EXPECT_FALSE(manager->combo(HotKeyAction::ocr));
    EXPECT_FALSE(manager->isRegistered(HotKeyAction::ocr));
    EXPECT_FALSE(manager->failed().contains(HotKeyAction::ocr));
    EXPECT_FALSE(backend->held.contains(5));

    const KeyCombo custom{XK_s, KeyCombo::control | KeyCombo::shift, "s"};
    manager->setCombo(custom, HotKeyAction::area);
    EXPECT_EQ(manager->combo(HotKeyAction::area), custom);
    EXPECT_EQ(backend->held.value(0).keysym, quint32(XK_s));
    EXPECT_EQ(KeyCombo::fromJson(Prefs::storedValue("hotkey.area").toByteArray()), custom);

    manager->resetAll();
    EXPECT_FALSE(Prefs::contains("hotkey.ocr"));
    EXPECT_FALSE(Prefs::contains("hotkey.area"));
    EXPECT_EQ(manager->combo(HotKeyAction::ocr), KeyCombo::defaultFor(HotKeyAction::ocr));
    EXPECT_EQ(backend->held.value(0).keysym, quint32(XK_1));
    EXPECT_EQ(backend->held.size(), 10);
}

TEST_F(HotKeyManagerTest, TemporaryKeysCountFrom1001AndAreNeverReused)
{
    backend->takenElsewhere.insert(XK_Escape);
    int done = 0;
    EXPECT_FALSE(manager->registerTemporary(XK_Escape, 0, [] {}));  // uses up 1001
    const auto ret = manager->registerTemporary(XK_Return, 0, [&] { ++done; });
    const auto enter = manager->registerTemporary(XK_KP_Enter, 0, [&] { ++done; });
    ASSERT_TRUE(ret && enter);
    EXPECT_EQ(*ret, 1002u);
    EXPECT_EQ(*enter, 1003u);
    EXPECT_EQ(backend->held.value(1002).keysym, quint32(XK_Return));

    backend->press(1002);
    settle();
    EXPECT_EQ(done, 1);
    manager->unregisterTemporary(1002);
    EXPECT_FALSE(backend->held.contains(1002));
    backend->press(1002);
    settle();
    EXPECT_EQ(done, 1);
    manager->unregisterTemporary(4711);  // unknown: nothing happens
    EXPECT_EQ(*manager->registerTemporary(XK_Return, 0, [] {}), 1004u);
}

TEST_F(HotKeyManagerTest, TemporaryHandlerMayUnregisterItself)
{
    std::optional<quint32> id;
    int calls = 0;
    id = manager->registerTemporary(XK_Escape, 0, [&] {
        ++calls;
        manager->unregisterTemporary(*id);
    });
    ASSERT_TRUE(id);
    backend->press(*id);
    backend->press(*id);
    settle();
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(backend->held.isEmpty());
}

TEST_F(HotKeyManagerTest, AShortcutStoredElsewhereIsRegisteredAtOnce)
{
    manager->registerAll();
    // A swap written straight to the settings, as the settings window does.
    Prefs::set(HotKeyManager::settingsKey(HotKeyAction::area),
               KeyCombo::defaultFor(HotKeyAction::fullscreen).toJson());
    Prefs::set(HotKeyManager::settingsKey(HotKeyAction::fullscreen),
               KeyCombo::defaultFor(HotKeyAction::area).toJson());
    EXPECT_TRUE(manager->failed().isEmpty());
    EXPECT_EQ(backend->held.value(0).keysym, quint32(XK_2));
    EXPECT_EQ(backend->held.value(1).keysym, quint32(XK_1));
    Prefs::set(HotKeyManager::settingsKey(HotKeyAction::ocr), QStringLiteral("none"));
    EXPECT_FALSE(backend->held.contains(5));
    Prefs::remove(HotKeyManager::settingsKey(HotKeyAction::ocr));
    EXPECT_EQ(backend->held.value(5).keysym, quint32(XK_6));
}

TEST_F(HotKeyManagerTest, APlainFunctionKeyLoadsBackAndStoredJunkFallsBackToTheDefault)
{
    manager->registerAll();
    for (quint32 f = XK_F1; f <= XK_F12; ++f) {
        const KeyCombo plain{f, 0, QStringLiteral("F%1").arg(f - XK_F1 + 1)};
        manager->setCombo(plain, HotKeyAction::ocr);
        HotKeyManager fresh(std::make_unique<FakeBackend>());
        EXPECT_EQ(fresh.combo(HotKeyAction::ocr), plain) << plain.label.toStdString();
        EXPECT_EQ(backend->held.value(5).modifiers, 0u);
    }
    Prefs::set("hotkey.pinArea", QByteArray("{not json"));
    Prefs::set("hotkey.history", QStringLiteral("nothing"));
    EXPECT_EQ(manager->combo(HotKeyAction::pinArea), KeyCombo::defaultFor(HotKeyAction::pinArea));
    EXPECT_EQ(manager->combo(HotKeyAction::history), KeyCombo::defaultFor(HotKeyAction::history));
}

}  // namespace
}  // namespace kx
