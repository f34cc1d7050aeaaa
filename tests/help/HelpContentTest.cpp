// The help pages in three languages: structure, exact texts, live key labels, pictures and search.
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "help/HelpModel.h"
#include "platform/HotKeyManager.h"
#include "ui/MenuKeys.h"
#include "ui/Symbols.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QSet>
#include <QTemporaryDir>

using namespace kx;

namespace {

struct Shape {
    const char* id;
    const char* symbol;
    QRgb tint;
    int sections, paragraphs, rows;
};

// Ids, badges and sizes of the fifteen pages, in list order.
const Shape kShapes[] = {
    {"start", "sparkles", qRgb(175, 82, 222), 7, 5, 22},  // the tray menu also has Language, Updates
    {"capture", "camera.viewfinder", qRgb(0, 122, 255), 6, 4, 26},
    {"editor", "pencil.and.outline", qRgb(88, 86, 214), 9, 7, 49},
    {"backdrop", "sparkles.rectangle.stack", qRgb(255, 45, 85), 7, 6, 16},
    {"tools", "wrench.and.screwdriver", qRgb(255, 149, 0), 6, 7, 16},
    {"pins", "pin", qRgb(255, 204, 0), 5, 3, 11},
    {"history", "clock.arrow.circlepath", qRgb(52, 199, 89), 7, 4, 22},
    {"export", "square.and.arrow.up", qRgb(50, 173, 230), 7, 4, 18},
    {"upload", "icloud.and.arrow.up", qRgb(0, 122, 255), 8, 4, 25},
    {"ai", "sparkles", qRgb(175, 82, 222), 6, 7, 10},
    {"settings", "gearshape.fill", qRgb(142, 142, 147), 9, 3, 41},
    {"shortcuts", "keyboard", qRgb(255, 149, 0), 7, 3, 57},
    {"privacy", "lock.shield", qRgb(48, 176, 199), 5, 4, 17},
    {"trouble", "lifepreserver", qRgb(255, 59, 48), 7, 0, 29},
    {"contact", "envelope.fill", qRgb(48, 176, 199), 4, 4, 0},
};

// Every shown text of the help in list order, with where it came from.
struct Text {
    QString where;
    QString text;
};
QList<Text> texts(const QList<HelpTopic>& topics)
{
    QList<Text> out;
    for (const HelpTopic& t : topics) {
        out.append({t.id + "/title", t.title});
        out.append({t.id + "/intro", t.intro});
        for (int s = 0; s < t.sections.size(); ++s) {
            const HelpSection& sec = t.sections[s];
            const QString at = t.id + "/" + QString::number(s);
            out.append({at + "/title", sec.title.value_or(QString())});
            for (const QString& p : sec.paragraphs)
                out.append({at + "/p", p});
            for (const HelpRow& r : sec.rows) {
                out.append({at + "/name", r.name});
                out.append({at + "/text", r.text});
            }
        }
    }
    return out;
}

QList<HelpTopic> topicsIn(const QString& lang)
{
    Lang::overrideForTests(lang);
    QList<HelpTopic> all = HelpContent::allTopics();
    Lang::overrideForTests("en");
    return all;
}

const HelpRow* findRow(const QList<HelpTopic>& all, const QString& id, const QString& name)
{
    for (const HelpTopic& t : all) {
        if (t.id != id)
            continue;
        for (const HelpSection& s : t.sections)
            for (const HelpRow& r : s.rows)
                if (r.name == name)
                    return &r;
    }
    return nullptr;
}

class HelpContentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Lang::overrideForTests("en");
        for (int i = 0; i < 10; ++i)
            Prefs::remove(HotKeyManager::settingsKey(HotKeyAction(i)));
    }
};

}  // namespace

TEST_F(HelpContentTest, EveryLanguageHasTheFifteenPagesWithTheirSizes)
{
    const QList<HelpTopic> en = topicsIn("en");
    for (const char* lang : {"en", "de", "hu"}) {
        SCOPED_TRACE(lang);
        const QList<HelpTopic> all = topicsIn(lang);
        ASSERT_EQ(all.size(), 15);
        int emptyTexts = 0;
        for (int i = 0; i < 15; ++i) {
            const HelpTopic& t = all[i];
            const Shape& want = kShapes[i];
            SCOPED_TRACE(want.id);
            EXPECT_EQ(t.id, want.id);
            EXPECT_EQ(t.symbol, want.symbol);
            EXPECT_TRUE(Symbols::has(t.symbol));
            EXPECT_EQ(t.tint.rgb(), want.tint);
            EXPECT_FALSE(t.title.isEmpty());
            EXPECT_FALSE(t.intro.isEmpty());
            int paragraphs = 0, rows = 0;
            for (int s = 0; s < t.sections.size(); ++s) {
                const HelpSection& sec = t.sections[s];
                EXPECT_TRUE(sec.title && !sec.title->isEmpty());
                paragraphs += int(sec.paragraphs.size());
                rows += int(sec.rows.size());
                for (const QString& p : sec.paragraphs)
                    EXPECT_FALSE(p.isEmpty());
                for (const HelpRow& r : sec.rows) {
                    EXPECT_FALSE(r.name.isEmpty());
                    EXPECT_TRUE(!r.symbol || Symbols::has(*r.symbol)) << qPrintable(*r.symbol);
                    emptyTexts += r.text.isEmpty();
                }
                // The same structure in every language.
                EXPECT_EQ(sec.rows.size(), en[i].sections[s].rows.size());
                EXPECT_EQ(sec.image, en[i].sections[s].image);
            }
            EXPECT_EQ(t.sections.size(), want.sections);
            EXPECT_EQ(paragraphs, want.paragraphs);
            EXPECT_EQ(rows, want.rows);
            EXPECT_EQ(t.links.size(), 0);
        }
        // Export shortcuts (4), Minimize and Hide / Quit (2) and the fifteen tool letters.
        EXPECT_EQ(emptyTexts, 21);
    }
}

TEST_F(HelpContentTest, GermanAndHungarianTranslateEveryText)
{
    const QList<Text> en = texts(topicsIn("en"));
    // Names that are the same word in the other language, and literals shown as they stand.
    const QSet<QString> sameInGerman = {"Pins",         "OCR",
                                        "Palette",      "Text",
                                        "Spotlight",    "Transparent",
                                        "Polaroid",     "Format",
                                        "Port",         "Link",
                                        "Markdown",     "HTML <img>",
                                        "WebDAV",       "FTP",
                                        "SFTP",         "Esc",
                                        "Shift",        "Orvelle Raruda",
                                        "Version",      "API HTTP 404",
                                        "API HTTP 429", "Ellipse",
                                        "IBANs",        "Zoom",
                                        "AI",           HelpContent::versionLine()};
    const QSet<QString> sameInHungarian = {
        "OCR",          "Polaroid",     "Port",   "Link",
        "Markdown",     "HTML <img>",   "WebDAV", "FTP",
        "SFTP",         "Esc",          "Shift",  "Orvelle Raruda",
        "API HTTP 404", "API HTTP 429", "AI",     HelpContent::versionLine()};
    for (const auto& [lang, allowed] : {std::pair{"de", sameInGerman}, std::pair{"hu", sameInHungarian}}) {
        SCOPED_TRACE(lang);
        const QList<Text> other = texts(topicsIn(lang));
        ASSERT_EQ(other.size(), en.size());
        for (int i = 0; i < en.size(); ++i) {
            if (en[i].text.isEmpty() ||
                en[i].where.endsWith("/name") && en[i].where.startsWith("shortcuts/0"))
                continue;  // empty texts, and the action titles that core translates itself
            if (other[i].text == en[i].text)
                EXPECT_TRUE(allowed.contains(en[i].text)) << qPrintable(en[i].where + ": " + en[i].text);
        }
    }
}

TEST_F(HelpContentTest, QuotedAndLinuxTextsStandExactly)
{
    QStringList all;
    for (const Text& t : texts(HelpContent::allTopics()))
        all.append(t.text);
    // Texts quoted exactly, and where a macOS-only thing has its desktop counterpart.
    const char* exact[] = {
        "Five tabs: General, Shortcuts, Capture & save, Upload and AI.",
        "9 to 15 digits, optionally with a leading +, spaces, brackets, dashes or slashes.",
        "Settings → General → History: keep at most this many captures (20 to 5000, default 300), and delete "
        "captures older than this many days (0 to 365, default 30; 0 means never by age).",
        "Off by default, so Kaptorix lives only in the tray. Turn it on to get a taskbar entry as well.",
        "Each capture is stored as a PNG with a small thumbnail in ~/.local/share/Kaptorix/History. The ⋯ "
        "menu opens that folder.",
        "Opens the Save dialog. The extension you type picks the format: .png, .jpg or .jpeg, or .heic. Any "
        "other extension is replaced by the extension of the format selected in the dialog.",
        "Stored in the keyring, not in a settings file. With an SSH key file, this field holds the key’s "
        "passphrase.",
    };
    for (const char* q : exact)
        EXPECT_TRUE(all.contains(QString::fromUtf8(q))) << q;
    for (const QString& s : all) {
        for (const char* word : {"macOS", "Finder", "Keychain", "Retina", "Dock", "menu bar", "⌘", "⌥", "⌃"})
            EXPECT_FALSE(s.contains(QString::fromUtf8(word)) && !s.contains("macOS-style window"))
                << qPrintable(s);
    }
}

// The privacy page names every file the upload folder keeps, in each language.
TEST_F(HelpContentTest, ThePrivacyPageNamesEveryFileOfTheUploadFolder)
{
    for (const char* lang : {"en", "hu", "de"}) {
        QStringList rows;
        for (const Text& t : texts(topicsIn(lang))) {
            if (t.where.startsWith("privacy/") && t.text.contains("Kaptorix/UploadQueue"))
                rows.append(t.text);
        }
        ASSERT_EQ(rows.size(), 1) << lang;
        for (const char* file :
             {"PNG", "queue.json", "uploaded-names.json", "queue.lock", "uploaded-names.lock"})
            EXPECT_TRUE(rows.first().contains(file)) << lang << ": " << file;
    }
}

TEST_F(HelpContentTest, LiveRowsFollowTheShortcutsToolsAndVersion)
{
    Prefs::set(HotKeyManager::settingsKey(HotKeyAction::history), QStringLiteral("none"));
    const QList<HelpTopic> all = HelpContent::allTopics();
    const struct {
        const char* topic;
        const char* row;
        const char* keys;
    } rows[] = {
        {"capture", "Capture area", "Ctrl+Alt+1"},
        {"capture", "Repeat last area", "Ctrl+Alt+9"},
        {"start", "1. Capture", "Ctrl+Alt+1"},
        {"editor", "OCR", "Ctrl+Alt+6"},
        {"tools", "Pick a color", "Ctrl+Alt+7"},
        {"pins", "Pin an area", "Ctrl+Alt+8"},
        {"start", "History", "–"},
        {"capture", "Open history", "–"},
        {"history", "Open the window", "–"},
        {"shortcuts", "Capture area", "Ctrl+Alt+1"},
    };
    for (const auto& r : rows) {
        const HelpRow* row = findRow(all, r.topic, r.row);
        ASSERT_NE(row, nullptr) << r.topic << " " << r.row;
        EXPECT_EQ(row->keys.value_or("(none)"), QString::fromUtf8(r.keys)) << r.topic << " " << r.row;
    }
    // The editor's keys are the main menu table's, whatever that table says.
    const std::tuple<const char*, const char*, MainItem> menuRows[]{
        {"editor", "Undo", MainItem::undo},
        {"export", "Save as…", MainItem::saveAs},
        {"shortcuts", "Pin on screen", MainItem::pin},
        {"editor", "Fit to window", MainItem::zoomFit}};
    for (const auto& [topic, name, item] : menuRows) {
        const HelpRow* row = findRow(all, topic, name);
        ASSERT_NE(row, nullptr) << topic << " " << name;
        EXPECT_EQ(row->keys.value_or("(none)"), menuKeyHint(item)) << topic << " " << name;
    }
    const HelpSection& letters = all[11].sections[5];
    QString keys;
    for (const HelpRow& r : letters.rows)
        keys += r.keys.value_or("?");
    EXPECT_EQ(keys, "VCALROPHTNBXSZM");
    EXPECT_EQ(all[14].sections[1].paragraphs,
              QStringList{"Kaptorix " + AppInfo::version() + " (build " + AppInfo::build() + ")"});

    // A second build: equal texts, fresh identities.
    const auto ids = [](const QList<HelpTopic>& topics) {
        QSet<QUuid> out;
        for (const HelpTopic& t : topics)
            for (const HelpSection& s : t.sections) {
                out.insert(s.id);
                for (const HelpRow& r : s.rows)
                    out.insert(r.id);
            }
        return out;
    };
    const QList<HelpTopic> again = HelpContent::allTopics();
    EXPECT_FALSE(ids(all).intersects(ids(again)));
    const QList<Text> a = texts(all), b = texts(again);
    for (int i = 0; i < a.size(); ++i)
        EXPECT_EQ(a[i].text, b.value(i).text);
}

TEST(HelpImageTest, LanguageBeforeExtensionResourcesBeforeFolder)
{
    QTemporaryDir dir;
    const QString res = dir.path() + "/res", folder = dir.path() + "/folder";
    const auto put = [](const QString& path, const char* format, QRgb colour) {
        QDir().mkpath(QFileInfo(path).path());
        if (!format) {
            QFile f(path);
            f.open(QIODevice::WriteOnly);
            f.write("not an image");
            return;
        }
        QImage image(4, 4, QImage::Format_RGB32);
        image.fill(colour);
        image.save(path, format);
    };
    const QRgb red = qRgb(255, 0, 0), green = qRgb(0, 255, 0), blue = qRgb(0, 0, 255);
    put(res + "/hu/a.png", "PNG", red);     // current language png ...
    put(res + "/en/a.jpg", "JPEG", green);  // ... wins over English jpg
    put(res + "/hu/b.png", "PNG", red);
    put(folder + "/Help/hu/b.jpg", "JPEG", blue);  // folder jpg is tried before resource png
    put(res + "/hu/c.jpg", nullptr, 0);            // unreadable: skipped
    put(folder + "/Help/hu/c.jpg", "JPEG", green);
    put(folder + "/Help/en/d.png", "PNG", blue);

    const auto colour = [&](const char* name, const QString& f) -> QRgb {
        const auto image = HelpImage::load(name, "hu", res, f);
        return image ? image->pixel(1, 1) & 0xffe0e0e0 : 0;
    };
    EXPECT_EQ(colour("a", folder), red & 0xffe0e0e0);
    EXPECT_EQ(colour("b", folder), blue & 0xffe0e0e0);
    EXPECT_EQ(colour("b", QString()), red & 0xffe0e0e0);
    EXPECT_EQ(colour("c", folder), green & 0xffe0e0e0);
    EXPECT_EQ(colour("d", folder), blue & 0xffe0e0e0);
    EXPECT_EQ(colour("missing", folder), 0u);

    // An empty variable is not the file-system root.
    qputenv("KAPTORIX_RESOURCES", "");
    EXPECT_FALSE(HelpImage::load("passwd").has_value());
    qunsetenv("KAPTORIX_RESOURCES");
}

TEST_F(HelpContentTest, SearchFoldsCaseAndAccentsOverTheShownFields)
{
    const auto found = [](const QString& lang, const QString& query) {
        QStringList ids;
        for (const HelpTopic& t : topicsIn(lang))
            if (HelpSearch::matches(t, HelpSearch::prepare(query)))
                ids.append(t.id);
        return ids;
    };
    const struct {
        const char* lang;
        const char* query;
        const char* mustFind;
    } cases[] = {
        {"en", "PIXELATE", "tools"},
        {"en", "luhn", "tools"},
        {"de", "VERPIXELN", "tools"},
        {"de", "GROSSE BLOCKE", "tools"},  // große Blöcke in capitals, without umlauts
        {"hu", "KITUZES", "pins"},         // Kitűzés without accents
        {"hu", "szinpaletta", "tools"},
        {"hu", "a\u0301tme\u0301retez", "pins"},  // decomposed á, é
        {"en", "Ctrl+Alt+1", "shortcuts"},
        {"en", "  \tbackdrop\t ", "backdrop"},
    };
    for (const auto& c : cases)
        EXPECT_TRUE(found(c.lang, QString::fromUtf8(c.query)).contains(c.mustFind))
            << c.lang << " " << c.query;
    // Symbol names, ids and picture names are not searched; spaces alone show everything.
    EXPECT_TRUE(found("en", "wrench.and.screwdriver").isEmpty());
    EXPECT_TRUE(found("en", "lifepreserver").isEmpty());
    EXPECT_TRUE(found("en", "backdrop-popover").isEmpty());
    EXPECT_EQ(found("en", "   ").size(), 15);
    EXPECT_TRUE(found("en", "backdrop\n").isEmpty());
}

TEST(HelpImageTest, EveryNamedPictureIsInTheResourcesInEachLanguage)
{
    QSet<QString> names;
    for (const HelpTopic& t : HelpContent::allTopics())
        for (const HelpSection& s : t.sections)
            if (s.image)
                names.insert(*s.image);
    EXPECT_EQ(names.size(), 15);
    for (const char* lang : {"en", "de", "hu"})
        for (const QString& name : names)
            EXPECT_TRUE(QFile::exists(QString(":/Help/%1/%2.jpg").arg(lang, name)))
                << lang << " " << qPrintable(name);
}
