#pragma once
// A damped spring as an easing curve, given as designers give springs: the response (the
// period of the undamped spring, in seconds) and the damping fraction (below 1: it swings).
// The move starts at rest and runs until it stays within a thousandth of its target.
//
//   spring::SpringMotion<250, 85>::apply(animation);  // response 0.25 s, damping fraction 0.85

#include <QEasingCurve>
#include <QVariantAnimation>
#include <cmath>

namespace kx::spring {

// Where a spring released at 0 stands after `seconds`, its target being 1.
double position(double response, double damping, double seconds);
// The time after which it stays within 0.001 of the target.
double settleSeconds(double response, double damping);

template <int ResponseMs, int DampingPercent>
struct SpringMotion {
    static constexpr double kResponse = ResponseMs / 1000.0;
    static constexpr double kDamping = DampingPercent / 100.0;

    // The easing curve's value at a progress of 0…1 of the settle time; exactly 1 at the end.
    static qreal curve(qreal progress)
    {
        return progress >= 1 ? 1.0
                             : position(kResponse, kDamping, progress * settleSeconds(kResponse, kDamping));
    }
    static int durationMs() { return int(std::ceil(settleSeconds(kResponse, kDamping) * 1000)); }
    static void apply(QVariantAnimation* animation)
    {
        QEasingCurve easing;
        easing.setCustomType(&curve);
        animation->setEasingCurve(easing);
        animation->setDuration(durationMs());
    }
};

}  // namespace kx::spring
