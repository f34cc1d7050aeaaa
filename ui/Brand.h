#pragma once
// The program's marks: the status icon drawn in code (a viewfinder frame with a
// four-pointed star) and the maker's logo, with the "ORVELLE" wordmark when the logo files
// are absent.
//
// Linux trays do not tint template images, so the status icon comes in three variants:
// black strokes for light panels, white strokes for dark ones, and black strokes with a
// white outline for panels whose colour cannot be known (it reads on both).

#include <QIcon>
#include <QImage>
#include <QWidget>
#include <optional>

namespace kx {

class Brand {
public:
    static constexpr qreal statusIconWidth = 20;
    static constexpr qreal statusIconHeight = 18;

    enum class StatusIconStyle { black, white, outlined };
    // The status icon (20 × 18 pt, at ×1 and ×2) for a dark panel (white) or a light one.
    static QIcon statusBarIcon(bool forDarkPanel);
    static QIcon statusBarIcon(StatusIconStyle style);
    // The same drawn for one device pixel ratio.
    static QImage statusBarImage(bool forDarkPanel, qreal dpr);
    static QImage statusBarImage(StatusIconStyle style, qreal dpr);
    // The variant that reads on a panel of colour `background`; the outlined one when the
    // colour is unknown.
    static StatusIconStyle styleFor(const std::optional<QColor>& background);
    // Draws the mark into `rect`: brackets 2.2 pt inside every edge with 4.6 pt arms and
    // the star at the centre, whatever the rectangle's size. `halo`, when valid, is drawn
    // first as an outline 1 pt wide around every stroke.
    static void paintStatusIcon(QPainter& p, const QRectF& rect, const QColor& color,
                                const QColor& halo = QColor());

    // The logo image for a dark appearance (white logo) or a light one (black logo):
    // ":/Brand/OV-logo-<white|black>.png", else $KAPTORIX_RESOURCES/Brand/..., else none.
    // Read anew at each call.
    static std::optional<QImage> logo(bool dark);
};

// The maker's logo at a given height; follows the palette between the white and the
// black logo, and shows the wordmark (height × 0.6, heavy) when there is no logo file.
class MakerLogo : public QWidget {
public:
    explicit MakerLogo(qreal height, QWidget* parent = nullptr);
    void setOpacity(qreal opacity);
    bool showsWordmark() const { return !image_; }
    QSize sizeHint() const override;

    static QString wordmark() { return QStringLiteral("ORVELLE"); }
    static QFont wordmarkFont(qreal height);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void reload();

    qreal height_;
    qreal opacity_ = 1.0;
    bool dark_ = false;
    std::optional<QImage> image_;
};

}  // namespace kx
