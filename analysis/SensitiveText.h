#pragma once
// How the sensitive-data finder reads a recognised line despite the reader's slips: words that
// recognition split apart with no real blank between them are joined again, and digits read
// as look-alike letters (O for 0, l for 1, S for 5, B for 8) are read as digits inside words
// that are otherwise numbers. Both keep a way back to the line's own characters and boxes.

#include "analysis/OCRService.h"

#include <QList>
#include <QRectF>
#include <QString>

namespace kx::sensitive {

struct Span {
    qsizetype start = 0;
    qsizetype end = 0;  // exclusive
};

struct Reading {
    const TextObservation* line = nullptr;
    QString glued;            // the line with the blanks of split words removed
    QString corrected;        // glued, with look-alike letters in numeric words read as digits
    QList<qsizetype> origin;  // index in glued -> index in line->text
    QList<Span> words;        // runs of non-blank characters of glued, in order
    double glyph = 0;         // typical width of a glyph's box on the line

    // The range of glued widened to the whole words it touches.
    Span wholeWords(Span range) const;
    // The box on the line of a range of glued: the boxes of the characters it covers, as high
    // as the line.
    QRectF box(Span range) const;
    // Whether word k stands after a column gap: a gap far wider than a blank between words, as
    // between the cells of a table or a sheet. Nothing one item is written with spans one.
    bool columnGapBefore(qsizetype k) const;
    // The runs of words between column gaps, as ranges of glued, in order.
    QList<Span> cells() const;
    // A cell in parts between blanks far wider than its narrowest one: the cells of a grid drawn
    // only a few blanks apart. The cell alone when it has no such blank.
    QList<Span> softCells(Span cell) const;
};

// Which blanks of the line are taken for splits: none (the line as read), those narrower than a
// blank between words, and those besides that part pieces of one key or address: touching
// words of letters mixed with digits ("6b1 f0c9e4…"), or an "@" at the split ("desk@ ledger.com").
enum class Join { none, narrow, keyPieces };

Reading read(const TextObservation& line, Join join = Join::narrow);

// The text with O/o as 0, l/I/| as 1, S as 5 and B as 8, and { [ as ( and } ] as ), in every
// blank-separated word that has a digit and no other letter. Same length as the text.
QString digitsForLookalikes(const QString& text);

// The text with the commas between the labels of an address's domain read as dots
// ("ops@firma,example,de": small bitmap fonts read so), in every word with one "@" whose domain
// is lower-case. Same length as the text.
QString dotsForCommasInDomains(const QString& text);

// The values after a name of an address ("admin_email:", "REPLY_TO=", "NOTIFY MAIL-") that read
// like an address whose "@" recognition lost or misread ("supportefirma . example . de"), as
// ranges of the text.
QList<Span> addressesWithoutAt(const QString& text);

// The text with its dates (2024-05-06, 06.05.2024, 05/06/24), times of day (12:31, 12:31:07.250)
// and references numbered by year and month (2024/05/0231) blotted out with '#', blanks kept: a
// date with the time after it has as many digits as a phone number. Same length as the text.
QString withoutDates(const QString& text);

// The digit a letter or sign that looks like one stands for (O and o 0, l, I and | 1, S 5,
// B 8); any other character itself.
QChar digitFor(QChar c);

// The part of a word without the punctuation around it ("(4111", "00.").
Span core(const QString& text, Span word);

// Where the value of a "NAME=value" or "NAME:value" word begins ("OPENAI_API_KEY=sk-…"):
// after the first "=" or ":" that follows a name; the word's start when it has none.
qsizetype valueStart(const QString& text, Span word);

// The IBAN check: 15 to 34 letters and digits (blanks ignored) whose mod-97 value is 1.
bool ibanChecks(const QString& text);

}  // namespace kx::sensitive
