#include "ui/Brand.h"

#include "ui/Theme.h"

#include <QEvent>
#include <QFile>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QtMath>
#include <cmath>

namespace kx {

void Brand::paintStatusIcon(QPainter& p, const QRectF& r, const QColor& color, const QColor& halo)
{
    const qreal inset = 2.2, arm = 4.6;
    const qreal left = r.left() + inset, top = r.top() + inset;
    const qreal right = r.right() - inset, bottom = r.bottom() - inset;
    QPainterPath brackets;
    auto corner = [&](QPointF a, QPointF b, QPointF c) {
        brackets.moveTo(a);
        brackets.lineTo(b);
        brackets.lineTo(c);
    };
    corner({left + arm, top}, {left, top}, {left, top + arm});
    corner({right - arm, top}, {right, top}, {right, top + arm});
    corner({left + arm, bottom}, {left, bottom}, {left, bottom - arm});
    corner({right - arm, bottom}, {right, bottom}, {right, bottom - arm});

    // Four-pointed star: outer radius 4.6 at 22.5° + k·90°, inner 1.5 between, measured
    // counter-clockwise with y up, hence the negated sine in y-down coordinates.
    QPainterPath star;
    const QPointF c = r.center();
    for (int i = 0; i < 8; ++i) {
        const qreal radius = (i % 2 == 0) ? 4.6 : 1.5;
        const qreal a = qDegreesToRadians(22.5 + 45.0 * i);
        const QPointF v(c.x() + radius * std::cos(a), c.y() - radius * std::sin(a));
        if (i == 0)
            star.moveTo(v);
        else
            star.lineTo(v);
    }
    star.closeSubpath();

    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    if (halo.isValid()) {
        p.setPen(QPen(halo, 1.7 + 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(brackets);
        p.setPen(QPen(halo, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(star);
    }
    p.setPen(QPen(color, 1.7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(brackets);
    p.fillPath(star, color);
    p.restore();
}

QImage Brand::statusBarImage(bool forDarkPanel, qreal dpr)
{
    return statusBarImage(forDarkPanel ? StatusIconStyle::white : StatusIconStyle::black, dpr);
}

Brand::StatusIconStyle Brand::styleFor(const std::optional<QColor>& background)
{
    if (!background || !background->isValid())
        return StatusIconStyle::outlined;
    const QColor c = background->toRgb();
    const double luminance = 0.2126 * c.redF() + 0.7152 * c.greenF() + 0.0722 * c.blueF();
    return luminance < 0.5 ? StatusIconStyle::white : StatusIconStyle::black;
}

QIcon Brand::statusBarIcon(StatusIconStyle style)
{
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(statusBarImage(style, 1.0)));
    icon.addPixmap(QPixmap::fromImage(statusBarImage(style, 2.0)));
    return icon;
}

QImage Brand::statusBarImage(StatusIconStyle style, qreal dpr)
{
    QImage img(int(std::lround(statusIconWidth * dpr)), int(std::lround(statusIconHeight * dpr)),
               QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    img.setDevicePixelRatio(dpr);
    QPainter p(&img);
    const QRectF r(0, 0, statusIconWidth, statusIconHeight);
    switch (style) {
        case StatusIconStyle::black:
            paintStatusIcon(p, r, Qt::black);
            break;
        case StatusIconStyle::white:
            paintStatusIcon(p, r, Qt::white);
            break;
        case StatusIconStyle::outlined:
            paintStatusIcon(p, r, Qt::black, Qt::white);
            break;
    }
    return img;
}

QIcon Brand::statusBarIcon(bool forDarkPanel)
{
    return statusBarIcon(forDarkPanel ? StatusIconStyle::white : StatusIconStyle::black);
}

std::optional<QImage> Brand::logo(bool dark)
{
    const QString name =
        QStringLiteral("OV-logo-") + (dark ? QStringLiteral("white") : QStringLiteral("black"));
    const QString bundled = QStringLiteral(":/Brand/") + name + QStringLiteral(".png");
    if (QFile::exists(bundled)) {
        QImage img(bundled);
        if (!img.isNull())
            return img;
    }
    const QString root = qEnvironmentVariable("KAPTORIX_RESOURCES");
    if (!root.isEmpty()) {
        QImage img(root + QStringLiteral("/Brand/") + name + QStringLiteral(".png"));
        if (!img.isNull())
            return img;
    }
    return std::nullopt;
}

MakerLogo::MakerLogo(qreal height, QWidget* parent) : QWidget(parent), height_(height)
{
    reload();
}

void MakerLogo::setOpacity(qreal opacity)
{
    opacity_ = opacity;
    update();
}

QFont MakerLogo::wordmarkFont(qreal height)
{
    return Theme::font(height * 0.6, QFont::ExtraBold);  // heavy
}

void MakerLogo::reload()
{
    dark_ = Theme::isDark(palette());
    image_ = Brand::logo(dark_);
    updateGeometry();
    update();
}

QSize MakerLogo::sizeHint() const
{
    if (image_ && image_->height() > 0) {
        const qreal w = height_ * image_->width() / image_->height();
        return {int(std::ceil(w)), int(std::ceil(height_))};
    }
    const QFontMetricsF fm(wordmarkFont(height_));
    return {int(std::ceil(fm.horizontalAdvance(wordmark()))), int(std::ceil(std::max(height_, fm.height())))};
}

void MakerLogo::changeEvent(QEvent* event)
{
    if ((event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange) &&
        Theme::isDark(palette()) != dark_)
        reload();
    QWidget::changeEvent(event);
}

void MakerLogo::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setOpacity(opacity_);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.setRenderHint(QPainter::Antialiasing);
    if (image_ && image_->height() > 0) {
        const qreal h = std::min<qreal>(height_, height());
        const qreal w = h * image_->width() / image_->height();
        p.drawImage(QRectF((width() - w) / 2, (height() - h) / 2, w, h), *image_);
        return;
    }
    p.setFont(wordmarkFont(height_));
    p.setPen(Theme::primary(palette()));
    p.drawText(QRectF(rect()), Qt::AlignCenter, wordmark());
}

}  // namespace kx
