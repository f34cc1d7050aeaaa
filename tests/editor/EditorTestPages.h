#pragma once
// Synthetic pages and annotation builders shared by the editor tests.

#include "editor/Annotation.h"
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

inline Annotation makeAnnotation(ToolKind kind, QPointF p1, QPointF p2, RGBA color)
{
    Annotation a;
    a.kind = kind;
    a.p1 = p1;
    a.p2 = p2;
    a.style.color = color;
    a.style.lineWidth = 6;
    a.style.fontSize = 36;
    a.style.intensity = 24;
    a.style.zoom = 2;
    return a;
}

inline const RGBA kRed{1.0, 0.231, 0.188, 1.0};
inline const RGBA kBlue{0.039, 0.518, 1.0, 1.0};
inline const RGBA kGreen{0.204, 0.78, 0.349, 1.0};
inline const RGBA kPurple{0.686, 0.322, 0.871, 1.0};
inline const RGBA kOrange{1.0, 0.584, 0.0, 1.0};
inline const RGBA kYellow{1.0, 0.8, 0.0, 1.0};
inline const RGBA kBlack{0.0, 0.0, 0.0, 1.0};

}  // namespace kx::test
