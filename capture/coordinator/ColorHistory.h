#pragma once
// The recently picked colours (setting `recentColors`): "#RRGGBB" texts, newest first,
// no duplicates, at most 12.
#include <QColor>
#include <QString>
#include <QStringList>

namespace kx {

class ColorHistory {
public:
    static constexpr int limit = 12;

    // Puts `hex` at the front of the stored list.
    static void add(const QString& hex);
    static QStringList colors();
    // The list `list` becomes after adding `hex`.
    static QStringList added(QStringList list, const QString& hex);
    // "#RRGGBB" in upper case.
    static QString hexText(const QColor& color);
};

}  // namespace kx
