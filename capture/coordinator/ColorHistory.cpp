#include "capture/coordinator/ColorHistory.h"

#include "core/ColorUtils.h"
#include "core/Prefs.h"

namespace kx {

namespace {
const QString kKey = QStringLiteral("recentColors");
}

QStringList ColorHistory::added(QStringList list, const QString& hex)
{
    list.removeAll(hex);
    list.prepend(hex);
    while (list.size() > limit)
        list.removeLast();
    return list;
}

void ColorHistory::add(const QString& hex)
{
    Prefs::set(kKey, added(colors(), hex));
}

QStringList ColorHistory::colors()
{
    return Prefs::stringList(kKey);
}

QString ColorHistory::hexText(const QColor& color)
{
    const RGB255 c = rgb255(color);
    return QStringLiteral("#%1%2%3")
        .arg(c.r, 2, 16, QLatin1Char('0'))
        .arg(c.g, 2, 16, QLatin1Char('0'))
        .arg(c.b, 2, 16, QLatin1Char('0'))
        .toUpper();
}

}  // namespace kx
