#include "ui/ToastView.h"

#include "core/AtomicFile.h"
#include "core/Localisation.h"
#include "ui/Symbols.h"
#include "ui/TextBlock.h"
#include "ui/Theme.h"

#include <QPainter>
#include <cmath>

namespace kx {

namespace {

constexpr qreal kIcon = 34, kSpacing = 12, kLineGap = 2, kTrailingText = 4;
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
    const qreal textMax = textWidth;
    return TextBlock::lines(title, titleFont(), textMax, 0).size() <= 2 &&
           TextBlock::lines(subtitle, subtitleFont(), textMax, 0).size() <= 3;
}

QString ToastView::countedTitle(const QString& title, int count)
{
    if (count < 2)
        return title;
    return title + QStringLiteral(" – ") + kx::tr("%1 times", "%1 alkalommal", "%1-mal").arg(count);
}

void ToastView::setCount(int count)
{
    count_ = count;
    updateGeometry();
    update();
}

QString ToastView::shortName(const QString& name, int maxChars)
{
    if (name.size() <= maxChars)
        return name;
    const QString ellipsis = QStringLiteral("…");
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    // An extension worth keeping: short, and not the whole name.
    const QString ext = dot > 0 && name.size() - dot <= 8 ? name.mid(dot) : QString();
    const qsizetype room = std::max<qsizetype>(2, maxChars - ext.size() - ellipsis.size());
    const QString stem = name.left(name.size() - ext.size());
    const qsizetype front = (room + 1) / 2, back = room - front;
    return stem.left(front) + ellipsis + stem.right(back) + ext;
}

QString ToastView::shortPath(const QString& path, int maxChars)
{
    const QString shown = displayPath(path);
    if (shown.size() <= maxChars)
        return shown;
    const QChar slash = QLatin1Char('/');
    QStringList parts = shown.split(slash);
    const QString head = parts.size() > 2 ? parts.first() + slash + parts.at(1) : QString();
    QString tail = shortName(parts.takeLast(), maxChars - 2);
    const QString gap = QStringLiteral("…/");
    // Whole folders from the end while they fit beside the head.
    while (parts.size() > 2 &&
           head.size() + 1 + gap.size() + parts.last().size() + 1 + tail.size() <= maxChars)
        tail = parts.takeLast() + slash + tail;
    if (!head.isEmpty() && head.size() + 1 + gap.size() + tail.size() <= maxChars)
        return head + slash + gap + tail;
    return gap + tail;
}

QString ToastView::excerpt(const QString& text)
{
    return TextBlock::lines(text, subtitleFont(), textWidth, 3).join(QLatin1Char('\n'));
}

ToastView::Layout ToastView::layout() const
{
    const qreal textMax = textWidth;
    Layout l;
    l.title = TextBlock::measure(shownTitle(), titleFont(), textMax, 2);
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
    const qreal textW = textWidth;
    qreal y = content.center().y() - textH / 2;
    TextBlock::paint(p, QRectF(x, y, textW, l.title.height()), shownTitle(), titleFont(),
                     Theme::primary(palette()), 2);
    if (!subtitle_.isEmpty()) {
        y += l.title.height() + kLineGap;
        TextBlock::paint(p, QRectF(x, y, textW, l.subtitle.height()), subtitle_, subtitleFont(),
                         Theme::secondary(palette()), 3);
    }
}

}  // namespace kx
