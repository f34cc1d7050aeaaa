#include "platform/ScreenPlacement.h"

#include "platform/ScreenCapturer.h"

#include <QtMath>
#include <algorithm>
#include <cmath>

namespace kx {

namespace {

int roundAway(double v)
{
    return int(std::round(v));  // std::round rounds halves away from zero
}

bool fits(const QtScreenFacts& s, const NativeOutput& o)
{
    if (o.name != s.name || o.native.topLeft() != s.geometry.topLeft())
        return false;
    // Qt rounds the scaled size; allow a pixel of slack per point of rounding.
    const double slack = std::max(1.0, s.dpr);
    return std::abs(o.native.width() - s.geometry.width() * s.dpr) <= slack &&
           std::abs(o.native.height() - s.geometry.height() * s.dpr) <= slack;
}

}  // namespace

QPointF ScreenPlacement::toNative(const QPointF& p) const
{
    return QPointF(native.x() + (p.x() - logical.x()) * dpr, native.y() + (p.y() - logical.y()) * dpr);
}

QPointF ScreenPlacement::toLogical(const QPointF& p) const
{
    return QPointF(logical.x() + (p.x() - native.x()) / dpr, logical.y() + (p.y() - native.y()) / dpr);
}

QRect ScreenPlacement::nativeRectOf(const QRectF& r) const
{
    return ScreenCapturer::pixelRect(r, dpr).translated(native.topLeft());
}

QList<ScreenPlacement> placeScreens(const QList<QtScreenFacts>& screens, const QList<NativeOutput>& outputs)
{
    QList<bool> used(outputs.size(), false);
    QList<ScreenPlacement> out;
    for (const QtScreenFacts& s : screens) {
        const double dpr = s.dpr > 0 ? s.dpr : 1.0;
        ScreenPlacement p;
        p.name = s.name;
        p.logical = s.geometry;
        p.dpr = dpr;
        p.native = QRect(s.geometry.topLeft(),
                         QSize(roundAway(s.geometry.width() * dpr), roundAway(s.geometry.height() * dpr)));
        for (int i = 0; i < outputs.size(); ++i) {
            if (!used[i] && fits({s.name, s.geometry, dpr}, outputs[i])) {
                used[i] = true;
                p.xScreen = outputs[i].xScreen;
                p.native = outputs[i].native;
                break;
            }
        }
        out.append(p);
    }
    return out;
}

}  // namespace kx
