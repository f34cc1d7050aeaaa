// The real wheel (XTest buttons 4 and 5) turned over every control of the places that scroll on
// a small screen: each settings page at scale 2 on 1366×768, and the backdrop popover at 320×180
// pt. The page scrolls and nothing the user set changes.
#include "../editor/EditorTestPages.h"
#include "../editor/window/EditorFakes.h"
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "editor/document/EditorDocument.h"
#include "editor/window/EditorRootView.h"
#include "editor/window/EditorWindowController.h"
#include "editor/window/HeaderBar.h"
#include "editor/window/Popover.h"
#include "platform/HotKeys.h"
#include "settings/HotKeyRecorder.h"
#include "settings/SettingsTab.h"
#include "settings/SettingsView.h"
#include "settings/SettingsWindowController.h"
#include "ui/ChromeButton.h"

#include "ChildProcess.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVariantAnimation>
#include <QWheelEvent>
#include <QWindow>
#include <utility>

namespace kx {
namespace {

bool isControl(const QWidget* w)
{
    return !qobject_cast<const QScrollBar*>(w) &&
           (qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QComboBox*>(w) ||
            qobject_cast<const QLineEdit*>(w) || qobject_cast<const QAbstractSlider*>(w) ||
            qobject_cast<const HotKeyRecorder*>(w));
}

QString name(const QWidget* w)
{
    QString text = w->property("text").toString();
    if (auto* box = qobject_cast<const QComboBox*>(w))
        text = box->currentText();
    return QStringLiteral("%1 \"%2\"").arg(QLatin1String(w->metaObject()->className()), text);
}

// Counts the wheel turns the window system delivers (once each, at the widget under the pointer).
class WheelsSeen : public QObject {
public:
    WheelsSeen() { qApp->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Wheel && e->spontaneous())
            ++count;
        return false;
    }
};

// The scroll area right around `w` (the page's or the popover's).
QScrollArea* scrollAround(QWidget* w)
{
    for (QWidget* p = w->parentWidget(); p; p = p->parentWidget())
        if (auto* area = qobject_cast<QScrollArea*>(p); area && area->widget())
            return area;
    return nullptr;
}

// Scrolls `area` by hand until `w` is whole in its view.
void bringIntoView(QWidget* w, QScrollArea* area)
{
    QScrollBar* bar = area->verticalScrollBar();
    const int top = w->mapTo(area->widget(), QPoint()).y(), bottom = top + w->height();
    const int room = area->viewport()->height();
    if (bottom > bar->value() + room)
        bar->setValue(bottom - room);
    if (top < bar->value())
        bar->setValue(top);
    QApplication::processEvents();
}

// Turns the wheel once over the middle of each control shown under `root`, towards the side
// the page can still scroll to; says where the wheel did not scroll the page or where a control
// took the focus. `changed` is asked after each turn; `turned` counts the controls.
QStringList wheelOverEachControl(QWidget* root, const QString& where, const std::function<QString()>& changed,
                                 int* turned)
{
    QStringList wrong;
    WheelsSeen seen;
    for (QPointer<QWidget> w : root->findChildren<QWidget*>()) {
        if (!w->isVisible() || !isControl(w))
            continue;
        QScrollArea* area = scrollAround(w);
        if (area)
            bringIntoView(w, area);
        QScrollBar* bar = area ? area->verticalScrollBar() : nullptr;
        const bool scrolls = bar && bar->maximum() > 0;
        const bool down = !bar || bar->value() < bar->maximum();
        const int was = bar ? bar->value() : 0;
        const qreal ratio = w->window()->windowHandle()->devicePixelRatio();
        const QPoint at = w->mapToGlobal(w->rect().center()) * ratio;
        const int before = seen.count;
        // In one go: the server moves the pointer before it presses the button. (--sync would
        // wait out its time-out where the pointer already is there.)
        if (!test::xdotool(
                {"mousemove", QString::number(at.x()), QString::number(at.y()), "click", down ? "5" : "4"}) ||
            !test::waitFor([&] { return seen.count > before; })) {
            wrong << where + QStringLiteral(": no wheel came over ") + name(w);
            continue;
        }
        QApplication::processEvents();
        ++*turned;
        if (!w)
            continue;
        if (scrolls && bar->value() == was)
            wrong << where + QStringLiteral(": the page did not scroll over ") + name(w);
        if (qobject_cast<QComboBox*>(w.data()) || qobject_cast<QAbstractSlider*>(w.data()))
            if (w->hasFocus())
                wrong << where + QStringLiteral(": the wheel focused ") + name(w);
        if (const QString what = changed(); !what.isEmpty())
            wrong << where + QStringLiteral(": over ") + name(w) + QStringLiteral(" ") + what;
    }
    return wrong;
}

QString text(const QRect& r)
{
    return QStringLiteral("%1,%2 %3×%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

bool framedOnArea(QWidget* window, const QRect& area)
{
    return window->windowHandle() && window->windowHandle()->isExposed() &&
           window->frameGeometry() != window->geometry() && area.contains(window->frameGeometry());
}

class Wheel : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!test::haveDisplay() || QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "needs an X display";
        ASSERT_TRUE(test::waitForWindowManager());
        Lang::overrideForTests("en");
        Prefs::registerDefaults();
    }
    static QRect area() { return QGuiApplication::primaryScreen()->availableGeometry(); }
};

// Every value a settings page shows, as Kaptorix reads it, with the file that keeps them.
QString everySetting()
{
    QStringList out;
    QStringList keys = Prefs::registeredKeys();
    for (HotKeyAction a : allCases<HotKeyAction>())
        keys << QStringLiteral("hotkey.") + rawValue(a);
    for (const QString& key : keys)
        out << key + QLatin1Char('=') + Prefs::value(key).toString();
    Prefs::sync();
    QFile conf(Prefs::settingsPath());
    out << QString::fromUtf8(conf.open(QIODevice::ReadOnly) ? conf.readAll() : QByteArray());
    return out.join(QLatin1Char('\n'));
}

}  // namespace

TEST_F(Wheel, OverEverySettingsControlScrollsThePageAndChangesNothing)
{
    ASSERT_LE(area().width(), 683);
    ASSERT_LE(area().height(), 384);
    // Every row shown: the quality slider with JPEG, the key path with SFTP.
    Prefs::set("imageFormat", "jpg");
    SettingsWindowController::shared().show(0);
    QWidget* window = SettingsWindowController::shared().window();
    ASSERT_TRUE(test::waitFor([&] { return framedOnArea(window, area()); }, 20000))
        << text(window->frameGeometry()).toStdString() << " on " << text(area()).toStdString();
    SettingsView* view = SettingsWindowController::shared().view();
    QStringList wrong;
    int turned = 0;
    for (const char* protocol : {"webdav", "sftp"}) {
        Prefs::set("remote.protocol", protocol);
        const QString before = everySetting();
        QString last = before;
        const auto changed = [&] {
            const QString now = everySetting();
            return std::exchange(last, now) == now ? QString() : QStringLiteral("changed a setting");
        };
        for (SettingsTab tab : SettingsTabs::all) {
            if (QLatin1String(protocol) == QLatin1String("sftp") && tab != SettingsTab::upload)
                continue;
            SettingsNav::shared().setTab(tab);
            QApplication::processEvents();
            QWidget* page = view->page();
            ASSERT_TRUE(test::waitFor([&] { return !page->findChild<QVariantAnimation*>("pageFade"); }));
            wrong << wheelOverEachControl(page, QStringLiteral("%1 %2").arg(protocol).arg(int(tab)), changed,
                                          &turned);
        }
        if (everySetting() != before)
            wrong
                << QStringLiteral("%1: settings before\n%2\nafter\n%3").arg(protocol, before, everySetting());
    }
    test::rootScreenshot(test::artifactDir(QStringLiteral("settings")) + QStringLiteral("/wheel.png"));
    EXPECT_GE(turned, 50) << "controls of the five pages and the SFTP rows";
    EXPECT_TRUE(wrong.isEmpty()) << wrong.join(QLatin1Char('\n')).toStdString();
}

TEST_F(Wheel, OverTheBackdropPopoverScrollsItAndChangesNothing)
{
    ASSERT_LE(area().width(), 320);
    ASSERT_LE(area().height(), 180);
    auto rec = std::make_shared<test::Recorded>();
    QPointer<EditorWindowController> editor =
        EditorWindowController::open(test::plainCapture(1600, 1000, 2), QUuid(), test::fakeServices(rec));
    QWidget* window = editor->window();
    // A popup opened while the window manager still moves the focus to the new window closes.
    ASSERT_TRUE(test::waitFor(
        [&] {
            return window->windowHandle() && window->windowHandle()->isExposed() && window->isActiveWindow();
        },
        20000));
    HeaderBar* header = editor->root()->header();
    if (header->backdropButton()->isVisible())
        header->backdropButton()->click();
    else
        header->foldedItem(header->backdropButton())->trigger();
    Popover* pop = nullptr;
    ASSERT_TRUE(test::waitFor([&] {
        return (pop = window->findChild<Popover*>()) && pop->windowHandle() &&
               pop->windowHandle()->isExposed();
    }));
    ASSERT_TRUE(pop->scrolls()) << "the popover fits: nothing to scroll on this screen";
    const BeautifySettings before = editor->doc().beautify();
    ASSERT_FALSE(before.enabled);
    BeautifySettings last = before;
    const auto changed = [&] {
        const BeautifySettings now = editor->doc().beautify();
        return std::exchange(last, now) == now ? QString()
                                               : QStringLiteral("changed the backdrop (on %1, padding %2)")
                                                     .arg(now.enabled)
                                                     .arg(now.padding);
    };
    int turned = 0;
    const QStringList wrong = wheelOverEachControl(pop, QStringLiteral("popover"), changed, &turned);
    // The switch, 7 frames, 7 backgrounds, Padding, Corners and Shadow.
    EXPECT_GE(turned, 18);
    test::rootScreenshot(test::artifactDir(QStringLiteral("editor")) + QStringLiteral("/wheel-popover.png"));
    EXPECT_TRUE(pop->isVisible()) << "the wheel closed the popover";
    EXPECT_TRUE(editor->doc().beautify() == before);
    EXPECT_TRUE(wrong.isEmpty()) << wrong.join(QLatin1Char('\n')).toStdString();
    pop->close();
    delete editor.data();
}

}  // namespace kx
