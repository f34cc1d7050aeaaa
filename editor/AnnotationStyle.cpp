#include "editor/AnnotationStyle.h"

#include <algorithm>

namespace kx {

namespace {
double unit(double v)
{
    return std::clamp(v, 0.0, 1.0);
}
}  // namespace

QColor RGBA::color() const
{
    return QColor::fromRgbF(unit(r), unit(g), unit(b), unit(a));
}

QColor RGBA::withAlpha(double alpha) const
{
    return QColor::fromRgbF(unit(r), unit(g), unit(b), unit(alpha));
}

double RGBA::luminance() const
{
    return 0.299 * r + 0.587 * g + 0.114 * b;
}

QJsonObject RGBA::toJson() const
{
    return QJsonObject{{"r", r}, {"g", g}, {"b", b}, {"a", a}};
}

std::optional<RGBA> RGBA::fromJson(const QJsonObject& object)
{
    for (const char* k : {"r", "g", "b", "a"}) {
        if (!object.value(QLatin1String(k)).isDouble())
            return std::nullopt;
    }
    return RGBA{object.value("r").toDouble(), object.value("g").toDouble(), object.value("b").toDouble(),
                object.value("a").toDouble()};
}

}  // namespace kx
