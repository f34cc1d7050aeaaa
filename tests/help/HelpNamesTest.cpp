// The help (and toasts that send the user to a menu) name menus, tabs, rows and buttons by the
// titles the user sees: every such name, in every language, must be a title the program shows.
#include "app/StatusMenu.h"
#include "capture/history/HistoryStore.h"
#include "core/CaptureResult.h"
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "editor/document/EditorDocument.h"
#include "editor/window/EditorActions.h"
#include "editor/window/HeaderBar.h"
#include "help/HelpModel.h"
#include "library/history/HistoryActions.h"
#include "library/history/HistoryModel.h"
#include "library/history/HistoryView.h"
#include "library/pins/PinWindow.h"
#include "platform/Keychain.h"
#include "settings/AITab.h"
#include "settings/CaptureTab.h"
#include "settings/GeneralTab.h"
#include "settings/SettingsTab.h"
#include "settings/ShortcutsTab.h"
#include "settings/UploadTab.h"
#include "ui/ChromeButton.h"
#include "ui/HelpTip.h"
#include "ui/MenuKeys.h"

#include "fakes/FakeSecretStore.h"

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QToolButton>
#include <memory>

namespace kx {
namespace {

void addName(QSet<QString>& names, QString text)
{
    text = text.trimmed();
    if (text.isEmpty())
        return;
    names.insert(text);
    // "Settings…" is named "Settings", "Pins (2)" is named "Pins", "History:" is "History".
    static const QRegularExpression tail(QStringLiteral("(…|:|\\s*\\([^)]*\\))$"));
    QString bare = text;
    bare.remove(tail);
    names.insert(bare.trimmed());
}

void addMenu(QSet<QString>& names, const QMenu* menu)
{
    addName(names, menu->title());
    for (const QAction* a : menu->actions()) {
        addName(names, a->text());
        if (a->menu())
            addMenu(names, a->menu());
    }
}

void addWidgets(QSet<QString>& names, const QWidget* root)
{
    for (const QLabel* l : root->findChildren<QLabel*>())
        addName(names, l->text());
    for (const QAbstractButton* b : root->findChildren<QAbstractButton*>()) {
        addName(names, b->text());
        addName(names, b->toolTip());
        if (const auto tip = helpTipOf(b))
            addName(names, tip->title);
    }
    for (const QGroupBox* g : root->findChildren<QGroupBox*>())
        addName(names, g->title());
}

// A settings page's texts in widget order.
QStringList pageTexts(const QWidget* page)
{
    QStringList out;
    for (const QWidget* w : page->findChildren<QWidget*>()) {
        if (const auto* l = qobject_cast<const QLabel*>(w))
            out << l->text();
        else if (const auto* b = qobject_cast<const QAbstractButton*>(w))
            out << b->text();
    }
    return out;
}

// Every title the program shows in the current language: menus, tabs, pages, header, pins, history.
QSet<QString> shownTitles()
{
    QSet<QString> names;
    for (const QString& t : mainMenuTitles())
        addName(names, t);
    for (const MainMenuEntry& e : mainMenuTable())
        addName(names, e.title);

    StatusMenuState state;
    state.pins = 1;
    state.recentColors = {QStringLiteral("#FF0000")};
    state.uiLanguage = Lang::current();
    state.header = false;
    QMenu tray;
    StatusMenu::fill(&tray, state);
    addMenu(names, &tray);

    for (SettingsTab tab : SettingsTabs::all)
        addName(names, SettingsTabs::title(tab));
    std::unique_ptr<QWidget> pages[] = {std::make_unique<GeneralTab>(), std::make_unique<ShortcutsTab>(),
                                        std::make_unique<CaptureTab>(), std::make_unique<UploadTab>(),
                                        std::make_unique<AITab>()};
    for (const auto& page : pages)
        addWidgets(names, page.get());

    QImage image(200, 120, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    EditorDocument doc(
        CaptureResult{image, 2.0, SourceKind::area, std::nullopt, QDateTime::currentDateTime()});
    HeaderBar::Hooks hooks;
    hooks.addCapture = hooks.redact = hooks.ocr = hooks.palette = hooks.ai = hooks.upload = hooks.pin = true;
    HeaderBar header(doc, EditorActions{}, hooks);
    addWidgets(names, &header);
    for (const ChromeButton* b :
         {header.undoButton(), header.redoButton(), header.addCaptureButton(), header.backdropButton(),
          header.redactButton(), header.ocrButton(), header.paletteButton(), header.aiButton(),
          header.uploadButton(), header.pinButton(), header.shareButton()})
        addName(names, b->title());
    addMenu(names, header.moreMenu());
    addMenu(names, header.addCaptureMenu());

    PinWindow pin(image, 1.0, std::nullopt);
    std::unique_ptr<QMenu> pinMenu(pin.buildMenu());
    addMenu(names, pinMenu.get());
    addName(names, PinWindow::clickThroughTitle());  // shown only where a tray can bring the pin back

    QTemporaryDir historyDir;
    HistoryStore::Options options;
    options.dir = historyDir.path();
    options.recognize = [](const QImage&) { return QtFuture::makeReadyFuture(std::optional<QString>()); };
    HistoryStore store(options);
    HistoryServices services;
    services.store = &store;
    HistoryView history(services);
    addWidgets(names, &history);
    for (const QToolButton* b : history.findChildren<QToolButton*>())
        if (b->menu())
            addMenu(names, b->menu());

    HistoryEntry entry;
    entry.ocrText = QStringLiteral("text");
    entry.uploadURL = QStringLiteral("https://example.org/a.png");
    for (const EntryMenuItem& item : entryMenu(entry))
        addName(names, item.title);
    return names;
}

// Words that start a path without being a title: the tray icon's menu, the pointer, the header.
QStringList pathStarts()
{
    const QString lang = Lang::current();
    if (lang == u"de")
        return {"Tray-Menü",
                "Rechtsklick",
                "Rechtsklick auf eine Karte",
                "Rechtsklick auf eine Verlaufskarte",
                "Kopfleiste",
                "⋯"};
    if (lang == u"hu")
        return {"Tálcamenü",
                "tálcamenü",
                "Jobb kattintás",
                "Jobb kattintás egy kártyán",
                "Kattints jobb gombbal egy előzménykártyára",
                "Fejléc",
                "⋯"};
    return {"Tray menu", "tray menu", "Right-click", "Right-click a card", "Right-click a history card",
            "Header",    "⋯"};
}

// Every visible text of the help in the current language.
QStringList helpTexts()
{
    QStringList out;
    for (const HelpTopic& t : HelpContent::allTopics()) {
        out << t.title << t.intro;
        for (const HelpSection& s : t.sections) {
            out << s.title.value_or(QString()) << s.paragraphs;
            for (const HelpRow& r : s.rows)
                out << r.name << r.text;
        }
    }
    return out;
}

// Whether a title may end at `at`: not inside a word, and not followed by "&" or a capitalised word
// that would make it part of a longer title ("Aufnahme & Sichern" is not "Aufnahme").
bool endsName(const QString& text, qsizetype at)
{
    if (at >= text.size())
        return true;
    if (text.at(at).isLetterOrNumber())
        return false;
    if (text.at(at) == QLatin1Char(' ') && at + 1 < text.size())
        return text.at(at + 1) != QLatin1Char('&') && !text.at(at + 1).isUpper();
    return true;
}

// Checks each "A → B → C" in `text`: A ends the text before the first arrow, each later hop starts
// the text after its arrow; every one must be a shown title (or, for A, a start word).
QStringList unknownHops(const QString& text, const QSet<QString>& names, const QStringList& starts)
{
    QStringList bad;
    static const QString arrow = QStringLiteral(" → ");
    const auto isKeyArrow = [&](qsizetype at) {
        // "← → ↑ ↓" names the arrow keys, not a path.
        const QString around = text.mid(qMax<qsizetype>(0, at - 2), 7);
        return around.contains(QChar(0x2190)) || around.contains(QChar(0x2191)) ||
               around.contains(QChar(0x2193));
    };
    bool inPath = false;
    for (qsizetype at = text.indexOf(arrow); at >= 0; at = text.indexOf(arrow, at + 1)) {
        if (isKeyArrow(at))
            continue;
        if (!inPath) {
            // The longest known title or start word that the text before the arrow ends with.
            const QString before = text.left(at);
            bool found = false;
            for (const QString& n : names + QSet<QString>(starts.begin(), starts.end()))
                if (before.endsWith(n) && (before.size() == n.size() ||
                                           !before.at(before.size() - n.size() - 1).isLetterOrNumber()))
                    found = true;
            if (!found)
                bad << QStringLiteral("…") + before.right(30) + QStringLiteral(" →");
        }
        const QString after = text.mid(at + arrow.size());
        bool found = false;
        for (const QString& n : names)
            if (after.startsWith(n) && endsName(after, n.size()))
                found = true;
        if (!found)
            bad << QStringLiteral("→ ") + after.left(40) + QStringLiteral("…");
        // The path goes on only where the hop is followed directly by another arrow.
        inPath = true;
        const qsizetype next = text.indexOf(arrow, at + 1);
        if (next < 0)
            break;
        QString between = text.mid(at + arrow.size(), next - at - arrow.size());
        between.remove(QRegularExpression(QStringLiteral("\\s*\\([^)]*\\)$")));  // "Pins (number)"
        bool joined = false;
        for (const QString& n : names)
            if (between == n)
                joined = true;
        inPath = joined;
    }
    return bad;
}

// "the Help menu", "Menü Hilfe", "a Súgó menü": a capitalised word next to the word for menu.
QStringList unknownMenus(const QString& text, const QSet<QString>& names, const QStringList& starts)
{
    const QString lang = Lang::current();
    const QString pattern = lang == u"de"   ? QStringLiteral("Menü (\\p{Lu}[\\w-]*)")
                            : lang == u"hu" ? QStringLiteral("(\\p{Lu}[\\w-]*) menü")
                                            : QStringLiteral("(\\p{Lu}[\\w-]*) menu\\b");
    QStringList bad;
    const QRegularExpression re(pattern, QRegularExpression::UseUnicodePropertiesOption);
    for (auto it = re.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QString word = m.captured(1);
        static const QStringList notNames{"Tray", "Kaptorix", "The", "A", "Az", "Das", "Im"};
        if (!names.contains(word) && !starts.contains(word) && !notNames.contains(word))
            bad << word + QStringLiteral(" in: …") + text.mid(qMax(0, int(m.capturedStart()) - 30), 60);
    }
    return bad;
}

// Where `text` sends the user into the windows' menu bar: a path that starts at a menu's title
// ("File → …"; not "Nach jeder Aufnahme →", a longer title), "the Help menu", "Menü Ablage",
// "a Fájl menüben".
QStringList menuBarMentions(const QString& text, const QSet<QString>& names)
{
    QStringList titles = mainMenuTitles();
    titles.removeFirst();  // "Kaptorix" names the program more often than its menu
    const QString lang = Lang::current();
    static const QString arrow = QStringLiteral(" → ");
    QStringList found;
    for (qsizetype at = text.indexOf(arrow); at >= 0; at = text.indexOf(arrow, at + 1)) {
        const QString before = text.left(at);
        QString longest;
        for (const QString& n : names)
            if (n.size() > longest.size() && before.endsWith(n) &&
                (before.size() == n.size() || !before.at(before.size() - n.size() - 1).isLetterOrNumber()))
                longest = n;
        if (titles.contains(longest) && !before.chopped(longest.size()).endsWith(arrow))
            found << longest + arrow;
    }
    for (const QString& title : titles) {
        const QString alt = QRegularExpression::escape(title);
        const QString menu = lang == u"de"   ? QStringLiteral("Menü ") + alt + QStringLiteral("\\b")
                             : lang == u"hu" ? alt + QStringLiteral(" menü")
                                             : alt + QStringLiteral(" menu\\b");
        const QRegularExpression re(QStringLiteral("(?<!\\w)") + menu,
                                    QRegularExpression::UseUnicodePropertiesOption);
        for (auto it = re.globalMatch(text); it.hasNext();)
            found << it.next().captured();
    }
    return found;
}

// The label of the General page's toggle that gives the windows their menu bar.
QString menuBarToggle()
{
    const QString lang = Lang::current();
    Lang::overrideForTests(QStringLiteral("en"));
    const QStringList english = pageTexts(std::make_unique<GeneralTab>().get());
    Lang::overrideForTests(lang);
    const QStringList own = pageTexts(std::make_unique<GeneralTab>().get());
    const qsizetype at = english.indexOf(QStringLiteral("Show taskbar icon"));
    return at >= 0 && own.size() == english.size() ? own[at] : QString();
}

class HelpNames : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        Lang::overrideForTests(QString::fromLatin1(GetParam()));
        Prefs::registerDefaults();
        Keychain::setStore(&keyring);
    }
    void TearDown() override { Lang::overrideForTests(QStringLiteral("en")); }
    test::FakeSecretStore keyring;
};

TEST_P(HelpNames, EveryNamedMenuTabRowAndButtonIsShownSo)
{
    const QSet<QString> names = shownTitles();
    const QStringList starts = pathStarts();
    QStringList texts = helpTexts();
    // The click-through toast sends the user through the tray menu too.
    texts << PinWindow::clickThroughHint();
    QStringList problems;
    for (const QString& text : texts) {
        for (const QString& hop : unknownHops(text, names, starts))
            problems << hop;
        for (const QString& menu : unknownMenus(text, names, starts))
            problems << QStringLiteral("menu ") + menu;
    }
    EXPECT_TRUE(problems.isEmpty()) << GetParam() << ":\n" << qPrintable(problems.join(QLatin1Char('\n')));
}

// The menu bar shows only with the taskbar icon on (off by default): a text that sends the
// user there says so, naming the toggle.
TEST_P(HelpNames, EveryWayThroughTheMenuBarSaysWhereTheBarComesFrom)
{
    const QString toggle = menuBarToggle();
    ASSERT_FALSE(toggle.isEmpty());
    const QSet<QString> names = shownTitles();
    QStringList problems;
    int mentions = 0;
    for (const QString& text : helpTexts()) {
        const QStringList found = menuBarMentions(text, names);
        mentions += found.size();
        if (!found.isEmpty() && !text.contains(toggle))
            problems << found.join(QStringLiteral(", ")) + QStringLiteral(" in: ") + text.left(120);
    }
    EXPECT_GT(mentions, 0) << GetParam() << ": the help no longer names the menu bar";
    EXPECT_TRUE(problems.isEmpty()) << GetParam() << ":\n" << qPrintable(problems.join(QLatin1Char('\n')));
}

// The tray page says its menu "contains these items": every item of the tray menu, as the menu
// names it, has its row there (the capture modes share one row).
TEST_P(HelpNames, TheTrayPageListsEveryItemOfTheTrayMenu)
{
    StatusMenuState state;
    state.header = false;
    state.recentColors = {QStringLiteral("#FF0000")};
    state.pins = 2;  // every item that comes and goes is there
    state.uiLanguage = QString::fromLatin1(GetParam());
    QMenu menu;
    StatusMenu::fill(&menu, state);
    QSet<QString> captures;
    for (HotKeyAction a : allCases<HotKeyAction>())
        captures << kx::title(a);
    const HelpTopic start = HelpContent::allTopics().value(0);
    ASSERT_EQ(start.id, QStringLiteral("start"));
    ASSERT_GE(start.sections.size(), 2);
    QSet<QString> rows;
    for (const HelpRow& r : start.sections[1].rows)
        addName(rows, r.name);
    QStringList missing;
    for (const QAction* a : menu.actions()) {
        const QString text = a->text().section(QLatin1Char('\t'), 0, 0);
        if (a->isSeparator() || text.isEmpty() || captures.contains(text))
            continue;
        QSet<QString> forms;
        addName(forms, text);
        if (!forms.intersects(rows))
            missing << text;
    }
    EXPECT_TRUE(missing.isEmpty()) << GetParam() << ": " << qPrintable(missing.join(QStringLiteral(", ")));
}

INSTANTIATE_TEST_SUITE_P(Languages, HelpNames, ::testing::Values("en", "de", "hu"));

}  // namespace
}  // namespace kx
