#pragma once
// The tray icon's menu, rebuilt each time it opens from the current shortcuts, recent
// colours, open pins and stored language. Every item carries its command in its data.
#include "platform/HotKeys.h"

#include <QColor>
#include <QHash>
#include <QPalette>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

class QAction;
class QMenu;

namespace kx {

enum class MenuCommand {
    capture,       // value: HotKeyAction raw value
    timedCapture,  // value: [raw value, seconds]
    history,
    copyColor,  // value: the stored colour text
    pinsClickable,
    pinsClose,
    openImage,
    openClipboard,
    language,  // value: "en", "hu" or "de"
    checkForUpdates,
    help,
    helpShortcuts,
    settings,
    about,
    hide,
    quit,
};

struct StatusMenuState {
    QHash<HotKeyAction, std::optional<KeyCombo>> combos;
    QStringList recentColors;
    int pins = 0;
    QString language = QStringLiteral("en");  // the stored setting ("auto" checks nothing)
    QString uiLanguage = QStringLiteral("en");
    bool header = true;  // the tray can show a widget row
    // The tray exports the menu (StatusNotifier): keys its host cannot name go into the text.
    bool exported = false;
    QSet<MenuCommand> unavailable;  // items whose window is not part of this build

    // The state of the running program.
    static StatusMenuState current();
};

class StatusMenu {
public:
    // The six timed rows: (action, seconds).
    static const QList<QPair<HotKeyAction, int>>& timedRows();

    // Empties `menu` and fills it from `state`.
    static void fill(QMenu* menu, const StatusMenuState& state);

    // The item's menu shortcut: only a combination whose key label is one character.
    static std::optional<QKeySequence> menuShortcut(const std::optional<KeyCombo>& combo);
    // Whether a StatusNotifier host shows this key as a key hint: Qt exports the key's own
    // name, which the common hosts read only for letters, digits and named keys.
    static bool hostNamesKey(const QKeySequence& key);
    // Sets the item's key hint: as its shortcut, or after a tab in its text when the menu is
    // exported and the host could not name the key, or when the key is "&".
    static void setKeyHint(QAction* action, const QKeySequence& key, bool exported);
    // The colour of the items' symbols: the palette's text, or one that reads on any menu
    // when a host draws the menu.
    static QColor iconColor(bool exported, const QPalette& palette);
    static QString timedTitle(HotKeyAction action, int seconds, const QString& lang);
    static QString pinsTitle(int count, const QString& lang);

    // The command and value an item carries.
    static std::optional<MenuCommand> command(const QAction* action);
    static QVariant value(const QAction* action);
    static void setCommand(QAction* action, MenuCommand command, const QVariant& value = {});
};

}  // namespace kx
