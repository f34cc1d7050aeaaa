#pragma once
// Synthetic pages shared by the editor tests; annotations come from the demo builders.

#include "devtools/samples/DemoAnnotations.h"
#include "editor/PaintHelpers.h"

#include <QImage>
#include <QPainter>
#include <cmath>

namespace kx::test {

inline void pinEditorFonts()
{
    EditorFont::setFamilies("DejaVu Sans", "DejaVu Sans Mono");
}

// A page that looks like a small document window: title bar, text lines, coloured tiles.
inline QImage makeTestPage(int width, int height)
{
    QImage page(width, height, QImage::Format_ARGB32_Premultiplied);
    page.fill(QColor(248, 248, 246));
    QPainter p(&page);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(QRect(0, 0, width, 28), QColor(228, 230, 235));
    QFont f("DejaVu Sans");
    f.setPixelSize(15);
    f.setHintingPreference(QFont::PreferNoHinting);
    p.setFont(f);
    p.setPen(QColor(40, 44, 52));
    for (int y = 60, i = 0; y < height - 20; y += 24, ++i)
        p.drawText(24, y,
                   QStringLiteral("Line %1: invoice 2026-%2 sent to billing@example.com, total 1 234,56 EUR")
                       .arg(i + 1)
                       .arg(100 + i));
    const QColor tiles[] = {QColor(230, 80, 70), QColor(60, 140, 230), QColor(70, 190, 110),
                            QColor(240, 190, 40)};
    for (int i = 0; i < 4; ++i)
        p.fillRect(QRectF(width - 150 + (i % 2) * 60, 50 + (i / 2) * 60, 50, 50), tiles[i]);
    return page;
}

using namespace kx::samples;

}  // namespace kx::test
