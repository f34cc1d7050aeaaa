#include "editor/window/controls/BeautifyTiles.h"

#include "core/Localisation.h"
#include "editor/window/controls/Checker.h"
#include "editor/window/controls/FrameThumbs.h"
#include "ui/FloatingSurface.h"
#include "ui/HelpTip.h"
#include "ui/Theme.h"

#include <QPainter>
#include <QPainterPath>
#include <QVariantAnimation>

namespace kx {

PreviewBox::PreviewBox(QWidget* parent) : QWidget(parent), fade_(new QVariantAnimation(this))
{
    setFixedHeight(190);
    fade_->setDuration(kFadeMs);
    fade_->setEasingCurve(QEasingCurve::OutQuad);
    connect(fade_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        opacity_ = v.toDouble();
        update();
    });
}

void PreviewBox::setImage(const QImage& image, bool enabled)
{
    image_ = image;
    setDimmed(!enabled);
    update();
}

void PreviewBox::setDimmed(bool dimmed)
{
    const bool changed = dimmed_ != dimmed;
    dimmed_ = dimmed;
    const double target = targetOpacity();
    if (!isVisible()) {
        fade_->stop();
        opacity_ = target;
        update();
        return;
    }
    if (!changed)
        return;
    fade_->stop();
    fade_->setStartValue(opacity_);
    fade_->setEndValue(target);
    fade_->start();
}

void PreviewBox::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QPainterPath shape = roundedRect(QRectF(rect()), 10);
    p.setClipPath(shape);
    paintChecker(p, QRectF(rect()), 8, Theme::isDark(palette()));
    if (!image_.isNull()) {
        const QRectF room = QRectF(rect()).adjusted(8, 8, -8, -8);
        QSizeF size = QSizeF(image_.size()).scaled(room.size(), Qt::KeepAspectRatio);
        const QRectF target(room.center() - QPointF(size.width() / 2, size.height() / 2), size);
        p.setOpacity(opacity_);
        p.drawImage(target, image_);
        p.setOpacity(1);
    }
    p.setClipping(false);
    strokeInside(p, shape, Theme::primary(palette(), 0.12), 0.5);
}

EdgeTile::EdgeTile(BeautifySettings::Edge edge, QWidget* parent) : QAbstractButton(parent), edge_(edge)
{
    setCursor(Qt::PointingHandCursor);
    setObjectName(QStringLiteral("edge.") + rawValue(edge));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    helpTip(this, title(edge), FrameThumbs::detail(edge));
}

void EdgeTile::setSelected(bool selected)
{
    if (selected_ == selected)
        return;
    selected_ = selected;
    update();
}

void EdgeTile::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QPainterPath shape = roundedRect(QRectF(rect()), 9);
    p.fillPath(shape, selected_ ? Theme::accent(palette(), 0.14) : Theme::primary(palette(), 0.05));
    strokeInside(p, shape, selected_ ? Theme::accent(palette()) : Theme::primary(palette(), 0.08),
                 selected_ ? 2 : 0.5);

    const QImage& thumb = FrameThumbs::image(edge_);
    const QRectF room(4, 6, width() - 8, 38);
    const QSizeF size = QSizeF(thumb.size()).scaled(room.size(), Qt::KeepAspectRatio);
    p.drawImage(QRectF(room.center() - QPointF(size.width() / 2, size.height() / 2), size), thumb);

    QFont font = Theme::font(10, QFont::Medium);
    const QRectF textRect(4, 6 + 38 + 4, width() - 8, height() - (6 + 38 + 4) - 6);
    const QString text = title(edge_);
    // One line, shrinking to 0.8 of the size at most, then elided.
    for (qreal points = 10; points >= 8; points -= 0.5) {
        font = Theme::font(points, QFont::Medium);
        if (QFontMetricsF(font).horizontalAdvance(text) <= textRect.width())
            break;
    }
    p.setFont(font);
    p.setPen(Theme::primary(palette()));
    p.drawText(textRect, Qt::AlignHCenter | Qt::AlignTop,
               QFontMetricsF(font).elidedText(text, Qt::ElideRight, textRect.width()));
}

BackgroundSwatch::BackgroundSwatch(BeautifySettings::Background background, QWidget* parent)
    : QAbstractButton(parent), background_(background)
{
    setCursor(Qt::PointingHandCursor);
    setObjectName(QStringLiteral("background.") + rawValue(background));
    helpTip(this, background == BeautifySettings::Background::transparent
                      ? kx::tr("Transparent", "Átlátszó")
                      : kx::tr("Gradient background", "Színátmenetes háttér"));
}

void BackgroundSwatch::setSelected(bool selected)
{
    if (selected_ == selected)
        return;
    selected_ = selected;
    update();
}

void BackgroundSwatch::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(kMargin, kMargin, -kMargin, -kMargin);
    const QPainterPath shape = roundedRect(r, 8);
    if (background_ == BeautifySettings::Background::transparent) {
        p.save();
        p.setClipPath(shape);
        paintChecker(p, r, 5, Theme::isDark(palette()));
        p.restore();
    } else {
        const auto [start, end] = gradientColors(background_);
        QLinearGradient g(r.topLeft(), r.bottomRight());
        g.setColorAt(0, start);
        g.setColorAt(1, end);
        p.fillPath(shape, g);
    }
    strokeInside(p, shape, Theme::primary(palette(), 0.14), 0.5);
    if (selected_)
        strokeInside(p, roundedRect(r.adjusted(-kMargin, -kMargin, kMargin, kMargin), 8 + kMargin),
                     Theme::accent(palette()), 2);
}

}  // namespace kx
