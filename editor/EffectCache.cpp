#include "editor/EffectCache.h"

#include "editor/ImageEffects.h"

#include <algorithm>
#include <cmath>

namespace kx {

namespace {
// Strengths beyond these change nothing visible but would read ever wider margins.
constexpr double kMaxSigma = 1000;
constexpr double kMaxBlock = 8192;

double finiteOr(double v, double fallback)
{
    return std::isfinite(v) ? v : fallback;
}
}  // namespace

EffectCache::EffectCache(qint64 maxBytes) : maxBytes_(std::max<qint64>(maxBytes, 0))
{
}

QRect EffectCache::clippedRect(const QRectF& rect, const QSize& size)
{
    const QRectF r = rect.normalized();
    if (!std::isfinite(r.x()) || !std::isfinite(r.y()) || !std::isfinite(r.width()) ||
        !std::isfinite(r.height()))
        return {};
    // Smallest whole-pixel rectangle holding `rect`, then cut to the image.
    const double x0 = std::max(std::floor(r.left()), 0.0);
    const double y0 = std::max(std::floor(r.top()), 0.0);
    const double x1 = std::min(std::ceil(r.right()), double(size.width()));
    const double y1 = std::min(std::ceil(r.bottom()), double(size.height()));
    if (x1 - x0 < 1 || y1 - y0 < 1)
        return {};
    return QRect(int(x0), int(y0), int(x1 - x0), int(y1 - y0));
}

QImage EffectCache::patch(ToolKind kind, const QRectF& rect, double intensity, const QImage& base)
{
    if (kind != ToolKind::blur && kind != ToolKind::pixelate)
        return {};
    const QRect d = clippedRect(rect, base.size());
    if (d.isEmpty())
        return {};
    const QString key = QStringLiteral("%1|%2|%3,%4,%5,%6|%7")
                            .arg(version_)
                            .arg(rawValue(kind))
                            .arg(d.x())
                            .arg(d.y())
                            .arg(d.width())
                            .arg(d.height())
                            .arg(intensity, 0, 'g', 17);
    if (auto it = entries_.find(key); it != entries_.end()) {
        lru_.splice(lru_.begin(), lru_, it->second);
        return it->second->image;
    }

    const QImage made = maker_ ? maker_(kind, base, d, intensity) : QImage();
    if (made.isNull())
        return {};
    ++computed_;
    insert(key, made);
    return made;
}

QImage EffectCache::makePatch(ToolKind kind, const QImage& base, const QRect& d, double intensity)
{
    if (kind == ToolKind::pixelate) {
        const double block = std::min(std::max(finiteOr(intensity, 2), 2.0), kMaxBlock);
        // The block grid starts at the patch's bottom-left corner.
        return pixelated(base, d, block, QPoint(d.x(), d.y() + d.height()));
    }
    const double sigma = std::min(std::max(finiteOr(intensity, 1), 1.0), kMaxSigma);
    return blurred(base, d, sigma);
}

void EffectCache::insert(const QString& key, const QImage& image)
{
    const qint64 size = image.sizeInBytes();
    if (size > maxBytes_)
        return;  // larger than the whole budget: used once, never kept
    while (!lru_.empty() && bytes_ + size > maxBytes_) {
        bytes_ -= lru_.back().bytes;
        entries_.erase(lru_.back().key);
        lru_.pop_back();
    }
    lru_.push_front(Entry{key, image, size});
    entries_[key] = lru_.begin();
    bytes_ += size;
}

void EffectCache::clear()
{
    lru_.clear();
    entries_.clear();
    bytes_ = 0;
}

}  // namespace kx
