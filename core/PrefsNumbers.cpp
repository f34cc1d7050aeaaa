#include "core/Prefs.h"

#include <QHash>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

// Numbers of the settings: read leniently, and into the range Settings offers.
namespace kx {

namespace {

// Converting a double outside the int range is undefined behaviour; NaN is no number.
std::optional<int> clampedInt(double d)
{
    if (std::isnan(d))
        return std::nullopt;
    return int(
        std::clamp(d, double(std::numeric_limits<int>::min()), double(std::numeric_limits<int>::max())));
}

std::atomic<bool> g_ranged{true};

// `d` read into what Settings offers for `key`.
double offered(const QString& key, double d)
{
    const std::optional<Prefs::Range> r = Prefs::offeredRange(key);
    if (!r || std::isnan(d) || !g_ranged.load())
        return d;
    if (r->offBelowOne && d < 1)
        return 0;
    if (r->keptAbove && d > r->greatest)
        return d;
    return std::clamp(d, r->least, r->greatest);
}

}  // namespace

void Prefs::readIntoOfferedRangeForTests(bool on)
{
    g_ranged = on;
}

std::optional<Prefs::Range> Prefs::offeredRange(const QString& key)
{
    static const QHash<QString, Range> ranges{
        {QStringLiteral("history.max"), {20, 5000, true, true}},
        {QStringLiteral("history.days"), {0, 365, false, true}},
        {QStringLiteral("scroll.maxHeight"), {4000, 60000, false, false}},
        {QStringLiteral("jpegQuality"), {0.4, 1.0, false, false}},
    };
    const auto it = ranges.constFind(key);
    return it == ranges.cend() ? std::nullopt : std::optional<Range>(*it);
}

int Prefs::integer(const QString& key)
{
    const QVariant v = value(key);
    bool ok = false;
    if (v.typeId() != QMetaType::Double && v.typeId() != QMetaType::Float) {
        const qlonglong i = v.toLongLong(&ok);
        if (ok)
            return clampedInt(offered(key, double(std::clamp<qlonglong>(i, std::numeric_limits<int>::min(),
                                                                        std::numeric_limits<int>::max()))))
                .value_or(0);
    }
    const double d = v.toDouble(&ok);
    return ok ? clampedInt(offered(key, d)).value_or(0) : 0;
}

std::optional<int> Prefs::wholeNumber(const QString& key)
{
    const QVariant v = value(key);
    bool ok = false;
    const double d =
        v.typeId() == QMetaType::QString ? trimBlanks(v.toString()).toDouble(&ok) : v.toDouble(&ok);
    if (!ok || !std::isfinite(d) || d != std::trunc(d))
        return std::nullopt;
    return clampedInt(offered(key, d));
}

double Prefs::real(const QString& key)
{
    bool ok = false;
    const double d = value(key).toDouble(&ok);
    return ok ? offered(key, d) : 0.0;
}

}  // namespace kx
