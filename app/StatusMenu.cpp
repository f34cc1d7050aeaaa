#include "app/StatusMenu.h"

#include "capture/coordinator/ColorHistory.h"
#include "core/ColorUtils.h"
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "platform/HotKeyManager.h"
#include "ui/Brand.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>
#include <QWidgetAction>

namespace kx {

namespace {

constexpr std::array kFirstGroup{HotKeyAction::area, HotKeyAction::fullscreen, HotKeyAction::activeWindow,
                                 HotKeyAction::windowPicker, HotKeyAction::scrolling};
constexpr std::array kSecondGroup{HotKeyAction::ocr, HotKeyAction::colorPicker, HotKeyAction::pinArea,
                                  HotKeyAction::repeatLast};

QIcon menuIcon(const QString& symbol, const StatusMenuState& state)
{
    return Symbols::icon(symbol, StatusMenu::iconColor(state.exported, QApplication::palette()));
}

QWidget* headerWidget()
{
    auto* w = new QWidget;
    w->setFixedSize(264, 46);
    auto* row = new QHBoxLayout(w);
    row->setContentsMargins(18, 0, 18, 0);
    row->setSpacing(10);
    row->addWidget(new MakerLogo(22), 0, Qt::AlignVCenter);
    row->addStretch(1);
    auto* name = new QLabel(QStringLiteral("Kaptorix"));
    name->setFont(Theme::font(11, QFont::DemiBold));
    QPalette p = name->palette();
    p.setColor(QPalette::WindowText, Theme::secondary(p));
    name->setPalette(p);
    row->addWidget(name, 0, Qt::AlignVCenter);
    return w;
}

QIcon swatch(const QColor& color)
{
    QPixmap pm(28, 28);
    pm.setDevicePixelRatio(2);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(1, 1, 12, 12), 3, 3);
    p.fillPath(path, color);
    QColor stroke = QApplication::palette().color(QPalette::Text);
    stroke.setAlphaF(0.3);
    p.setPen(QPen(stroke, 1));
    p.drawPath(path);
    return QIcon(pm);
}

QAction* add(QMenu* menu, const StatusMenuState& state, const QString& text, MenuCommand cmd,
             const QVariant& value = {}, const QString& symbol = {})
{
    QAction* a = menu->addAction(text);
    a->setEnabled(!state.unavailable.contains(cmd));
    if (!symbol.isEmpty())
        a->setIcon(menuIcon(symbol, state));
    StatusMenu::setCommand(a, cmd, value);
    return a;
}

void addCapture(QMenu* menu, HotKeyAction action, const StatusMenuState& state)
{
    QAction* a = add(menu, state, title(action), MenuCommand::capture, rawValue(action), symbol(action));
    if (const auto key = StatusMenu::menuShortcut(state.combos.value(action)))
        StatusMenu::setKeyHint(a, *key, state.exported);
}

}  // namespace

QColor StatusMenu::iconColor(bool exported, const QPalette& palette)
{
    // A host draws an exported menu in its own theme, light or dark: a middle grey keeps at
    // least 3:1 against white and against the dark menus of the common panels.
    return exported ? QColor(0x8a, 0x8a, 0x8a) : palette.color(QPalette::Text);
}

StatusMenuState StatusMenuState::current()
{
    StatusMenuState s;
    for (int i = 0; i <= int(HotKeyAction::history); ++i)
        s.combos.insert(HotKeyAction(i), HotKeyManager::shared().shownCombo(HotKeyAction(i)));
    s.recentColors = ColorHistory::colors();
    s.language = Prefs::string("language");
    if (s.language.isEmpty())
        s.language = QStringLiteral("en");
    s.uiLanguage = Lang::current();
    return s;
}

const QList<QPair<HotKeyAction, int>>& StatusMenu::timedRows()
{
    static const QList<QPair<HotKeyAction, int>> rows{
        {HotKeyAction::area, 3},       {HotKeyAction::area, 5},        {HotKeyAction::fullscreen, 3},
        {HotKeyAction::fullscreen, 5}, {HotKeyAction::fullscreen, 10}, {HotKeyAction::activeWindow, 5}};
    return rows;
}

std::optional<QKeySequence> StatusMenu::menuShortcut(const std::optional<KeyCombo>& combo)
{
    if (!combo || combo->label.size() != 1)
        return std::nullopt;
    return QKeySequence::fromString(combo->display(), QKeySequence::PortableText);
}

bool StatusMenu::hostNamesKey(const QKeySequence& key)
{
    if (key.isEmpty())
        return false;
    const QString name = QKeySequence(key[0].key()).toString(QKeySequence::PortableText);
    static const QRegularExpression named(QStringLiteral(
        "^([A-Za-z0-9]|F[0-9]{1,2}|Return|Tab|Escape|Left|Right|Up|Down|Home|End|Insert|Delete|\\+|-)$"));
    return named.match(name).hasMatch();
}

void StatusMenu::setKeyHint(QAction* action, const QKeySequence& key, bool exported)
{
    QString text = key.toString(QKeySequence::NativeText);
    // Menus read a lone "&" as a mnemonic marker and drop it: such a key goes into the text,
    // escaped.
    if (!text.contains(QLatin1Char('&')) && (!exported || hostNamesKey(key))) {
        action->setShortcut(key);
        return;
    }
    action->setText(action->text() + QLatin1Char('\t') + text.replace(QLatin1Char('&'), QLatin1String("&&")));
}

QString StatusMenu::timedTitle(HotKeyAction action, int seconds, const QString& lang)
{
    return title(action) + QStringLiteral(" — %1 ").arg(seconds) +
           trIn(lang, QStringLiteral("s"), QStringLiteral("mp"));
}

QString StatusMenu::pinsTitle(int count, const QString& lang)
{
    const QString head = lang == QLatin1String("hu")   ? QStringLiteral("Kitűzések (")
                         : lang == QLatin1String("de") ? QStringLiteral("Angeheftet (")
                                                       : QStringLiteral("Pins (");
    return head + QString::number(count) + QLatin1Char(')');
}

void StatusMenu::setCommand(QAction* action, MenuCommand cmd, const QVariant& value)
{
    action->setData(QVariantList{int(cmd), value});
}

std::optional<MenuCommand> StatusMenu::command(const QAction* action)
{
    const QVariantList d = action ? action->data().toList() : QVariantList();
    if (d.size() != 2)
        return std::nullopt;
    return MenuCommand(d.at(0).toInt());
}

QVariant StatusMenu::value(const QAction* action)
{
    const QVariantList d = action->data().toList();
    return d.size() == 2 ? d.at(1) : QVariant();
}

void StatusMenu::fill(QMenu* menu, const StatusMenuState& state)
{
    menu->clear();
    if (state.header) {
        auto* header = new QWidgetAction(menu);
        header->setDefaultWidget(headerWidget());
        menu->addAction(header);
    }
    menu->addSeparator();
    for (HotKeyAction a : kFirstGroup)
        addCapture(menu, a, state);
    menu->addSeparator();
    for (HotKeyAction a : kSecondGroup)
        addCapture(menu, a, state);

    QMenu* timed = menu->addMenu(menuIcon("timer"_sym, state),
                                 kx::tr("Timed capture", "Időzített felvétel", "Zeitgesteuerte Aufnahme"));
    for (const auto& [action, seconds] : timedRows())
        add(timed, state, timedTitle(action, seconds, state.uiLanguage), MenuCommand::timedCapture,
            QVariantList{rawValue(action), seconds});
    menu->addSeparator();

    QAction* history = add(menu, state, kx::tr("History…", "Előzmények…", "Verlauf…"), MenuCommand::history,
                           {}, "clock.arrow.circlepath"_sym);
    if (const auto key = menuShortcut(state.combos.value(HotKeyAction::history)))
        setKeyHint(history, *key, state.exported);

    if (!state.recentColors.isEmpty()) {
        QMenu* colors = menu->addMenu(menuIcon("paintpalette"_sym, state),
                                      kx::tr("Recent colors", "Legutóbbi színek", "Letzte Farben"));
        for (const QString& text : state.recentColors) {
            QAction* a = add(colors, state, text, MenuCommand::copyColor, text);
            if (const auto c = colorFromHex(text))
                a->setIcon(swatch(*c));
        }
    }
    if (state.pins > 0) {
        QMenu* pins = menu->addMenu(menuIcon("pin"_sym, state), pinsTitle(state.pins, state.uiLanguage));
        add(pins, state,
            kx::tr("Make pins clickable", "Kattinthatóvá tétel", "Angeheftete Bilder anklickbar machen"),
            MenuCommand::pinsClickable);
        add(pins, state, kx::tr("Close all pins", "Összes bezárása", "Alle angehefteten Bilder schließen"),
            MenuCommand::pinsClose);
    }
    menu->addSeparator();
    add(menu, state, kx::tr("Open image…", "Kép megnyitása…", "Bild öffnen…"), MenuCommand::openImage, {},
        "photo"_sym);
    add(menu, state,
        kx::tr("Edit image from clipboard", "Kép szerkesztése a vágólapról",
               "Bild aus der Zwischenablage bearbeiten"),
        MenuCommand::openClipboard, {}, "doc.on.clipboard"_sym);
    menu->addSeparator();

    QMenu* language = menu->addMenu(menuIcon("globe"_sym, state), kx::tr("Language", "Nyelv", "Sprache"));
    const QList<QPair<QString, QString>> langs{{QStringLiteral("English"), QStringLiteral("en")},
                                               {QStringLiteral("Magyar"), QStringLiteral("hu")},
                                               {QStringLiteral("Deutsch"), QStringLiteral("de")}};
    for (const auto& [name, code] : langs) {
        QAction* a = add(language, state, name, MenuCommand::language, code);
        a->setCheckable(true);
        a->setChecked(code == state.language);
    }
    add(menu, state, kx::tr("Check for Updates…", "Frissítések keresése…", "Nach Updates suchen…"),
        MenuCommand::checkForUpdates, {}, "arrow.triangle.2.circlepath"_sym);
    add(menu, state, kx::tr("Help", "Súgó", "Hilfe"), MenuCommand::help, {}, "questionmark.circle"_sym);
    QAction* settings = add(menu, state, kx::tr("Settings…", "Beállítások…", "Einstellungen…"),
                            MenuCommand::settings, {}, "gearshape"_sym);
    setKeyHint(settings, QKeySequence(QStringLiteral("Ctrl+,")), state.exported);
    QAction* quit = add(menu, state, kx::tr("Quit Kaptorix", "Kilépés a Kaptorixból", "Kaptorix beenden"),
                        MenuCommand::quit);
    setKeyHint(quit, QKeySequence(QStringLiteral("Ctrl+Q")), state.exported);
}

}  // namespace kx
