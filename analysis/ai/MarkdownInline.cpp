#include "analysis/ai/MarkdownInline.h"

#include <QStringList>

namespace kx {

namespace {

bool isAsciiPunct(QChar c)
{
    return c.unicode() < 128 && (c.isPunct() || QStringView(u"$+<=>^`|~").contains(c));
}

// A run of the same character starting at i.
qsizetype runLength(QStringView s, qsizetype i)
{
    qsizetype k = 1;
    while (i + k < s.size() && s[i + k] == s[i])
        ++k;
    return k;
}

bool isWordChar(QStringView s, qsizetype i)
{
    return i >= 0 && i < s.size() && s[i].isLetterOrNumber();
}

QString formatLine(QStringView s);

// Closing delimiter for emphasis opened with `delim` at i, or -1.
qsizetype closingEmphasis(QStringView s, qsizetype i, const QString& delim)
{
    const qsizetype k = delim.size();
    if (i + k >= s.size() || s[i + k].isSpace())
        return -1;
    const bool underscore = delim[0] == QLatin1Char('_');
    if (underscore && isWordChar(s, i - 1))
        return -1;  // snake_case is not emphasis
    for (qsizetype j = s.indexOf(delim, i + k + 1); j >= 0; j = s.indexOf(delim, j + 1)) {
        if (s[j - 1].isSpace())
            continue;
        if (underscore && isWordChar(s, j + k))
            continue;
        if (j + k < s.size() && s[j + k] == delim[0] && runLength(s, j) != k)
            continue;  // part of a longer run
        return j;
    }
    return -1;
}

QString link(const QString& url, const QString& innerHtml)
{
    if (!isOpenableLink(QUrl(url)))
        return innerHtml;
    return QStringLiteral("<a href=\"") + url.toHtmlEscaped() + QStringLiteral("\">") + innerHtml +
           QStringLiteral("</a>");
}

QString formatLine(QStringView s)
{
    QString out;
    qsizetype i = 0;
    while (i < s.size()) {
        const QChar c = s[i];
        if (c == QLatin1Char('\\') && i + 1 < s.size() && isAsciiPunct(s[i + 1])) {
            out += QString(s[i + 1]).toHtmlEscaped();
            i += 2;
            continue;
        }
        if (c == QLatin1Char('`')) {
            const qsizetype k = runLength(s, i);
            qsizetype j = k < 3 ? s.indexOf(QString(k, QLatin1Char('`')), i + k) : -1;
            while (j >= 0 && runLength(s, j) != k)
                j = s.indexOf(QString(k, QLatin1Char('`')), j + runLength(s, j));
            if (j > i + k) {
                out += QStringLiteral("<code>") + s.mid(i + k, j - i - k).toString().toHtmlEscaped() +
                       QStringLiteral("</code>");
                i = j + k;
            } else {
                out += s.mid(i, k).toString();  // fences and unclosed runs stay as written
                i += k;
            }
            continue;
        }
        if (c == QLatin1Char('[')) {
            const qsizetype close = s.indexOf(QLatin1Char(']'), i + 1);
            if (close > i && close + 1 < s.size() && s[close + 1] == QLatin1Char('(')) {
                const qsizetype end = s.indexOf(QLatin1Char(')'), close + 2);
                const QString url =
                    end > 0 ? s.mid(close + 2, end - close - 2).trimmed().toString() : QString();
                if (!url.isEmpty() && !url.contains(QLatin1Char(' '))) {
                    out += link(url, formatLine(s.mid(i + 1, close - i - 1)));
                    i = end + 1;
                    continue;
                }
            }
        }
        if (c == QLatin1Char('<')) {
            const qsizetype end = s.indexOf(QLatin1Char('>'), i + 1);
            const QString inner = end > 0 ? s.mid(i + 1, end - i - 1).toString() : QString();
            if (!inner.isEmpty() && !inner.contains(QLatin1Char(' ')) && isOpenableLink(QUrl(inner))) {
                out += link(inner, inner.toHtmlEscaped());
                i = end + 1;
                continue;
            }
        }
        if (c == QLatin1Char('*') || c == QLatin1Char('_')) {
            const qsizetype k = std::min<qsizetype>(runLength(s, i), 3);
            const QString delim(k, c);
            if (const qsizetype j = closingEmphasis(s, i, delim); j > 0) {
                const QString inner = formatLine(s.mid(i + k, j - i - k));
                static const QStringList open{"<i>", "<b>", "<b><i>"}, close{"</i>", "</b>", "</i></b>"};
                out += open[k - 1] + inner + close[k - 1];
                i = j + k;
                continue;
            }
            out += delim;
            i += k;
            continue;
        }
        out += QString(c).toHtmlEscaped();
        ++i;
    }
    return out;
}

}  // namespace

bool isOpenableLink(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
                             scheme == QLatin1String("mailto"));
}

QString inlineMarkdownHtml(const QString& markdown)
{
    QStringList lines;
    for (QStringView line : QStringView(markdown).split(QLatin1Char('\n')))
        lines.append(formatLine(line));
    return QStringLiteral("<div style=\"white-space: pre-wrap;\">") + lines.join(QStringLiteral("<br>")) +
           QStringLiteral("</div>");
}

}  // namespace kx
