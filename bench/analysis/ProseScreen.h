#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QStringList>
#include <algorithm>

namespace kx::bench {

// The desktop of the end-to-end probe: `lines` lines of 14-px prose from the top, or the whole
// screen filled in columns 960 px apart; drawn at `scale` pixels per point. Also its words, where asked.
inline QImage proseScreen(int width, int height, int lines, QStringList* words, int scale = 1)
{
    QImage img(width * scale, height * scale, QImage::Format_RGB32);
    img.fill(QColor(0xfa, 0xfa, 0xf8));
    QPainter p(&img);
    p.scale(scale, scale);
    p.setPen(QColor(0x14, 0x14, 0x14));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(14);
    p.setFont(font);
    const int step = 22, columns = lines ? 1 : std::max(1, width / 960);
    const int rows = lines ? lines : (height - 40) / step;
    for (int col = 0; col < columns; ++col)
        for (int i = 1; i <= rows; ++i) {
            const QString line =
                QStringLiteral(
                    "%1. Invoice 2026-%2 for order %3 was paid on time; the shipment left at 0%4:%5.")
                    .arg(i)
                    .arg(i * 37)
                    .arg(4100 + i * 13 + col)
                    .arg(i % 10)
                    .arg(10 + i % 50);
            p.drawText(24 + col * 960, 30 + i * step, line);
            if (words)
                *words += line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        }
    return img;
}

}  // namespace kx::bench
