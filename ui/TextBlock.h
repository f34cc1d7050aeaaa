#pragma once
// Wrapped text with a line limit, for views that lay out and paint their own text.

#include <QFont>
#include <QSizeF>
#include <QString>
#include <QStringList>

class QPainter;
class QRectF;
class QColor;

namespace kx {

struct TextBlock {
    // The lines of `text` wrapped at word boundaries within `width`; at most `maxLines`
    // (0 = no limit), the last one elided when text is left over.
    static QStringList lines(const QString& text, const QFont& font, qreal width, int maxLines);
    // The size the text takes: the widest line (at most `maxWidth`) by the lines' height.
    static QSizeF measure(const QString& text, const QFont& font, qreal maxWidth, int maxLines);
    // Paints the lines from the top-left of `rect`, left-aligned.
    static void paint(QPainter& p, const QRectF& rect, const QString& text, const QFont& font,
                      const QColor& color, int maxLines);
};

}  // namespace kx
