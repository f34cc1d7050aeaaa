#include "tests/analysis/corpus/OcrCorpus.h"

#include <QDir>
#include <QFontMetricsF>
#include <QPainter>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
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

// The pixels that `text` drawn at (x, baseline) with p's font and transform touches.
QRect inkOf(const QPainter& p, qreal x, qreal baseline, const QString& text)
{
    const QFontMetricsF fm(p.font());
    const QRect around = p.transform()
                             .mapRect(QRectF(x - fm.height(), baseline - fm.ascent() - fm.height(),
                                             fm.horizontalAdvance(text) + 2 * fm.height(), 3 * fm.height()))
                             .toAlignedRect();
    QImage scratch(around.size(), QImage::Format_ARGB32_Premultiplied);
    scratch.fill(Qt::transparent);
    {
        QPainter q(&scratch);
        q.setRenderHints(p.renderHints());
        q.setTransform(p.transform() * QTransform::fromTranslate(-around.x(), -around.y()));
        q.setFont(p.font());
        q.setPen(Qt::black);
        q.drawText(QPointF(x, baseline), text);
    }
    QRect ink;
    for (int y = 0; y < scratch.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(scratch.constScanLine(y));
        for (int i = 0; i < scratch.width(); ++i)
            if (qAlpha(row[i]) > 0)
                ink |= QRect(around.x() + i, around.y() + y, 1, 1);
    }
    return ink;
}

// Draws one line of text with its marks: [[...]] a sensitive item, {{...}} a decoy, <#rgb> a
// pen of that colour until <> brings back `pen`. Returns the line without the marks.
QString drawMarked(QPainter& p, qreal x, qreal baseline, const QString& line, const QColor& pen,
                   QList<CorpusItem>& items)
{
    static const QRegularExpression mark(
        QStringLiteral(R"(\[\[(.*?)\]\]|\{\{(.*?)\}\}|<(#[0-9a-fA-F]{3,8})?>)"));
    QString plain;
    qsizetype at = 0;
    const auto draw = [&](const QString& part) {
        p.drawText(QPointF(x, baseline), part);
        x += QFontMetricsF(p.font()).horizontalAdvance(part);
        plain += part;
    };
    for (auto it = mark.globalMatch(line); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        draw(line.mid(at, m.capturedStart() - at));
        at = m.capturedEnd();
        if (m.capturedStart(3) >= 0 || m.captured(0) == u"<>") {
            p.setPen(m.capturedStart(3) >= 0 ? QColor(m.captured(3)) : pen);
            continue;
        }
        const bool decoy = m.capturedStart(2) >= 0;
        const QString text = decoy ? m.captured(2) : m.captured(1);
        items.append({text, inkOf(p, x, baseline, text), decoy});
        draw(text);
    }
    draw(line.mid(at));
    return plain;
}

// One directive a line: scale S (before canvas: pixels per point) | canvas W H #bg |
// languages NAME... | floor F | blocks N | every (item must be covered) | font FAMILY|PX[|bold] | pen #rgb |
// fill X Y W H #rgb | round X Y W H R #rgb | text X BASELINE STEP, then lines up to ".", with the marks of
// drawMarked(). A tab puts what is before it right-aligned in a gutter ending 14 px left of X
// (line numbers); the known text joins the two with a blank. Geometry is in points.
bool parse(const QStringList& lines, CorpusPage& page, double scale = 1)
{
    QPainter p;
    QStringList known;
    QColor pen = Qt::black;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QStringList w = lines[i].split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const auto n = [&](int k) { return w.value(k).toDouble(); };
        const QString op = w.value(0);
        if (op.isEmpty() || op.startsWith(QLatin1Char('#')))
            continue;
        if (op == u"scale" && !p.isActive()) {
            scale = n(1);
        } else if (op == u"canvas" && !p.isActive()) {
            page.image =
                QImage(int(std::lround(n(1) * scale)), int(std::lround(n(2) * scale)), QImage::Format_RGB32);
            page.image.fill(QColor(w.value(3)));
            p.begin(&page.image);
            p.setRenderHint(QPainter::Antialiasing);
            p.scale(scale, scale);
        } else if (op == u"languages") {
            page.languages = w.mid(1);
        } else if (op == u"floor") {
            page.floor = n(1);
        } else if (op == u"every") {
            page.everyItem = true;
        } else if (op == u"blocks") {
            page.blocks = int(n(1));
        } else if (op == u"font" && p.isActive()) {
            const QStringList f = lines[i].mid(5).split(QLatin1Char('|'));
            QFont font(f.value(0));
            font.setPixelSize(f.value(1).toInt());
            font.setBold(f.value(2) == u"bold");
            p.setFont(font);
        } else if (op == u"pen" && p.isActive()) {
            pen = QColor(w.value(1));
            p.setPen(pen);
        } else if (op == u"fill" && p.isActive()) {
            p.fillRect(QRectF(n(1), n(2), n(3), n(4)), QColor(w.value(5)));
        } else if (op == u"round" && p.isActive()) {
            p.save();
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(w.value(6)));
            p.drawRoundedRect(QRectF(n(1), n(2), n(3), n(4)), n(5), n(5));
            p.restore();
        } else if (op == u"text" && p.isActive()) {
            for (double y = n(2); ++i < lines.size() && lines[i] != u"."; y += n(3)) {
                const QStringList parts = lines[i].split(QLatin1Char('\t'));
                QString gutter;
                if (parts.size() == 2) {
                    gutter = parts[0];
                    p.drawText(QPointF(n(1) - 14 - QFontMetricsF(p.font()).horizontalAdvance(gutter), y),
                               gutter);
                }
                const QString drawn = drawMarked(p, n(1), y, parts.last(), pen, page.items);
                known.append(gutter.isEmpty() ? drawn : gutter + QLatin1Char(' ') + drawn);
                p.setPen(pen);
            }
        } else {
            return false;
        }
    }
    page.text = normalised(known.join(QLatin1Char('\n')));
    return p.isActive() && !page.languages.isEmpty() && !page.text.isEmpty();
}

}  // namespace

CorpusPage corpusPage(const QString& path, double scale)
{
    CorpusPage page;
    page.name = QFileInfo(path).completeBaseName();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !parse(QString::fromUtf8(file.readAll()).split('\n'), page, scale))
        page.image = QImage();
    return page;
}

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
