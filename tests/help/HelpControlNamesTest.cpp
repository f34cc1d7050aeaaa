// Every control the help names by its label must carry that label exactly, in every language:
// each control is found by its English label on its own surface (tray menu, settings page,
// header, tool rail, …) and its translation is read from the same place built in the other
// language; the help row (or text) at the same place of the other language's help must hold it.
#include "app/StatusMenu.h"
#include "capture/history/HistoryStore.h"
#include "capture/scroll/ScrollCaptureSession.h"
#include "core/CaptureResult.h"
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "core/SourceKind.h"
#include "editor/ToolKind.h"
#include "editor/document/EditorDocument.h"
#include "editor/window/CopyButton.h"
#include "editor/window/EditorActions.h"
#include "editor/window/HeaderBar.h"
#include "editor/window/Popover.h"
#include "editor/window/controls/BeautifyPopover.h"
#include "help/HelpModel.h"
#include "library/history/HistoryActions.h"
#include "library/history/HistoryView.h"
#include "library/upload/UploadPlan.h"
#include "platform/HotKeys.h"
#include "platform/Keychain.h"
#include "settings/AITab.h"
#include "settings/CaptureTab.h"
#include "settings/GeneralTab.h"
#include "settings/ShortcutsTab.h"
#include "settings/UploadService.h"
#include "settings/UploadTab.h"
#include "ui/ChromeButton.h"
#include "ui/HelpTip.h"
#include "ui/MenuKeys.h"

#include "fakes/FakeSecretStore.h"

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QToolButton>
#include <memory>

namespace kx {
namespace {

using Labels = QMap<QString, QStringList>;  // surface → its labels, in build order

// One failed upload waits, so the Upload page shows its queue with Retry all.
class OneQueued : public UploadService {
public:
    QFuture<QString> testConnection() override { return QtFuture::makeReadyFuture(QString()); }
    QList<Item> items() const override
    {
        Item item;
        item.fileName = QStringLiteral("a.png");
        return {item};
    }
    void remove(const QUuid&) override {}
    bool retrying() const override { return false; }
    QFuture<RetrySummary> retryAll() override { return QtFuture::makeReadyFuture(RetrySummary{}); }
};

void addMenu(QStringList& out, const QMenu* menu)
{
    for (const QAction* a : menu->actions()) {
        if (!a->isSeparator())
            out << a->text();
        if (a->menu())
            addMenu(out, a->menu());
    }
}

// Texts of a settings page in widget order: labels, toggles, buttons, picker choices.
QStringList pageLabels(QWidget* page)
{
    QStringList out;
    for (QWidget* w : page->findChildren<QWidget*>()) {
        if (auto* l = qobject_cast<QLabel*>(w))
            out << l->text();
        else if (auto* b = qobject_cast<QAbstractButton*>(w))
            out << b->text();
        else if (auto* c = qobject_cast<QComboBox*>(w))
            for (int i = 0; i < c->count(); ++i)
                out << c->itemText(i);
    }
    return out;
}

// A popover's texts in widget order: labels, a button's title, or its tip's where it shows none.
QStringList popoverLabels(QWidget* root)
{
    QStringList out;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (auto* l = qobject_cast<QLabel*>(w))
            out << l->text();
        else if (auto* c = qobject_cast<ChromeButton*>(w))
            out << c->title();
        else if (const auto tip = helpTipOf(w))
            out << tip->title;
    }
    return out;
}

// The history window's header: chips and the bulk menu.
QStringList historyLabels()
{
    QTemporaryDir dir;
    HistoryStore::Options options;
    options.dir = dir.path();
    options.recognize = [](const QImage&) { return QtFuture::makeReadyFuture(std::optional<QString>()); };
    HistoryStore store(options);
    HistoryServices services;
    services.store = &store;
    HistoryView view(services);
    QStringList out = pageLabels(&view);
    for (const QToolButton* b : view.findChildren<QToolButton*>())
        if (b->menu())
            addMenu(out, b->menu());
    return out;
}

// The labels of every surface the help names controls on, in the current language.
Labels surfaces()
{
    Labels s;
    for (int i = 0; i <= int(HotKeyAction::history); ++i)
        s["captures"] << title(HotKeyAction(i));
    for (ToolKind k : allToolKinds())
        s["tools"] << title(k);
    for (const MainMenuEntry& e : mainMenuTable())
        s["menu"] << e.title;

    StatusMenuState state;
    state.pins = 1;
    state.recentColors = {QStringLiteral("#FF0000")};
    state.uiLanguage = Lang::current();
    state.header = false;
    QMenu tray;
    StatusMenu::fill(&tray, state);
    addMenu(s["tray"], &tray);

    s["general"] = pageLabels(std::make_unique<GeneralTab>().get());
    s["capture"] = pageLabels(std::make_unique<CaptureTab>().get());
    s["upload"] = pageLabels(std::make_unique<UploadTab>().get());
    s["ai"] = pageLabels(std::make_unique<AITab>().get());

    // The header: a button's visible word, or its tip's title where it shows none.
    QImage image(200, 120, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    EditorDocument doc(
        CaptureResult{image, 2.0, SourceKind::area, std::nullopt, QDateTime::currentDateTime()});
    HeaderBar::Hooks hooks;
    hooks.addCapture = hooks.redact = hooks.ocr = hooks.palette = hooks.ai = hooks.upload = hooks.pin = true;
    HeaderBar header(doc, EditorActions{}, hooks);
    for (const ChromeButton* b :
         {header.undoButton(), header.redoButton(), header.addCaptureButton(), header.backdropButton(),
          header.redactButton(), header.ocrButton(), header.paletteButton(), header.aiButton(),
          header.uploadButton(), header.pinButton(), header.shareButton(), header.moreButton(),
          header.saveButton()}) {
        s["header"] << (b->title().isEmpty() ? helpTipOf(b)->title : b->title());
        s["header tips"] << helpTipOf(b)->title;
    }
    s["header"] << CopyButton::rowText(CopyMode::copy) << CopyButton::rowText(CopyMode::copyAndClose);
    addMenu(s["header"], header.moreMenu());
    addMenu(s["header"], header.addCaptureMenu());

    HistoryEntry entry;
    entry.ocrText = QStringLiteral("text");
    entry.uploadURL = QStringLiteral("https://example.org/a.png");
    for (const EntryMenuItem& item : entryMenu(entry))
        s["history menu"] << item.title;
    entry.favorite = true;  // its star item reads "Remove star"
    for (const EntryMenuItem& item : entryMenu(entry))
        s["history menu"] << item.title;
    s["history"] = historyLabels();
    for (int k = 0; k <= int(SourceKind::color); ++k)
        s["kinds"] << label(SourceKind(k));

    QImage picture(200, 120, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::white);
    EditorDocument framed(
        CaptureResult{picture, 1.0, SourceKind::area, std::nullopt, QDateTime::currentDateTime()});
    s["backdrop"] = popoverLabels(std::make_unique<BeautifyPopover>(&framed).get());

    s["notices"] << upload::queuedFailureText() << retrySummaryText({2, 3}) << upload::connectedText()
                 << upload::folderMissingText() << upload::notArrivedText() << upload::invalidAddressText();
    // Why a scrolling capture ended early, as its notice says.
    s["scroll notes"] = ScrollCaptureSession::earlyEndNotes();
    return s;
}

// One text of the help and where it stands; the places are the same in every language.
struct Field {
    QString topic;
    QString section;  // as built in the language of the list
    bool isRowName = false;
    QString text;
};

QList<Field> helpFields()
{
    QList<Field> out;
    for (const HelpTopic& t : HelpContent::allTopics()) {
        out.append({t.id, QString(), false, t.title});
        out.append({t.id, QString(), false, t.intro});
        for (const HelpSection& s : t.sections) {
            const QString title = s.title.value_or(QString());
            for (const QString& p : s.paragraphs)
                out.append({t.id, title, false, p});
            for (const HelpRow& r : s.rows) {
                out.append({t.id, title, true, r.name});
                out.append({t.id, title, false, r.text});
            }
        }
    }
    return out;
}

// "Upload to your server (WebDAV / FTP / SFTP)" may be named without its own qualifier, a
// notice as a row name without its full stop, a stepper without its value ("Maximum height: 30000
// px").
QString shortForm(const QString& label)
{
    static const QRegularExpression tail(QStringLiteral("(\\s+\\([^()]*\\)|\\.|: \\d+ \\w+)$"));
    QString s = label;
    s.remove(tail);
    return s;
}

bool containsPhrase(const QString& text, const QString& phrase)
{
    for (qsizetype at = text.indexOf(phrase); at >= 0; at = text.indexOf(phrase, at + 1)) {
        const qsizetype end = at + phrase.size();
        if ((at == 0 || !text.at(at - 1).isLetterOrNumber()) &&
            (end >= text.size() || !text.at(end).isLetterOrNumber()))
            return true;
    }
    return false;
}

// Sections whose row names are controls of the given surfaces (English section titles), and how
// many of their rows name one: a renamed control or row cannot slip out of the check unseen.
const struct Scope {
    const char* topic;
    const char* section;
    const char* surfaces;
    int rows;
} kScopes[] = {
    {"start", "The tray icon", "tray", 10},
    {"start", "General options", "general", 4},
    {"capture", "The capture modes", "captures", 10},
    {"capture", "After a capture", "capture", 4},
    {"editor", "Header", "header", 14},
    {"editor", "Tools", "tools", 15},
    {"editor", "Zoom and view", "menu", 2},
    {"backdrop", "Frames", "backdrop", 7},
    {"backdrop", "Background", "backdrop", 1},
    {"backdrop", "Controls", "backdrop", 5},
    {"history", "Search and filters", "history", 1},
    {"history", "Storage and bulk delete", "history", 1},
    {"history", "Right-click menu: the image", "history menu", 6},
    {"history", "Right-click menu: links and housekeeping", "history menu", 7},
    {"export", "Copy to the clipboard", "header", 3},
    {"export", "After every capture", "capture", 5},
    {"settings", "General – application", "general", 5},
    {"settings", "Capture & save – after every capture", "capture", 6},
    {"settings", "Capture & save – files", "capture", 5},
    {"settings", "Capture & save – scrolling capture", "capture", 1},
    {"settings", "General – OCR, colors and history", "general", 2},
    {"settings", "Upload – server", "upload", 2},
    {"settings", "Upload – folder, links and queue", "upload", 5},
    {"settings", "AI tab", "ai", 4},
    {"upload", "Connection fields", "upload", 4},
    {"upload", "Where the files go", "upload", 2},
    {"upload", "Upload queue", "upload", 1},
    {"ai", "Provider, key and model", "ai", 4},
    {"shortcuts", "Editor – files and window", "menu", 9},
    {"shortcuts", "Editor – zoom and objects", "menu", 1},
    {"shortcuts", "Global capture shortcuts", "captures", 10},
    {"shortcuts", "Editor – tool letters", "tools", 15},
    {"trouble", "Upload problems", "notices", 4},
};

// Controls the help's texts quote: wherever the English text names one, the other languages'
// text at the same place names it by its own label.
const struct Quote {
    const char* surface;
    const char* label;
    const char* topic = nullptr;  // only in this topic's texts
} kQuotes[] = {
    {"upload", "Retry all"},
    {"notices", "Upload failed – saved for a retry"},
    {"notices", "2 of 3 sent."},
    {"notices", "Connected – the folder is reachable."},
    {"general", "Language (restart needed)"},
    {"capture", "Downscale HiDPI captures to 1x when saving"},
    {"capture", "Upload to your server (WebDAV / FTP / SFTP)"},
    {"header", "Copy @1x"},
    {"header tips", "Smart redact"},
    {"header tips", "AI analysis"},
    {"captures", "Pin area on screen"},
    {"scroll notes",
     "A part of the page kept changing while it scrolled past (a video or an animation taller "
     "than the view): the image ends there.",
     "trouble"},
    {"scroll notes",
     "Could not follow the scroll past a part of the page that keeps changing (a canvas or a "
     "video): the image ends there.",
     "trouble"},
    {"scroll notes",
     "A blank stretch taller than the selection could not be followed: the image ends before it.", "trouble"},
    // The cards' kind badges, as the history names them.
    {"kinds", "Area", "history"},
    {"kinds", "Window", "history"},
    {"kinds", "Fullscreen", "history"},
    {"kinds", "Scrolling", "history"},
};

struct Place {
    qsizetype field;
    bool shortened;
};

class HelpControlNames : public ::testing::Test {
protected:
    void SetUp() override
    {
        Prefs::registerDefaults();
        Keychain::setStore(&keyring);
        UploadService::setShared(&uploads);
        Lang::overrideForTests(QStringLiteral("en"));
        english = surfaces();
        englishHelp = helpFields();
    }
    void TearDown() override
    {
        UploadService::setShared(nullptr);
        Lang::overrideForTests(QStringLiteral("en"));
    }

    // The label of the control named `label` in English on `surface`, built in `lang`.
    QString labelIn(const Labels& labels, const QString& surface, const QString& label) const
    {
        const qsizetype at = english.value(surface).indexOf(label);
        EXPECT_GE(at, 0) << "no control \"" << qPrintable(label) << "\" on " << qPrintable(surface);
        EXPECT_EQ(labels.value(surface).size(), english.value(surface).size()) << qPrintable(surface);
        return labels.value(surface).value(at);
    }

    test::FakeSecretStore keyring;
    OneQueued uploads;
    Labels english;
    QList<Field> englishHelp;
};

TEST_F(HelpControlNames, RowsAndQuotesCarryTheControlsOwnLabels)
{
    for (const char* lang : {"en", "de", "hu"}) {
        Lang::overrideForTests(QString::fromLatin1(lang));
        const Labels labels = surfaces();
        const QList<Field> help = helpFields();
        ASSERT_EQ(help.size(), englishHelp.size()) << lang;
        QStringList problems;

        for (const Scope& scope : kScopes) {
            int named = 0;
            for (qsizetype i = 0; i < englishHelp.size(); ++i) {
                const Field& en = englishHelp[i];
                if (!en.isRowName || en.topic != scope.topic || en.section != scope.section)
                    continue;
                // The control this row names: its English label, whole or without its qualifier,
                // maybe followed by a language-neutral note such as " (100%)".
                const QStringList candidates = english.value(scope.surfaces);
                bool matched = false;
                for (const QString& label : candidates) {
                    QString rest;
                    bool shortened = false;
                    if (en.text.startsWith(label))
                        rest = en.text.mid(label.size());
                    else if (shortForm(label) != label && en.text == shortForm(label))
                        shortened = true;
                    else
                        continue;
                    if (!rest.isEmpty() && !rest.startsWith(QStringLiteral(" (")))
                        continue;
                    ++named;
                    if (qEnvironmentVariableIsSet("KX_LIST_NAMED"))
                        qInfo("%s / %s: %s", scope.topic, scope.section, qPrintable(en.text));
                    const QString own = labelIn(labels, scope.surfaces, label);
                    const QString want = (shortened ? shortForm(own) : own) + rest;
                    if (help[i].text != want)
                        problems << QStringLiteral("%1 / %2: row \"%3\", the control reads \"%4\"")
                                        .arg(scope.topic, help[i].section, help[i].text, want);
                    matched = true;
                    break;
                }
                // "Star / Remove star": two controls, or one control's two states, each by its label.
                const QStringList parts = en.text.split(QStringLiteral(" / "));
                if (matched || parts.size() < 2)
                    continue;
                QStringList own;
                for (const QString& part : parts)
                    if (candidates.contains(part))
                        own << labelIn(labels, scope.surfaces, part);
                if (own.size() != parts.size())
                    continue;
                ++named;
                if (qEnvironmentVariableIsSet("KX_LIST_NAMED"))
                    qInfo("%s / %s: %s", scope.topic, scope.section, qPrintable(en.text));
                const QString want = own.join(QStringLiteral(" / "));
                if (help[i].text != want)
                    problems << QStringLiteral("%1 / %2: row \"%3\", the controls read \"%4\"")
                                    .arg(scope.topic, help[i].section, help[i].text, want);
            }
            if (named != scope.rows)
                problems << QStringLiteral("%1 / %2: %3 rows name a control, expected %4")
                                .arg(scope.topic, scope.section)
                                .arg(named)
                                .arg(scope.rows);
        }

        for (const Quote& quote : kQuotes) {
            const QString label = QString::fromUtf8(quote.label);
            const QString own = labelIn(labels, quote.surface, label);
            int quoted = 0;
            for (qsizetype i = 0; i < englishHelp.size(); ++i) {
                if (quote.topic && englishHelp[i].topic != QLatin1String(quote.topic))
                    continue;
                const QString& en = englishHelp[i].text;
                const bool whole = containsPhrase(en, label);
                const QString brief = shortForm(label);
                if (!whole &&
                    (brief == label || !brief.contains(QLatin1Char(' ')) || !containsPhrase(en, brief)))
                    continue;
                ++quoted;
                const QString want = whole ? own : shortForm(own);
                if (!containsPhrase(help[i].text, want))
                    problems << QStringLiteral("%1: \"%2\" is not named in: %3")
                                    .arg(englishHelp[i].topic, want, help[i].text.left(160));
            }
            if (quoted == 0)
                problems << QStringLiteral("the help no longer quotes \"%1\"").arg(label);
        }
        EXPECT_TRUE(problems.isEmpty()) << lang << ":\n" << qPrintable(problems.join(QLatin1Char('\n')));
    }
}

}  // namespace
}  // namespace kx
