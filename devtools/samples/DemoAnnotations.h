#pragma once
// Demo annotations for the developer modes and the tests: one builder with the sizes a 2x
// capture starts with, and one object of nearly every drawing tool on a 1000 x 640 page.
#include "editor/Annotation.h"

#include <QList>
#include <cmath>

namespace kx::samples {

inline constexpr RGBA kRed{1.0, 0.231, 0.188, 1.0};
inline constexpr RGBA kBlue{0.039, 0.518, 1.0, 1.0};
inline constexpr RGBA kGreen{0.204, 0.78, 0.349, 1.0};
inline constexpr RGBA kPurple{0.686, 0.322, 0.871, 1.0};
inline constexpr RGBA kOrange{1.0, 0.584, 0.0, 1.0};
inline constexpr RGBA kYellow{1.0, 0.8, 0.0, 1.0};
inline constexpr RGBA kBlack{0.0, 0.0, 0.0, 1.0};

inline Annotation annotation(ToolKind kind, QPointF p1, QPointF p2, RGBA colour)
{
    Annotation a;
    a.kind = kind;
    a.p1 = p1;
    a.p2 = p2;
    a.style.color = colour;
    a.style.lineWidth = 6;
    a.style.fontSize = 36;
    a.style.intensity = 24;
    a.style.zoom = 2;
    return a;
}

// Arrow, shapes, pen, marker, texts, steps, blur, pixelation and ruler; no lens, picture or spotlight.
inline QList<Annotation> drawingTools()
{
    QList<Annotation> list{annotation(ToolKind::arrow, {80, 80}, {300, 160}, kRed)};
    Annotation rect = annotation(ToolKind::rect, {340, 60}, {560, 150}, kBlue);
    rect.style.fill = FillMode::tint;
    list << rect << annotation(ToolKind::ellipse, {600, 60}, {820, 150}, kGreen)
         << annotation(ToolKind::line, {80, 200}, {300, 230}, kPurple);
    Annotation pen = annotation(ToolKind::pen, {}, {}, kOrange);
    for (int i = 0; i < 40; ++i)
        pen.points << QPointF(340 + 6 * i, 220 + 18 * std::sin(0.25 * i));
    Annotation marker = annotation(ToolKind::highlighter, {}, {}, kYellow);
    marker.points = {QPointF(620, 220), QPointF(820, 224)};
    Annotation text = annotation(ToolKind::text, {80, 300}, {}, kBlack);
    text.text = QStringLiteral("Szöveg: árvíztűrő tükörfúrógép");
    Annotation label = annotation(ToolKind::text, {80, 350}, {}, kRed);
    label.style.fill = FillMode::solid;
    label.text = QStringLiteral("Filled label");
    list << pen << marker << text << label;
    for (int n = 1; n <= 3; ++n) {
        Annotation step = annotation(ToolKind::step, {400.0 + 60 * n, 330}, {}, kBlue);
        step.number = n;
        list << step;
    }
    Annotation blur = annotation(ToolKind::blur, {60, 410}, {260, 500}, kRed);
    blur.style.intensity = 12;
    Annotation pixelate = annotation(ToolKind::pixelate, {290, 410}, {490, 500}, kRed);
    pixelate.style.intensity = 16;
    list << blur << pixelate << annotation(ToolKind::ruler, {540, 420}, {800, 480}, kRed);
    return list;
}

}  // namespace kx::samples
