#include "tests/analysis/corpus/OcrCorpus.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <memory>
#include <vector>

namespace kx::test {

namespace {

QString normalised(const QString& text)
{
    QStringList lines;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const QString simple = line.simplified();
        if (!simple.isEmpty())
            lines.append(simple);
    }
    return lines.join(QLatin1Char('\n'));
}

// Directives, one a line:
//   canvas W H #bg | languages NAME... | floor F | blocks N | font FAMILY|PX[|bold] | pen #rgb
//   fill X Y W H #rgb | text X BASELINE STEP, then the lines up to one that is "."
// A tab in a text line splits it into a gutter (right-aligned to end 14 px left of X, as line
// numbers) and the line itself; the known text joins them with one blank.
bool parse(const QString& source, CorpusPage& page)
{
    std::unique_ptr<QPainter> p;
    QFont font;
    QStringList known;
    const QStringList lines = source.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QStringList w = lines[i].split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (w.isEmpty() || w[0].startsWith(QLatin1Char('#')))
            continue;
        const auto n = [&](int k) { return k < w.size() ? w[k].toInt() : 0; };
        if (w[0] == u"canvas" && w.size() == 4) {
            page.image = QImage(n(1), n(2), QImage::Format_RGB32);
            page.image.fill(QColor(w[3]));
            p = std::make_unique<QPainter>(&page.image);
        } else if (w[0] == u"languages") {
            page.languages = w.mid(1);
        } else if (w[0] == u"floor") {
            page.floor = w.value(1).toDouble();
        } else if (w[0] == u"blocks") {
            page.blocks = n(1);
        } else if (w[0] == u"font" && p) {
            const QStringList f = lines[i].mid(5).split(QLatin1Char('|'));
            font = QFont(f.value(0));
            font.setPixelSize(f.value(1).toInt());
            font.setBold(f.value(2) == u"bold");
            p->setFont(font);
        } else if (w[0] == u"pen" && p) {
            p->setPen(QColor(w.value(1)));
        } else if (w[0] == u"fill" && p && w.size() == 6) {
            p->fillRect(n(1), n(2), n(3), n(4), QColor(w[5]));
        } else if (w[0] == u"text" && p && w.size() == 4) {
            const QFontMetrics fm(font);
            int y = n(2);
            for (++i; i < lines.size() && lines[i] != u"."; ++i, y += n(3)) {
                const QStringList parts = lines[i].split(QLatin1Char('\t'));
                const QString body = parts.last();
                if (parts.size() == 2)
                    p->drawText(n(1) - 14 - fm.horizontalAdvance(parts[0]), y, parts[0]);
                p->drawText(n(1), y, body);
                known.append(parts.join(QLatin1Char(' ')));
            }
            if (i == lines.size())
                return false;
        } else {
            return false;
        }
    }
    page.text = normalised(known.join(QLatin1Char('\n')));
    return p && !page.languages.isEmpty() && !page.text.isEmpty();
}

}  // namespace

QList<CorpusPage> ocrCorpus(const QString& dir)
{
    QList<CorpusPage> pages;
    for (const QFileInfo& info :
         QDir(dir).entryInfoList({QStringLiteral("*.page")}, QDir::Files, QDir::Name)) {
        CorpusPage page;
        page.name = info.completeBaseName();
        QFile file(info.filePath());
        if (!file.open(QIODevice::ReadOnly) || !parse(QString::fromUtf8(file.readAll()), page))
            page.image = QImage();
        pages.append(page);
    }
    return pages;
}

double characterAccuracy(const QString& expected, const QString& read)
{
    const QString a = normalised(expected);
    const QString b = normalised(read);
    if (a.isEmpty())
        return b.isEmpty() ? 1.0 : 0.0;
    std::vector<int> row(size_t(b.size()) + 1);
    for (size_t j = 0; j < row.size(); ++j)
        row[j] = int(j);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = int(i);
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const int up = row[size_t(j)];
            row[size_t(j)] =
                std::min({up + 1, row[size_t(j) - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = up;
        }
    }
    return 1.0 - double(row.back()) / double(a.size());
}

}  // namespace kx::test
