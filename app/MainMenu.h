#pragma once
// The main menu: every command with its keyboard shortcut, from one table (the help reads it
// too). With `showDock` on it is the menu bar of each Kaptorix window; off, its actions are
// still added to each window so the shortcuts work without a bar. The editor's items act on
// the active editor window; that window's own key actions take the place of the menu's where
// both would claim a key (two actions on one key in one window would both stay silent).
#include "app/StatusMenu.h"

#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>
#include <optional>

class QAction;
class QMenuBar;
class QWidget;

namespace kx {

class EditorWindowController;

enum class MainItem {
    about,
    settings,
    hide,
    quit,
    openImage,
    openClipboard,
    save,
    saveAs,
    pin,
    close,
    undo,
    redo,
    cut,
    copy,
    paste,
    selectAll,
    deleteObject,
    bringToFront,
    sendToBack,
    zoomIn,
    zoomOut,
    zoomFit,
    zoomActual,
    capture,
    minimize,
    history,
    help,
    helpShortcuts
};

struct MainMenuEntry {
    int menu = 0;  // index into MainMenu::menuTitles()
    MainItem item = MainItem::about;
    std::optional<HotKeyAction> capture;  // the Capture menu's rows
    QList<QKeySequence> keys;             // the first one is shown
    QString title;
    bool separatorBefore = false;
    bool editor = false;    // acts on the active editor; disabled without one
    bool keyShown = false;  // the key is shown, but left to the focused widget (Backspace)
};

class MainMenu : public QObject {
    Q_OBJECT
public:
    // `perform` runs the commands the tray's status menu shares.
    explicit MainMenu(std::function<void(MenuCommand, const QVariant&)> perform, QObject* parent = nullptr);
    ~MainMenu() override;

    // "Kaptorix", "File", "Edit", "View", "Capture", "Window", "Help".
    static QStringList menuTitles();
    static const QList<MainMenuEntry>& table();

    // Adds the shortcuts to `window` and, with `menuBar`, a menu bar (removed again without).
    void attach(QWidget* window, bool menuBar);
    // The shared action of one row (nullptr for none).
    QAction* action(MainItem item, std::optional<HotKeyAction> capture = std::nullopt) const;
    QMenuBar* menuBar(QWidget* window) const;
    // The editor whose window is active, if any.
    static EditorWindowController* activeEditor();
    // Enables the editor's items when an editor window is active.
    void refreshEnabled();

private:
    void trigger(const MainMenuEntry& entry);
    QAction* ownAction(QWidget* window, const MainMenuEntry& entry) const;

    std::function<void(MenuCommand, const QVariant&)> perform_;
    QList<QAction*> actions_;  // in table order
};

}  // namespace kx
