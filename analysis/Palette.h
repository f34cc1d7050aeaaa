#pragma once
// The few colours that dominate an image: a coarse 15-bit colour histogram over a 160 × 160
// copy, so the cost is bounded whatever the image size.

#include <QImage>
#include <QList>
#include <QString>
#include <QUuid>

namespace kx {

struct PaletteColor {
    QUuid id = QUuid::createUuid();  // new for every colour produced
    int r = 0;
    int g = 0;
    int b = 0;
    double share = 0;  // fraction of the counted pixels in the colour's cell

    // "#1E90FF": upper-case hexadecimal.
    QString hex() const;
    // The share as a whole percentage, halves away from zero: "13%".
    QString percent() const;
};

class Palette {
public:
    // At most `count` colours, most frequent first; empty when nothing can be counted (a
    // fully transparent or empty image). Pixels under half opacity are ignored; the others
    // count with their premultiplied values. Equal cells keep the order of their colour key,
    // so the result is the same on every run.
    static QList<PaletteColor> dominant(const QImage& image, int count);

    static constexpr int kSide = 160;
};

}  // namespace kx
