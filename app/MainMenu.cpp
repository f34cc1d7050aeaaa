#include "app/MainMenu.h"

#include "core/Localisation.h"
#include "editor/canvas/CanvasView.h"
#include "editor/window/EditorWindowController.h"
#include "ui/WindowPolicy.h"

#include <QAction>
#include <QApplication>
#include <QLayout>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMetaObject>
#include <QWidget>

namespace kx {

namespace {

const char* const kBarName = "kxMainMenuBar";

// Runs the standard slot of the focused widget (text fields have cut/copy/paste/selectAll).
void focusSlot(const char* slot)
{
    if (QWidget* w = QApplication::focusWidget())
        QMetaObject::invokeMethod(w, slot);
}

}  // namespace

MainMenu::MainMenu(std::function<void(MenuCommand, const QVariant&)> perform, QObject* parent)
    : QObject(parent), perform_(std::move(perform))
{
    for (const MainMenuEntry& e : mainMenuTable()) {
        auto* a = new QAction(e.title, this);
        if (e.keyShown && !e.keys.isEmpty())
            a->setText(e.title + QLatin1Char('\t') + e.keys.first().toString(QKeySequence::NativeText));
        else
            a->setShortcuts(e.keys);
        a->setShortcutContext(Qt::WindowShortcut);
        connect(a, &QAction::triggered, this, [this, e] { trigger(e); });
        actions_ << a;
    }
    connect(qApp, &QApplication::focusChanged, this, [this] { refreshEnabled(); });
    refreshEnabled();
}

MainMenu::~MainMenu() = default;

QAction* MainMenu::action(MainItem item, std::optional<HotKeyAction> capture) const
{
    const auto& t = mainMenuTable();
    for (int i = 0; i < t.size(); ++i)
        if (t[i].item == item && t[i].capture == capture)
            return actions_.value(i);
    return nullptr;
}

EditorWindowController* MainMenu::activeEditor()
{
    QWidget* active = QApplication::activeWindow();
    if (!active)
        return nullptr;
    for (EditorWindowController* c : EditorWindowController::openEditors())
        if (c && c->window() == active)
            return c;
    return nullptr;
}

void MainMenu::refreshEnabled()
{
    const bool editor = activeEditor() != nullptr;
    const auto& t = mainMenuTable();
    for (int i = 0; i < t.size(); ++i)
        if (t[i].editor)
            actions_[i]->setEnabled(editor);
}

QAction* MainMenu::ownAction(QWidget* window, const MainMenuEntry& entry) const
{
    if (entry.keys.isEmpty() || entry.keyShown)
        return nullptr;
    for (QAction* a : window->actions()) {
        if (actions_.contains(a))
            continue;
        for (const QKeySequence& k : a->shortcuts())
            if (entry.keys.contains(k))
                return a;
    }
    return nullptr;
}

QMenuBar* MainMenu::menuBar(QWidget* window) const
{
    return window ? window->findChild<QMenuBar*>(QLatin1String(kBarName), Qt::FindDirectChildrenOnly)
                  : nullptr;
}

void MainMenu::attach(QWidget* window, bool withBar)
{
    if (!window)
        return;
    const auto& t = mainMenuTable();
    QList<QAction*> shown;  // what the bar lists: the window's own action where it has one
    for (int i = 0; i < t.size(); ++i) {
        QAction* own = ownAction(window, t[i]);
        if (!own && !t[i].keys.isEmpty() && !t[i].keyShown)
            window->addAction(actions_[i]);
        shown << (own ? own : actions_[i]);
    }
    refreshEnabled();

    QMenuBar* bar = menuBar(window);
    if (!withBar) {
        if (bar) {
            if (auto* main = qobject_cast<QMainWindow*>(window))
                main->setMenuWidget(nullptr);
            else if (window->layout())
                window->layout()->setMenuBar(nullptr);
            delete bar;
            if (window->layout()) {
                // The layout keeps the bar's strip until told.
                window->layout()->invalidate();
                window->layout()->activate();
            }
        }
        return;
    }
    if (bar)
        return;
    auto* main = qobject_cast<QMainWindow*>(window);
    if (!main && !window->layout())
        return;  // nowhere to put a bar; the shortcuts work all the same
    bar = new QMenuBar(window);
    bar->setObjectName(QLatin1String(kBarName));
    const QStringList titles = mainMenuTitles();
    QList<QMenu*> menus;
    for (const QString& title : titles)
        menus << bar->addMenu(title);
    for (int i = 0; i < t.size(); ++i) {
        QMenu* m = menus[t[i].menu];
        if (t[i].separatorBefore)
            m->addSeparator();
        m->addAction(shown[i]);
    }
    // The Window menu ends with the open windows, listed each time it opens.
    QMenu* windows = menus[5];
    connect(windows, &QMenu::aboutToShow, windows, [windows] {
        for (QAction* a : windows->actions())
            if (a->property("kxWindowItem").toBool())
                delete a;
        bool first = true;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (!w->isVisible() || w->windowTitle().isEmpty() ||
                !WindowPolicy::decide(true, w->windowFlags(), false).managed)
                continue;
            if (first)
                windows->addSeparator()->setProperty("kxWindowItem", true);
            first = false;
            QAction* a = windows->addAction(w->windowTitle());
            a->setProperty("kxWindowItem", true);
            a->setCheckable(true);
            a->setChecked(w->isActiveWindow());
            connect(a, &QAction::triggered, w, [w] {
                w->showNormal();
                w->raise();
                w->activateWindow();
            });
        }
    });
    if (main)
        main->setMenuBar(bar);
    else
        window->layout()->setMenuBar(bar);
}

void MainMenu::trigger(const MainMenuEntry& e)
{
    const auto run = [this](MenuCommand c, const QVariant& v = {}) {
        if (perform_)
            perform_(c, v);
    };
    EditorWindowController* ed = activeEditor();
    if (e.editor && !ed)
        return;
    QWidget* active = QApplication::activeWindow();
    switch (e.item) {
        case MainItem::about:
            return run(MenuCommand::about);
        case MainItem::settings:
            return run(MenuCommand::settings);
        case MainItem::hide:
            return run(MenuCommand::hide);
        case MainItem::quit:
            return run(MenuCommand::quit);
        case MainItem::openImage:
            return run(MenuCommand::openImage);
        case MainItem::openClipboard:
            return run(MenuCommand::openClipboard);
        case MainItem::capture:
            return run(MenuCommand::capture, rawValue(*e.capture));
        case MainItem::history:
            return run(MenuCommand::history);
        case MainItem::help:
            return run(MenuCommand::help);
        case MainItem::helpShortcuts:
            return run(MenuCommand::helpShortcuts);
        case MainItem::close:
            if (active)
                active->close();
            return;
        case MainItem::minimize:
            if (active)
                active->showMinimized();
            return;
        case MainItem::cut:
            return focusSlot("cut");
        case MainItem::copy:
            return focusSlot("copy");
        case MainItem::paste:
            return focusSlot("paste");
        case MainItem::selectAll:
            return focusSlot("selectAll");
        case MainItem::save:
            return ed->cmdSave();
        case MainItem::saveAs:
            return ed->saveAs();
        case MainItem::pin:
            return ed->pinFinished();
        case MainItem::zoomIn:
            return ed->cmdZoom(1.25);
        case MainItem::zoomOut:
            return ed->cmdZoom(0.8);
        case MainItem::zoomFit:
            return ed->cmdZoomFit(4);
        case MainItem::zoomActual:
            return ed->cmdZoomActual();
        case MainItem::undo:
            ed->canvas()->perform(CanvasView::Action::undo);
            return;
        case MainItem::redo:
            ed->canvas()->perform(CanvasView::Action::redo);
            return;
        case MainItem::deleteObject:
            ed->canvas()->perform(CanvasView::Action::deleteSelection);
            return;
        case MainItem::bringToFront:
            ed->canvas()->perform(CanvasView::Action::bringToFront);
            return;
        case MainItem::sendToBack:
            ed->canvas()->perform(CanvasView::Action::sendToBack);
            return;
    }
}

}  // namespace kx
