#include "editor/EdgeShape.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>

namespace kx::EdgeShape {

namespace {

// Scales and size factors outside these ranges only make paths no one can draw.
double scaleOf(double v)
{
    return std::isfinite(v) ? std::clamp(v, 0.1, 16.0) : 1.0;
}
double sizeOf(double v)
{
    return std::isfinite(v) ? std::clamp(v, 0.1, 10.0) : 1.0;
}

// Segments of a side: at least `least`, never so many that a huge side stalls the walk.
int segments(double length, double step, int least)
{
    const double q = std::floor(length / step);
    if (!std::isfinite(q))
        return least;
    return int(std::clamp(q, double(least), double(kMaxSamplesPerSide)));
}

// Walks the four sides, visiting each at t = L j / q, and closes the path.
QPainterPath walk(const QRectF& rect, const std::function<int(double)>& count,
                  const std::function<double(int side, double t, double length)>& depth)
{
    QPainterPath path;
    bool first = true;
    const QVector<Side> all = sides(rect);
    for (int i = 0; i < all.size(); ++i) {
        const Side& side = all[i];
        const int q = count(side.length);
        for (int j = 0; j <= q; ++j) {
            const double t = side.length * j / q;
            const QPointF p = side.at(t, depth(i, t, side.length));
            if (first)
                path.moveTo(p);
            else
                path.lineTo(p);
            first = false;
        }
    }
    path.closeSubpath();
    return path;
}

// Deeper tearing towards the corners.
double cornerRamp(double d, double t, double length, double rho, double depthAtCorner)
{
    const double c = std::min(std::min(t, length - t) / rho, 1.0);
    return (1 - c) * (1 - c) * depthAtCorner + d * (0.35 + 0.65 * c * c);
}

QPainterPath plainRect(const QRectF& rect)
{
    QPainterPath path;
    path.addRect(rect);
    return path;
}

}  // namespace

QVector<Side> sides(const QRectF& r)
{
    return {Side{QPointF(r.left(), r.bottom()), QPointF(1, 0), QPointF(0, -1), r.width()},
            Side{QPointF(r.right(), r.bottom()), QPointF(0, -1), QPointF(-1, 0), r.height()},
            Side{QPointF(r.right(), r.top()), QPointF(-1, 0), QPointF(0, 1), r.width()},
            Side{QPointF(r.left(), r.top()), QPointF(0, 1), QPointF(1, 0), r.height()}};
}

double value(double x, quint64 seed)
{
    auto h = [seed](int64_t k) {
        uint64_t z = uint64_t(seed) * 0xBF58476D1CE4E5B9ull + uint64_t(k) * 0x9E3779B97F4A7C15ull;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z = z ^ (z >> 31);
        return double(z & 0xFFFFFFull) / 16777215.0;
    };
    if (!std::isfinite(x))
        return h(0);
    // Far lattice indices wrap; converting them directly would overflow.
    if (std::abs(x) >= 0x1p62)
        x = std::fmod(x, 0x1p62);
    const double fl = std::floor(x);
    const int64_t i = int64_t(fl);
    const double f = x - fl;
    const double e = f * f * (3 - 2 * f);
    return (1 - e) * h(i) + e * h(i + 1);
}

double layered(quint64 seed, double x)
{
    return 0.5 * value(x, seed) + 0.3 * value(2.3 * x + 17, seed + 1) + 0.2 * value(5.1 * x + 41, seed + 2);
}

namespace {
struct TornSizes {
    double amp;
    double base;
};
TornSizes tornSizes(const QRectF& rect, double scale, double size)
{
    const double s = scaleOf(scale), k = sizeOf(size);
    const double a = std::min(std::max(6 * s, 0.011 * std::min(rect.width(), rect.height())), 26 * s);
    const double amp = k * a;
    return {amp, std::max(0.5 * amp, 3.2 * s * k)};
}
}  // namespace

double tornDepth(const QRectF& rect, double scale, double size)
{
    // Noise stays in 0...1, and the corner ramp adds at most 1.4 amp.
    const TornSizes t = tornSizes(rect, scale, size);
    return t.base + t.amp + 1.4 * t.amp;
}

Torn torn(const QRectF& rect, double scale, double size, quint64 seed)
{
    const double s = scaleOf(scale);
    const TornSizes sizes = tornSizes(rect, scale, size);
    const double amp = sizes.amp;
    const double b = sizes.base;
    const double lambda = 2.9 * amp;
    const double step = std::max(1.8 * s, 1.5);
    const double rho = 2.2 * amp;
    auto count = [step](double length) { return segments(length, step, 2); };
    auto imageDepth = [&](int i, double t, double length) {
        const double d = b + amp * layered(seed + 977ull * quint64(i), t / lambda);
        return cornerRamp(d, t, length, rho, 1.4 * amp);
    };
    auto rimDepth = [&](int i, double t, double length) {
        const double d = b + amp * layered(seed + 977ull * quint64(i), t / lambda) -
                         b * (0.5 + 0.5 * layered(seed + 5000ull + quint64(i), t / (0.35 * lambda)));
        return cornerRamp(d, t, length, rho, 1.4 * amp);
    };
    return Torn{walk(rect, count, imageDepth), walk(rect, count, rimDepth)};
}

QPainterPath burnt(const QRectF& rect, double amp, quint64 seed)
{
    if (!(std::isfinite(amp) && amp >= 0.01))
        return plainRect(rect);
    const double step = std::max(0.12 * amp, 1.5);
    const double rho = 2.5 * amp;
    auto count = [step](double length) { return segments(length, step, 2); };
    return walk(rect, count, [&](int i, double t, double length) {
        const quint64 si = seed + 313ull * quint64(i);
        const double d =
            amp * (0.75 * layered(si, t / (3.2 * amp)) + 0.25 * layered(si + 9, t / (0.96 * amp)));
        return cornerRamp(d, t, length, rho, 0.9 * amp);
    });
}

QPainterPath zigzag(const QRectF& rect, double scale, double size)
{
    const double depth = 7 * scaleOf(scale) * sizeOf(size);
    const double period = 15 * scaleOf(scale) * sizeOf(size);
    auto count = [period](double length) { return segments(length, period / 2, 2); };
    return walk(rect, count, [&](int, double t, double) {
        const double x = t / period;
        return depth * std::abs(2 * (x - std::floor(x)) - 1);
    });
}

QPainterPath stamp(const QRectF& rect, double notch)
{
    if (!(std::isfinite(notch) && notch > 0))
        return plainRect(rect);
    QPainterPath path;
    bool first = true;
    for (const Side& side : sides(rect)) {
        const int q = segments(side.length, 2.7 * notch, 3);
        for (int k = 0; k < q; ++k) {
            const double c = side.length / q * (k + 0.5);
            for (int j = 0; j <= 10; ++j) {
                const double theta = j * M_PI / 10;
                const QPointF p = j == 0 ? side.at(c - notch, 0)
                                         : side.at(c - notch * std::cos(theta), notch * std::sin(theta));
                if (first)
                    path.moveTo(p);
                else
                    path.lineTo(p);
                first = false;
            }
        }
    }
    path.closeSubpath();
    return path;
}

}  // namespace kx::EdgeShape
