#include "editor/window/controls/FrameThumbs.h"

#include "core/Localisation.h"
#include "editor/Exporter.h"

#include <QPainter>
#include <QPainterPath>
#include <array>
#include <optional>

namespace kx::FrameThumbs {

namespace {
// Drawn at twice its size in points so the 38-point tiles stay sharp on HiDPI screens; framed
// at scale 1, as the frame sizes are pixels of the sample.
constexpr double kSampleScale = 2.0;
}  // namespace

const QImage& sample()
{
    static const QImage image = [] {
        QImage img(int(160 * kSampleScale), int(100 * kSampleScale), QImage::Format_ARGB32_Premultiplied);
        img.setDevicePixelRatio(1);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(kSampleScale, kSampleScale);
        const auto rgb = [](double r, double g, double b) {
            return QColor::fromRgbF(float(r), float(g), float(b));
        };
        p.fillRect(QRectF(0, 0, 160, 100), rgb(0.96, 0.965, 0.98));
        p.fillRect(QRectF(0, 0, 38, 100), rgb(0.12, 0.14, 0.24));
        for (double x : {50.0, 86.0, 122.0}) {
            QPainterPath card;
            card.addRoundedRect(QRectF(x, 12, 30, 20), 4, 4);
            p.fillPath(card, Qt::white);
        }
        // A fixed sRGB indigo for the chart, whatever the desktop's accent.
        QColor indigo = rgb(0.345, 0.337, 0.839);
        indigo.setAlphaF(0.85f);
        const std::array<QRectF, 6> bars{QRectF(52, 74, 11, 14),  QRectF(69, 51, 11, 37),
                                         QRectF(86, 64, 11, 24),  QRectF(103, 41, 11, 47),
                                         QRectF(120, 54, 11, 34), QRectF(137, 67, 11, 21)};
        for (const QRectF& bar : bars)
            p.fillRect(bar, indigo);
        return img;
    }();
    return image;
}

BeautifySettings settings(BeautifySettings::Edge edge)
{
    BeautifySettings s;
    s.enabled = true;
    s.padding = 10;
    s.cornerRadius = 10;
    s.shadow = true;
    s.background = BeautifySettings::Background::transparent;
    s.edge = edge;
    s.edgeSize = 1;
    s.seed = 11;
    return s;
}

const QImage& image(BeautifySettings::Edge edge)
{
    // Touched only from the UI thread.
    static std::array<std::optional<QImage>, 7> cache;
    std::optional<QImage>& slot = cache[size_t(edge)];
    if (!slot)
        slot = Exporter::beautify(sample(), settings(edge), 1.0);
    return *slot;
}

QString detail(BeautifySettings::Edge edge)
{
    using E = BeautifySettings::Edge;
    switch (edge) {
        case E::none:
            return kx::tr("Rounded corners with a soft shadow.", "Lekerekített sarkok lágy árnyékkal.");
        case E::torn:
            return kx::tr("Ripped paper edge with a pale fibre rim.",
                          "Szakadt papírszél világos rostos peremmel.");
        case E::burnt:
            return kx::tr("Scorched, glowing burnt paper edge.", "Megperzselt, izzó égett papírszél.");
        case E::zigzag:
            return kx::tr("Saw-tooth edge, like a receipt or ticket.",
                          "Fűrészfogas szél, mint egy blokkon vagy jegyen.");
        case E::stamp:
            return kx::tr("Postage stamp with perforated edges.", "Postabélyeg perforált széllel.");
        case E::polaroid:
            return kx::tr("Instant-photo frame with a wide bottom.", "Pillanatfotó-keret széles aljjal.");
        case E::window:
            return kx::tr("macOS-style window with traffic lights.",
                          "macOS-stílusú ablak a három színes gombbal.",
                          "Fenster im macOS-Stil mit den drei Ampelknöpfen.");
    }
    return QString();
}

}  // namespace kx::FrameThumbs
