// The settings window on a real X server, driven with xdotool: a shortcut recorded through
// the window takes effect at once, and typed secrets land in the Secret Service, never in the
// settings file.
#include "core/Prefs.h"
#include "platform/HotKeyManager.h"
#include "settings/HotKeyRecorder.h"
#include "settings/SecretField.h"
#include "settings/SettingsView.h"
#include "settings/SettingsWindowController.h"
#include "settings/ShortcutsTab.h"

#include "ChildProcess.h"
#include "TestSupport.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <QFile>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QVariantAnimation>

namespace kx {
namespace {

class SettingsDesktop : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!test::haveDisplay())
            GTEST_SKIP() << "needs an X display";
        ASSERT_TRUE(test::waitForWindowManager());
        Prefs::registerDefaults();
        HotKeyManager& m = HotKeyManager::shared();
        m.onTrigger = [this](HotKeyAction a) { fired << a; };
        m.resetAll();
    }
    QWidget* openOn(int tab)
    {
        SettingsWindowController::shared().show(tab);
        QWidget* w = SettingsWindowController::shared().window();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(w));
        EXPECT_TRUE(test::xdotool({"windowactivate", "--sync", QString::number(w->winId())}));
        EXPECT_TRUE(test::waitFor([&] { return w->isActiveWindow(); }));
        return SettingsWindowController::shared().view()->page();
    }
    bool clickOn(QWidget* w)
    {
        const QPoint p = w->mapToGlobal(w->rect().center());
        return test::xdotool({"mousemove", "--sync", QString::number(p.x()), QString::number(p.y())}) &&
               test::xdotool({"click", "1"});
    }
    bool record(ShortcutsTab* tab, HotKeyAction a, const QString& keys)
    {
        HotKeyRecorder* r = tab->recorder(a);
        return clickOn(r) && test::waitFor([&] { return r->isRecording(); }) &&
               test::xdotool({"key", keys}) &&
               test::waitFor([&] { return !tab->recorder(a) || !tab->recorder(a)->isRecording(); });
    }
    bool press(const QString& keys, HotKeyAction expected)
    {
        fired.clear();
        return test::xdotool(QStringList{"key"} + keys.split(' ')) &&
               test::waitFor([&] { return fired.contains(expected); });
    }
    QList<HotKeyAction> fired;
};

TEST_F(SettingsDesktop, RecordedShortcutsActAtOnce)
{
    auto* tab = qobject_cast<ShortcutsTab*>(openOn(1));
    ASSERT_TRUE(tab);
    ASSERT_TRUE(record(tab, HotKeyAction::area, "ctrl+alt+k"));
    EXPECT_EQ(HotKeyManager::shared().combo(HotKeyAction::area), std::optional(KeyCombo{XK_k, 0xC0000, "K"}));
    EXPECT_TRUE(press("ctrl+alt+k", HotKeyAction::area));
    // Ctrl+Alt+1 no longer starts the area capture; a later key shows the queue is drained.
    ASSERT_TRUE(press("ctrl+alt+1 ctrl+alt+2", HotKeyAction::fullscreen));
    EXPECT_FALSE(fired.contains(HotKeyAction::area));

    test::run("import", {"-window", "root", test::artifactDir("settings") + "/desktop-shortcuts.png"});
    EXPECT_TRUE(press("ctrl+alt+3", HotKeyAction::activeWindow));
    SettingsWindowController::shared().window()->close();
}

TEST_F(SettingsDesktop, TypedSecretsGoToTheKeyringOnly)
{
    const struct {
        int tab;
        const char* account;
        const char* text;
    } secrets[] = {{3, "remote.password", "pw-Secret-42"}, {4, "anthropic.apiKey", "sk-ant-77"}};
    for (const auto& secret : secrets) {
        QWidget* page = openOn(secret.tab);
        QLineEdit* field = page->findChild<SecretField*>()->edit();
        ASSERT_TRUE(test::waitFor([&] { return field->isEnabled(); }));
        ASSERT_TRUE(clickOn(field) && test::waitFor([&] { return field->hasFocus(); }));
        ASSERT_TRUE(test::xdotool({"type", "--delay", "20", secret.text}));
        ASSERT_TRUE(test::waitFor([&] { return field->text() == secret.text; }));
    }
    SettingsWindowController::shared().show(0);  // the AI page goes: its edit is written now
    QByteArray settings;
    for (const auto& secret : secrets) {
        EXPECT_TRUE(test::waitFor([&] {
            QByteArray out;
            test::runTool("secret-tool",
                          {"lookup", "service", "org.kaptorix.Kaptorix", "account", secret.account}, &out);
            return out.trimmed() == secret.text;
        }));
        Prefs::sync();
        QFile conf(Prefs::settingsPath());
        EXPECT_TRUE(conf.open(QIODevice::ReadOnly));
        EXPECT_FALSE(conf.readAll().contains(secret.text));
    }
    QWidget* w = SettingsWindowController::shared().window();
    w->move(w->pos() + QPoint(-150, -90));
    ASSERT_TRUE(test::waitFor([&] { return w->geometry().center() != w->screen()->geometry().center(); }));
    const QPoint placed = w->pos();
    w->close();
    SettingsWindowController::shared().show();
    EXPECT_TRUE(test::waitFor([&] { return w->isVisible() && w->pos() == placed; }));
    w->close();
}

// With the keyboard alone: every page reached from the sidebar (arrows, Ctrl+Tab, Ctrl+PgDown and
// back), every stop of the Tab ring drawn differently while it has the focus and in sight, and
// a shortcut recorded from a field reached by Tab and started with Enter.
TEST_F(SettingsDesktop, EveryPageAndControlByKeyboardAloneWithAVisibleFocus)
{
    openOn(0);
    SettingsView* view = SettingsWindowController::shared().view();
    QWidget* w = SettingsWindowController::shared().window();
    const auto focused = [&] { return w->focusWidget(); };
    const auto keys = [&](const QString& k) { return test::xdotool({"key", "--delay", "40", k}); };
    // The widget that draws the focus (an editable picker draws it around its text field).
    const auto drawer = [](QWidget* f) {
        while (f->parentWidget() && f->parentWidget()->focusProxy() == f)
            f = f->parentWidget();
        return f;
    };
    const auto inSidebar = [&](QWidget* f) {
        for (SettingsTab t : SettingsTabs::all)
            if (f == view->sidebarRow(t))
                return true;
        return f == view->helpRow();
    };
    // From the window's first stop, the General row.
    ASSERT_TRUE(keys("ctrl+Prior") && keys("ctrl+Next"));
    for (int i = 0; i < 5 && view->sidebarRow(SettingsTab::general) != focused(); ++i)
        ASSERT_TRUE(keys("ctrl+Next"));
    ASSERT_EQ(focused(), view->sidebarRow(SettingsTab::general));

    const QStringList nextPage{"Down", "ctrl+Tab", "ctrl+Next", "ctrl+Tab"};
    bool recorded = false;
    for (SettingsTab tab : SettingsTabs::all) {
        SCOPED_TRACE(SettingsTabs::title(tab).toStdString());
        ASSERT_TRUE(test::waitFor([&] {
            return SettingsNav::shared().tab() == tab && focused() == view->sidebarRow(tab) &&
                   !view->page()->graphicsEffect();
        }));
        int pageStops = 0;
        for (int n = 0; n < 80; ++n) {
            QPointer<QWidget> was = focused();
            const QImage withFocus = drawer(was)->grab().toImage();
            EXPECT_FALSE(drawer(was)->visibleRegion().isEmpty()) << was->metaObject()->className();
            // A stop that holds other stops (a scrolled page) has no look of focus of its own.
            for (QWidget* inner : drawer(was)->findChildren<QWidget*>())
                EXPECT_FALSE(inner->isVisible() && (inner->focusPolicy() & Qt::TabFocus) &&
                             inner->isEnabled())
                    << was->metaObject()->className() << " holds " << inner->metaObject()->className();
            auto* recorder = qobject_cast<HotKeyRecorder*>(was.data());
            if (recorder && !recorded) {
                recorded = true;
                ASSERT_TRUE(keys("Return") && test::waitFor([&] { return recorder->isRecording(); }));
                ASSERT_TRUE(keys("ctrl+alt+k"));
                ASSERT_TRUE(test::waitFor([&] {
                    return HotKeyManager::shared().combo(HotKeyAction::area) == KeyCombo{XK_k, 0xC0000, "K"};
                }));
                auto* tabPage = qobject_cast<ShortcutsTab*>(view->page());
                // The rebuilt row keeps the keyboard.
                ASSERT_TRUE(test::waitFor([&] { return tabPage->recorder(HotKeyAction::area)->hasFocus(); }));
                continue;
            }
            ASSERT_TRUE(keys("Tab"));
            ASSERT_TRUE(test::waitFor([&] { return focused() && focused() != was; }));
            if (was && drawer(was)->grab().toImage() == withFocus)
                ADD_FAILURE() << "no visible focus on " << was->metaObject()->className() << " "
                              << was->objectName().toStdString();
            if (focused() == view->sidebarRow(SettingsTab::general))
                break;
            if (!inSidebar(focused())) {
                EXPECT_TRUE(view->page()->isAncestorOf(focused())) << focused()->metaObject()->className();
                ++pageStops;
            }
        }
        EXPECT_GT(pageStops, 0);
        EXPECT_EQ(focused(), view->sidebarRow(SettingsTab::general));  // round the ring
        if (tab != SettingsTab::ai) {
            ASSERT_TRUE(keys(nextPage[int(tab)]));
        }
    }
    EXPECT_TRUE(recorded);
    // The sidebar rows show the focus too; back the other way round the end.
    for (const char* back : {"ctrl+shift+Tab", "ctrl+Prior", "Up"}) {
        const SettingsTab was = SettingsNav::shared().tab();
        const QImage before = view->sidebarRow(was)->grab().toImage();
        ASSERT_TRUE(keys(back));
        const SettingsTab now = SettingsTab((int(was) + 4) % 5);
        EXPECT_TRUE(test::waitFor([&] {
            return SettingsNav::shared().tab() == now && focused() == view->sidebarRow(now);
        })) << back;
        EXPECT_NE(view->sidebarRow(was)->grab().toImage(), before) << back;
    }
    ASSERT_TRUE(keys("ctrl+Prior") && keys("ctrl+Prior"));
    EXPECT_TRUE(test::waitFor([&] { return SettingsNav::shared().tab() == SettingsTab::ai; }));  // round
    test::run("import", {"-window", "root", test::artifactDir("settings") + "/keyboard.png"});
    w->close();
}

// The screen while the new page is still fully faded out must show no trace of the old page:
// what lies under the fading page is the plain window background.
TEST_F(SettingsDesktop, ASwitchedPageNeverShowsThePreviousOne)
{
    QWidget* w = nullptr;
    QColor background;
    const auto onScreen = [&](QWidget* page) {
        const QPoint at = page->mapTo(w, QPoint(0, 0));
        return w->screen()
            ->grabWindow(w->winId(), at.x(), at.y(), page->width(), page->height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    };
    // The share of the page's area that the screen shows in `want`'s colours.
    const auto sameShare = [&](QWidget* page, const QImage& want) {
        const QImage shot = onScreen(page);
        if (shot.size() != want.size())
            return 0.0;
        qsizetype same = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x) {
                const QRgb a = shot.pixel(x, y), b = want.pixel(x, y);
                same +=
                    qAbs(qRed(a) - qRed(b)) + qAbs(qGreen(a) - qGreen(b)) + qAbs(qBlue(a) - qBlue(b)) < 12;
            }
        return double(same) / qMax(1, shot.width() * shot.height());
    };
    const auto plain = [&](QWidget* page) {
        QImage bare(page->size(), QImage::Format_RGB32);
        bare.fill(background);
        return bare;
    };
    const auto drawn = [&](QWidget* page) {
        QImage image = plain(page);
        QPainter painter(&image);
        page->render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    };

    for (int from : {0, 2, 3, 4}) {
        QWidget* page = openOn(from);
        w = SettingsWindowController::shared().window();
        background = w->palette().color(QPalette::Window);
        // The old page, done fading in, is what the screen shows.
        ASSERT_TRUE(test::waitFor([&] {
            return !page->graphicsEffect() && sameShare(page, drawn(page)) > 0.99;
        })) << from;
        ASSERT_LT(sameShare(page, plain(page)), 0.99) << from;

        SettingsWindowController::shared().show(1);
        QWidget* shortcuts = SettingsWindowController::shared().view()->page();
        auto* fade = shortcuts->findChild<QVariantAnimation*>("pageFade");
        ASSERT_TRUE(fade);
        fade->pause();  // held at its first frame: nothing of the new page is drawn yet
        shortcuts->repaint();
        if (!test::waitFor([&] { return sameShare(shortcuts, plain(shortcuts)) > 0.999; })) {
            ADD_FAILURE() << "the page before, " << from << ", shows through";
            w->screen()
                ->grabWindow(w->winId())
                .save(test::artifactDir("settings") + QStringLiteral("/switch-from-%1.png").arg(from));
        }
        fade->resume();
        ASSERT_TRUE(test::waitFor([&] { return !shortcuts->graphicsEffect(); }));
    }
    w->close();
}

}  // namespace
}  // namespace kx
