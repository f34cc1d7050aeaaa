#include "TestSupport.h"
#include "app/MainMenu.h"
#include "editor/window/EditorWindowController.h"
#include "tests/editor/window/EditorFakes.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

using namespace kx;

namespace {

struct Recorder {
    QList<MenuCommand> commands;
    MainMenu menu{[this](MenuCommand c, const QVariant&) { commands << c; }};
};

}  // namespace

TEST(MainMenu, KeyTableHasOneActionPerKeyCtrlForCommandAndF1ForHelp)
{
    QSet<QKeySequence> seen;
    for (const MainMenuEntry& e : mainMenuTable()) {
        for (const QKeySequence& k : e.keys) {
            EXPECT_FALSE(seen.contains(k)) << qPrintable(k.toString());
            seen.insert(k);
            EXPECT_FALSE(k[0].keyboardModifiers() & Qt::MetaModifier) << qPrintable(e.title);
        }
        if (e.item == MainItem::capture) {
            EXPECT_TRUE(e.keys.isEmpty());  // the global hot keys are not menu keys
        }
    }
    const std::pair<MainItem, const char*> expected[]{
        {MainItem::save, "Ctrl+S"}, {MainItem::settings, "Ctrl+,"}, {MainItem::openClipboard, "Ctrl+Shift+V"},
        {MainItem::help, "F1"},     {MainItem::help, "Ctrl+?"},     {MainItem::history, "Ctrl+Y"},
        {MainItem::hide, "Ctrl+H"}};
    for (const auto& [item, key] : expected) {
        bool found = false;
        for (const MainMenuEntry& e : mainMenuTable())
            found |= e.item == item && e.keys.contains(QKeySequence(QString::fromLatin1(key)));
        EXPECT_TRUE(found) << key;
    }
}

TEST(MainMenu, EditorItemsAreDisabledAndInertWithoutAnEditor)
{
    Recorder r;
    QWidget plain;
    r.menu.attach(&plain, false);
    for (const MainMenuEntry& e : mainMenuTable()) {
        QAction* a = r.menu.action(e.item, e.capture);
        ASSERT_TRUE(a);
        EXPECT_EQ(a->isEnabled(), !e.editor) << qPrintable(e.title);
    }
    r.menu.action(MainItem::save)->trigger();
    r.menu.action(MainItem::settings)->trigger();
    r.menu.action(MainItem::capture, HotKeyAction::ocr)->trigger();
    EXPECT_EQ(r.commands, (QList<MenuCommand>{MenuCommand::settings, MenuCommand::capture}));
    EXPECT_TRUE(plain.actions().contains(r.menu.action(MainItem::quit)));
    EXPECT_FALSE(r.menu.menuBar(&plain));
}

TEST(MainMenu, KeysWorkWithoutABarAndATextFieldKeepsItsOwn)
{
    Recorder r;
    QWidget window;
    auto* field = new QLineEdit(QStringLiteral("abc"), &window);
    (new QVBoxLayout(&window))->addWidget(field);
    r.menu.attach(&window, false);
    window.show();
    window.activateWindow();
    field->setFocus();
    ASSERT_TRUE(kx::test::waitFor([&] { return field->hasFocus(); }, 5000));

    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(field->selectedText(), QStringLiteral("abc"));
    QTest::keyClick(field, Qt::Key_Comma, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_F1);
    EXPECT_EQ(r.commands, (QList<MenuCommand>{MenuCommand::settings, MenuCommand::help}));
}

TEST(MainMenu, EditorWindowKeepsItsOwnKeyActionsAndGetsTheBar)
{
    Recorder r;
    auto rec = std::make_shared<test::Recorded>();
    QImage img(200, 100, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::white);
    QPointer<EditorWindowController> c =
        EditorWindowController::open({img, 1, SourceKind::area, std::nullopt, QDateTime::currentDateTime()},
                                     QUuid(), test::fakeServices(rec));
    ASSERT_TRUE(kx::test::waitFor([&] { return c->window()->isActiveWindow(); }, 5000));
    QWidget* w = c->window();
    r.menu.attach(w, true);
    r.menu.refreshEnabled();

    // No key is claimed by two actions in the window (Qt would fire neither).
    QSet<QKeySequence> keys;
    for (QAction* a : w->actions())
        for (const QKeySequence& k : a->shortcuts()) {
            EXPECT_FALSE(keys.contains(k)) << qPrintable(k.toString());
            keys.insert(k);
        }
    EXPECT_TRUE(keys.contains(QKeySequence(QStringLiteral("Ctrl+Q"))));
    EXPECT_FALSE(w->actions().contains(r.menu.action(MainItem::save)));

    QMenuBar* bar = r.menu.menuBar(w);
    ASSERT_TRUE(bar);
    const QList<QAction*> fileMenu = bar->actions().at(1)->menu()->actions();
    const auto save = std::find_if(fileMenu.begin(), fileMenu.end(), [](QAction* a) {
        return a->shortcuts().contains(QKeySequence(QStringLiteral("Ctrl+S")));
    });
    ASSERT_NE(save, fileMenu.end());
    EXPECT_NE(*save, r.menu.action(MainItem::save));  // the editor's own
    EXPECT_TRUE(r.menu.action(MainItem::bringToFront)->isEnabled());

    QMenu* windows = bar->actions().at(5)->menu();
    Q_EMIT windows->aboutToShow();
    Q_EMIT windows->aboutToShow();  // listed once, not once per opening
    const QList<QAction*> listed = windows->actions();
    EXPECT_EQ(std::count_if(listed.begin(), listed.end(),
                            [w](QAction* a) { return a->text() == w->windowTitle() && a->isChecked(); }),
              1);

    r.menu.attach(w, false);
    EXPECT_FALSE(r.menu.menuBar(w));
    delete c.data();
}
