#include "tests/analysis/corpus/OcrCorpus.h"

#include <QDir>
#include <QPainter>
#include <algorithm>
#include <numeric>
#include <utility>
#include <vector>

namespace kx::test {

namespace {

QString normalised(const QString& text)
{
    QStringList lines;
    for (const QString& line : text.split(QLatin1Char('\n')))
        if (!line.simplified().isEmpty())
            lines.append(line.simplified());
    return lines.join(QLatin1Char('\n'));
}

// One directive a line: canvas W H #bg | languages NAME... | floor F | blocks N |
// font FAMILY|PX[|bold] | pen #rgb | fill X Y W H #rgb | text X BASELINE STEP, then lines up to
// ".". A tab puts what is before it right-aligned in a gutter ending 14 px left of X (line
// numbers); the known text joins the two with a blank.
bool parse(const QStringList& lines, CorpusPage& page)
{
    QPainter p;
    QStringList known;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QStringList w = lines[i].split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const auto n = [&](int k) { return w.value(k).toInt(); };
        const QString op = w.value(0);
        if (op.isEmpty() || op.startsWith(QLatin1Char('#')))
            continue;
        if (op == u"canvas" && !p.isActive()) {
            page.image = QImage(n(1), n(2), QImage::Format_RGB32);
            page.image.fill(QColor(w.value(3)));
            p.begin(&page.image);
        } else if (op == u"languages") {
            page.languages = w.mid(1);
        } else if (op == u"floor") {
            page.floor = w.value(1).toDouble();
        } else if (op == u"blocks") {
            page.blocks = n(1);
        } else if (op == u"font" && p.isActive()) {
            const QStringList f = lines[i].mid(5).split(QLatin1Char('|'));
            QFont font(f.value(0));
            font.setPixelSize(f.value(1).toInt());
            font.setBold(f.value(2) == u"bold");
            p.setFont(font);
        } else if (op == u"pen" && p.isActive()) {
            p.setPen(QColor(w.value(1)));
        } else if (op == u"fill" && p.isActive()) {
            p.fillRect(n(1), n(2), n(3), n(4), QColor(w.value(5)));
        } else if (op == u"text" && p.isActive()) {
            for (int y = n(2); ++i < lines.size() && lines[i] != u"."; y += n(3)) {
                const QStringList parts = lines[i].split(QLatin1Char('\t'));
                if (parts.size() == 2)
                    p.drawText(n(1) - 14 - p.fontMetrics().horizontalAdvance(parts[0]), y, parts[0]);
                p.drawText(n(1), y, parts.last());
                known.append(parts.join(QLatin1Char(' ')));
            }
        } else {
            return false;
        }
    }
    page.text = normalised(known.join(QLatin1Char('\n')));
    return p.isActive() && !page.languages.isEmpty() && !page.text.isEmpty();
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
        if (!file.open(QIODevice::ReadOnly) || !parse(QString::fromUtf8(file.readAll()).split('\n'), page))
            page.image = QImage();
        pages.append(page);
    }
    return pages;
}

double characterAccuracy(const QString& expected, const QString& read)
{
    const QString a = normalised(expected), b = normalised(read);
    std::vector<int> row(std::size_t(b.size()) + 1);
    std::iota(row.begin(), row.end(), 0);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        int diagonal = std::exchange(row[0], int(i));
        for (qsizetype j = 1; j <= b.size(); ++j)
            diagonal = std::exchange(row[std::size_t(j)],
                                     std::min({row[std::size_t(j)] + 1, row[std::size_t(j) - 1] + 1,
                                               diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)}));
    }
    return a.isEmpty() ? (b.isEmpty() ? 1.0 : 0.0) : 1.0 - double(row.back()) / double(a.size());
}

}  // namespace kx::test
