#include "ui/TipBubble.h"

#include "ui/ChromeParts.h"
#include "ui/Theme.h"

#include <QFontMetricsF>
#include <QPainter>
#include <cmath>

namespace kx {

namespace {

constexpr qreal kPadH = 12, kPadV = 9, kOuter = 10, kRadius = 12, kGap = 3, kKeyGap = 8;

QFont titleFont()
{
    return Theme::font(12.5, QFont::DemiBold);
}
QFont detailFont()
{
    return Theme::font(11.5, QFont::Normal);
}

}  // namespace

TipBubble::TipBubble(const QString& title, const QString& detail, const QString& key, QWidget* parent)
    : SurfaceWidget(parent), title_(title), detail_(detail), key_(key)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

TipBubble::Layout TipBubble::layout() const
{
    const QFontMetricsF tf(titleFont());
    qreal rowW = std::ceil(tf.horizontalAdvance(title_));
    qreal rowH = std::ceil(tf.height());
    if (!key_.isEmpty()) {
        const QSizeF cap = KeyCap::sizeFor(key_);
        rowW += kKeyGap + cap.width();
        rowH = std::max(rowH, cap.height());
    }
    Layout l{{std::min(rowW, maxTextWidth), rowH}, rowH, 0, 0};
    if (!detail_.isEmpty()) {
        const QFontMetricsF df(detailFont());
        const qreal natural = std::ceil(df.horizontalAdvance(detail_));
        l.text.setWidth(std::min(maxTextWidth, std::max(l.text.width(), natural)));
        const QRectF wrapped =
            df.boundingRect(QRectF(0, 0, l.text.width(), 10000), Qt::TextWordWrap | Qt::AlignLeft, detail_);
        l.detailWidth = l.text.width();
        l.detailHeight = std::ceil(wrapped.height());
        l.text.setHeight(rowH + kGap + l.detailHeight);
    }
    return l;
}

QSize TipBubble::sizeHint() const
{
    const QSizeF t = layout().text;
    return QSize(int(std::ceil(t.width() + 2 * (kPadH + kOuter))),
                 int(std::ceil(t.height() + 2 * (kPadV + kOuter))));
}

QPainterPath TipBubble::surfacePath() const
{
    return roundedRect(QRectF(rect()).adjusted(kOuter, kOuter, -kOuter, -kOuter), kRadius);
}

void TipBubble::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    paintFloatingSurface(p, surfacePath(), castsShadow(), palette());

    const Layout l = layout();
    const QPointF origin(kOuter + kPadH, kOuter + kPadV);
    const QFontMetricsF tf(titleFont());
    p.setFont(titleFont());
    p.setPen(Theme::primary(palette()));
    const qreal keyW = key_.isEmpty() ? 0 : KeyCap::sizeFor(key_).width() + kKeyGap;
    const qreal titleW = std::max<qreal>(0, l.text.width() - keyW);
    const QString title = tf.elidedText(title_, Qt::ElideRight, titleW + 1);
    p.drawText(QRectF(origin.x(), origin.y(), titleW + 1, l.titleHeight), Qt::AlignLeft | Qt::AlignVCenter,
               title);
    if (!key_.isEmpty()) {
        const QSizeF cap = KeyCap::sizeFor(key_);
        const qreal x = origin.x() + std::min(std::ceil(tf.horizontalAdvance(title)), titleW) + kKeyGap;
        KeyCap::paint(p, QRectF(QPointF(x, origin.y() + (l.titleHeight - cap.height()) / 2), cap), key_,
                      palette());
    }
    if (!detail_.isEmpty()) {
        p.setFont(detailFont());
        p.setPen(Theme::secondary(palette()));
        p.drawText(QRectF(origin.x(), origin.y() + l.titleHeight + kGap, l.detailWidth, l.detailHeight),
                   Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, detail_);
    }
}

}  // namespace kx
