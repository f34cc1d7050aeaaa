#include "app/TrayApp.h"

#include "app/AboutDialog.h"
#include "app/OpenImage.h"
#include "app/TrayIconLook.h"
#include "capture/coordinator/CaptureCoordinator.h"
#include "capture/coordinator/Notices.h"
#include "capture/history/HistoryStore.h"
#include "core/AtomicFile.h"
#include "core/ColorUtils.h"
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "core/PrefsNotifier.h"
#include "help/HelpWindowController.h"
#include "library/pins/PinManager.h"
#include "library/upload/RemoteUploader.h"
#include "library/upload/UploadQueue.h"
#include "platform/HotKeyManager.h"
#include "platform/Permissions.h"
#include "settings/SettingsWindowController.h"
#include "ui/Brand.h"
#include "ui/Symbols.h"
#include "ui/ToastView.h"
#include "ui/WindowPolicy.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageReader>
#include <QKeyEvent>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <cstdio>

namespace kx {

TrayApp::Windows TrayApp::Windows::real()
{
    Windows w;
    w.settings = [](std::optional<int> tab) { SettingsWindowController::shared().show(tab); };
    w.help = [](std::optional<QString> topic) { HelpWindowController::shared().show(topic); };
    w.pinCount = [] { return int(PinManager::shared().pins().size()); };
    w.pinsClickable = [] { PinManager::shared().makeAllClickable(); };
    w.pinsClose = [] { PinManager::shared().closeAll(); };
    return w;
}

TrayApp::TrayApp(QObject* parent) : QObject(parent), windows_(Windows::real())
{
    connect(&statusMenu_, &QMenu::aboutToShow, this, [this] { StatusMenu::fill(&statusMenu_, menuState()); });
    connect(&statusMenu_, &QMenu::triggered, this, [this](QAction* a) {
        // The item must outlive its own action: a refill it causes waits until it returned.
        ++performing_;
        if (const auto cmd = StatusMenu::command(a))
            perform(*cmd, StatusMenu::value(a));
        --performing_;
        if (menuStale_)
            refreshMenuSoon();
    });
    menuRefresh_.setSingleShot(true);
    menuRefresh_.setInterval(0);
    connect(&menuRefresh_, &QTimer::timeout, this, &TrayApp::refreshMenu);
    iconLook_.setSingleShot(true);
    iconLook_.setInterval(250);
    connect(&iconLook_, &QTimer::timeout, this, [this] {
        chooseTrayIcon();
        // A tray slow to draw its background (a busy machine) is read again a few times after
        // the event that started the round; an unchanged variant costs nothing.
        static constexpr int kLater[]{1000, 3000, 8000};
        if (iconLookRound_ < int(std::size(kLater)))
            iconLook_.start(kLater[iconLookRound_++]);
    });
    qApp->installEventFilter(this);
}

void TrayApp::refreshMenuSoon()
{
    menuStale_ = true;
    if (!performing_)
        menuRefresh_.start();
}

void TrayApp::refreshMenu()
{
    // A menu on the screen was filled as it opened; the next opening fills it again.
    if (performing_ || statusMenu_.isVisible())
        return;
    menuStale_ = false;
    StatusMenu::fill(&statusMenu_, menuState());
}

void TrayApp::watchMenuSources()
{
    // A host that shows an exported menu without asking for it first shows it as it is: keep
    // it current with everything it is built from.
    connect(&PrefsNotifier::shared(), &PrefsNotifier::changed, this, [this](const QString& key) {
        if (key == QLatin1String("language") || key == QLatin1String("recentColors") ||
            key.startsWith(QLatin1String("hotkey.")))
            refreshMenuSoon();
    });
    connect(&HotKeyManager::shared(), &HotKeyManager::regrabbedAll, this, &TrayApp::refreshMenuSoon);
    connect(&PinManager::shared(), &PinManager::pinsChanged, this, &TrayApp::refreshMenuSoon);
}

TrayApp::~TrayApp() = default;

StatusMenuState TrayApp::menuState() const
{
    StatusMenuState s = StatusMenuState::current();
    // A StatusNotifier host gets the menu over D-Bus, where a widget row shows empty.
    s.exported = trayProtocol_ == TrayProtocol::statusNotifier;
    s.header = !s.exported;
    s.pins = windows_.pinCount ? windows_.pinCount() : 0;
    const auto& env = CaptureCoordinator::shared().environment();
    const std::pair<MenuCommand, bool> present[]{{MenuCommand::history, bool(env.showHistory)},
                                                 {MenuCommand::settings, bool(windows_.settings)},
                                                 {MenuCommand::help, bool(windows_.help)},
                                                 {MenuCommand::pinsClickable, bool(windows_.pinsClickable)},
                                                 {MenuCommand::pinsClose, bool(windows_.pinsClose)}};
    for (const auto& [cmd, there] : present)
        if (!there)
            s.unavailable.insert(cmd);
    return s;
}

void TrayApp::launch()
{
    Prefs::registerDefaults();
    installQtTranslations();
    if (const auto notice = settingsNotice(Prefs::health(), Prefs::settingsPath()))
        tell(notice->first, notice->second, 10);
    // A change the disk did not take is said once a run, as it is made.
    connect(&PrefsNotifier::shared(), &PrefsNotifier::notSaved, this, [this] {
        const auto [title, text] = notSavedNotice(Prefs::health(), Prefs::settingsPath());
        tell(title, text, 10);
    });
    // A second session of this user (another display, the same home) shares the settings.
    Prefs::followChangesElsewhere();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/kaptorix/kaptorix.svg")));
    buildMainMenu();
    // Keys first: once the icon shows, the shortcuts work.
    registerHotKeys();
    buildTray();
    // Reading a long history takes tens of ms: it waits until the tray has painted the icon
    // (eventFilter), or a moment where no tray embeds it. A capture before then opens it itself.
    historyLater_.setSingleShot(true);
    connect(&historyLater_, &QTimer::timeout, this, &TrayApp::openHistory);
    historyLater_.start(kHistoryAtTheLatestMs);
    firstRun();
}

void TrayApp::openHistory()
{
    if (historyOpened_)
        return;
    historyOpened_ = true;
    historyLater_.stop();
    HistoryStore::shared().dropEntriesWithoutImage();
    HistoryStore::shared().prune();
    // The upload names keep nothing of a capture the history no longer has.
    RemoteUploader::followHistory();
    Notices::watchHistory(HistoryStore::shared());
    reportKeptFiles();
}

void TrayApp::reportKeptFiles()
{
    // Said once: an unreadable history or upload queue was kept aside, not lost; captures came
    // back or were pruned. Each of the history's notices is a toast of its own.
    for (const HistoryStore::Notice& n : HistoryStore::shared().takeStartNotices())
        tell(n.title, n.text, 8);
    const QString queueText = UploadQueue::shared().takeStartNotice();
    if (!queueText.isEmpty())
        tell(kx::tr("Upload queue", "Feltöltési sor", "Upload-Warteschlange"), queueText, 8);
}

void TrayApp::tell(const QString& title, const QString& text, double seconds)
{
    // A warning: the toast shows the start's warnings one after the other, each for its time,
    // together with whatever else the start brings (the notice of files handed over).
    Notices::show(title, text, "exclamationmark.triangle.fill"_sym, seconds);
}

std::optional<std::pair<QString, QString>> TrayApp::settingsNotice(const Prefs::Health& h,
                                                                   const QString& path)
{
    // What follows from it comes first, then where and why: a long path or the system's reason
    // in another language must not push the consequence out of the toast.
    const QString where = ToastView::shortPath(path);
    if (!h.readable)
        return std::pair{
            kx::tr("Settings cannot be read", "A beállítások nem olvashatók, az alapértelmezések érvényesek",
                   "Einstellungen nicht lesbar, Standardwerte gelten"),
            kx::tr("Kaptorix starts with its defaults; changes last until it quits. %1: %2.",
                   "A módosítások csak kilépésig maradnak meg. %1: %2.",
                   "Änderungen gelten nur bis zum Beenden. %1: %2.")
                .arg(where, h.reason)};
    const QString unsaved =
        kx::tr("Settings cannot be saved", "A beállítások nem menthetők", "Einstellungen nicht speicherbar");
    if (!h.writable && !h.readWhole)
        return std::pair{
            unsaved,
            kx::tr("Changes last until Kaptorix quits: part of %1 cannot be read nor copied aside, so it is "
                   "left as it is.",
                   "A módosítások csak kilépésig maradnak meg: a(z) %1 részben olvashatatlan és nem "
                   "másolható.",
                   "Änderungen gelten nur bis zum Beenden: %1 ist teils unlesbar und nicht kopierbar.")
                .arg(where)};
    if (!h.writable)
        return std::pair{unsaved, kx::tr("Changes last until Kaptorix quits. %1: %2.",
                                         "A módosítások csak kilépésig maradnak meg. %1: %2.",
                                         "Änderungen gelten nur bis zum Beenden. %1: %2.")
                                      .arg(where, h.reason)};
    if (!h.linkedTo.isEmpty())
        return std::pair{
            kx::tr("Settings link not followed", "A beállítások hivatkozása nincs követve",
                   "Einstellungs-Link nicht gefolgt"),
            kx::tr("It named %1, which holds no settings: that file is left as it is, and the settings get a "
                   "file of their own.",
                   "Erre mutatott: %1, ami nem beállításfájl. Az változatlan marad, a beállítások "
                   "saját fájlt kapnak.",
                   "Sein Ziel %1 enthält keine Einstellungen und bleibt unberührt; sie bekommen eine eigene "
                   "Datei.")
                .arg(ToastView::shortPath(h.linkedTo))};
    if (!h.readWhole)
        return std::pair{kx::tr("Settings file kept aside", "A beállításfájl félretéve",
                                "Einstellungsdatei beiseitegelegt"),
                         kx::tr("Part of %1 could not be read; the whole file is kept as %2.",
                                "A(z) %1 egy része nem olvasható; a teljes fájl megmaradt: %2.",
                                "Ein Teil von %1 ist nicht lesbar; die ganze Datei liegt daneben als %2.")
                             .arg(where, QFileInfo(h.keptAs).fileName())};
    return std::nullopt;
}

std::pair<QString, QString> TrayApp::notSavedNotice(const Prefs::Health& h, const QString& path)
{
    // As at the start: what follows first, then where and why.
    const QString where = ToastView::shortPath(path);
    const QString title =
        kx::tr("Settings cannot be saved", "A beállítások nem menthetők", "Einstellungen nicht speicherbar");
    if (h.reason.isEmpty())
        return {title, kx::tr("Change not saved; it lasts until Kaptorix quits: %1 is left as it is.",
                              "A módosítás nincs mentve, kilépésig érvényes: a(z) %1 változatlan.",
                              "Änderung nicht gesichert, gilt bis zum Beenden: %1 bleibt unverändert.")
                           .arg(where)};
    return {title, kx::tr("Change not saved; it lasts until Kaptorix quits. %1: %2.",
                          "A módosítás nincs mentve, kilépésig érvényes. %1: %2.",
                          "Änderung nicht gesichert, gilt bis zum Beenden. %1: %2.")
                       .arg(where, h.reason)};
}

void TrayApp::buildTray()
{
    // Chosen before the icon shows, from the tray as it is now; chosen again once it is
    // embedded, and whenever it is embedded anew or the tray behind it is redrawn.
    trayProtocol_ = trayProtocol();
    const bool xembed = trayProtocol_ == TrayProtocol::xembed;
    iconStyle_ = chooseTrayIconStyle(trayProtocol_, xembed ? xembedTrayBackground() : std::nullopt,
                                     xembed ? xembedTrayForeground() : std::nullopt);
    tray_ = new QSystemTrayIcon(Brand::statusBarIcon(iconStyle_), this);
    tray_->setToolTip(QStringLiteral("Kaptorix"));
    // Filled before it is handed over: an exported menu is whole from the first right-click.
    StatusMenu::fill(&statusMenu_, menuState());
    tray_->setContextMenu(&statusMenu_);
    watchMenuSources();
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            statusMenu_.popup(QCursor::pos());
    });
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        // Its colour is chosen again once the tray embedded and painted it (eventFilter).
        tray_->show();
        return;
    }
    std::fputs("Kaptorix: no system tray found; the shortcuts work, and the icon appears once a tray runs.\n",
               stderr);
    showTrayWhenHostAppears();
}

void TrayApp::chooseTrayIcon()
{
    if (!tray_)
        return;
    trayProtocol_ = trayProtocol();
    std::optional<QColor> background, foreground;
    if (trayProtocol_ == TrayProtocol::xembed) {
        if (QWidget* icon = xembedIconWidget())
            background = xembedTrayBackground(quint32(icon->internalWinId()));
        foreground = xembedTrayForeground();
    }
    const Brand::StatusIconStyle style = chooseTrayIconStyle(trayProtocol_, background, foreground);
    if (style == iconStyle_)
        return;
    iconStyle_ = style;
    tray_->setIcon(Brand::statusBarIcon(style));
}

QWidget* TrayApp::xembedIconWidget()
{
    // Qt's XEmbed icon is a top-level widget of its own until the tray reparents it.
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("QSystemTrayIconSys") && w->internalWinId())
            return w;
    return nullptr;
}

bool TrayApp::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    // Floating tool windows (pins) carry no main menu keys: Hide Kaptorix reaches them here.
    if (type == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        auto* w = qobject_cast<QWidget*>(watched);
        if (key->key() == Qt::Key_H && key->modifiers() == Qt::ControlModifier && w &&
            w->window()->windowType() == Qt::Tool &&
            !(w->window()->windowFlags() & Qt::X11BypassWindowManagerHint)) {
            hideAll();
            return true;
        }
    }
    // A new desktop palette or theme may come with a panel of another colour.
    if (watched == qApp && (type == QEvent::ApplicationPaletteChange || type == QEvent::ThemeChange)) {
        iconLookRound_ = 0;
        iconLook_.start(0);
    }
    // The icon shown or painted anew: embedded by a (perhaps restarted) tray, or the tray
    // behind it redrawn in another colour. The choice settles: a repaint with the same
    // variant changes nothing.
    if (type == QEvent::Show || type == QEvent::Paint || type == QEvent::WinIdChange) {
        auto* w = qobject_cast<QWidget*>(watched);
        if (w && w->isWindow() && w->objectName() == QLatin1String("QSystemTrayIconSys")) {
            iconLookRound_ = 0;
            if (!iconLook_.isActive() || iconLook_.remainingTime() > 250)
                iconLook_.start(250);
            // After this paint has reached the server.
            if (type == QEvent::Paint && !historyOpened_)
                historyLater_.start(0);
        }
    }
    return false;
}

void TrayApp::buildMainMenu()
{
    mainMenu_ = new MainMenu([this](MenuCommand c, const QVariant& v) { perform(c, v); }, this);
    auto& policy = WindowPolicy::shared();
    policy.onApply = [menu = QPointer<MainMenu>(mainMenu_)](QWidget* window, bool menuBar) {
        if (menu)
            menu->attach(window, menuBar);
    };
    policy.install();
}

void TrayApp::showTrayWhenHostAppears()
{
    auto* poll = new QTimer(this);
    poll->setInterval(1000);
    connect(poll, &QTimer::timeout, this, [this, poll] {
        if (!QSystemTrayIcon::isSystemTrayAvailable())
            return;
        tray_->show();
        poll->deleteLater();
    });
    poll->start();
}

void TrayApp::registerHotKeys()
{
    auto& keys = HotKeyManager::shared();
    keys.onTrigger = [log = qEnvironmentVariableIsSet("KAPTORIX_LOG_NOTICES")](HotKeyAction action) {
        // Beside the notices: a desktop test can tell a key X never delivered from a capture lost.
        if (log)
            std::fprintf(stderr, "hot key: %d\n", int(action));
        // A later turn: the key event handler returns before the capture starts.
        QTimer::singleShot(0, &CaptureCoordinator::shared(),
                           [action] { CaptureCoordinator::shared().perform(action, 0); });
    };
    keys.registerAll();
    reportRefusedKeys();
    // A keyboard-map change can take a key away: say so like a refusal at start.
    connect(&keys, &HotKeyManager::regrabbedAll, this, &TrayApp::reportRefusedKeys);
}

QStringList TrayApp::refusedShortcuts()
{
    QStringList out;
    auto& keys = HotKeyManager::shared();
    for (int i = 0; i <= int(HotKeyAction::history); ++i) {
        const auto action = HotKeyAction(i);
        if (!keys.failed().contains(action))
            continue;
        const auto combo = keys.combo(action);
        out << (combo ? keys.named(*combo).display() : title(action));
    }
    return out;
}

void TrayApp::reportRefusedKeys()
{
    auto& keys = HotKeyManager::shared();
    QList<std::pair<QString, QString>> elsewhere;  // key, action
    for (int i = 0; i <= int(HotKeyAction::history); ++i) {
        const auto action = HotKeyAction(i);
        const auto combo = keys.combo(action);
        if (!keys.failed().contains(action) || !combo)
            continue;
        const std::optional<HotKeyAction> holder = keys.heldBy(action);
        // Once per key and reason: a layout change grabs everything again.
        const QString seen = QStringLiteral("%1/%2/%3/%4")
                                 .arg(i)
                                 .arg(combo->keyCode)
                                 .arg(combo->modifiers())
                                 .arg(holder ? int(*holder) : -1);
        if (reportedKeys_.contains(seen))
            continue;
        reportedKeys_.insert(seen);
        const QString shown = keys.named(*combo).display();
        if (!holder) {
            elsewhere.append({shown, title(action)});
            continue;
        }
        const auto [heldTitle, heldLine] = heldKeyNotice(shown, title(action), title(*holder));
        tell(heldTitle, heldLine, 6);
    }
    if (elsewhere.isEmpty())
        return;
    QStringList named;
    for (const auto& [key, action] : std::as_const(elsewhere))
        named << QStringLiteral("%1 (%2)").arg(key, action);
    std::fprintf(stderr, "Kaptorix: shortcuts taken by another client: %s\n", qPrintable(named.join(", ")));
    const auto [title, line] = takenKeysNotice(elsewhere);
    tell(title, line, 8);
}

std::pair<QString, QString> TrayApp::heldKeyNotice(const QString& key, const QString& action,
                                                   const QString& holder)
{
    // One of our own actions holds the key: name it, and the action left without one.
    return {key, kx::tr("“%1” has no shortcut: this key starts “%2”.",
                        "A(z) „%1” műveletnek nincs billentyűparancsa: ez a(z) „%2” billentyűje.",
                        "„%1“ hat kein Tastenkürzel: Diese Taste startet „%2“.")
                     .arg(action, holder)};
}

std::pair<QString, QString> TrayApp::takenKeysNotice(const QList<std::pair<QString, QString>>& taken)
{
    if (taken.size() == 1)
        return {
            kx::tr("“%1” has no shortcut", "A(z) „%1” műveletnek nincs billentyűparancsa",
                   "„%1“ hat kein Tastenkürzel")
                .arg(taken[0].second),
            kx::tr("Another app or the system holds %1. Choose another key in Settings → Shortcuts.",
                   "A(z) %1 egy másik alkalmazásé vagy a rendszeré. Válassz másikat a Beállítások → "
                   "Billentyűparancsok fülön.",
                   "Eine andere App oder das System belegt %1. Wähle eine andere Taste unter Einstellungen "
                   "→ Tastenkürzel.")
                .arg(taken[0].first)};
    const QString title =
        kx::tr("%1 shortcuts are taken", "%1 billentyűparancs foglalt", "%1 Tastenkürzel sind belegt")
            .arg(taken.size());
    // Two are named; the names of three or more would leave no room for where to choose others,
    // and the page marks each one.
    if (taken.size() > 2)
        return {title,
                kx::tr("Another app or the system holds their keys. Settings → Shortcuts marks each one; "
                       "choose others there.",
                       "Egy másik alkalmazás vagy a rendszer használja őket. A Beállítások → "
                       "Billentyűparancsok fül mindegyiket jelöli; ott válassz másikat.",
                       "Eine andere App oder das System belegt ihre Tasten. Einstellungen → Tastenkürzel "
                       "markiert jede; wähle dort andere.")};
    const QString actions =
        kx::tr("“%1” and “%2”", "„%1” és „%2”", "„%1“ und „%2“").arg(taken[0].second, taken[1].second);
    return {title, kx::tr("Another app or the system holds the keys of %1. Choose others in Settings → "
                          "Shortcuts.",
                          "%1 billentyűparancsa foglalt. Válassz másikat: Beállítások → Billentyűparancsok.",
                          "Betroffen: %1. Wähle andere unter Einstellungen → Tastenkürzel.")
                       .arg(actions)};
}

void TrayApp::firstRun()
{
    if (!Prefs::takeFirstRun())
        return;
    QTimer::singleShot(0, this, [this] {
        Permissions::ensureScreenRecording();
        if (windows_.settings)
            windows_.settings(std::nullopt);
    });
}

void TrayApp::perform(MenuCommand command, const QVariant& value)
{
    auto& coordinator = CaptureCoordinator::shared();
    switch (command) {
        case MenuCommand::capture:
            if (const auto action = fromRaw<HotKeyAction>(value.toString()))
                QTimer::singleShot(250, &coordinator,
                                   [action] { CaptureCoordinator::shared().perform(*action, 0); });
            break;
        case MenuCommand::timedCapture: {
            const QVariantList pair = value.toList();
            const auto action =
                pair.size() == 2 ? fromRaw<HotKeyAction>(pair.at(0).toString()) : std::nullopt;
            if (action && pair.at(1).canConvert<int>())
                coordinator.perform(*action, pair.at(1).toInt());
            break;
        }
        case MenuCommand::history:
            coordinator.perform(HotKeyAction::history, 0);
            break;
        case MenuCommand::copyColor:
            copyColor(value.toString());
            break;
        case MenuCommand::pinsClickable:
            if (windows_.pinsClickable)
                windows_.pinsClickable();
            break;
        case MenuCommand::pinsClose:
            if (windows_.pinsClose)
                windows_.pinsClose();
            break;
        case MenuCommand::openImage:
            openImagePanel();
            break;
        case MenuCommand::openClipboard:
            OpenImage::openClipboard();
            break;
        case MenuCommand::language:
            chooseLanguage(value.toString());
            break;
        case MenuCommand::checkForUpdates:
            Notices::show(
                QStringLiteral("Kaptorix %1").arg(AppInfo::version()),
                kx::tr("Updates come through your package manager.", "A frissítéseket a csomagkezelő hozza.",
                       "Updates kommen über die Paketverwaltung."),
                "arrow.triangle.2.circlepath"_sym, 5);
            break;
        case MenuCommand::help:
        case MenuCommand::helpShortcuts:
            if (windows_.help)
                windows_.help(command == MenuCommand::helpShortcuts
                                  ? std::optional<QString>(QStringLiteral("shortcuts"))
                                  : std::nullopt);
            break;
        case MenuCommand::settings:
            if (windows_.settings)
                windows_.settings(std::nullopt);
            break;
        case MenuCommand::about:
            showAbout();
            break;
        case MenuCommand::hide:
            hideAll();
            break;
        case MenuCommand::quit:
            QCoreApplication::quit();
            break;
    }
}

void TrayApp::hideAll()
{
    // By window type: tool tips, popups, panels and the tray icon's own window stay.
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && WindowPolicy::decide(false, w->windowFlags(), false).managed)
            w->showMinimized();
}

void TrayApp::copyColor(const QString& text)
{
    const auto color = colorFromHex(text);
    if (!color)
        return;
    const QString out = formatted(*color, Prefs::colorFormat());
    QGuiApplication::clipboard()->setText(out);
    Notices::show(kx::tr("Color copied", "Szín kimásolva", "Farbe kopiert"), out, "eyedropper"_sym, 3);
}

void TrayApp::openImagePanel()
{
    QStringList filters;
    for (const QByteArray& f : QImageReader::supportedImageFormats())
        filters << QStringLiteral("*.") + QString::fromLatin1(f);
    filters << QStringLiteral("*.heic") << QStringLiteral("*.heif");
    const QStringList files = QFileDialog::getOpenFileNames(
        nullptr, kx::tr("Open image…", "Kép megnyitása…", "Bild öffnen…"),
        QStandardPaths::writableLocation(QStandardPaths::PicturesLocation),
        kx::tr("Images", "Képek", "Bilder") + QStringLiteral(" (%1)").arg(filters.join(QLatin1Char(' '))));
    OpenImage::open(files);
}

void TrayApp::chooseLanguage(const QString& code)
{
    if (code != QLatin1String("en") && code != QLatin1String("hu") && code != QLatin1String("de"))
        return;
    QString current = Prefs::string("language");
    if (current.isEmpty())
        current = QStringLiteral("en");
    if (code == current)
        return;
    Prefs::set("language", code);
    Prefs::sync();
    QMessageBox box;
    box.setIcon(QMessageBox::Question);
    box.setText(kx::tr("Restart Kaptorix to switch the language?",
                       "Újraindítod a Kaptorixot a nyelvváltáshoz?",
                       "Kaptorix neu starten, um die Sprache zu wechseln?"));
    box.setInformativeText(kx::tr("The new language is used after a restart.",
                                  "Az új nyelv az újraindítás után lép életbe.",
                                  "Die neue Sprache gilt nach einem Neustart."));
    QPushButton* restart =
        box.addButton(kx::tr("Restart", "Újraindítás", "Neu starten"), QMessageBox::AcceptRole);
    box.addButton(kx::tr("Later", "Később", "Später"), QMessageBox::RejectRole);
    box.exec();
    if (box.clickedButton() == restart && !QCoreApplication::closingDown())
        relaunch();
}

void TrayApp::relaunch()
{
    // The new process waits for this one to let go of the single-instance socket.
    QProcess child;
    child.setProgram(QCoreApplication::applicationFilePath());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KAPTORIX_RELAUNCH_PID"), QString::number(QCoreApplication::applicationPid()));
    child.setProcessEnvironment(env);
    if (!child.startDetached()) {
        Notices::show(kx::tr("Restart failed", "Az újraindítás nem sikerült", "Neustart fehlgeschlagen"),
                      child.errorString(), "exclamationmark.triangle.fill"_sym, 5);
        return;
    }
    QCoreApplication::quit();
}

void TrayApp::showAbout()
{
    if (!about_)
        about_ = new AboutDialog;
    about_->show();
    about_->raise();
    about_->activateWindow();
}

}  // namespace kx
