// The settings window on a small scaled screen (1366×768 at scale 2: 683×384 pt), in the
// language KX_TEST_LANG names: fitted to the work area, with every page's controls reachable
// inside it, the rightmost ones included, and the sidebar whole.
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "settings/HotKeyRecorder.h"
#include "settings/SettingsTab.h"
#include "settings/SettingsView.h"
#include "settings/SettingsWindowController.h"

#include "ChildProcess.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QAbstractSlider>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVariantAnimation>
#include <QWindow>
#include <tuple>

namespace kx {
namespace {

QString text(const QRect& r)
{
    return QStringLiteral("%1,%2 %3×%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

bool isControl(const QWidget* w)
{
    return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QComboBox*>(w) ||
           qobject_cast<const QLineEdit*>(w) || qobject_cast<const QAbstractSlider*>(w) ||
           qobject_cast<const HotKeyRecorder*>(w);
}

// Whether `w` can be seen whole inside `window` once every scroll area around it has brought
// it into view; `why` says where it is otherwise.
bool reachable(QWidget* w, QWidget* window, QString* why)
{
    // Scrolled by hand: ensureWidgetVisible() brings only a text field's cursor into view.
    for (QWidget* p = w->parentWidget(); p && p != window; p = p->parentWidget()) {
        auto* area = qobject_cast<QScrollArea*>(p);
        if (!area || !area->widget())
            continue;
        const QRect r(w->mapTo(area->widget(), QPoint()), w->size());
        for (auto [bar, lo, hi, room] :
             {std::tuple{area->verticalScrollBar(), r.top(), r.bottom(), area->viewport()->height()},
              std::tuple{area->horizontalScrollBar(), r.left(), r.right(), area->viewport()->width()}}) {
            if (hi >= bar->value() + room)
                bar->setValue(hi + 1 - room);
            if (lo < bar->value())
                bar->setValue(lo);
        }
    }
    QApplication::processEvents();
    const QRect inWindow(w->mapTo(window, QPoint()), w->size());
    *why = text(inWindow) + QStringLiteral(" in ") + text(window->rect()) + QStringLiteral(", seen ") +
           text(w->visibleRegion().boundingRect());
    return window->rect().contains(inWindow) && w->visibleRegion() == QRegion(w->rect());
}

}  // namespace

TEST(SettingsFitDesktop, EveryControlIsReachableOnASmallScaledScreen)
{
    if (!test::haveDisplay() || QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "needs an X display";
    ASSERT_TRUE(test::waitForWindowManager());
    const QString lang = qEnvironmentVariable("KX_TEST_LANG", QStringLiteral("en"));
    Lang::overrideForTests(lang);
    Prefs::registerDefaults();
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    ASSERT_LE(area.width(), 683);
    ASSERT_LE(area.height(), 384);

    SettingsWindowController::shared().show(0);
    QWidget* window = SettingsWindowController::shared().window();
    ASSERT_TRUE(test::waitFor(
        [&] {
            return window->windowHandle() && window->windowHandle()->isExposed() &&
                   window->frameGeometry() != window->geometry() && area.contains(window->frameGeometry());
        },
        20000))
        << "frame " << qPrintable(text(window->frameGeometry())) << " on " << qPrintable(text(area));
    SettingsView* view = SettingsWindowController::shared().view();
    EXPECT_LE(view->width(), window->width());

    QStringList cut;
    const auto check = [&](QWidget* root, const QString& where) {
        for (QWidget* w : root->findChildren<QWidget*>()) {
            if (!w->isVisibleTo(window) || !isControl(w) || qobject_cast<QScrollBar*>(w))
                continue;
            QString why;
            if (!reachable(w, window, &why))
                cut << QStringLiteral("%1: %2 \"%3\" %4")
                           .arg(where, QLatin1String(w->metaObject()->className()),
                                w->property("text").toString(), why);
        }
    };
    check(view->sidebarRow(SettingsTab::general)->parentWidget(), QStringLiteral("sidebar"));
    QString why;
    EXPECT_TRUE(reachable(view->helpRow(), window, &why)) << "help row " << why.toStdString();
    // The header over the tabs, whole above them, also under a tall title bar.
    for (const char* name : {"sidebarLogo", "sidebarHeader"}) {
        QWidget* part = view->findChild<QWidget*>(QLatin1String(name));
        ASSERT_TRUE(part) << name;
        EXPECT_TRUE(reachable(part, window, &why)) << name << " " << why.toStdString();
        EXPECT_GE(part->height(), part->sizeHint().height()) << name;
        EXPECT_LT(part->mapTo(window, QPoint(0, part->height())).y(),
                  view->sidebarRow(SettingsTab::general)->mapTo(window, QPoint()).y())
            << name;
    }
    for (const char* protocol : {"webdav", "sftp"}) {
        Prefs::set("remote.protocol", protocol);
        Prefs::set("imageFormat", "jpg");  // the quality slider shows
        for (SettingsTab tab : SettingsTabs::all) {
            if (QLatin1String(protocol) == QLatin1String("sftp") && tab != SettingsTab::upload)
                continue;
            SettingsNav::shared().setTab(tab);
            QApplication::processEvents();
            QWidget* page = view->page();
            ASSERT_TRUE(page);
            // Faded in whole, for the pictures.
            test::waitFor([&] { return !page->findChild<QVariantAnimation*>(QStringLiteral("pageFade")); });
            check(page, QStringLiteral("tab %1").arg(int(tab)));
            // The page's own scroll bar, when it has one, is inside the window too.
            for (QScrollArea* scroll : page->findChildren<QScrollArea*>()) {
                QScrollBar* bar = scroll->verticalScrollBar();
                if (!bar->isVisibleTo(window))
                    continue;
                const QRect r(bar->mapTo(window, QPoint()), bar->size());
                if (!window->rect().contains(r))
                    cut << QStringLiteral("tab %1: scroll bar at %2").arg(int(tab)).arg(text(r));
            }
            test::rootScreenshot(test::artifactDir(QStringLiteral("settings")) +
                                 QStringLiteral("/fit-%1-%2-%3.png").arg(lang).arg(int(tab)).arg(protocol));
        }
    }
    EXPECT_TRUE(cut.isEmpty()) << lang.toStdString() << ":\n" << cut.join(QLatin1Char('\n')).toStdString();
    Lang::overrideForTests("en");
}

}  // namespace kx
