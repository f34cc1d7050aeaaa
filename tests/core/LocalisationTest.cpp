#include "TestSupport.h"
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "core/SourceKind.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QtConcurrent>

using namespace kx;

TEST(Lang, ResolveFromSettingAndSystemLanguages)
{
    EXPECT_EQ(Lang::resolve("hu", {"en-US"}), "hu");
    EXPECT_EQ(Lang::resolve("de", {}), "de");
    EXPECT_EQ(Lang::resolve("en", {"hu-HU"}), "en");
    EXPECT_EQ(Lang::resolve("auto", {"hu-HU", "en-US"}), "hu");
    EXPECT_EQ(Lang::resolve("auto", {"en-US", "hu-HU"}), "en");
    EXPECT_EQ(Lang::resolve("auto", {"de-AT"}), "de");
    EXPECT_EQ(Lang::resolve("fr", {"de-CH"}), "de");
    EXPECT_EQ(Lang::resolve("HU", {"fr-FR"}), "en");
    EXPECT_EQ(Lang::resolve("auto", {}), "en");
}

TEST(Lang, FixedForTheProcessOnceDecided)
{
    Lang::overrideForTests("de");
    Prefs::set("language", "hu");
    EXPECT_EQ(Lang::current(), "de");
    Prefs::remove("language");
    Lang::overrideForTests("en");
}

TEST(Tr, PicksLanguageThenGermanArgumentThenTableThenEnglish)
{
    EXPECT_EQ(trIn("en", "Area", "Terület"), "Area");
    EXPECT_EQ(trIn("hu", "Area", "Terület"), "Terület");
    EXPECT_EQ(trIn("de", "Area", "Terület"), "Bereich");
    EXPECT_EQ(trIn("de", "Area", "Terület", "Fläche"), "Fläche");
    EXPECT_EQ(trIn("de", "Pin area on screen", "Terület kitűzése"), "Bereich auf dem Bildschirm anheften");
    EXPECT_EQ(trIn("de", "No such text 123", "Nincs"), "No such text 123");
    EXPECT_EQ(trIn("de", "File", "Fájl"), "Ablage");
    // An explicitly empty German text is a German text.
    EXPECT_EQ(trIn("de", "Area", "Terület", QString("")), "");

    Lang::overrideForTests("de");
    EXPECT_EQ(label(SourceKind::area), "Bereich");
    EXPECT_EQ(tr("View", "Nézet"), "Darstellung");
    Lang::overrideForTests("hu");
    EXPECT_EQ(label(SourceKind::scrolling), "Görgetős");
    Lang::overrideForTests("en");
    EXPECT_EQ(label(SourceKind::color), "Color");
}

TEST(Tr, SafeFromManyThreads)
{
    QList<QFuture<bool>> runs;
    for (int i = 0; i < 8; ++i)
        runs.append(QtConcurrent::run([] {
            bool ok = true;
            for (int k = 0; k < 2000; ++k)
                ok = ok && trIn("de", "Undo", "Visszavonás") == "Widerrufen";
            return ok;
        }));
    for (auto& r : runs)
        EXPECT_TRUE(r.result());
}

TEST(GermanTable, KeysAreUniqueAndEveryRowHasGerman)
{
    QSet<QString> seen;
    for (const auto& [en, de] : German::pairs()) {
        EXPECT_FALSE(seen.contains(en)) << "duplicate English key: " << en.toStdString();
        seen.insert(en);
        EXPECT_FALSE(de.isEmpty()) << en.toStdString();
    }
}

// ---- every kx::tr call in the product sources has a German text ------------------------

namespace {

// The text of adjacent C++ string literals.
QString unescaped(const QString& literals)
{
    static const QRegularExpression piece(R"re("((?:[^"\\]|\\.)*)")re");
    QString out;
    for (auto it = piece.globalMatch(literals); it.hasNext();) {
        const QString body = it.next().captured(1);
        for (qsizetype i = 0; i < body.size(); ++i) {
            if (body[i] != '\\' || i + 1 == body.size()) {
                out += body[i];
                continue;
            }
            const QChar e = body[++i];
            if (e == 'u') {
                out += QChar(body.mid(i + 1, 4).toUShort(nullptr, 16));
                i += 4;
            } else {
                out += e == 'n' ? QChar('\n') : e == 't' ? QChar('\t') : e;
            }
        }
    }
    return out;
}

struct Missing {
    QString file;
    QString en;
};

// Calls whose English and Hungarian texts are plain literals (bare or wrapped in QStringLiteral,
// QString or QString::fromUtf8); computed texts cannot be checked here.
QList<Missing> scanFile(const QString& path, int* calls)
{
    QFile f(test::sourcePath(path));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QString src = QString::fromUtf8(f.readAll());
    const QString literals =
        QStringLiteral(R"re(((?:u8)?"(?:[^"\\]|\\.)*"(?:\s*(?:u8)?"(?:[^"\\]|\\.)*")*))re");
    const QString argument =
        QStringLiteral(R"re((?:(?:QStringLiteral|QString|QString::fromUtf8)\(\s*%1\s*\)|%1))re")
            .arg(literals);
    static const QRegularExpression call(
        QStringLiteral(R"re((?<![\w:.>])(?:kx::)?tr\s*\(\s*%1\s*,\s*%1\s*(,)?)re").arg(argument));
    QList<Missing> missing;
    for (auto it = call.globalMatch(src); it.hasNext();) {
        const auto m = it.next();
        ++*calls;
        const QString en = unescaped(m.captured(1) + m.captured(2));
        if (m.captured(5).isEmpty() && !German::table().contains(en))
            missing.append({path, en});
    }
    return missing;
}

}  // namespace

TEST(GermanCoverage, EveryTrCallInTheSourcesHasGerman)
{
    QList<Missing> missing;
    int calls = 0;
    for (const QString& path : test::productSources())
        missing += scanFile(path, &calls);
    EXPECT_GT(calls, 100);
    QString report;
    for (const Missing& m : missing)
        report += QString("  %1: \"%2\"\n").arg(m.file, m.en);
    EXPECT_TRUE(missing.isEmpty())
        << missing.size() << " kx::tr call(s) have no German text "
        << "(pass it as the third argument or add a row to core/GermanTable.cpp):\n"
        << report.toStdString();
}
