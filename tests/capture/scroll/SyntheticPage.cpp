#include "SyntheticPage.h"

#include <QPainter>
#include <algorithm>

namespace kx::test {

namespace {

struct Lcg {
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    double next()
    {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return double((state >> 33) & 0xFFFF) / 65535.0;
    }
};

}  // namespace

QImage makePage(int width, int height)
{
    QImage page(width, height, QImage::Format_ARGB32_Premultiplied);
    page.fill(Qt::white);
    QPainter p(&page);
    Lcg rng;
    int y = 8;
    while (y < height - 12) {
        const int lh = 6 + int(16 * rng.next());
        if (width - 40 > 12) {
            int x = 12;
            while (x < width - 40) {
                const int w = 20 + int(140 * rng.next());
                const double a = 0.1 + 0.6 * rng.next();
                const double g = 0.6 + 0.4 * rng.next();
                const double b = 0.5 + 0.5 * rng.next();
                p.fillRect(x, y, std::min(width - 20 - x, w), lh, QColor::fromRgbF(a, a * g, a * b));
                x += w + 8 + int(20 * rng.next());
            }
        }
        y += lh + 6 + int(14 * rng.next());
    }
    return page;
}

QImage noisePage(int width, int height, std::uint64_t seed)
{
    QImage page(width, height, QImage::Format_RGB32);
    std::uint64_t s = seed * 2862933555777941757ull + 3037000493ull;
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(page.scanLine(y));
        for (int x = 0; x < width; ++x) {
            s = s * 6364136223846793005ull + 1442695040888963407ull;
            const int v = int((s >> 40) & 0xFF);
            line[x] = qRgb(v, (v * 7) & 0xFF, 255 - v);
        }
    }
    return page;
}

QImage frameAt(const QImage& page, int offset, int height, const QImage& headerStrip, int header,
               const QImage& footerStrip, int footer)
{
    QImage frame(page.width(), height, QImage::Format_ARGB32_Premultiplied);
    frame.fill(Qt::transparent);
    QPainter p(&frame);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(QPoint(0, header), page, QRect(0, offset + header, page.width(), height - header - footer));
    if (header > 0)
        p.drawImage(QPoint(0, 0), headerStrip, QRect(0, 0, page.width(), header));
    if (footer > 0)
        p.drawImage(QPoint(0, height - footer), footerStrip, QRect(0, 0, page.width(), footer));
    return frame;
}

long long differingBytes(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return -1;
    const QImage x = a.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    long long n = 0;
    for (int r = 0; r < x.height(); ++r) {
        const uchar* p = x.constScanLine(r);
        const uchar* q = y.constScanLine(r);
        for (int i = 0; i < x.width() * 4; ++i)
            n += p[i] != q[i];
    }
    return n;
}

}  // namespace kx::test
