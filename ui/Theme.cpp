#include "ui/Theme.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QRectF>
#include <QScreen>
#include <algorithm>

namespace kx {

QColor withOpacity(QColor c, qreal opacity)
{
    c.setAlphaF(float(std::clamp<qreal>(c.alphaF() * opacity, 0.0, 1.0)));
    return c;
}

QColor Theme::canvasDark()
{
    return QColor::fromRgbF(0.075f, 0.078f, 0.09f, 1.0f);
}

QColor Theme::canvasLight()
{
    return QColor::fromRgbF(0.9f, 0.905f, 0.925f, 1.0f);
}

QColor Theme::canvas(const QPalette& palette)
{
    return isDark(palette) ? canvasDark() : canvasLight();
}

QLinearGradient Theme::brand(const QRectF& rect)
{
    QLinearGradient g(rect.topLeft(), rect.bottomRight());
    g.setColorAt(0, QColor::fromRgbF(0.36f, 0.42f, 1.0f));
    g.setColorAt(1, QColor::fromRgbF(0.62f, 0.34f, 0.98f));
    return g;
}

bool Theme::isDark(const QPalette& palette)
{
    return palette.color(QPalette::Window).lightnessF() < 0.5;
}

QColor Theme::primary(const QPalette& palette, qreal opacity)
{
    const QColor base = isDark(palette) ? QColor(255, 255, 255, 242) : QColor(0, 0, 0, 217);
    return withOpacity(base, opacity);
}

QColor Theme::secondary(const QPalette& palette)
{
    return isDark(palette) ? QColor(235, 235, 245, 153) : QColor(60, 60, 67, 153);
}

QColor Theme::tertiary(const QPalette& palette)
{
    return isDark(palette) ? QColor(235, 235, 245, 77) : QColor(60, 60, 67, 77);
}

QColor Theme::accent(const QPalette& palette, qreal opacity)
{
    return withOpacity(palette.color(QPalette::Active, QPalette::Highlight), opacity);
}

QColor Theme::material(const QPalette& palette)
{
    return isDark(palette) ? QColor(44, 44, 48, 246) : QColor(250, 250, 252, 246);
}

QColor Theme::systemGreen()
{
    return QColor(52, 199, 89);
}
QColor Theme::systemOrange()
{
    return QColor(255, 149, 0);
}
QColor Theme::systemBlue()
{
    return QColor(0, 122, 255);
}
QColor Theme::systemRed()
{
    return QColor(255, 59, 48);
}
QColor Theme::systemPurple()
{
    return QColor(175, 82, 222);
}

namespace {

qreal fontDpi()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const qreal dpi = screen ? screen->logicalDotsPerInchY() : 96.0;
    return dpi > 0 ? dpi : 96.0;
}

}  // namespace

QFont Theme::font(qreal points, QFont::Weight weight)
{
    QFont f = QGuiApplication::font();
    f.setPointSizeF(points * 72.0 / fontDpi());
    f.setWeight(weight);
    return f;
}

QFont Theme::monoFont(qreal points, QFont::Weight weight)
{
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setPointSizeF(points * 72.0 / fontDpi());
    f.setWeight(weight);
    return f;
}

}  // namespace kx
