#pragma once
// The running program: the launch sequence, the tray icon with its status menu, the hot
// keys, and the actions behind the menu items.
#include "app/MainMenu.h"
#include "app/StatusMenu.h"
#include "core/Prefs.h"
#include "platform/TrayLook.h"
#include "ui/Brand.h"

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QSystemTrayIcon>
#include <QTimer>
#include <functional>
#include <optional>
#include <utility>

namespace kx {

class TrayApp : public QObject {
    Q_OBJECT
public:
    // Entry points of windows built elsewhere; empty ones leave their items disabled.
    struct Windows {
        std::function<void(std::optional<int> tab)> settings;
        std::function<void(std::optional<QString> topic)> help;
        std::function<int()> pinCount;
        std::function<void()> pinsClickable;
        std::function<void()> pinsClose;
        static Windows real();
    };

    explicit TrayApp(QObject* parent = nullptr);
    ~TrayApp() override;

    // Runs the launch sequence once the event loop is up.
    void launch();
    // The item's command (menus, tests).
    void perform(MenuCommand command, const QVariant& value);
    QMenu* statusMenu() { return &statusMenu_; }
    MainMenu* mainMenu() const { return mainMenu_; }
    QSystemTrayIcon* trayIcon() const { return tray_; }
    // The state the status menu is built from now.
    StatusMenuState menuState() const;
    // The shortcuts that could not be grabbed, as "Ctrl+Alt+3" texts in action order.
    static QStringList refusedShortcuts();
    // What the start says of settings it cannot read or save, or of a settings file kept aside
    // (title and second line); none when they are fine.
    static std::optional<std::pair<QString, QString>> settingsNotice(const Prefs::Health& health,
                                                                     const QString& path);
    // What is said once a run when a change could not be written.
    static std::pair<QString, QString> notSavedNotice(const Prefs::Health& health, const QString& path);
    // The notice, title and second line, for shortcuts another program holds, given as (key,
    // action title) in action order.
    static std::pair<QString, QString> takenKeysNotice(const QList<std::pair<QString, QString>>& taken);
    // The notice for a key that `holder`, another of Kaptorix's actions, keeps from `action`.
    static std::pair<QString, QString> heldKeyNotice(const QString& key, const QString& action,
                                                     const QString& holder);
    // The variant the tray icon shows now.
    Brand::StatusIconStyle trayIconStyle() const { return iconStyle_; }
    // Minimises every shown window of ours that the window manager manages (Hide Kaptorix).
    static void hideAll();

private:
    void buildTray();
    void reportKeptFiles();
    // A warning of the start, shown once those before it have had their time.
    static void tell(const QString& title, const QString& text, double seconds);
    void openHistory();
    void chooseTrayIcon();
    static QWidget* xembedIconWidget();
    bool eventFilter(QObject* watched, QEvent* event) override;
    void watchMenuSources();
    void refreshMenuSoon();
    void refreshMenu();
    void buildMainMenu();
    void showTrayWhenHostAppears();
    void registerHotKeys();
    void reportRefusedKeys();
    void firstRun();
    void chooseLanguage(const QString& code);
    void relaunch();
    void openImagePanel();
    void copyColor(const QString& text);
    void showAbout();

    Windows windows_;
    QMenu statusMenu_;
    QSystemTrayIcon* tray_ = nullptr;
    QPointer<QWidget> about_;
    MainMenu* mainMenu_ = nullptr;
    Brand::StatusIconStyle iconStyle_ = Brand::StatusIconStyle::outlined;
    TrayProtocol trayProtocol_ = TrayProtocol::none;
    QSet<QString> reportedKeys_;  // each refused key is told once per run
    QTimer menuRefresh_;
    QTimer iconLook_;        // chooses the icon's variant again, once things settled
    int iconLookRound_ = 0;  // how many of the later readings of this round have run
    QTimer historyLater_;    // opens the history once the icon is on screen
    int performing_ = 0;
    bool menuStale_ = false;
    bool historyOpened_ = false;
    static constexpr int kHistoryAtTheLatestMs = 1000;
};

}  // namespace kx
