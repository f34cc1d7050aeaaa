// The icon set: every symbol name resolves to an icon that draws, and every symbol name
// written anywhere in the source tree has an icon.
#include "TestSupport.h"
#include "ui/Symbols.h"

#include <gtest/gtest.h>
#include <QDirIterator>
#include <QFile>
#include <QPainter>
#include <QRegularExpression>
#include <QSet>

using namespace kx;

namespace {

int inkPixels(const QImage& img)
{
    const QImage a = img.convertToFormat(QImage::Format_ARGB32);
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            n += qAlpha(a.pixel(x, y)) > 64;
    return n;
}

// The symbol names written in one source text, in the three documented forms.
QSet<QString> symbolNamesIn(const QString& text)
{
    static const QRegularExpression literal(QStringLiteral(R"re("([^"\\\n]+)"_sym\b)re"));
    static const QRegularExpression call(
        QStringLiteral(R"re(Symbols::(?:icon|image|has|file)\(\s*(?:QStringLiteral\()?"([^"\\\n]+)")re"));
    static const QRegularExpression marked(QStringLiteral(R"re(^(.*)//\s*symbol\s*$)re"),
                                           QRegularExpression::MultilineOption);
    static const QRegularExpression anyLiteral(QStringLiteral(R"re("([^"\\\n]+)")re"));
    QSet<QString> names;
    for (const auto& re : {literal, call}) {
        auto it = re.globalMatch(text);
        while (it.hasNext())
            names.insert(it.next().captured(1));
    }
    auto literalsIn = [&](const QString& part) {
        auto it = anyLiteral.globalMatch(part);
        while (it.hasNext())
            names.insert(it.next().captured(1));
    };
    auto lines = marked.globalMatch(text);
    while (lines.hasNext())
        literalsIn(lines.next().captured(1));
    // Bodies of `QString symbol(...)` / `QString fooSymbol(...)` definitions.
    static const QRegularExpression definition(
        QStringLiteral(R"re(\bQString\s+(?:\w+::)*(?:symbol|\w+Symbol)\s*\([^)]*\)\s*(?:const\s*)?\{)re"));
    auto defs = definition.globalMatch(text);
    while (defs.hasNext()) {
        const auto m = defs.next();
        int depth = 1, i = int(m.capturedEnd());
        for (; i < text.size() && depth > 0; ++i)
            depth += text[i] == '{' ? 1 : text[i] == '}' ? -1 : 0;
        literalsIn(text.mid(m.capturedEnd(), i - m.capturedEnd()));
    }
    return names;
}

}  // namespace

TEST(Symbols, EveryNameOfTheTableDrawsInkFromItsBundledFile)
{
    const QStringList names = Symbols::names();
    ASSERT_GE(names.size(), 160);
    for (const QString& name : names) {
        const QString file = Symbols::file(name);
        EXPECT_TRUE(QFile::exists(file)) << name.toStdString() << " -> " << file.toStdString();
        const QImage img = Symbols::image(name, 24, Qt::black);
        EXPECT_GT(inkPixels(img), 8) << name.toStdString() << " draws nothing";
    }
}

TEST(Symbols, TintWeightAndScaleChangeTheDrawing)
{
    const QImage red = Symbols::image("checkmark"_sym, 32, QColor(255, 0, 0));
    int notRed = 0;
    for (int y = 0; y < red.height(); ++y)
        for (int x = 0; x < red.width(); ++x)
            notRed += qAlpha(red.pixel(x, y)) > 0 && (qGreen(red.pixel(x, y)) || qBlue(red.pixel(x, y)));
    EXPECT_EQ(notRed, 0);
    EXPECT_GT(inkPixels(Symbols::image("circle"_sym, 32, Qt::black, SymbolWeight::bold)),
              inkPixels(Symbols::image("circle"_sym, 32, Qt::black, SymbolWeight::light)));
    const QImage twice = Symbols::image("pin"_sym, 16, Qt::black, SymbolWeight::regular, 2.0);
    EXPECT_EQ(twice.size(), QSize(32, 32));
    EXPECT_EQ(twice.deviceIndependentSize(), QSizeF(16, 16));
}

TEST(Symbols, UnknownNameIsReportedAndDrawsTheQuestionMark)
{
    const QString unknown = QStringLiteral("no.such.name");
    EXPECT_FALSE(Symbols::has(unknown));
    EXPECT_TRUE(Symbols::file(unknown).isEmpty());
    const QImage fallback = Symbols::image(unknown, 24, Qt::black);
    EXPECT_EQ(fallback, Symbols::image("questionmark"_sym, 24, Qt::black));
}

TEST(Symbols, EverySymbolNameInTheSourceTreeHasAnIcon)
{
    const QString root = kx::test::sourcePath(QString());
    QSet<QString> used;
    QStringList missing;
    int files = 0;
    QDirIterator it(root, {"*.h", "*.cpp"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString rel = QDir(root).relativeFilePath(path);
        if (rel.startsWith("build") || rel.startsWith(".git") || rel.contains("/build"))
            continue;
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            continue;
        ++files;
        for (const QString& name : symbolNamesIn(QString::fromUtf8(f.readAll()))) {
            used.insert(name);
            if (!Symbols::has(name))
                missing << rel + ": " + name;
        }
    }
    EXPECT_GT(files, 20);
    // The scan must see the names this folder itself writes, or it proves nothing.
    EXPECT_TRUE(used.contains("xmark") && used.contains("pencil.and.outline") &&
                used.contains("icloud.and.arrow.up"));
    EXPECT_TRUE(missing.isEmpty()) << "symbol names without an icon:\n" << missing.join('\n').toStdString();
}
