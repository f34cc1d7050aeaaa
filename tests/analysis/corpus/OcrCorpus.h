#pragma once
// Pages of screen text drawn at run time from the *.page files beside this header, each with
// the text a reader should get back, and the character accuracy a reading is scored by.

#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

namespace kx::test {

struct CorpusPage {
    QString name;  // file name without ".page"
    QImage image;
    QString text;           // in reading order, one line per drawn line
    QStringList languages;  // Tesseract model names
    double floor = 1.0;     // lowest character accuracy a reading of this page may score
    int blocks = 1;         // blocks of text to be read one after the other (columns, a sidebar)
};

// Every page of the folder, by file name; a page that does not parse comes back with a null image.
QList<CorpusPage> ocrCorpus(const QString& dir);

// 1 - (edit distance / expected length) over both texts with blanks collapsed and empty lines
// dropped; below 0 when the reading adds more than it gets right.
double characterAccuracy(const QString& expected, const QString& read);

}  // namespace kx::test
