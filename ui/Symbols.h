#pragma once
// Icons looked up by symbol name ("doc.on.doc", "checkmark.circle.fill", ...).
//
// The names are the ones the behaviour texts use; each maps to one SVG of the bundled
// icon set (resources/icons, see SOURCE.md there) through the table in SymbolTable.cpp.
//
// How code names a symbol — a unit test scans the whole source tree for these forms and
// fails when a name has no icon, so always write a literal symbol name in one of them:
//   1. "doc.on.doc"_sym                      the literal below (ui and every layer above it);
//   2. Symbols::icon("pin", ...)             a literal as the first argument of Symbols::icon,
//                                            image, has or file;
//   3. QStringLiteral("viewfinder")  // symbol
//      in layers below ui, which cannot include this header: a literal on a line that ends
//      with the comment `// symbol`;
//   4. any literal in the body of a function returning QString whose name is `symbol` or
//      ends in `Symbol` (as `QString symbol(HotKeyAction a) { switch (a) ... }`).
// A name held in a variable is checked where its literal is written. An unknown name at
// run time draws the "questionmark" icon and warns once.

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QString>
#include <QStringList>

class QPainter;
class QRectF;
class QPointF;

namespace kx {

// Stroke weights of the icon set, named like font weights.
enum class SymbolWeight { light, regular, medium, semibold, bold };

class Symbols {
public:
    // True when the name has an icon.
    static bool has(const QString& name);
    // Resource path of the name's SVG (":/icons/..."), empty when unknown.
    static QString file(const QString& name);
    // Every known name, sorted.
    static QStringList names();

    // The icon rendered into a square of `side` device-independent pixels at the given
    // device pixel ratio, tinted with `color`. Cached.
    static QImage image(const QString& name, int side, const QColor& color,
                        SymbolWeight weight = SymbolWeight::regular, qreal dpr = 1.0);
    // Paints the icon centred in `rect` (the largest square inside it).
    static void paint(QPainter& p, const QRectF& rect, const QString& name, const QColor& color,
                      SymbolWeight weight = SymbolWeight::regular);
    // Paints the icon as a glyph of a font of `pointSize` points, centred on `centre`.
    static void paintGlyph(QPainter& p, const QPointF& centre, qreal pointSize, const QString& name,
                           const QColor& color, SymbolWeight weight = SymbolWeight::regular);
    // The side of the square a glyph of `pointSize` points takes.
    static qreal glyphSide(qreal pointSize);
    // A QIcon (1x and 2x) for menus and buttons of standard widgets.
    static QIcon icon(const QString& name, const QColor& color, int side = 16);
};

inline QString operator""_sym(const char* text, std::size_t size)
{
    return QString::fromLatin1(text, qsizetype(size));
}

}  // namespace kx
