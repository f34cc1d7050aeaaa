// The pictures of the snapshot mode that come from no window: the mock screenshot, the
// frame sheets, and the PNG writer the window modes share.
#include "devtools/UISnapshot.h"

#include "core/ImageUtils.h"
#include "editor/BeautifySettings.h"
#include "editor/Exporter.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPainter>
#include <QPainterPath>
#include <QSaveFile>
#include <QTimer>
#include <array>

namespace kx {

namespace {

using Bg = BeautifySettings::Background;
using Edge = BeautifySettings::Edge;

// Backdrop paired with the edge style of the same position.
constexpr std::array<Bg, 7> kSheetBackgrounds{Bg::white,  Bg::transparent, Bg::graphite, Bg::ocean,
                                              Bg::sunset, Bg::mint,        Bg::grape};

QColor srgb(double r, double g, double b, double a = 1.0)
{
    return QColor::fromRgbF(float(r), float(g), float(b), float(a));
}

QColor grey(double white, double a = 1.0)
{
    return srgb(white, white, white, a);
}

void text(QPainter& p, double x, double y, const QString& s, double size, QFont::Weight weight,
          const QColor& c)
{
    QFont font;
    font.setPixelSize(int(size));
    font.setWeight(weight);
    p.setFont(font);
    p.setPen(c);
    p.drawText(QRectF(x, y, 1000, size * 2), Qt::AlignLeft | Qt::AlignTop, s);
}

void roundedBox(QPainter& p, const QRectF& r, double radius, const QColor& fill,
                const QColor& stroke = QColor())
{
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    p.fillPath(path, fill);
    if (stroke.isValid()) {
        p.setPen(QPen(stroke, 1));
        p.drawPath(path);
    }
}

}  // namespace

QImage UISnapshot::mockScreenshot()
{
    QImage image(1600, 1000, QImage::Format_ARGB32_Premultiplied);
    image.fill(srgb(0.97, 0.975, 0.985));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.scale(2, 2);

    const QColor indigo(88, 86, 214);
    const QColor teal(48, 176, 199);
    const QColor orange(255, 149, 0);

    p.fillRect(QRectF(0, 0, 190, 500), srgb(0.11, 0.13, 0.2));
    text(p, 22, 22, QStringLiteral("Ruva Davoz"), 15, QFont::Bold, Qt::white);
    roundedBox(p, QRectF(12, 68, 166, 30), 8, grey(1, 0.1));
    const std::array<const char*, 6> menu{"Overview", "Projects", "Analytics", "Billing", "Team", "Settings"};
    for (int i = 0; i < 6; ++i)
        text(p, 28, 74 + 36 * i, QString::fromLatin1(menu[i]), 13, QFont::Medium,
             grey(1, i == 0 ? 1.0 : 0.65));

    text(p, 220, 28, QStringLiteral("Welcome back, Mira"), 22, QFont::Bold, grey(0.12));
    text(p, 220, 58, QStringLiteral("Here is what happened this week"), 13, QFont::Normal, grey(0.45));

    const std::array<const char*, 3> labels{"Revenue", "Visitors", "Orders"};
    const std::array<const char*, 3> values{"$48.2k", "12,480", "1,204"};
    const std::array<QColor, 3> tints{indigo, teal, orange};
    for (int k = 0; k < 3; ++k) {
        const double x = 220 + 180 * k;
        roundedBox(p, QRectF(x, 96, 164, 84), 12, Qt::white, grey(0, 0.07));
        text(p, x + 14, 108, QString::fromLatin1(labels[k]), 12, QFont::Normal, grey(0.45));
        text(p, x + 14, 130, QString::fromLatin1(values[k]), 24, QFont::Bold, tints[k]);
    }

    roundedBox(p, QRectF(220, 204, 540, 260), 12, Qt::white, grey(0, 0.07));
    QColor bar = indigo;
    bar.setAlphaF(0.85f);
    for (int j = 0; j < 12; ++j) {
        const double h = 40 + (37 * j) % 130;
        roundedBox(p, QRectF(244 + 42 * j, 440 - h, 24, h), 5, bar);
    }
    text(p, 600, 226, QStringLiteral("mira@example.com"), 12, QFont::Normal, grey(0.3));
    return image;
}

QImage UISnapshot::sheet(const QList<QImage>& framed, QSize size, QSize cell)
{
    QImage out(size, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter p(&out);
    for (int y = 0; y < size.height(); y += 16)
        for (int x = 0; x < size.width(); x += 16)
            p.fillRect(QRect(x, y, 16, 16), grey((x + y) / 16 % 2 == 0 ? 0.85 : 0.7));
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    for (int i = 0; i < framed.size(); ++i) {
        const QImage& img = framed[i];
        if (img.isNull())
            continue;
        const QRectF box =
            QRectF(QPointF((i % 3) * cell.width(), (i / 3) * cell.height()), cell).adjusted(10, 10, -10, -10);
        const double k = std::min(box.width() / img.width(), box.height() / img.height());
        const QSizeF drawn(img.width() * k, img.height() * k);
        const QRectF target(box.center() - QPointF(drawn.width() / 2, drawn.height() / 2), drawn);
        p.drawImage(target, img);
    }
    return out;
}

QList<QImage> UISnapshot::framedInEveryEdge(const QImage& image, double padding, double scale)
{
    QList<QImage> framed;
    for (int i = 0; i < int(kSheetBackgrounds.size()); ++i) {
        BeautifySettings s;
        s.enabled = true;
        s.padding = padding;
        s.cornerRadius = 10;
        s.shadow = true;
        s.background = kSheetBackgrounds[i];
        s.edge = Edge(i);
        s.edgeSize = 1;
        s.seed = 7;
        framed << Exporter::beautify(image, s, scale);
    }
    return framed;
}

bool UISnapshot::frameSheet(const QImage& image, const QString& dir)
{
    QImage source = image;
    const int longer = std::max(image.width(), image.height());
    if (longer > 900)
        source = resized(image, QSizeF(image.width(), image.height()) * (900.0 / longer));
    return writePng(sheet(framedInEveryEdge(source, 36, 2), QSize(1920, 1410), QSize(640, 470)),
                    dir + QStringLiteral("/frames.png"));
}

bool UISnapshot::writePng(const QImage& image, const QString& path)
{
    const std::optional<QByteArray> data = encoded(image, ImageFormat::png, 0.9, 1);
    if (!data)
        return false;
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(*data) == data->size() && file.commit();
}

void UISnapshot::pause(double seconds)
{
    QEventLoop loop;
    QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace kx
