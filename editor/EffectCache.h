#pragma once
// Blur and pixelation patches of one document's base image, computed once per
// (base version, kind, clipped rectangle, strength) and reused on every redraw.
// Bounded in bytes, least recently used patches go first.

#include "editor/ToolKind.h"

#include <QImage>
#include <QRect>
#include <QString>
#include <functional>
#include <list>
#include <unordered_map>

namespace kx {

class EffectCache {
public:
    static constexpr qint64 kDefaultMaxBytes = 256ll * 1024 * 1024;

    explicit EffectCache(qint64 maxBytes = kDefaultMaxBytes);

    // Computes one patch of `area` (already inside the image); the default runs the blur and
    // pixelation kernels. A null result means the patch could not be made.
    using Maker =
        std::function<QImage(ToolKind kind, const QImage& base, const QRect& area, double intensity)>;
    void setMaker(Maker maker) { maker_ = std::move(maker); }
    static QImage makePatch(ToolKind kind, const QImage& base, const QRect& area, double intensity);

    // The blurred or pixelated copy of `rect` (image pixels) of `base`, sized to the part of
    // the rectangle inside the image. Null when that part is empty, the kind is no effect,
    // or the patch could not be made.
    QImage patch(ToolKind kind, const QRectF& rect, double intensity, const QImage& base);

    // The whole-pixel part of `rect` that lies inside an image of `size`.
    static QRect clippedRect(const QRectF& rect, const QSize& size);

    // Raised by the document whenever it replaces the base image, so patches of an earlier
    // base are never found again.
    int version() const { return version_; }
    void bumpVersion() { ++version_; }

    qint64 maxBytes() const { return maxBytes_; }
    qint64 bytes() const { return bytes_; }
    int count() const { return int(entries_.size()); }
    // How many patches were computed (not found) since construction.
    int computed() const { return computed_; }
    void clear();

private:
    struct Entry {
        QString key;
        QImage image;
        qint64 bytes = 0;
    };
    void insert(const QString& key, const QImage& image);

    Maker maker_ = &EffectCache::makePatch;
    qint64 maxBytes_;
    qint64 bytes_ = 0;
    int version_ = 0;
    int computed_ = 0;
    std::list<Entry> lru_;  // front = most recently used
    std::unordered_map<QString, std::list<Entry>::iterator> entries_;
};

}  // namespace kx
