#pragma once
// Colour and drawing style of one editor annotation.

#include <QColor>
#include <QJsonObject>
#include <optional>

namespace kx {

// A colour as four sRGB components in 0...1.
struct RGBA {
    double r = 0;
    double g = 0;
    double b = 0;
    double a = 1;

    bool operator==(const RGBA&) const = default;

    QColor color() const;
    QColor withAlpha(double alpha) const;
    // Perceived brightness 0.299 r + 0.587 g + 0.114 b; decides light or dark contrast text.
    double luminance() const;

    QJsonObject toJson() const;
    // All four keys are required; anything else gives no value.
    static std::optional<RGBA> fromJson(const QJsonObject& object);
};

// Interior of rectangles, ellipses and text boxes. Raw values are stored as numbers.
enum class FillMode : int { none = 0, tint = 1, solid = 2 };

struct AnnotationStyle {
    RGBA color{1.0, 0.231, 0.188, 1.0};
    double lineWidth = 3;  // image pixels
    FillMode fill = FillMode::none;
    double fontSize = 18;    // image pixels; also sizes step badges and ruler labels
    double intensity = 12;   // blur sigma or pixel-block size, image pixels
    double zoom = 2;         // magnifier factor
    bool roundLens = false;  // magnifier lens: ellipse when true, rounded square otherwise

    bool operator==(const AnnotationStyle&) const = default;
};

}  // namespace kx
