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

int cascadeStep(int count, const QSize& available)
{
    if (count < 2)
        return 0;
    const int steps = count - 1;
    return std::max(1, std::min({32, available.width() / 4 / steps, available.height() / 4 / steps}));
}

QPoint cascadeTopLeft(const QSize& frame, const QRect& area, int index, int count, const QList<QPoint>& open)
{
    const int steps = std::max(0, count - 1);
    const int spareX = std::max(0, area.width() - frame.width());
    const int spareY = std::max(0, area.height() - frame.height());
    const int step = steps ? std::min({cascadeStep(count, area.size()), spareX / steps, spareY / steps}) : 0;
    const QSize run = frame + QSize(steps * step, steps * step);
    // The run's first frame, moved so that the whole run lies on the area.
    const auto onArea = [&](QPoint first) {
        return QPoint(
            std::clamp(first.x(), area.left(), std::max(area.left(), area.right() + 1 - run.width())),
            std::clamp(first.y(), area.top(), std::max(area.top(), area.bottom() + 1 - run.height())));
    };
    const QPoint centred =
        onArea(area.topLeft() + QPoint((area.width() - run.width()) / 2, (area.height() - run.height()) / 2));
    const auto clear = [&](QPoint first) {
        for (int i = 0; i < std::max(1, count); ++i)
            if (open.contains(first + QPoint(i * step, i * step)))
                return false;
        return true;
    };
    QList<QPoint> tries;
    if (!open.isEmpty())
        tries << open.last() + QPoint(step, step);
    tries << centred;
    // Beside the centred run by up to a step: off the diagonal of a run laid out like it.
    for (int d = 1; d <= std::max(step, 1); ++d)
        tries << centred + QPoint(d, 0) << centred + QPoint(0, d) << centred - QPoint(d, 0)
              << centred - QPoint(0, d);
    QPoint first = centred;
    for (const QPoint& t : std::as_const(tries)) {
        if (clear(onArea(t))) {
            first = onArea(t);
            break;
        }
    }
    const int i = std::clamp(index, 0, steps);
    return first + QPoint(i * step, i * step);
}

}  // namespace kx::editor
