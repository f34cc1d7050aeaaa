// The help window offscreen: first page, opening on a topic, sidebar clicks, search fallback,
// and a window that keeps its page and query across closing.
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "help/HelpNav.h"
#include "help/HelpView.h"
#include "help/HelpWindowController.h"
#include "platform/HotKeyManager.h"

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>

using namespace kx;

namespace {

QAbstractButton* sidebarButton(HelpView* view, const QString& id)
{
    return view->findChild<QAbstractButton*>(QStringLiteral("topic:") + id);
}

QString shownTitle(HelpView* view)
{
    auto* title = view->findChild<QWidget*>(QStringLiteral("helpTitle"));
    return title ? title->accessibleName() : QString();
}

}  // namespace

TEST(HelpWindowTest, OpensNavigatesSearchesAndKeepsItsState)
{
    Lang::overrideForTests("en");
    auto& help = HelpWindowController::shared();
    help.show();
    QWidget* window = help.window();
    HelpView* view = help.view();
    ASSERT_TRUE(window && view);
    EXPECT_EQ(window->windowTitle(), "Kaptorix Help");
    EXPECT_EQ(window->size(), QSize(940, 680));
    EXPECT_EQ(window->minimumSize(), QSize(720, 460));
    EXPECT_EQ(view->pageId(), "start");
    EXPECT_EQ(view->highlightedId(), "start");
    EXPECT_EQ(shownTitle(view), "Getting started");
    EXPECT_EQ(view->sidebarIds().size(), 15);

    // Opening on a page while open switches it without moving or resizing the window.
    window->resize(1000, 700);
    window->move(40, 30);
    const QRect before = window->geometry();
    help.show("shortcuts");
    EXPECT_EQ(view->pageId(), "shortcuts");
    EXPECT_EQ(view->highlightedId(), "shortcuts");
    EXPECT_EQ(shownTitle(view), "Shortcut cheat sheet");
    EXPECT_EQ(window->geometry(), before);

    // A sidebar click selects its page.
    sidebarButton(view, "pins")->click();
    EXPECT_EQ(HelpNav::shared().topic(), "pins");
    EXPECT_EQ(view->pageId(), "pins");

    // A search that leaves the page out shows the first match, highlighting nothing; clearing
    // it brings the selected page back.
    view->searchField()->setText("Tesseract");
    EXPECT_FALSE(view->sidebarIds().contains("pins"));
    EXPECT_EQ(view->pageId(), view->sidebarIds().value(0));
    EXPECT_TRUE(view->highlightedId().isEmpty());
    view->searchField()->clear();
    EXPECT_EQ(view->pageId(), "pins");
    EXPECT_EQ(view->highlightedId(), "pins");

    // Nothing matches: an empty list and the empty state.
    view->searchField()->setText("zzqqxx");
    EXPECT_TRUE(view->sidebarIds().isEmpty());
    EXPECT_TRUE(view->pageId().isEmpty());
    EXPECT_NE(view->findChild<QWidget*>(QStringLiteral("helpNoResults")), nullptr);

    // An unknown id is kept, matches no row, and the first listed page shows.
    view->searchField()->clear();
    help.show("no-such-page");
    EXPECT_EQ(view->pageId(), "start");
    EXPECT_TRUE(view->highlightedId().isEmpty());

    // Closing hides; opening without a topic keeps the page and the query.
    help.show("editor");
    view->searchField()->setText("crop");
    window->close();
    EXPECT_FALSE(window->isVisible());
    help.show();
    EXPECT_EQ(help.window(), window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(view->query(), "crop");
    EXPECT_EQ(view->pageId(), "editor");
    EXPECT_FALSE(view->findChildren<QWidget*>(QStringLiteral("helpKeyCap")).isEmpty());
    EXPECT_NE(view->findChild<QWidget*>(QStringLiteral("helpPicture:editor-arrow")), nullptr);

    // A shortcut cleared in the settings shows as "–" on the open page.
    const auto ocrCap = [view] {
        for (QWidget* cap : view->findChildren<QWidget*>(QStringLiteral("helpKeyCap")))
            if (cap->accessibleName() == "–" || cap->accessibleName().startsWith("Ctrl+Alt+6"))
                return cap->accessibleName();
        return QString();
    };
    EXPECT_EQ(ocrCap(), "Ctrl+Alt+6");
    Prefs::set(HotKeyManager::settingsKey(HotKeyAction::ocr), QStringLiteral("none"));
    EXPECT_EQ(ocrCap(), "–");
    Prefs::remove(HotKeyManager::settingsKey(HotKeyAction::ocr));
}

namespace {
// Receives the addresses the help hands to the desktop.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public Q_SLOTS:
    void open(const QUrl& url) { urls << url; }
};
}  // namespace

TEST(HelpWindowTest, ContactLinksShowOnlyWhenSetAndOpenOnTheDesktop)
{
    Lang::overrideForTests("en");
    const auto privacyPromise = [] {
        for (const HelpTopic& t : HelpContent::allTopics())
            for (const HelpSection& s : t.sections)
                for (const HelpRow& r : s.rows)
                    if (r.text.contains("Help links open"))
                        return true;
        return false;
    };
    auto& help = HelpWindowController::shared();
    HelpView* view = nullptr;
    const auto linkButtons = [&] {
        if (help.window())
            help.window()->hide();  // the page is built anew when the window shows
        help.show("contact");
        view = help.view();
        view->searchField()->clear();
        return view->findChildren<QPushButton*>(QStringLiteral("helpLink"));
    };

    // A build without addresses: no link buttons, and the privacy page promises none.
    HelpContent::overrideContactForTests(QString(), QString());
    EXPECT_TRUE(linkButtons().isEmpty());
    EXPECT_FALSE(privacyPromise());

    HelpContent::overrideContactForTests("example.org", "help@example.org");
    const QList<QPushButton*> buttons = linkButtons();
    ASSERT_EQ(buttons.size(), 2);
    EXPECT_EQ(buttons[0]->text(), "example.org");
    EXPECT_EQ(buttons[1]->text(), "help@example.org");
    EXPECT_TRUE(privacyPromise());

    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("https", &catcher, "open");
    QDesktopServices::setUrlHandler("mailto", &catcher, "open");
    for (QPushButton* b : buttons)
        b->click();
    QDesktopServices::unsetUrlHandler("https");
    QDesktopServices::unsetUrlHandler("mailto");
    EXPECT_EQ(catcher.urls, QList<QUrl>({QUrl("https://example.org"), QUrl("mailto:help@example.org")}));

    // The pure rule: the web site is always linked in its https form; values that are no address
    // give no link.
    const QList<HelpLink> links = HelpContent::contactLinks("http://maker.example/", "no-at-sign");
    ASSERT_EQ(links.size(), 1);
    EXPECT_EQ(links[0].symbol, "globe");
    EXPECT_EQ(links[0].title, "maker.example");
    EXPECT_EQ(links[0].url, QUrl("https://maker.example/"));
    const struct {
        const char* configured;
        const char* link;
    } sites[] = {{"HTTP://Maker.example/help", "https://maker.example/help"},
                 {"https://maker.example", "https://maker.example"},
                 {"maker.example/a?b=1", "https://maker.example/a?b=1"},
                 {"http://", ""},
                 {"ftp://maker.example", ""}};
    for (const auto& s : sites) {
        const QList<HelpLink> got = HelpContent::contactLinks(s.configured, QString());
        EXPECT_EQ(got.isEmpty() ? QString() : got[0].url.toString(), QString::fromUtf8(s.link))
            << s.configured;
    }
    EXPECT_TRUE(HelpContent::contactLinks("", "a@b@").isEmpty());
    EXPECT_EQ(HelpContent::contactLinks("", "help@example.org").value(0).symbol, "envelope");
    HelpContent::overrideContactForTests(QString(), QString());
}

#include "HelpWindowTest.moc"
