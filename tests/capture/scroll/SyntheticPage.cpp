#include "SyntheticPage.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstring>

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

QImage contentPage(Content kind, int width, int height, int pitch)
{
    QImage page(width, height, QImage::Format_RGB32);
    Lcg rng;
    switch (kind) {
        case Content::prose:
            return makePage(width, height).convertToFormat(QImage::Format_RGB32);
        case Content::noise:
            return noisePage(width, height, 9);
        case Content::repeated: {
            // One line of text drawn again and again: its rows differ from each other.
            page.fill(Qt::white);
            QPainter p(&page);
            for (int y = 0; y < height; ++y)
                for (int x = 12, i = 0; x < width - 20; x += 9, ++i)
                    if ((y % pitch * 7 + i * 5) % 31 < 9)
                        p.fillRect(x, y, 6, 1, QColor(30, 30, 40));
            return page;
        }
        case Content::uiRows: {
            // Same icon, separator and background in every 40-row item; only the label differs.
            page.fill(QColor(245, 246, 248));
            QPainter p(&page);
            for (int y = 0; y < height; y += 40) {
                p.fillRect(10, y + 10, 20, 20, QColor(60, 120, 200));
                p.fillRect(0, y + 39, width, 1, QColor(210, 210, 215));
                for (int x = 44; x < width - 60;) {
                    const int w = 8 + int(30 * rng.next());
                    p.fillRect(x, y + 14, w, 12, QColor(40, 40, 45));
                    x += w + 6;
                    if (rng.next() < 0.15)
                        break;
                }
            }
            return page;
        }
        case Content::photo:
        case Content::gradient:
            for (int y = 0; y < height; ++y) {
                auto* line = reinterpret_cast<QRgb*>(page.scanLine(y));
                for (int x = 0; x < width; ++x) {
                    int v;
                    if (kind == Content::gradient) {
                        v = 40 + 180 * y / height + x / 16;
                    } else {
                        const double f = std::sin(x * 0.031 + y * 0.017) +
                                         std::sin(y * 0.053 - x * 0.011 + 1.3) +
                                         0.5 * std::sin((x + 2 * y) * 0.13) + 0.3 * rng.next();
                        v = 128 + int(55 * f);
                    }
                    v = std::clamp(v, 0, 255);
                    line[x] = qRgb(v, (v * 3 / 4 + x) & 0xFF, 255 - v / 2);
                }
            }
            return page;
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
