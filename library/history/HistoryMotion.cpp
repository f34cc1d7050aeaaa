#include "library/history/HistoryMotion.h"

#include "ui/Spring.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <vector>

namespace kx::motion {

namespace {

using ChipSpring = spring::SpringMotion<180, 85>;

// Box widths whose three passes approximate a Gaussian of `sigma` pixels.
std::vector<int> boxWidths(double sigma)
{
    constexpr int n = 3;
    const double ideal = std::sqrt(12 * sigma * sigma / n + 1);
    int lower = int(std::floor(ideal));
    if (lower % 2 == 0)
        --lower;
    const int upper = lower + 2;
    const double m = (12 * sigma * sigma - n * lower * lower - 4 * n * lower - 3 * n) / (-4.0 * lower - 4);
    std::vector<int> out;
    for (int i = 0; i < n; ++i)
        out.push_back(i < std::lround(m) ? lower : upper);
    return out;
}

// One box pass of half-width `r` along rows (step 1) or columns (step = stride).
void boxPass(std::vector<float>& v, int w, int h, int r, bool rows)
{
    if (r <= 0)
        return;
    const int lines = rows ? h : w;
    const int length = rows ? w : h;
    std::vector<float> line(length);
    for (int l = 0; l < lines; ++l) {
        auto at = [&](int i) -> float& { return rows ? v[size_t(l) * w + i] : v[size_t(i) * w + l]; };
        for (int i = 0; i < length; ++i)
            line[i] = at(i);
        double sum = 0;
        for (int i = -r; i <= r; ++i)
            sum += (i >= 0 && i < length) ? line[i] : 0;
        for (int i = 0; i < length; ++i) {
            at(i) = float(sum / (2 * r + 1));
            const int out = i - r, in = i + r + 1;
            sum += (in < length ? line[in] : 0) - (out >= 0 ? line[out] : 0);
        }
    }
}

}  // namespace

QEasingCurve chipSpring()
{
    QEasingCurve curve;
    curve.setCustomType(&ChipSpring::curve);
    return curve;
}

int chipSpringMs()
{
    return ChipSpring::durationMs();
}

QEasingCurve liftEasing()
{
    // The common ease-out: cubic Bézier (0, 0) (0.58, 1).
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(0, 0), QPointF(0.58, 1), QPointF(1, 1));
    return curve;
}

SoftShadow softShadow(QSizeF card, double cornerRadius, double blur, QColor color, double dpr)
{
    // The blur radius spans about two standard deviations; three of them reach the edge.
    const double sigma = blur / 2 * dpr;
    const int pad = int(std::ceil(3 * sigma));
    const QSize size((card * dpr).toSize() + QSize(2 * pad, 2 * pad));
    QImage mask(size, QImage::Format_Alpha8);
    mask.fill(0);
    {
        QPainter p(&mask);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        p.drawRoundedRect(QRectF(pad, pad, card.width() * dpr, card.height() * dpr), cornerRadius * dpr,
                          cornerRadius * dpr);
    }
    std::vector<float> v(size_t(size.width()) * size.height());
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            v[size_t(y) * size.width() + x] = mask.constScanLine(y)[x] / 255.0f;
    if (sigma > 0)
        for (int w : boxWidths(sigma)) {
            boxPass(v, size.width(), size.height(), (w - 1) / 2, true);
            boxPass(v, size.width(), size.height(), (w - 1) / 2, false);
        }
    QImage out(size, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const double a = std::clamp(double(v[size_t(y) * size.width() + x]), 0.0, 1.0) * color.alphaF();
            line[x] =
                qPremultiply(qRgba(color.red(), color.green(), color.blue(), int(std::lround(a * 255))));
        }
    }
    out.setDevicePixelRatio(dpr);
    return {out, pad / dpr};
}

}  // namespace kx::motion
