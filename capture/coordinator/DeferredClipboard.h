#pragma once
// Puts a capture on the clipboard at once and encodes it off the GUI thread: the clipboard
// is claimed before any encoding, and a client asking for image/png is served as soon as
// the one PNG encode is ready.
#include <QByteArray>
#include <QFuture>
#include <QImage>
#include <QMimeData>

namespace kx {

class DeferredImageMime : public QMimeData {
    Q_OBJECT
public:
    DeferredImageMime(const QImage& image, double scale, QFuture<QByteArray> png);

    QStringList formats() const override;
    bool hasFormat(const QString& mimeType) const override;
    QFuture<QByteArray> png() const { return png_; }

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

private:
    // The image itself, or once its PNG is ready, decoded from that.
    QImage image() const;

    mutable QImage image_;  // dropped once the PNG is ready: the clipboard keeps the small form
    double scale_;
    QFuture<QByteArray> png_;
    mutable QByteArray tiff_;
};

class DeferredClipboard {
public:
    // The PNG encode (DPI from `scale`), started on a worker.
    static QFuture<QByteArray> encodePng(const QImage& image, double scale);
    // Claims the clipboard for the image now and serves `png` (an encode of it already
    // started) or, when that is a default future, an encode started here; returns the encode.
    static QFuture<QByteArray> copy(const QImage& image, double scale, QFuture<QByteArray> png = {});
};

}  // namespace kx
