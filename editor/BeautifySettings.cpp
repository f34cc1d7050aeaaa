#include "editor/BeautifySettings.h"

#include "core/Localisation.h"

#include <algorithm>
#include <cmath>

namespace kx {

std::pair<QColor, QColor> gradientColors(BeautifySettings::Background background)
{
    auto rgb = [](double r, double g, double b) { return QColor::fromRgbF(r, g, b, 1); };
    using B = BeautifySettings::Background;
    switch (background) {
        case B::ocean:
            return {rgb(0.2, 0.45, 0.98), rgb(0.45, 0.85, 0.95)};
        case B::sunset:
            return {rgb(1, 0.42, 0.35), rgb(1, 0.78, 0.3)};
        case B::mint:
            return {rgb(0.1, 0.75, 0.55), rgb(0.7, 0.95, 0.55)};
        case B::grape:
            return {rgb(0.45, 0.25, 0.85), rgb(0.95, 0.45, 0.75)};
        case B::graphite:
            return {rgb(0.12, 0.13, 0.16), rgb(0.3, 0.32, 0.38)};
        case B::white:
            return {rgb(1, 1, 1), rgb(0.93, 0.94, 0.96)};
        case B::transparent:
            break;
    }
    return {QColor(), QColor()};
}

QString title(BeautifySettings::Edge edge)
{
    using E = BeautifySettings::Edge;
    switch (edge) {
        case E::none:
            return tr("Clean", "Letisztult", "Schlicht");
        case E::torn:
            return tr("Torn paper", "Tépett papír", "Gerissenes Papier");
        case E::burnt:
            return tr("Burnt paper", "Égett papír", "Verbranntes Papier");
        case E::zigzag:
            return tr("Zigzag", "Cikcakk", "Zickzack");
        case E::stamp:
            return tr("Stamp", "Bélyeg", "Briefmarke");
        case E::polaroid:
            return QStringLiteral("Polaroid");
        case E::window:
            return tr("Window", "Ablak", "Fenster");
    }
    return {};
}

bool usesCorners(BeautifySettings::Edge edge)
{
    return edge == BeautifySettings::Edge::none || edge == BeautifySettings::Edge::window;
}

bool hasSize(BeautifySettings::Edge edge)
{
    using E = BeautifySettings::Edge;
    return edge == E::torn || edge == E::burnt || edge == E::zigzag || edge == E::stamp ||
           edge == E::polaroid;
}

bool isRandom(BeautifySettings::Edge edge)
{
    return edge == BeautifySettings::Edge::torn || edge == BeautifySettings::Edge::burnt;
}

namespace {
double bounded(double v, double lo, double hi, double fallback)
{
    return std::isfinite(v) ? std::clamp(v, lo, hi) : fallback;
}
}  // namespace

BeautifySettings sanitized(const BeautifySettings& settings)
{
    BeautifySettings s = settings;
    s.padding = bounded(s.padding, 0, 2000, 0);
    s.cornerRadius = bounded(s.cornerRadius, 0, 100000, 0);
    // A size of zero would make the edge generators divide by zero or never advance.
    s.edgeSize = bounded(s.edgeSize, 0.1, 10, 1);
    return s;
}

FrameLayout frameLayout(const QSize& imageSize, const BeautifySettings& raw, double scale)
{
    const BeautifySettings settings = sanitized(raw);
    const double s = bounded(scale, 0.1, 16, 1);
    const double w = std::max(imageSize.width(), 0), h = std::max(imageSize.height(), 0);
    const double m = std::min(w, h);
    FrameLayout f;
    f.pad = int(std::lround(s * settings.padding));
    using E = BeautifySettings::Edge;
    switch (settings.edge) {
        case E::stamp: {
            const double e = settings.edgeSize * std::max(0.05 * m, 16 * s);
            f.side = f.top = f.bottom = e;
            break;
        }
        case E::polaroid: {
            const double p = settings.edgeSize * std::max(0.045 * m, 14 * s);
            f.side = f.top = p;
            f.bottom = 3.6 * p;
            break;
        }
        case E::window:
            f.top = 32 * s;
            break;
        default:
            break;
    }
    // Extreme paddings are cut so that the output stays a bitmap that can be made.
    const double fw = w + 2 * f.side, fh = h + f.top + f.bottom;
    const double sideRoom = (kMaxCanvasSide - std::max(fw, fh)) / 2;
    // Largest p with (fw + 2p)(fh + 2p) within the pixel budget.
    const double pixelRoom =
        (std::sqrt((fw - fh) * (fw - fh) + 4 * double(kMaxCanvasPixels)) - (fw + fh)) / 4;
    const double room = std::max(0.0, std::min(sideRoom, pixelRoom));
    f.pad = int(std::min(double(f.pad), std::floor(room)));
    f.canvas = QSize(int(w + 2 * f.side + 2 * f.pad), int(h + f.top + f.bottom + 2 * f.pad));
    f.frame = QRectF(f.pad, f.pad, w + 2 * f.side, h + f.top + f.bottom);
    f.image = QRectF(f.pad + f.side, f.pad + f.top, w, h);
    return f;
}

}  // namespace kx
