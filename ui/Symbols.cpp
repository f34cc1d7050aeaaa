#include "ui/Symbols.h"

#include "ui/SymbolTable.h"

#include <QFile>
#include <QHash>
#include <QPainter>
#include <QRectF>
#include <QSet>
#include <QSvgRenderer>
#include <QtGlobal>
#include <cmath>

static void initIconResources()
{
    Q_INIT_RESOURCE(icons);
}

namespace kx {

namespace {

const QString kFallback = QStringLiteral("questionmark");

const QHash<QString, QString>& fileByName()
{
    static const QHash<QString, QString> map = [] {
        initIconResources();
        QHash<QString, QString> m;
        for (const SymbolRow& row : symbolTable())
            m.insert(QString::fromLatin1(row.name),
                     QStringLiteral(":/icons/%1.svg").arg(QString::fromLatin1(row.file)));
        return m;
    }();
    return map;
}

// Stroke width in the set's 24-unit grid for each weight (the set is drawn at 2).
double strokeFor(SymbolWeight weight)
{
    switch (weight) {
        case SymbolWeight::light:
            return 1.5;
        case SymbolWeight::regular:
            return 1.75;
        case SymbolWeight::medium:
            return 2.0;
        case SymbolWeight::semibold:
            return 2.25;
        case SymbolWeight::bold:
            return 2.5;
    }
    return 2.0;
}

QByteArray svgBytes(const QString& path, SymbolWeight weight)
{
    static QHash<QString, QByteArray> raw;
    auto it = raw.find(path);
    if (it == raw.end()) {
        QFile f(path);
        it = raw.insert(path, f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray());
    }
    QByteArray bytes = *it;
    const QByteArray width = QByteArray::number(strokeFor(weight));
    bytes.replace("stroke-width=\"2\"", "stroke-width=\"" + width + "\"");
    return bytes;
}

QString resolved(const QString& name)
{
    const auto& map = fileByName();
    const auto it = map.constFind(name);
    if (it != map.constEnd())
        return *it;
    static QSet<QString> warned;
    if (!warned.contains(name)) {
        warned.insert(name);
        qWarning("kx: no icon for symbol \"%s\"", qPrintable(name));
    }
    return map.value(kFallback);
}

}  // namespace

bool Symbols::has(const QString& name)
{
    return fileByName().contains(name);
}

QString Symbols::file(const QString& name)
{
    return fileByName().value(name);
}

QStringList Symbols::names()
{
    QStringList list = fileByName().keys();
    list.sort();
    return list;
}

QImage Symbols::image(const QString& name, int side, const QColor& color, SymbolWeight weight, qreal dpr)
{
    side = std::max(1, side);
    dpr = std::max<qreal>(0.5, dpr);
    const QString key = QStringLiteral("%1|%2|%3|%4|%5")
                            .arg(name)
                            .arg(side)
                            .arg(color.rgba(), 0, 16)
                            .arg(int(weight))
                            .arg(dpr);
    static QHash<QString, QImage> cache;
    if (const auto it = cache.constFind(key); it != cache.constEnd())
        return *it;

    const int px = int(std::lround(side * dpr));
    QImage img(px, px, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QSvgRenderer renderer(svgBytes(resolved(name), weight));
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        renderer.render(&p, QRectF(0, 0, px, px));
        // The set draws in currentColor (black here); keep its coverage, take our colour.
        p.setCompositionMode(QPainter::CompositionMode_SourceIn);
        p.fillRect(img.rect(), color);
    }
    img.setDevicePixelRatio(dpr);
    if (cache.size() > 1024)
        cache.clear();
    cache.insert(key, img);
    return img;
}

void Symbols::paint(QPainter& p, const QRectF& rect, const QString& name, const QColor& color,
                    SymbolWeight weight)
{
    const qreal side = std::min(rect.width(), rect.height());
    if (side <= 0)
        return;
    qreal dpr = p.device() ? p.device()->devicePixelRatioF() : 1.0;
    dpr *= std::max(std::abs(p.worldTransform().m11()), std::abs(p.worldTransform().m22()));
    const QImage img = image(name, int(std::ceil(side)), color, weight, dpr);
    const QRectF target(rect.center().x() - side / 2, rect.center().y() - side / 2, side, side);
    p.save();
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(target, img);
    p.restore();
}

qreal Symbols::glyphSide(qreal pointSize)
{
    // The set's glyphs fill about 3/4 of their square; a symbol at a font size is about
    // as tall as a capital letter plus descender of that font.
    return pointSize * 1.3;
}

void Symbols::paintGlyph(QPainter& p, const QPointF& centre, qreal pointSize, const QString& name,
                         const QColor& color, SymbolWeight weight)
{
    const qreal s = glyphSide(pointSize);
    paint(p, QRectF(centre.x() - s / 2, centre.y() - s / 2, s, s), name, color, weight);
}

QIcon Symbols::icon(const QString& name, const QColor& color, int side)
{
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(image(name, side, color, SymbolWeight::regular, 1.0)));
    icon.addPixmap(QPixmap::fromImage(image(name, side, color, SymbolWeight::regular, 2.0)));
    return icon;
}

}  // namespace kx
