#pragma once
// The quick-preview card shown in the toast panel after a capture: a thumbnail, one line
// of information and the buttons Edit, Copy, Pin, Save and (when given) Upload.
//
// The card knows nothing about captures: it calls the closures it is given, on the main
// thread, and never closes itself; each action ends the card with Toast::dismissCard().
// Hovering the card holds its dismissal; leaving gives it 3 s.

#include "ui/FloatingSurface.h"

#include <QImage>
#include <functional>

class QVariantAnimation;

namespace kx {

class ChromeButton;

struct QuickPreviewActions {
    std::function<void()> edit;  // also a click on the thumbnail
    std::function<void()> copy;
    std::function<void()> pin;
    std::function<void()> save;
    std::function<void()> upload;  // empty: no Upload button
    std::function<void()> close;   // the close button over the thumbnail
};

class QuickPreviewView : public SurfaceWidget {
    Q_OBJECT
public:
    static constexpr qreal maxThumbWidth = 280;
    static constexpr qreal maxThumbHeight = 180;
    static constexpr double leaveGraceSeconds = 3.0;

    // `image` is shown at the largest size that fits 280 × 180 pt, its aspect kept.
    QuickPreviewView(const QImage& image, const QString& info, QuickPreviewActions actions,
                     QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QPainterPath surfacePath() const override;

    // The thumbnail's rectangle in the card.
    QRectF thumbnailRect() const;
    // The size an image of `size` is shown at.
    static QSizeF fittedThumbnail(const QSizeF& size);
    QList<ChromeButton*> buttons() const { return buttons_; }
    bool closeButtonVisible() const { return hoverImage_; }
    // Shows the card as while the pointer is over the thumbnail (for snapshots).
    void setThumbnailHovered(bool hovered);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void layoutChildren();

    QImage image_;
    QString info_;
    QuickPreviewActions actions_;
    QList<ChromeButton*> buttons_;
    QWidget* closeButton_ = nullptr;
    QVariantAnimation* closeFade_ = nullptr;
    bool hoverImage_ = false;
    bool pressedOnImage_ = false;
};

}  // namespace kx
