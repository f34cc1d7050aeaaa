#include "analysis/SensitiveNumbers.h"

#include "analysis/SensitiveData.h"

#include <QRegularExpression>

namespace kx::sensitive {

namespace {

int numericCount(const QString& text)
{
    int n = 0;
    for (const QChar c : text)
        n += c.isNumber() ? 1 : 0;
    return n;
}

QString wordAt(const Reading& r, qsizetype k, Span* span = nullptr)
{
    const Span c = core(r.corrected, r.words[k]);
    if (span)
        *span = c;
    return r.corrected.mid(c.start, c.end - c.start);
}

// Digits, with single dashes between them ("4111", "4111-1111").
bool digitGroup(const QString& w)
{
    if (w.isEmpty() || w.front() == QLatin1Char('-') || w.back() == QLatin1Char('-'))
        return false;
    for (qsizetype i = 0; i < w.size(); ++i) {
        const ushort c = w[i].unicode();
        if (!(c >= '0' && c <= '9') && !(c == '-' && w[i - 1] != QLatin1Char('-')))
            return false;
    }
    return true;
}

// Walks the words from (line, word) on, over line ends but never over a column gap, while `take`
// accepts them; `done` says
// whether the text so far is complete (the walk goes on for a longer one). The pieces of the
// longest complete text, one per line; none when no text was complete.
template <typename Take, typename Done>
QList<Piece> walk(const std::vector<Reading>& rs, std::size_t line, qsizetype word, Take take, Done done,
                  const QString& first)
{
    QList<Piece> pieces, best;
    QString text;
    for (std::size_t i = line; i < rs.size(); ++i) {
        for (qsizetype k = (i == line ? word : 0); k < rs[i].words.size(); ++k) {
            if (!text.isEmpty() && rs[i].columnGapBefore(k))
                return best;
            Span span;
            QString w = wordAt(rs[i], k, &span);
            if (text.isEmpty())
                w = first;
            if (!take(text, w))
                return best;
            text += w;
            if (pieces.isEmpty() || pieces.last().reading != i)
                pieces.append({i, span});
            else
                pieces.last().range.end = span.end;
            if (done(text))
                best = pieces;
        }
    }
    return best;
}

}  // namespace

// Card numbers and IBANs whose groups recognition put on two lines, and IBANs whose groups it
// split unevenly: the check digits decide, so that a run of digit groups that fails Luhn (a
// decoy) stays uncovered.
QList<std::pair<QString, QList<Piece>>> splitNumbers(const std::vector<Reading>& rs)
{
    static const QRegularExpression ibanStart(QStringLiteral("^[A-Z]{2}[0-9]{2}[A-Z0-9]*$"));
    static const QRegularExpression ibanGroup(QStringLiteral("^[A-Z0-9]+$"));
    QList<std::pair<QString, QList<Piece>>> out;
    for (std::size_t i = 0; i < rs.size(); ++i) {
        for (qsizetype j = 0; j < rs[i].words.size(); ++j) {
            const QString first = wordAt(rs[i], j);
            // A card: a whole run of digit groups (never the tail of a longer one), 13 to 19
            // digits, over a line end; one line alone is the pattern's.
            const bool continues = j > 0 ? digitGroup(wordAt(rs[i], j - 1)) && !rs[i].columnGapBefore(j)
                                         : i > 0 && !rs[i - 1].words.isEmpty() &&
                                               digitGroup(wordAt(rs[i - 1], rs[i - 1].words.size() - 1));
            if (digitGroup(first) && !continues) {
                // The run ends at the first word that is not a group, so it is whole.
                QString all;
                QList<Piece> run;
                int total = 0;
                for (std::size_t li = i; li < rs.size(); ++li) {
                    bool stop = false;
                    for (qsizetype k = (li == i ? j : 0); k < rs[li].words.size(); ++k) {
                        Span span;
                        const QString w = wordAt(rs[li], k, &span);
                        if (!digitGroup(w) || (k > (li == i ? j : 0) && rs[li].columnGapBefore(k))) {
                            stop = true;
                            break;
                        }
                        total += numericCount(w);
                        all += w;
                        if (run.isEmpty() || run.last().reading != li)
                            run.append({li, span});
                        else
                            run.last().range.end = span.end;
                    }
                    // Only a number too short for a card goes on to the next line.
                    if (stop || total >= 13)
                        break;
                }
                if (run.size() > 1 && total >= 13 && total <= 19 && SensitiveData::luhn(all))
                    out.append({QStringLiteral("card"), run});
            }
            if (first.size() < 4)
                continue;
            // The country code read as look-alike digits or symbols (E as £, S as 5), the check
            // digits as look-alike letters (PTSO for PT50).
            QString head = first;
            for (qsizetype c = 0; c < 2; ++c)
                if (const qsizetype at = QStringLiteral("£€501862").indexOf(head[c]); at >= 0)
                    head[c] = QStringLiteral("EESOIBGZ")[at];
            for (qsizetype c = 2; c < 4; ++c)
                head[c] = digitFor(head[c]);
            if (ibanStart.match(head).hasMatch()) {
                QList<Piece> iban = walk(
                    rs, i, j,
                    [&head](const QString& text, const QString& w) {
                        const QString& group = text.isEmpty() ? head : w;
                        return ibanGroup.match(group).hasMatch() && text.size() + group.size() <= 34;
                    },
                    [](const QString& text) { return ibanChecks(text); }, head);
                if (!iban.isEmpty())
                    out.append({QStringLiteral("iban"), iban});
            }
        }
    }
    return out;
}

}  // namespace kx::sensitive
