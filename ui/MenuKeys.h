#pragma once
// The main menu's rows and their keyboard shortcuts: the one key table. The menu factory
// builds its actions from it, the editor installs its keys from it, and the help shows
// the keys it lists, so a changed key changes everywhere at once.
#include "platform/HotKeys.h"

#include <QKeySequence>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace kx {

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
    int menu = 0;  // index into mainMenuTitles()
    MainItem item = MainItem::about;
    std::optional<HotKeyAction> capture;  // the Capture menu's rows
    QList<QKeySequence> keys;             // the first one is shown
    QString title;                        // localised
    bool separatorBefore = false;
    bool editor = false;    // acts on the active editor; disabled without one
    bool keyShown = false;  // the key is shown, but left to the focused widget (Backspace)
};

// "Kaptorix", "File", "Edit", "View", "Capture", "Window", "Help".
QStringList mainMenuTitles();
// Every row in menu order; titles in the language the process started with.
const QList<MainMenuEntry>& mainMenuTable();
// The keys of the first row of `item` (none for a row without keys).
QList<QKeySequence> menuKeys(MainItem item);
// "Ctrl+Shift+Z": the first key of `item` as the desktop writes it; empty without one.
QString menuKeyHint(MainItem item);

}  // namespace kx
