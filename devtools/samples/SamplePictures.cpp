#include "devtools/samples/SamplePictures.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QRandomGenerator>

namespace kx::samples {

QImage screenshot(QSize size, int seed)
{
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    const int w = size.width(), h = size.height();
    QPainter p(&img);
    QLinearGradient sky(0, 0, w, h);
    sky.setColorAt(0, QColor(88, 120, 220));
    sky.setColorAt(1, QColor(190, 110, 200));
    p.fillRect(img.rect(), sky);

    // The window: a tenth of the picture as margin, a title bar and a sidebar.
    const QRectF window(w * 0.1, h * 0.1, w * 0.8, h * 0.8);
    const double unit = std::max(4.0, h / 40.0);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(250, 250, 252));
    p.drawRoundedRect(window, unit / 2, unit / 2);
    p.setBrush(QColor(60, 64, 72));
    p.drawRect(QRectF(window.left(), window.top(), window.width(), unit * 1.5));
    const QRectF sidebar(window.left(), window.top() + unit * 1.5, window.width() * 0.25,
                         window.height() - unit * 1.5);
    p.setBrush(QColor(232, 234, 240));
    p.drawRect(sidebar);

    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(std::max(6, int(unit * 0.6)));
    p.setFont(font);
    p.setPen(QColor(30, 30, 30));
    const double left = sidebar.right() + unit;
    for (int i = 0; (i + 3) * unit < window.height() * 0.6; ++i)
        p.drawText(QPointF(left, window.top() + (i + 3) * unit),
                   QStringLiteral("Line %1 of the report, invoice 2026-%2").arg(i + 1).arg(seed + i));
    for (int i = 0; (i + 3) * unit < sidebar.height(); ++i) {
        p.setBrush(QColor(170, 176, 190));
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(QRectF(sidebar.left() + unit / 2, window.top() + (i + 2.5) * unit,
                                 sidebar.width() - unit, unit * 0.5),
                          unit / 4, unit / 4);
    }

    QRandomGenerator rng(quint32(seed) + 1);
    const QRectF tiles(left, window.top() + window.height() * 0.65, window.right() - unit - left,
                       window.height() * 0.3);
    for (int i = 0; i < 12; ++i) {
        const double tw = tiles.width() / 6, th = tiles.height() / 2;
        p.fillRect(QRectF(tiles.left() + (i % 6) * tw + 2, tiles.top() + (i / 6) * th + 2, tw - 4, th - 4),
                   QColor::fromHsv(rng.bounded(360), 150, 220));
    }
    return img;
}

}  // namespace kx::samples
