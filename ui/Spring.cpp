#include "ui/Spring.h"

#include <algorithm>
#include <numbers>

namespace kx::spring {

namespace {

constexpr double kSettled = 0.001;

// Angular frequency of the undamped spring, and the damping kept below 1 (the springs used
// all swing a little).
double frequency(double response)
{
    return 2 * std::numbers::pi / std::max(response, 1e-3);
}
double underdamped(double damping)
{
    return std::clamp(damping, 0.05, 0.99);
}

}  // namespace

double position(double response, double damping, double t)
{
    const double w = frequency(response), z = underdamped(damping);
    const double wd = w * std::sqrt(1 - z * z);
    return 1 - std::exp(-z * w * t) * (std::cos(wd * t) + z * w / wd * std::sin(wd * t));
}

double settleSeconds(double response, double damping)
{
    // When the envelope of the swing, e^(-ζwt) / sqrt(1 - ζ²), falls under the bound.
    const double w = frequency(response), z = underdamped(damping);
    return std::log(1 / (std::sqrt(1 - z * z) * kSettled)) / (z * w);
}

}  // namespace kx::spring
