#include "editor/window/controls/Checker.h"

#include "ui/Theme.h"

#include <QPainter>
#include <cmath>

namespace kx {

CheckerColors checkerColors(bool dark)
{
    const auto grey = [](double v) { return QColor::fromRgbF(float(v), float(v), float(v)); };
    return dark ? CheckerColors{grey(0.2), grey(0.26)} : CheckerColors{grey(0.93), grey(0.84)};
}

void paintChecker(QPainter& p, const QRectF& rect, qreal cell, bool dark)
{
    const CheckerColors colors = checkerColors(dark);
    p.fillRect(rect, colors.base);
    if (!(cell > 0) || !std::isfinite(cell) || rect.height() <= 0)
        return;
    p.save();
    p.setClipRect(rect, Qt::IntersectClip);
    int row = 0;
    for (qreal y = 0; y < rect.height(); y = ++row * cell) {
        for (qreal x = (row % 2) ? cell : 0; x < rect.width(); x += 2 * cell)
            p.fillRect(QRectF(rect.x() + x, rect.y() + y, cell, cell), colors.squares);
    }
    p.restore();
}

Checker::Checker(qreal cell, QWidget* parent) : QWidget(parent), cell_(cell)
{
}

void Checker::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    paintChecker(p, rect(), cell_, Theme::isDark(palette()));
}

}  // namespace kx
