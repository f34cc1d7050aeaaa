#include "library/history/FilterChip.h"

#include "library/history/HistoryMotion.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QPainter>
#include <QVariantAnimation>
#include <algorithm>

namespace kx {

namespace {

QColor mix(const QColor& a, const QColor& b, double t)
{
    t = std::clamp(t, 0.0, 1.0);
    return QColor::fromRgbF(
        float(a.redF() + (b.redF() - a.redF()) * t), float(a.greenF() + (b.greenF() - a.greenF()) * t),
        float(a.blueF() + (b.blueF() - a.blueF()) * t), float(a.alphaF() + (b.alphaF() - a.alphaF()) * t));
}

}  // namespace

FilterChip::FilterChip(const QString& title, const QString& symbol, QWidget* parent)
    : QPushButton(title, parent)
{
    setCheckable(true);
    setFlat(true);
    setFixedHeight(26);
    setFont(Theme::font(12, QFont::Medium));
    // Text and symbol white while on, as the capsule turns to the accent colour.
    QIcon icon;
    const QIcon off = Symbols::icon(symbol, Theme::primary(parent->palette(), 0.75), 12);
    const QIcon on = Symbols::icon(symbol, Qt::white, 12);
    for (const QSize size : {QSize(11, 11), QSize(22, 22)}) {
        icon.addPixmap(off.pixmap(size), QIcon::Normal, QIcon::Off);
        icon.addPixmap(on.pixmap(size), QIcon::Normal, QIcon::On);
    }
    setIcon(icon);
    setIconSize(QSize(11, 11));
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    spring_ = new QVariantAnimation(this);
    spring_->setDuration(motion::chipSpringMs());
    spring_->setEasingCurve(motion::chipSpring());
    connect(spring_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        level_ = v.toDouble();
        update();
    });
    connect(this, &QAbstractButton::toggled, this, &FilterChip::springTo);
}

QSize FilterChip::sizeHint() const
{
    // 10 pt each side of the symbol, a 5 pt gap and the title.
    return QSize(10 + 11 + 5 + QFontMetrics(font()).horizontalAdvance(text()) + 1 + 10, 26);
}

void FilterChip::springTo(bool on)
{
    spring_->stop();
    // A hidden chip has nothing to show moving.
    if (!isVisible()) {
        level_ = on ? 1 : 0;
        update();
        return;
    }
    spring_->setStartValue(level_);
    spring_->setEndValue(on ? 1.0 : 0.0);
    spring_->start();
}

void FilterChip::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = rect();
    const QColor accent = Theme::accent(palette());
    if (level_ > 0) {
        QColor fill = accent;
        fill.setAlphaF(float(std::clamp(level_, 0.0, 1.0)));
        p.setPen(Qt::NoPen);
        p.setBrush(fill);
        p.drawRoundedRect(r, r.height() / 2, r.height() / 2);
    }
    const QColor ink = mix(Theme::primary(palette(), 0.75), Qt::white, level_);
    const QFontMetricsF fm(font());
    const double textW = fm.horizontalAdvance(text());
    const double contentW = 11 + 5 + textW;
    double x = (r.width() - contentW) / 2;
    const QRectF iconRect(x, (r.height() - 11) / 2, 11, 11);
    // The symbol's two colourings cross-fade with the capsule.
    const double on = std::clamp(level_, 0.0, 1.0);
    p.setOpacity(1 - on);
    icon().paint(&p, iconRect.toAlignedRect(), Qt::AlignCenter, QIcon::Normal, QIcon::Off);
    p.setOpacity(on);
    icon().paint(&p, iconRect.toAlignedRect(), Qt::AlignCenter, QIcon::Normal, QIcon::On);
    p.setOpacity(1);
    x += 11 + 5;
    p.setPen(ink);
    p.setFont(font());
    p.drawText(QRectF(x, 0, textW + 1, r.height()), Qt::AlignLeft | Qt::AlignVCenter, text());
}

}  // namespace kx
