#pragma once
// What the libheif module offers; core/HeifCodec.cpp opens it on first use.
#include <QByteArray>
#include <QImage>
#include <QList>
#include <QSize>
#include <optional>

namespace kx {

class HeifModule {
public:
    // HEVC-coded HEIF of the image; `exif` (a TIFF block, may be empty) attached to it.
    virtual std::optional<QByteArray> encode(const QImage& image, double quality, const QByteArray& exif) = 0;
    // The primary image, and each Exif block of it from its TIFF header on. An image declared
    // or decoded over `maxPixels`, or decoded larger than declared, is refused with its size
    // (0 × 0 when libheif's own limit refused it without telling the size).
    virtual std::optional<QImage> decode(const QByteArray& bytes, QList<QByteArray>* exif, qint64 maxPixels,
                                         QSize* refused) = 0;

protected:
    ~HeifModule() = default;
};

}  // namespace kx

#define KX_HEIF_MODULE_ENTRY "kx_heif_module"
extern "C" kx::HeifModule* kx_heif_module();
