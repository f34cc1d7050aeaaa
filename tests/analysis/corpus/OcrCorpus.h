#pragma once
// Pages of screen text drawn at run time from the *.page files beside this header, each with
// the text a reader should get back, and the character accuracy a reading is scored by.

#include <QImage>
#include <QList>
#include <QRect>
#include <QStringList>

namespace kx::test {

// A piece of sensitive text drawn on a page, or a decoy that looks like one but is not (a card
// number that fails Luhn, an address with an octet above 255).
struct CorpusItem {
    QString text;
    QRect ink;  // the pixels its glyphs touch, in image pixels
    bool decoy = false;
};

struct CorpusPage {
    QString name;  // file name without ".page"
    QImage image;  // null when the file does not parse
    QString text;  // in reading order, one line per drawn line
    QStringList languages;
    double floor = 1.0;  // lowest character accuracy a reading may score
    int blocks = 1;      // blocks of text read one after the other (columns, a sidebar)
    QList<CorpusItem> items;
    bool everyItem = false;  // every item must be covered, not nearly every one
};

QList<CorpusPage> ocrCorpus(const QString& dir);
// One page file, drawn at `scale` pixels per point unless the file sets its own.
CorpusPage corpusPage(const QString& path, double scale = 1);
// 1 - edit distance / expected length, blanks collapsed and empty lines dropped in both texts.
double characterAccuracy(const QString& expected, const QString& read);

}  // namespace kx::test
