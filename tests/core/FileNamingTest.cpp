#include "core/FileNaming.h"
#include "core/Localisation.h"
#include "core/Prefs.h"

#include <gtest/gtest.h>

using namespace kx;

namespace {
const QDateTime kWhen(QDate(2026, 10, 9), QTime(14, 32, 5));

struct FileNamingTest : ::testing::Test {
    void SetUp() override
    {
        Lang::overrideForTests("en");
        Prefs::registerDefaults();
    }
    void TearDown() override
    {
        Prefs::remove("filePattern");
        Lang::overrideForTests("en");
    }
};
}  // namespace

TEST_F(FileNamingTest, PatternTokensTitlesAndForbiddenCharacters)
{
    const QString controls = QString("a") + QChar(0x80) + QChar(0x85) + QChar(0x9f) + QChar(0x2028) +
                             QChar(0x2029) + QChar(0xa0) + "b";
    const std::optional<QString> none;
    struct Row {
        QString pattern;  // empty: the default
        std::optional<QString> title;
        SourceKind kind;
        QString lang, expected;
    };
    const Row rows[] = {
        {"", none, SourceKind::area, "en", "Kaptorix 2026-10-09 14.32.05"},
        {"{kind}:{ss}", none, SourceKind::area, "en", "Area-05"},
        {"{title}", QString("Report 1/2"), SourceKind::window, "en", "Report 1-2"},
        {"{title}", none, SourceKind::window, "en", "Window"},
        {"{title}", QString(""), SourceKind::window, "en", "Kaptorix"},  // an empty title is blank
        {"{title}", none, SourceKind::area, "hu", "Terület"},
        {"{title}", none, SourceKind::file, "de", "Ablage"},
        {"a%b*c", none, SourceKind::area, "en", "a-b-c"},
        {"{title}", QString("x/:\\?%*|\"<>y"), SourceKind::window, "en", "x----------y"},
        {"{title}", QString("line1\nline2\ttab\x7f\r"), SourceKind::window, "en", "line1-line2-tab--"},
        {"  \t ", none, SourceKind::area, "en", "Kaptorix"},
        {" {title}", QString("T"), SourceKind::window, "en", " T"},
        // A title is text, never tokens, and loses every control character.
        {"{title} {kind}", QString("{kind} {YYYY}"), SourceKind::window, "en", "{kind} {YYYY} Window"},
        {"{title}", controls, SourceKind::window, "en", QString("a-----") + QChar(0xa0) + "b"},
    };
    for (const Row& r : rows) {
        if (r.pattern.isEmpty())
            Prefs::remove("filePattern");
        else
            Prefs::set("filePattern", r.pattern);
        Lang::overrideForTests(r.lang);
        EXPECT_EQ(FileNaming::baseName(kWhen, r.title, r.kind), r.expected) << r.pattern.toStdString();
    }
    // Unknown braces stay; the year is padded to four digits.
    EXPECT_EQ(FileNaming::fill("{x} {YYYY}", QDateTime(QDate(33, 1, 1), QTime(0, 0)), std::nullopt, "Area"),
              "{x} 0033");
}

TEST_F(FileNamingTest, LongNamesAreCutAtAUtf8Boundary)
{
    Prefs::set("filePattern", "{title}");
    const QString title = QString("ő").repeated(300);  // two bytes each
    const QString name = FileNaming::baseName(kWhen, title, SourceKind::window);
    const QByteArray utf8 = (name + ".heic 99").toUtf8();
    EXPECT_LE(utf8.size(), 255);
    EXPECT_GE(utf8.size(), 250);
    EXPECT_EQ(QString::fromUtf8(name.toUtf8()), name);  // no broken sequence

    const QString emoji = QString::fromUtf8("\xF0\x9F\x93\xB7").repeated(100);  // surrogate pairs
    const QString cut = FileNaming::baseName(kWhen, emoji, SourceKind::window);
    EXPECT_LE(cut.toUtf8().size(), FileNaming::kMaxBaseBytes);
    EXPECT_FALSE(cut.back().isHighSurrogate());
}

TEST_F(FileNamingTest, TitlesCanNeitherDisguiseNorHideTheName)
{
    Prefs::set("filePattern", "{title}");
    const auto name = [](const QString& title) {
        return FileNaming::baseName(kWhen, title, SourceKind::window);
    };
    // Every bidirectional control is dropped, not replaced: the name reads as it is stored.
    const char16_t controls[] = {0x202a, 0x202b, 0x202c, 0x202d, 0x202e, 0x2066,
                                 0x2067, 0x2068, 0x2069, 0x200e, 0x200f, 0x061c};
    for (const char16_t c : controls)
        EXPECT_EQ(name(QString("in") + QChar(c) + "voice"), "invoice") << int(c);
    EXPECT_EQ(name(QString("invoice") + QChar(0x202e) + "gnp.exe"), "invoicegnp.exe");
    // No hidden file, no name that reads as an option; dots and dashes inside stay.
    const std::pair<QString, QString> rows[] = {
        {"..", "Kaptorix"},
        {".bashrc", "bashrc"},
        {"-rf --help", "rf --help"},
        {"/etc/passwd", "etc-passwd"},
        {QString(QChar(0x202e)) + "-.x", "x"},
        {"a.b-c", "a.b-c"},
        {" -x", " -x"},  // blanks at the ends stay; the name starts with one
    };
    for (const auto& [title, expected] : rows)
        EXPECT_EQ(name(title), expected) << title.toStdString();
    Prefs::set("filePattern", ".{kind}");
    EXPECT_EQ(FileNaming::baseName(kWhen, std::nullopt, SourceKind::area), "Area");
}
