#include "ui/TextBlock.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QRegularExpression>
#include <QTextLayout>
#include <cmath>

namespace kx {

QStringList TextBlock::lines(const QString& text, const QFont& font, qreal width, int maxLines)
{
    QStringList out;
    if (text.isEmpty() || width <= 0)
        return out;
    // Line breaks of the text are kept: each paragraph is wrapped on its own, in order.
    const QStringList paragraphs =
        text.split(QRegularExpression(QStringLiteral("\\r\\n|[\\n\\r\\x{2028}\\x{2029}]")));
    for (qsizetype p = 0; p < paragraphs.size(); ++p) {
        const QString& paragraph = paragraphs[p];
        const bool last = maxLines > 0 && out.size() == maxLines - 1;
        if (paragraph.trimmed().isEmpty() && !last) {
            out << QString();
            continue;
        }
        QTextLayout layout(paragraph, font);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        for (;;) {
            QTextLine line = layout.createLine();
            if (!line.isValid())
                break;
            line.setLineWidth(width);
            if (maxLines > 0 && out.size() == maxLines - 1) {
                // The last allowed line takes the rest of the text, elided.
                const QString rest = (QStringList{paragraph.mid(line.textStart())} + paragraphs.mid(p + 1))
                                         .join(QLatin1Char(' '));
                out << QFontMetricsF(font).elidedText(rest.simplified(), Qt::ElideRight, width);
                layout.endLayout();
                return out;
            }
            out << paragraph.mid(line.textStart(), line.textLength()).trimmed();
        }
        layout.endLayout();
    }
    while (!out.isEmpty() && out.last().isEmpty())
        out.removeLast();
    return out;
}

QSizeF TextBlock::measure(const QString& text, const QFont& font, qreal maxWidth, int maxLines)
{
    const QFontMetricsF fm(font);
    const QStringList ls = lines(text, font, maxWidth, maxLines);
    qreal w = 0;
    for (const QString& l : ls)
        w = std::max(w, std::ceil(fm.horizontalAdvance(l)));
    return {std::min(w, maxWidth), std::ceil(fm.lineSpacing() * ls.size())};
}

void TextBlock::paint(QPainter& p, const QRectF& rect, const QString& text, const QFont& font,
                      const QColor& color, int maxLines)
{
    const QFontMetricsF fm(font);
    p.save();
    p.setFont(font);
    p.setPen(color);
    qreal y = rect.top();
    for (const QString& l : lines(text, font, rect.width(), maxLines)) {
        p.drawText(QRectF(rect.left(), y, rect.width() + 1, fm.lineSpacing()),
                   Qt::AlignLeft | Qt::AlignVCenter, l);
        y += fm.lineSpacing();
    }
    p.restore();
}

}  // namespace kx
