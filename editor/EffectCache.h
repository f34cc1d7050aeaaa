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
    void setMaker(Maker maker) { m_maker = std::move(maker); }
    static QImage makePatch(ToolKind kind, const QImage& base, const QRect& area, double intensity);

    // The blurred or pixelated copy of `rect` (image pixels) of `base`, sized to the part of
    // the rectangle inside the image. Null when that part is empty, the kind is no effect,
    // or the patch could not be made.
    QImage patch(ToolKind kind, const QRectF& rect, double intensity, const QImage& base);

    // The whole-pixel part of `rect` that lies inside an image of `size`.
    static QRect clippedRect(const QRectF& rect, const QSize& size);

    // Raised by the document whenever it replaces the base image, so patches of an earlier
    // base are never found again.
    int version() const { return m_version; }
    void bumpVersion() { ++m_version; }

    qint64 maxBytes() const { return m_maxBytes; }
    qint64 bytes() const { return m_bytes; }
    int count() const { return int(m_entries.size()); }
    // How many patches were computed (not found) since construction.
    int computed() const { return m_computed; }
    void clear();

private:
    struct Entry {
        QString key;
        QImage image;
        qint64 bytes = 0;
    };
    void insert(const QString& key, const QImage& image);

    Maker m_maker = &EffectCache::makePatch;
    qint64 m_maxBytes;
    qint64 m_bytes = 0;
    int m_version = 0;
    int m_computed = 0;
    std::list<Entry> m_lru;  // front = most recently used
    std::unordered_map<QString, std::list<Entry>::iterator> m_entries;
};

}  // namespace kx
