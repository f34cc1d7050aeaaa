#pragma once
// The main menu: every command with its keyboard shortcut, built from the one key table
// (ui/MenuKeys.h, which the help reads too). With `showDock` on it is the menu bar of each
// Kaptorix window; off, its actions are still added to each window so the shortcuts work
// without a bar. The editor's items act on
// the active editor window; that window's own key actions take the place of the menu's where
// both would claim a key (two actions on one key in one window would both stay silent).
#include "app/StatusMenu.h"
#include "ui/MenuKeys.h"

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

class MainMenu : public QObject {
    Q_OBJECT
public:
    // `perform` runs the commands the tray's status menu shares.
    explicit MainMenu(std::function<void(MenuCommand, const QVariant&)> perform, QObject* parent = nullptr);
    ~MainMenu() override;

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
