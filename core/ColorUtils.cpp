#include "core/ColorUtils.h"

#include <algorithm>
#include <cmath>

namespace kx {

std::optional<QColor> colorFromHex(const QString& text)
{
    qsizetype b = 0, e = text.size();
    while (b < e && (text[b] == '#' || text[b] == ' '))
        ++b;
    while (e > b && (text[e - 1] == '#' || text[e - 1] == ' '))
        --e;
    QString s = text.mid(b, e - b);
    if (s.size() == 3)
        s = QString(s[0]) + s[0] + s[1] + s[1] + s[2] + s[2];
    if (s.size() != 6)
        return std::nullopt;
    // Six hex digits, or a plus sign and five ("+fffff" is 0x0FFFFF); no minus, "0x" or blanks.
    for (const QChar c : s.startsWith('+') ? s.mid(1) : s) {
        if (!std::isxdigit(static_cast<unsigned char>(c.toLatin1())) || c.unicode() > 0x7f)
            return std::nullopt;
    }
    bool ok = false;
    const uint v = s.toUInt(&ok, 16);
    if (!ok)
        return std::nullopt;
    return QColor::fromRgb(int((v >> 16) & 255), int((v >> 8) & 255), int(v & 255));
}

namespace {
int channel(float c)
{
    return std::clamp(int(std::lround(double(c) * 255.0)), 0, 255);
}

struct Floats {
    double r, g, b;
};
Floats components(const QColor& color)
{
    const QColor c = color.toRgb();
    return {std::clamp(double(c.redF()), 0.0, 1.0), std::clamp(double(c.greenF()), 0.0, 1.0),
            std::clamp(double(c.blueF()), 0.0, 1.0)};
}
}  // namespace

RGB255 rgb255(const QColor& color)
{
    const QColor c = color.toRgb();
    return {channel(c.redF()), channel(c.greenF()), channel(c.blueF())};
}

QString formatted(const QColor& color, ColorFormat format)
{
    const RGB255 c = rgb255(color);
    switch (format) {
        case ColorFormat::hex:
            return QString::asprintf("#%02X%02X%02X", c.r, c.g, c.b);
        case ColorFormat::hexLower:
            return QString::asprintf("#%02x%02x%02x", c.r, c.g, c.b);
        case ColorFormat::rgb:
            return QString("rgb(%1, %2, %3)").arg(c.r).arg(c.g).arg(c.b);
        case ColorFormat::swiftUI:
            return QString::asprintf("Color(red: %.3f, green: %.3f, blue: %.3f)", c.r / 255.0, c.g / 255.0,
                                     c.b / 255.0);
        case ColorFormat::hsl: {
            // Hue, saturation and brightness from the components; an achromatic colour has hue 0.
            const Floats f = components(color);
            const double mx = std::max({f.r, f.g, f.b}), mn = std::min({f.r, f.g, f.b});
            const double v = mx;
            const double s = mx > 0 ? (mx - mn) / mx : 0.0;
            double h = 0;
            if (mx > mn) {
                const double d = mx - mn;
                if (mx == f.r)
                    h = std::fmod((f.g - f.b) / d, 6.0);
                else if (mx == f.g)
                    h = (f.b - f.r) / d + 2.0;
                else
                    h = (f.r - f.g) / d + 4.0;
                h /= 6.0;
                if (h < 0)
                    h += 1.0;
            }
            const double l = v * (1.0 - s / 2.0);
            const double sl = (l == 0.0 || l == 1.0) ? 0.0 : (v - l) / std::min(l, 1.0 - l) * 100.0;
            return QString("hsl(%1, %2%, %3%)")
                .arg(std::lround(h * 360.0))
                .arg(std::lround(sl))
                .arg(std::lround(l * 100.0));
        }
    }
    return {};
}

}  // namespace kx
