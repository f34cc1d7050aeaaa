// The shortcut recorder fed with key events as the X11 plugin delivers them (keysym, key code,
// X modifier state), and the Shortcuts page over a fake key grabber.
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "platform/HotKeyManager.h"
#include "settings/HotKeyRecorder.h"
#include "settings/ShortcutsTab.h"

#include "TestSupport.h"
#include "fakes/FakeHotKeyBackend.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <QApplication>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QPushButton>
#include <QShortcut>
#include <QSignalSpy>
#include <QTest>

namespace kx {
namespace {

constexpr quint32 ShiftMask = 0x01, LockMask = 0x02, ControlMask = 0x04, Mod1Mask = 0x08, Mod2Mask = 0x10;

// A US layout's base level for the key codes the cases use.
std::optional<quint32> usBase(quint32 code)
{
    static const QHash<quint32, quint32> map{
        {9, XK_Escape}, {10, XK_1}, {22, XK_BackSpace}, {24, XK_q},  {36, XK_Return},
        {38, XK_a},     {45, XK_k}, {65, XK_space},     {71, XK_F5}, {119, XK_Delete}};
    return map.contains(code) ? std::optional(map.value(code)) : std::nullopt;
}

void press(QWidget* w, quint32 keycode, quint32 keysym, quint32 state)
{
    QKeyEvent e(QEvent::KeyPress, 0, Qt::NoModifier, keycode, keysym, state);
    QApplication::sendEvent(w, &e);
}

struct KeyCase {
    const char* name;
    quint32 keycode, keysym, state;
    bool stillRecording;
    std::optional<KeyCombo> stored;  // what onChange got; nullopt with changed=false: no call
    bool changed;
};

TEST(HotKeyRecorder, KeysAsTheX11PluginDeliversThem)
{
    HotKeyRecorder::setBaseKeysymLookup(usBase);
    const KeyCombo old{XK_1, 0xC0000, "1"};
    const KeyCase cases[] = {
        {"Esc with Ctrl cancels", 9, XK_Escape, ControlMask, false, std::nullopt, false},
        {"Shift+Backspace clears", 22, XK_BackSpace, ShiftMask, false, std::nullopt, true},
        {"Delete clears", 119, XK_Delete, 0, false, std::nullopt, true},
        {"A alone refused", 38, XK_a, 0, true, std::nullopt, false},
        {"Space alone refused", 65, XK_space, 0, true, std::nullopt, false},
        {"Shift alone ignored", 50, XK_Shift_L, ShiftMask, true, std::nullopt, false},
        {"Ctrl+Alt+A", 38, XK_a, ControlMask | Mod1Mask, false, KeyCombo{XK_a, 0xC0000, "A"}, true},
        {"F5 alone", 71, XK_F5, 0, false, KeyCombo{XK_F5, 0, "F5"}, true},
        {"Alt+Space", 65, XK_space, Mod1Mask, false, KeyCombo{XK_space, 0x80000, "Space"}, true},
        {"Ctrl+Alt+Return", 36, XK_Return, ControlMask | Mod1Mask, false, KeyCombo{XK_Return, 0xC0000, "↩"},
         true},
        {"Caps Lock and NumLock dropped", 45, XK_K, ControlMask | LockMask | Mod2Mask, false,
         KeyCombo{XK_k, 0x40000, "K"}, true},
        {"Shift+Ctrl+1 is the 1 key", 10, XK_exclam, ShiftMask | ControlMask, false,
         KeyCombo{XK_1, 0x60000, "1"}, true},
    };
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.name);
        HotKeyRecorder r(old);
        QList<std::optional<KeyCombo>> calls;
        r.onChange = [&](const std::optional<KeyCombo>& k) { calls << k; };
        QSignalSpy refused(&r, &HotKeyRecorder::refused);
        QTest::mouseClick(&r, Qt::LeftButton);
        EXPECT_EQ(r.text(), "Press keys…");
        press(&r, c.keycode, c.keysym, c.state);
        EXPECT_EQ(r.isRecording(), c.stillRecording);
        EXPECT_EQ(calls, c.changed ? QList{c.stored} : QList<std::optional<KeyCombo>>());
        EXPECT_EQ(r.combo(), c.changed ? c.stored : old);
        EXPECT_EQ(refused.count(), c.stillRecording && c.keysym != XK_Shift_L ? 1 : 0);
    }
    HotKeyRecorder::setBaseKeysymLookup(nullptr);
}

TEST(HotKeyRecorder, WindowShortcutsAreRecordedNotRunAndFocusLossCancels)
{
    QWidget window;
    auto* r = new HotKeyRecorder(std::nullopt, &window);
    auto* other = new QPushButton("x", &window);
    other->move(0, 40);
    int quits = 0;
    auto* quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), &window);
    QObject::connect(quit, &QShortcut::activated, [&] { ++quits; });
    std::optional<KeyCombo> got;
    r->onChange = [&](const std::optional<KeyCombo>& k) { got = k; };
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    QTest::mouseClick(r, Qt::LeftButton);
    QTest::keyClick(r, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(quits, 0);
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, (KeyCombo{XK_q, KeyCombo::control, "Q"}));

    got.reset();
    QTest::mouseClick(r, Qt::LeftButton);
    ASSERT_TRUE(r->isRecording());
    other->setFocus(Qt::MouseFocusReason);
    EXPECT_FALSE(r->isRecording());
    EXPECT_FALSE(got);
    EXPECT_EQ(r->combo(), std::optional(KeyCombo{XK_q, KeyCombo::control, "Q"}));
}

class ShortcutsTabTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (HotKeyAction a : allCases<HotKeyAction>())
            Prefs::remove(HotKeyManager::settingsKey(a));
        auto b = std::make_unique<test::FakeHotKeyBackend>();
        grabber = b.get();
        grabber->combosTakenElsewhere.insert({XK_j, 0xC0000});
        manager = std::make_unique<HotKeyManager>(std::move(b));
        manager->registerAll();
        HotKeyRecorder::setBaseKeysymLookup(usBase);
    }
    void TearDown() override { HotKeyRecorder::setBaseKeysymLookup(nullptr); }
    void record(ShortcutsTab& tab, HotKeyAction a, quint32 code, quint32 sym, quint32 state)
    {
        HotKeyRecorder* r = tab.recorder(a);
        QTest::mouseClick(r, Qt::LeftButton);
        press(r, code, sym, state);
        QCoreApplication::processEvents();
    }
    test::FakeHotKeyBackend* grabber = nullptr;
    std::unique_ptr<HotKeyManager> manager;
};

TEST_F(ShortcutsTabTest, TakenAndDuplicateCombinationsAreStoredAndMarked)
{
    ShortcutsTab tab(*manager, nullptr);
    EXPECT_EQ(grabber->held.size(), 10);
    for (HotKeyAction a : allCases<HotKeyAction>())
        EXPECT_EQ(tab.warning(a), nullptr);

    // While a field records, Kaptorix's own grabs are let go.
    QTest::mouseClick(tab.recorder(HotKeyAction::ocr), Qt::LeftButton);
    EXPECT_TRUE(grabber->held.isEmpty());
    press(tab.recorder(HotKeyAction::ocr), 9, XK_Escape, 0);
    EXPECT_EQ(grabber->held.size(), 10);

    // Held by another client.
    record(tab, HotKeyAction::area, 44, XK_j, ControlMask | Mod1Mask);
    EXPECT_EQ(manager->combo(HotKeyAction::area), std::optional(KeyCombo{XK_j, 0xC0000, "J"}));
    ASSERT_NE(tab.warning(HotKeyAction::area), nullptr);
    EXPECT_EQ(tab.warning(HotKeyAction::area)->toolTip(),
              "This shortcut is taken by another app or the system.");
    EXPECT_EQ(tab.recorder(HotKeyAction::area)->text(), "Ctrl+Alt+J");

    // Already used by another Kaptorix action (Ctrl+Alt+2 is fullscreen's).
    record(tab, HotKeyAction::ocr, 11, XK_2, ControlMask | Mod1Mask);
    EXPECT_EQ(manager->combo(HotKeyAction::ocr), std::optional(KeyCombo{XK_2, 0xC0000, "2"}));
    ASSERT_NE(tab.warning(HotKeyAction::ocr), nullptr);
    EXPECT_EQ(tab.warning(HotKeyAction::ocr)->toolTip(), "This key already starts “Capture fullscreen”.");
    EXPECT_EQ(tab.warning(HotKeyAction::fullscreen), nullptr);
    EXPECT_EQ(grabber->held.value(hotKeyId(HotKeyAction::fullscreen)).keysym, quint32(XK_2));

    // Removing a marked shortcut removes the mark; the setting holds "none".
    record(tab, HotKeyAction::area, 22, XK_BackSpace, 0);
    EXPECT_EQ(tab.warning(HotKeyAction::area), nullptr);
    EXPECT_EQ(Prefs::storedValue(HotKeyManager::settingsKey(HotKeyAction::area)).toString(), "none");
    EXPECT_EQ(tab.recorder(HotKeyAction::area)->text(), "Click to record");

    tab.restoreButton()->click();
    QCoreApplication::processEvents();
    int digit = 1;
    for (HotKeyAction a : allCases<HotKeyAction>()) {
        EXPECT_EQ(tab.recorder(a)->text(), QStringLiteral("Ctrl+Alt+%1").arg(digit++ % 10));
        EXPECT_EQ(tab.warning(a), nullptr);
    }
    // A keyboard-map change after which another client holds pin area's key.
    grabber->combosTakenElsewhere.insert({XK_8, 0xC0000});
    grabber->onRegrabbed({}, {quint32(hotKeyId(HotKeyAction::pinArea))});
    EXPECT_NE(tab.warning(HotKeyAction::pinArea), nullptr);
}

// What the field says is never cut: idle without a shortcut, recording, and a long combination,
// in each language, fit between its borders in its own font.
TEST(HotKeyRecorder, ItsTextsFitTheFieldInEveryLanguage)
{
    for (const char* lang : {"en", "de", "hu"}) {
        Lang::overrideForTests(lang);
        HotKeyRecorder empty(std::nullopt), recording(std::nullopt);
        HotKeyRecorder longest(KeyCombo{XK_F12, KeyCombo::control | KeyCombo::alt | KeyCombo::shift, "F12"});
        recording.show();
        QTest::mouseClick(&recording, Qt::LeftButton);
        ASSERT_TRUE(recording.isRecording());
        for (const HotKeyRecorder* field : {&empty, &recording, &longest}) {
            const double width = QFontMetricsF(field->textFont()).horizontalAdvance(field->text());
            EXPECT_LE(width, field->textRect().width()) << lang << ": " << field->text().toStdString();
        }
        recording.hide();
    }
    Lang::overrideForTests("en");
}

}  // namespace
}  // namespace kx
