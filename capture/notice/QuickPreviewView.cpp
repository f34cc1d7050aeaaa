#include "capture/notice/QuickPreviewView.h"

#include "core/Localisation.h"
#include "ui/ChromeButton.h"
#include "ui/FloatingPanel.h"
#include "ui/HelpTip.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"
#include "ui/Toast.h"

#include <QAbstractButton>
#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QVariantAnimation>
#include <cmath>

namespace kx {

namespace {

constexpr qreal kOuter = 14, kPad = 12, kSpacing = 10, kRowSpacing = 4, kRadius = 22;
constexpr qreal kThumbRadius = 10, kCloseSize = 22, kCloseInset = 6;
const QSizeF kButtonLabel(48, 42);

QFont infoFont()
{
    return Theme::font(11, QFont::Medium);
}

// The round close button over the thumbnail's top-right corner.
class CloseDot : public QAbstractButton {
public:
    explicit CloseDot(QWidget* parent) : QAbstractButton(parent)
    {
        setFocusPolicy(Qt::NoFocus);
        setFixedSize(int(kCloseSize), int(kCloseSize));
    }
    void setOpacity(qreal opacity)
    {
        opacity_ = opacity;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (opacity_ <= 0)
            return;
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setOpacity(opacity_);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 153));
        p.drawEllipse(QRectF(rect()));
        Symbols::paintGlyph(p, QRectF(rect()).center(), 9.5, "xmark"_sym, Qt::white, SymbolWeight::bold);
    }

private:
    qreal opacity_ = 0;
};

qreal buttonWidth()
{
    return kButtonLabel.width() + 2 * 10;  // the style's horizontal padding
}

}  // namespace

QuickPreviewView::QuickPreviewView(const QImage& image, const QString& info, QuickPreviewActions actions,
                                   QWidget* parent)
    : SurfaceWidget(parent), image_(image), info_(info), actions_(std::move(actions))
{
    setMouseTracking(true);
    struct ButtonDef {
        QString symbol, caption, tip;
        std::function<void()> action;
        bool prominent;
    };
    QList<ButtonDef> buttons{
        // The caption in the button's width; the tip says it whole.
        {"pencil.and.outline"_sym, kx::tr("Edit", "Szerkeszt", "Bearbeiten"),
         kx::tr("Edit", "Szerkesztés", "Bearbeiten"), actions_.edit, true},
        {"doc.on.doc"_sym, kx::tr("Copy", "Másolás", "Kopieren"), kx::tr("Copy", "Másolás", "Kopieren"),
         actions_.copy, false},
        {"pin"_sym, kx::tr("Pin", "Kitűzés", "Anheften"), kx::tr("Pin", "Kitűzés", "Anheften"), actions_.pin,
         false},
        {"square.and.arrow.down"_sym, kx::tr("Save", "Mentés", "Sichern"),
         kx::tr("Save", "Mentés", "Sichern"), actions_.save, false},
    };
    if (actions_.upload)
        buttons.append(
            {"icloud.and.arrow.up"_sym, kx::tr("Upload", "Feltöltés", "Hochladen"),
             kx::tr("Upload to your server", "Feltöltés a szerveredre", "Auf deinen Server hochladen"),
             actions_.upload, false});
    for (const ButtonDef& s : buttons) {
        ChromeButtonStyle style{false, s.prominent, 42, 12, false};
        auto* b = new ChromeButton(s.symbol, s.caption, style, s.action, this);
        b->setLabelLayout(ChromeButton::LabelLayout::stacked, 3);
        b->setSymbolFont(14, SymbolWeight::medium);
        b->setTitleFont(10, QFont::Medium);
        b->setLabelFrame(kButtonLabel);
        helpTip(b, s.tip);
        buttons_ << b;
    }

    auto* close = new CloseDot(this);
    closeButton_ = close;
    helpTip(close, kx::tr("Close", "Bezárás", "Schließen"));
    connect(close, &QAbstractButton::clicked, this, [this] {
        if (actions_.close)
            actions_.close();
    });
    closeFade_ = new QVariantAnimation(this);
    closeFade_->setDuration(150);
    closeFade_->setEasingCurve(QEasingCurve::OutQuad);
    connect(closeFade_, &QVariantAnimation::valueChanged, close,
            [close](const QVariant& v) { close->setOpacity(v.toReal()); });
    layoutChildren();
}

QSizeF QuickPreviewView::fittedThumbnail(const QSizeF& size)
{
    if (size.width() <= 0 || size.height() <= 0)
        return {maxThumbWidth, maxThumbHeight};
    return size.scaled(QSizeF(maxThumbWidth, maxThumbHeight), Qt::KeepAspectRatio);
}

QSize QuickPreviewView::sizeHint() const
{
    const QSizeF thumb = fittedThumbnail(image_.deviceIndependentSize());
    const QFontMetricsF fm(infoFont());
    const qreal rowW =
        buttons_.size() * buttonWidth() + std::max<qsizetype>(0, buttons_.size() - 1) * kRowSpacing;
    const qreal w = std::max({thumb.width(), std::ceil(fm.horizontalAdvance(info_)), rowW});
    const qreal h = thumb.height() + kSpacing + std::ceil(fm.height()) + kSpacing + kButtonLabel.height();
    return QSize(int(std::ceil(w + 2 * (kPad + kOuter))), int(std::ceil(h + 2 * (kPad + kOuter))));
}

QPainterPath QuickPreviewView::surfacePath() const
{
    return roundedRect(QRectF(rect()).adjusted(kOuter, kOuter, -kOuter, -kOuter), kRadius);
}

QRectF QuickPreviewView::thumbnailRect() const
{
    const QSizeF thumb = fittedThumbnail(image_.deviceIndependentSize());
    return {(width() - thumb.width()) / 2, kOuter + kPad, thumb.width(), thumb.height()};
}

void QuickPreviewView::layoutChildren()
{
    const QSize size = sizeHint();
    const QRectF thumb = thumbnailRect();
    closeButton_->move(int(std::lround(thumb.right() - kCloseInset - kCloseSize)),
                       int(std::lround(thumb.top() + kCloseInset)));
    const qreal rowW = buttons_.size() * buttonWidth() + (buttons_.size() - 1) * kRowSpacing;
    const qreal rowY = size.height() - kOuter - kPad - kButtonLabel.height();
    qreal x = (width() > 0 ? width() : size.width()) / 2.0 - rowW / 2;
    for (ChromeButton* b : buttons_) {
        b->setGeometry(int(std::lround(x)), int(std::lround(rowY)), int(buttonWidth()),
                       int(kButtonLabel.height()));
        x += buttonWidth() + kRowSpacing;
    }
}

void QuickPreviewView::resizeEvent(QResizeEvent* event)
{
    SurfaceWidget::resizeEvent(event);
    layoutChildren();
}

void QuickPreviewView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    paintFloatingSurface(p, surfacePath(), castsShadow(), palette());

    const QRectF thumb = thumbnailRect();
    const QPainterPath shape = roundedRect(thumb, kThumbRadius);
    paintShadow(p, shape, 0.18, 6, QPointF(0, 2));
    p.save();
    p.setClipPath(shape);
    p.fillRect(thumb, Theme::canvas(palette()));
    p.drawImage(thumb, image_);
    p.setPen(QPen(Theme::primary(palette(), 0.14), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawPath(shape);
    p.restore();

    const QFontMetricsF fm(infoFont());
    p.setFont(infoFont());
    p.setPen(Theme::secondary(palette()));
    p.drawText(QRectF(kOuter, thumb.bottom() + kSpacing, width() - 2 * kOuter, fm.height()), Qt::AlignCenter,
               info_);
}

void QuickPreviewView::setThumbnailHovered(bool hovered)
{
    if (hoverImage_ == hovered)
        return;
    hoverImage_ = hovered;
    closeFade_->stop();
    if (!isVisible()) {
        static_cast<CloseDot*>(closeButton_)->setOpacity(hovered ? 1 : 0);
        return;
    }
    closeFade_->setStartValue(hovered ? 0.0 : 1.0);
    closeFade_->setEndValue(hovered ? 1.0 : 0.0);
    closeFade_->start();
}

void QuickPreviewView::enterEvent(QEnterEvent* event)
{
    // The card holds its own dismissal only: a notice beside it keeps its time, and a card
    // already replaced changes nothing.
    Toast::schedule(window(), 0);
    SurfaceWidget::enterEvent(event);
}

void QuickPreviewView::leaveEvent(QEvent* event)
{
    setThumbnailHovered(false);
    Toast::schedule(window(), leaveGraceSeconds);
    SurfaceWidget::leaveEvent(event);
}

void QuickPreviewView::mouseMoveEvent(QMouseEvent* event)
{
    setThumbnailHovered(thumbnailRect().contains(event->position()));
    SurfaceWidget::mouseMoveEvent(event);
}

void QuickPreviewView::mousePressEvent(QMouseEvent* event)
{
    pressedOnImage_ = event->button() == Qt::LeftButton && thumbnailRect().contains(event->position());
    event->accept();
}

void QuickPreviewView::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second press of a double click is not a second click on the thumbnail.
    pressedOnImage_ = false;
    event->accept();
}

void QuickPreviewView::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click =
        pressedOnImage_ && event->button() == Qt::LeftButton && thumbnailRect().contains(event->position());
    pressedOnImage_ = false;
    if (click && actions_.edit)
        actions_.edit();
    event->accept();
}

}  // namespace kx
