#pragma once
// The history window's motion: the filter chips' spring and the tiles' soft shadows.
#include <QColor>
#include <QEasingCurve>
#include <QImage>
#include <QSizeF>

namespace kx::motion {

// The chips' spring (response 0.18 s, damping 0.85): an easing curve over chipSpringMs(); it
// ends exactly at 1.
QEasingCurve chipSpring();
int chipSpringMs();

// The tiles' hover lift: an ease-out over 150 ms.
QEasingCurve liftEasing();
inline constexpr int kLiftMs = 150;

// A rounded card's blurred shadow in `color` (its alpha the shadow's opacity): `blur` is the
// radius in points, the picture has device pixel ratio `dpr` and reaches `margin()` points
// beyond the card on each side (draw it at the card's corner less that, plus the offset).
struct SoftShadow {
    QImage image;
    double margin = 0;
};
SoftShadow softShadow(QSizeF card, double cornerRadius, double blur, QColor color, double dpr);

}  // namespace kx::motion
