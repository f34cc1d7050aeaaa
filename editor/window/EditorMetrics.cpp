#include "editor/window/EditorMetrics.h"

#include <algorithm>
#include <cmath>

namespace kx::editor {

double saneScale(double scale)
{
    return std::isfinite(scale) && scale > 0 ? scale : 1.0;
}

QSizeF contentSize(const QSize& pixels, double scale, const QSizeF& visible)
{
    const double s = saneScale(scale);
    const double w = pixels.width() / s;
    const double h = pixels.height() / s;
    return {std::min(visible.width() * 0.92, std::max(w + 24 + kRailWidth, 880.0)),
            std::min(visible.height() * 0.92, std::max(h + kHeaderHeight + 90, 560.0))};
}

QString windowTitle(SourceKind kind, const QSize& pixels)
{
    return QStringLiteral("Kaptorix — %1 %2×%3").arg(label(kind)).arg(pixels.width()).arg(pixels.height());
}

QString zoomText(double zoom)
{
    const double percent = std::isfinite(zoom) ? zoom * 100 : 100;
    return QString::number(std::lround(percent)) + QLatin1Char('%');
}

QString scaleBadge(double scale)
{
    const double s = saneScale(scale);
    if (s <= 1.0)
        return {};
    // Two decimals at most; 'f' then trimming keeps "1.5" rather than "1.50".
    QString text = QString::number(std::round(s * 100) / 100, 'f', 2);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return QLatin1Char('@') + text + QLatin1Char('x');
}

QString pixelSize(const QSize& pixels)
{
    return QStringLiteral("%1 × %2 px").arg(pixels.width()).arg(pixels.height());
}

QMargins cascadeRoom(int index, int count, const QSize& available)
{
    if (count < 2 || index < 0 || index >= count)
        return {};
    const int steps = count - 1;
    const int step =
        std::max(1, std::min({32, available.width() / 4 / steps, available.height() / 4 / steps}));
    const int before = index * step, after = (steps - index) * step;
    return {before, before, after, after};
}

}  // namespace kx::editor
