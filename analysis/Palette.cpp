#include "analysis/Palette.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

namespace kx {

namespace {

struct Bin {
    int count = 0;
    qint64 r = 0;
    qint64 g = 0;
    qint64 b = 0;
};

// Closer than 40 RGB units to a chosen colour: the same colour to the eye.
bool near(const PaletteColor& a, int r, int g, int b)
{
    const int dr = a.r - r;
    const int dg = a.g - g;
    const int db = a.b - b;
    return dr * dr + dg * dg + db * db < 1600;
}

}  // namespace

QString PaletteColor::hex() const
{
    return QStringLiteral("#%1%2%3")
        .arg(r, 2, 16, QLatin1Char('0'))
        .arg(g, 2, 16, QLatin1Char('0'))
        .arg(b, 2, 16, QLatin1Char('0'))
        .toUpper();
}

QString PaletteColor::percent() const
{
    return QString::number(std::lround(share * 100)) + QLatin1Char('%');
}

QList<PaletteColor> Palette::dominant(const QImage& image, int count)
{
    if (image.isNull() || count <= 0)
        return {};
    // Nearest-neighbour squeeze first: converting the full image would cost far more than
    // the 25,600 samples that are counted.
    const QImage small = image.scaled(kSide, kSide, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                             .convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    if (small.isNull())
        return {};

    std::map<int, Bin> cells;  // ordered: ties sort the same way on every run
    int total = 0;
    for (int y = 0; y < small.height(); ++y) {
        const uchar* px = small.constScanLine(y);
        for (int x = 0; x < small.width(); ++x, px += 4) {
            if (px[3] < 128)
                continue;
            const int key = (px[0] >> 3) << 10 | (px[1] >> 3) << 5 | (px[2] >> 3);
            Bin& bin = cells[key];
            ++bin.count;
            bin.r += px[0];
            bin.g += px[1];
            bin.b += px[2];
            ++total;
        }
    }
    if (total == 0)
        return {};

    std::vector<Bin> sorted;
    sorted.reserve(cells.size());
    for (const auto& [key, bin] : cells)
        sorted.push_back(bin);
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const Bin& a, const Bin& b) { return a.count > b.count; });

    QList<PaletteColor> chosen;
    for (const Bin& bin : sorted) {
        if (qint64(bin.count) * 100 < total)
            break;  // under 1 %: this cell and every smaller one are noise
        const int r = int(bin.r / bin.count);
        const int g = int(bin.g / bin.count);
        const int b = int(bin.b / bin.count);
        if (std::any_of(chosen.cbegin(), chosen.cend(),
                        [&](const PaletteColor& c) { return near(c, r, g, b); }))
            continue;
        PaletteColor c;
        c.r = r;
        c.g = g;
        c.b = b;
        c.share = double(bin.count) / total;
        chosen.append(c);
        if (chosen.size() >= count)
            break;
    }
    return chosen;
}

}  // namespace kx
