#pragma once
// Clipboard data of a copied image whose PNG was encoded ahead (off the UI thread); the
// TIFF form is only made when a reader asks for it.

#include <QByteArray>
#include <QImage>
#include <QMimeData>

namespace kx {

class EncodedImageMime : public QMimeData {
    Q_OBJECT
public:
    EncodedImageMime(QByteArray png, QImage image, double scale);
    QStringList formats() const override;
    bool hasFormat(const QString& mimeType) const override;
    const QByteArray& png() const { return png_; }

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

private:
    QByteArray png_;
    QImage image_;
    double scale_;
    mutable QByteArray tiff_;
};

}  // namespace kx
