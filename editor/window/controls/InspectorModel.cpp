#include "editor/window/controls/InspectorModel.h"

#include "core/Localisation.h"
#include "editor/document/EditorDocument.h"

#include <algorithm>
#include <cmath>

namespace kx::inspector {

ToolKind inspectedKind(const EditorDocument& doc)
{
    if (const std::optional<Annotation> selected = doc.selected())
        return selected->kind;
    return doc.tool();
}

QList<Group> groups(ToolKind kind)
{
    using T = ToolKind;
    QList<Group> out;
    if (kind == T::select || kind == T::crop)
        return out;
    out << Group::color;
    switch (kind) {
        case T::arrow:
        case T::line:
        case T::pen:
        case T::highlighter:
        case T::picture:
            out << Group::lineWidth;
            break;
        case T::rect:
        case T::ellipse:
            out << Group::lineWidth << Group::fill;
            break;
        case T::ruler:
            out << Group::lineWidth << Group::fontSize;
            break;
        case T::text:
            out << Group::fill << Group::fontSize;
            break;
        case T::step:
            out << Group::fontSize;
            break;
        case T::blur:
        case T::pixelate:
            out << Group::strength;
            break;
        case T::magnifier:
            out << Group::magnifier;
            break;
        default:
            break;
    }
    return out;
}

bool hasControls(ToolKind kind)
{
    return kind != ToolKind::select && kind != ToolKind::crop;
}

std::optional<QString> hint(ToolKind kind, bool cropPending)
{
    if (cropPending)
        return std::nullopt;
    if (kind == ToolKind::crop)
        return kx::tr("Drag an area to crop, then press Return",
                      "Húzz egy területet a vágáshoz, majd nyomj Entert");
    if (kind == ToolKind::select)
        return kx::tr("Click an object to select it · Delete removes · arrows nudge",
                      "Kattints egy elemre a kijelöléshez · Delete: törlés · nyilak: mozgatás");
    return std::nullopt;
}

bool visible(ToolKind kind, bool cropPending)
{
    return hasControls(kind) || hint(kind, cropPending).has_value() || cropPending;
}

const QList<RGBA>& palette()
{
    static const QList<RGBA> colors{
        {1, 0.231, 0.188, 1}, {1, 0.584, 0, 1},         {1, 0.8, 0, 1}, {0.204, 0.78, 0.349, 1},
        {0.039, 0.518, 1, 1}, {0.686, 0.322, 0.871, 1}, {0, 0, 0, 1},   {1, 1, 1, 1}};
    return colors;
}

double safeScale(double scale)
{
    return std::isfinite(scale) && scale > 0 ? scale : 1.0;
}

Range lineWidthRange(double scale)
{
    const double s = safeScale(scale);
    return {s, 16 * s};
}

Range fontSizeRange(double scale)
{
    const double s = safeScale(scale);
    return {8 * s, 72 * s};
}

Range strengthRange(double scale)
{
    const double s = safeScale(scale);
    return {2 * s, 40 * s};
}

Range zoomRange()
{
    return {1.5, 6};
}

int readout(double pixels, double scale)
{
    const double points = pixels / safeScale(scale);
    if (!std::isfinite(points))
        return 0;
    return int(std::clamp(std::round(points), -1e9, 1e9));  // std::round rounds halves away from zero
}

QString zoomText(double zoom)
{
    return QString::asprintf("%.1f", zoom) + QChar(0x00D7);
}

int sliderPosition(double value, const Range& range)
{
    const double span = range.hi - range.lo;
    if (!(span > 0) || !std::isfinite(value))
        return 0;
    return int(std::lround(std::clamp((value - range.lo) / span, 0.0, 1.0) * kSliderSteps));
}

double sliderValue(int position, const Range& range)
{
    return range.lo + (range.hi - range.lo) * std::clamp(position, 0, kSliderSteps) / double(kSliderSteps);
}

}  // namespace kx::inspector
