#pragma once
#include "core/Enums.h"

#include <QColor>
#include <QString>
#include <optional>

namespace kx {

// "#RGB" / "#RRGGBB" with optional "#" and spaces around; strictly hexadecimal digits.
std::optional<QColor> colorFromHex(const QString& text);

struct RGB255 {
    int r = 0, g = 0, b = 0;
};
// Channels as round(component × 255), clamped to 0…255.
RGB255 rgb255(const QColor& color);

// The text form of a colour.
QString formatted(const QColor& color, ColorFormat format);

}  // namespace kx
