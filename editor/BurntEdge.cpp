#include "editor/BurntEdge.h"

#include "core/Parallel.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace kx {

namespace {

constexpr int kPasses = 18;

// The colour of pass k of the band, straight alpha; wide faint strokes first.
void passColor(double u, double out[4])
{
    if (u < 0.6) {
        const double f = u / 0.6;
        out[0] = 0.35 + 0.25 * f, out[1] = 0.18 + 0.05 * f, out[2] = 0.06, out[3] = 0.04 + 0.12 * f;
    } else if (u < 0.85) {
        const double f = 4 * (u - 0.6);
        out[0] = 0.6 + 0.35 * f, out[1] = 0.23 + 0.22 * f, out[2] = 0.06 + 0.02 * f, out[3] = 0.16 + 0.22 * f;
    } else {
        const double f = (u - 0.85) / 0.15;
        out[0] = 0.95 - 0.92 * f, out[1] = 0.45 - 0.43 * f, out[2] = 0.08 - 0.07 * f,
        out[3] = 0.38 + 0.57 * f;
    }
}

// Squared distance along one line to the nearest zero of f (lower envelope of parabolas).
void envelope(const float* f, float* d, int n, std::vector<int>& v, std::vector<float>& z)
{
    v.resize(size_t(n));
    z.resize(size_t(n) + 1);
    int k = 0;
    v[0] = 0;
    z[0] = -1e30f;
    z[1] = 1e30f;
    // Written as a difference plus a mean so that large q keep their precision in floats.
    auto cross = [&](int q, int p) { return (f[q] - f[p]) / (2.0f * float(q - p)) + 0.5f * float(q + p); };
    for (int q = 1; q < n; ++q) {
        float s = cross(q, v[size_t(k)]);
        while (k > 0 && s <= z[size_t(k)]) {
            --k;
            s = cross(q, v[size_t(k)]);
        }
        ++k;
        v[size_t(k)] = q;
        z[size_t(k)] = s;
        z[size_t(k) + 1] = 1e30f;
    }
    k = 0;
    for (int q = 0; q < n; ++q) {
        while (z[size_t(k) + 1] < q)
            ++k;
        const float dq = float(q - v[size_t(k)]);
        d[q] = dq * dq + f[v[size_t(k)]];
    }
}

}  // namespace

CharColor charColorAt(double distance, double amp)
{
    double o[4] = {0, 0, 0, 0};  // premultiplied
    for (int k = 0; k < kPasses; ++k) {
        const double u = k / double(kPasses - 1);
        const double half = 3.4 * amp * (1 - 0.96 * u);
        const double cover = std::clamp(half - distance + 0.5, 0.0, 1.0);
        if (cover <= 0)
            continue;
        double c[4];
        passColor(u, c);
        const double a = std::min(1.0, c[3]) * cover;
        for (int i = 0; i < 3; ++i)
            o[i] = c[i] * a + (1 - a) * o[i];
        o[3] = a + (1 - a) * o[3];
    }
    return CharColor{float(o[0]), float(o[1]), float(o[2]), float(o[3])};
}

QImage charredCut(const QImage& source, const QPainterPath& path, double amp)
{
    const QImage image = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int w = image.width(), h = image.height();
    QImage mask(w, h, QImage::Format_Alpha8);
    QImage out(w, h, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull() || mask.isNull() || out.isNull())
        return {};
    mask.fill(0);
    {
        QPainter p(&mask);
        p.setRenderHint(QPainter::Antialiasing, true);
        p.fillPath(path, Qt::black);
    }
    const double reach = 3.4 * amp + 1;
    const float cap = float(std::ceil(reach) + 2);

    // Distance in each column to the nearest pixel outside the cut (or beyond the image),
    // capped, row after row so the memory runs forwards.
    std::vector<float> g;
    try {
        g.resize(size_t(w) * h);
    } catch (const std::bad_alloc&) {
        return {};
    }
    const int bands = std::max(1, (w + 255) / 256);
    parallelFor(bands, 1, [&](int begin, int end) {
        for (int band = begin; band < end; ++band) {
            const int x0 = band * 256, x1 = std::min(w, x0 + 256);
            for (int y = 0; y < h; ++y) {
                const uchar* m = mask.constScanLine(y);
                float* row = g.data() + size_t(y) * w;
                const float* above = y > 0 ? row - w : nullptr;
                for (int x = x0; x < x1; ++x)
                    row[x] = m[x] < 128 ? 0.f : std::min(cap, (above ? above[x] : 0.f) + 1.f);
            }
            for (int y = h - 2; y >= 0; --y) {
                float* row = g.data() + size_t(y) * w;
                const float* below = row + w;
                for (int x = x0; x < x1; ++x)
                    row[x] = std::min(row[x], below[x] + 1.f);
            }
            for (int x = x0; x < x1; ++x) {
                float* last = g.data() + size_t(h - 1) * w;
                last[x] = std::min(last[x], 1.f);
            }
        }
    });

    // A table of the band's colour by distance, in sixteenths of a pixel.
    const int steps = int(std::ceil(reach * 16)) + 1;
    std::vector<CharColor> table(static_cast<size_t>(steps));
    for (int i = 0; i < steps; ++i)
        table[size_t(i)] = charColorAt(i / 16.0, amp);

    parallelFor(h, 16, [&](int begin, int end) {
        std::vector<float> f(static_cast<size_t>(w)), d(static_cast<size_t>(w)), z;
        std::vector<int> v;
        for (int y = begin; y < end; ++y) {
            const float* gy = g.data() + size_t(y) * w;
            for (int x = 0; x < w; ++x)
                f[size_t(x)] = gy[x] * gy[x];
            envelope(f.data(), d.data(), w, v, z);
            const auto* in = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            const uchar* m = mask.constScanLine(y);
            auto* o = reinterpret_cast<QRgb*>(out.scanLine(y));
            for (int x = 0; x < w; ++x) {
                if (m[x] == 0) {
                    o[x] = 0;
                    continue;
                }
                // The image's left and right edges lie outside the cut as well.
                const float edge = float(std::min(x + 1, w - x));
                const double dist = std::sqrt(std::min(d[size_t(x)], edge * edge)) - 0.5;
                const QRgb px = in[x];
                double r = qRed(px), gr = qGreen(px), b = qBlue(px), a = qAlpha(px);
                if (dist < reach) {
                    const CharColor c = table[size_t(std::clamp(int(dist * 16), 0, steps - 1))];
                    const double keep = 1 - c.a;
                    r = c.r * 255 + keep * r;
                    gr = c.g * 255 + keep * gr;
                    b = c.b * 255 + keep * b;
                    a = c.a * 255 + keep * a;
                }
                const double cover = m[x] / 255.0;
                o[x] = qRgba(int(r * cover + 0.5), int(gr * cover + 0.5), int(b * cover + 0.5),
                             int(a * cover + 0.5));
            }
        }
    });
    return out;
}

}  // namespace kx
