#include "ui/ToastView.h"

#include "ui/Symbols.h"
#include "ui/TextBlock.h"
#include "ui/Theme.h"

#include <QPainter>
#include <cmath>

namespace kx {

namespace {

constexpr qreal kIcon = 34, kSpacing = 12, kLineGap = 2, kTrailingText = 4, kMaxWidth = 360;
constexpr qreal kPadLeading = 12, kPadTrailing = 16, kPadV = 10, kOuter = 14, kRadius = 20;

QFont titleFont()
{
    return Theme::font(13, QFont::DemiBold);
}
QFont subtitleFont()
{
    return Theme::font(11.5, QFont::Normal);
}

}  // namespace

ToastView::ToastView(const QString& title, const QString& subtitle, const QString& symbol, QWidget* parent)
    : SurfaceWidget(parent), title_(title), subtitle_(subtitle), symbol_(symbol)
{
}

bool ToastView::isWarningSymbol(const QString& symbol)
{
    return symbol.contains(QStringLiteral("exclamation"));
}

QColor ToastView::tintFor(const QString& symbol)
{
    if (isWarningSymbol(symbol))
        return Theme::systemOrange();
    if (symbol == QStringLiteral("icloud.and.arrow.up"))
        return Theme::systemBlue();
    return Theme::systemGreen();
}

bool ToastView::showsWhole(const QString& title, const QString& subtitle)
{
    const qreal textMax = kMaxWidth - kIcon - kSpacing - kTrailingText;
    return TextBlock::lines(title, titleFont(), textMax, 0).size() <= 2 &&
           TextBlock::lines(subtitle, subtitleFont(), textMax, 0).size() <= 3;
}

ToastView::Layout ToastView::layout() const
{
    const qreal textMax = kMaxWidth - kIcon - kSpacing - kTrailingText;
    Layout l;
    l.title = TextBlock::measure(title_, titleFont(), textMax, 2);
    if (!subtitle_.isEmpty())
        l.subtitle = TextBlock::measure(subtitle_, subtitleFont(), textMax, 3);
    const qreal textW = std::max(l.title.width(), l.subtitle.width());
    const qreal textH = l.title.height() + (subtitle_.isEmpty() ? 0 : kLineGap + l.subtitle.height());
    l.content = QSizeF(kIcon + kSpacing + textW + kTrailingText, std::max(kIcon, textH));
    return l;
}

QSize ToastView::sizeHint() const
{
    const QSizeF c = layout().content;
    return QSize(int(std::ceil(c.width() + kPadLeading + kPadTrailing + 2 * kOuter)),
                 int(std::ceil(c.height() + 2 * kPadV + 2 * kOuter)));
}

QPainterPath ToastView::surfacePath() const
{
    return roundedRect(QRectF(rect()).adjusted(kOuter, kOuter, -kOuter, -kOuter), kRadius);
}

void ToastView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    paintFloatingSurface(p, surfacePath(), castsShadow(), palette());

    const Layout l = layout();
    const QRectF content(kOuter + kPadLeading, kOuter + kPadV, l.content.width(), l.content.height());
    const QColor tint = tintFor(symbol_);
    const QRectF icon(content.left(), content.center().y() - kIcon / 2, kIcon, kIcon);
    p.setPen(Qt::NoPen);
    p.setBrush(withOpacity(tint, 0.16));
    p.drawEllipse(icon);
    Symbols::paintGlyph(p, icon.center(), 15, symbol_, tint, SymbolWeight::semibold);

    const qreal textH = l.title.height() + (subtitle_.isEmpty() ? 0 : kLineGap + l.subtitle.height());
    const qreal x = icon.right() + kSpacing;
    // Wrap at the same width as when measuring, so the lines are the same.
    const qreal textW = kMaxWidth - kIcon - kSpacing - kTrailingText;
    qreal y = content.center().y() - textH / 2;
    TextBlock::paint(p, QRectF(x, y, textW, l.title.height()), title_, titleFont(), Theme::primary(palette()),
                     2);
    if (!subtitle_.isEmpty()) {
        y += l.title.height() + kLineGap;
        TextBlock::paint(p, QRectF(x, y, textW, l.subtitle.height()), subtitle_, subtitleFont(),
                         Theme::secondary(palette()), 3);
    }
}

}  // namespace kx
