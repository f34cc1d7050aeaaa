#pragma once
// Recognised lines made by hand for the sensitive-data tests: monospaced glyph boxes, blanks of
// chosen widths, and which hits cover a part of a line.
#include "analysis/SensitiveData.h"

namespace kx::test {

inline constexpr double kCharW = 8;
inline constexpr double kLineH = 14;

// One recognised line whose characters are kCharW wide, starting at (x, y).
inline TextObservation line(const QString& text, double x = 40, double y = 40, double h = kLineH)
{
    TextObservation o{text, QRectF(x, y, text.size() * kCharW, h), 90, {}};
    for (qsizetype i = 0; i < text.size(); ++i)
        o.charBoxes.append(QRectF(x + i * kCharW, y, kCharW, h));
    return o;
}

// A recognised line made of words with the given gaps before them (in px), glyphs kCharW wide
// and a blank spanning each gap, as recognition reports them.
inline TextObservation spaced(const QList<QPair<double, QString>>& words, double y = 40)
{
    TextObservation o;
    double x = 20;
    for (const auto& [gap, word] : words) {
        if (!o.text.isEmpty()) {
            o.text += QLatin1Char(' ');
            o.charBoxes.append(QRectF(x, y, gap, kLineH));
        }
        x += o.text.isEmpty() ? 0 : gap;
        for (const QChar c : word) {
            o.text += c;
            o.charBoxes.append(QRectF(x, y, kCharW, kLineH));
            x += kCharW;
        }
    }
    o.box = QRectF(20, y, x - 20, kLineH);
    o.confidence = 90;
    return o;
}

// The categories of the hits that cover all of `part` of `line`.
inline QStringList covering(const QList<SensitiveData::Match>& hits, const TextObservation& line,
                            const QString& part)
{
    const qsizetype at = line.text.indexOf(part);
    const QRectF box = line.boundingBox(at, part.size()).value_or(QRectF());
    QStringList out;
    for (const SensitiveData::Match& m : hits)
        if (at >= 0 && m.rect.contains(box))
            out.append(m.category);
    return out;
}

}  // namespace kx::test
