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

TEST_F(FileNamingTest, DefaultPatternAndTokens)
{
    EXPECT_EQ(FileNaming::baseName(kWhen, std::nullopt, SourceKind::area), "Kaptorix 2026-10-09 14.32.05");
    Prefs::set("filePattern", "{kind}:{hh}");
    EXPECT_EQ(FileNaming::baseName(QDateTime(QDate(2026, 1, 2), QTime(9, 0)), std::nullopt, SourceKind::area),
              "Area-09");
    // Unknown braces stay; the year is padded to four digits.
    EXPECT_EQ(FileNaming::fill("{x} {YYYY}", QDateTime(QDate(33, 1, 1), QTime(0, 0)), std::nullopt, "Area"),
              "{x} 0033");
}

TEST_F(FileNamingTest, TitleKindLabelAndLanguages)
{
    Prefs::set("filePattern", "{title}");
    EXPECT_EQ(FileNaming::baseName(kWhen, QString("Report 1/2"), SourceKind::window), "Report 1-2");
    EXPECT_EQ(FileNaming::baseName(kWhen, std::nullopt, SourceKind::window), "Window");
    // An empty title is a title: the name is then blank and falls back.
    EXPECT_EQ(FileNaming::baseName(kWhen, QString(""), SourceKind::window), "Kaptorix");
    Lang::overrideForTests("hu");
    EXPECT_EQ(FileNaming::baseName(kWhen, std::nullopt, SourceKind::area), "Terület");
    Lang::overrideForTests("de");
    EXPECT_EQ(FileNaming::baseName(kWhen, std::nullopt, SourceKind::file), "Ablage");
}

TEST_F(FileNamingTest, ForbiddenAndControlCharactersBecomeDashes)
{
    Prefs::set("filePattern", "a%b*c");
    EXPECT_EQ(FileNaming::baseName(kWhen, std::nullopt, SourceKind::area), "a-b-c");
    Prefs::set("filePattern", "{title}");
    EXPECT_EQ(FileNaming::baseName(kWhen, QString("x/:\\?%*|\"<>y"), SourceKind::window), "x----------y");
    EXPECT_EQ(FileNaming::baseName(kWhen, QString("line1\nline2\ttab\x7f\r"), SourceKind::window),
              "line1-line2-tab--");
    Prefs::set("filePattern", "  \t ");
    EXPECT_EQ(FileNaming::baseName(kWhen, std::nullopt, SourceKind::area), "Kaptorix");
    Prefs::set("filePattern", " {title}");
    EXPECT_EQ(FileNaming::baseName(kWhen, QString("T"), SourceKind::window), " T");
}

TEST_F(FileNamingTest, TitlesAreTextNeverTokensAndLoseEveryControlCharacter)
{
    Prefs::set("filePattern", "{title} {kind}");
    EXPECT_EQ(FileNaming::baseName(kWhen, QString("{kind} {YYYY}"), SourceKind::window),
              "{kind} {YYYY} Window");
    Prefs::set("filePattern", "{title}");
    const QString controls = QString("a") + QChar(0x80) + QChar(0x85) + QChar(0x9f) + QChar(0x2028) +
                             QChar(0x2029) + QChar(0xa0) + "b";
    EXPECT_EQ(FileNaming::baseName(kWhen, controls, SourceKind::window),
              QString("a-----") + QChar(0xa0) + "b");
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
