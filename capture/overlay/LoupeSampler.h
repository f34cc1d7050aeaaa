#pragma once
// The 15 x 15 pixels around the pixel under the pointer, for the loupe and the colour
// picker. Remade only when the pointer reaches another pixel.
#include <QColor>
#include <QImage>
#include <QPoint>
#include <optional>

namespace kx {

struct LoupeSample {
    QPoint pixel;  // in frozen-image pixels from its top-left corner
    QImage image;  // 15 x 15, the sampled pixel at (7, 7); outside the frozen image: clear
    QColor color;  // the sampled pixel, opaque
};

class LoupeSampler {
public:
    LoupeSampler(QImage frozen, double scale);

    // The sample at a view point; none when the frozen image is empty.
    std::optional<LoupeSample> sample(QPointF point);
    // How many samples were made (not served from the cache).
    int samplesMade() const { return made_; }

private:
    QImage frozen_;
    double scale_;
    std::optional<LoupeSample> cache_;
    int made_ = 0;
};

}  // namespace kx
