#include "capture/overlay/LoupeSampler.h"

#include "capture/overlay/OverlayGeometry.h"

namespace kx {

LoupeSampler::LoupeSampler(QImage frozen, double scale) : scale_(scale)
{
    frozen_ = frozen.format() == QImage::Format_ARGB32_Premultiplied
                  ? std::move(frozen)
                  : frozen.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

std::optional<LoupeSample> LoupeSampler::sample(QPointF point)
{
    if (frozen_.isNull())
        return std::nullopt;
    const QPoint pixel = pixelPoint(point, scale_, frozen_.size());
    if (cache_ && cache_->pixel == pixel)
        return cache_;

    constexpr int n = kLoupeSamples;
    constexpr int half = n / 2;
    QImage image(n, n, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return std::nullopt;
    image.fill(Qt::transparent);
    for (int dy = 0; dy < n; ++dy) {
        const int sy = pixel.y() - half + dy;
        if (sy < 0 || sy >= frozen_.height())
            continue;
        const auto* src = reinterpret_cast<const QRgb*>(frozen_.constScanLine(sy));
        auto* dst = reinterpret_cast<QRgb*>(image.scanLine(dy));
        for (int dx = 0; dx < n; ++dx) {
            const int sx = pixel.x() - half + dx;
            if (sx >= 0 && sx < frozen_.width())
                dst[dx] = src[sx];
        }
    }
    const QRgb centre = reinterpret_cast<const QRgb*>(image.constScanLine(half))[half];
    ++made_;
    cache_ = LoupeSample{pixel, image, QColor(qRed(centre), qGreen(centre), qBlue(centre))};
    return cache_;
}

}  // namespace kx
