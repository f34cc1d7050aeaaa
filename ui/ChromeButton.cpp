#include "ui/ChromeButton.h"

#include "ui/FloatingSurface.h"
#include "ui/HelpTip.h"
#include "ui/Theme.h"

#include <QEnterEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <QVariantAnimation>
#include <cmath>

namespace kx {

QColor ChromeButtonStyle::background(Interaction state, const QColor& accent, const QColor& primary) const
{
    if (prominent) {
        const qreal o = state == Interaction::pressed ? 0.78 : state == Interaction::hovered ? 0.92 : 1.0;
        return withOpacity(accent, o);
    }
    if (selected)
        return withOpacity(accent, state == Interaction::pressed ? 0.8 : 1.0);
    switch (state) {
        case Interaction::pressed:
            return withOpacity(primary, 0.16);
        case Interaction::hovered:
            return withOpacity(primary, 0.09);
        case Interaction::rest:
            break;
    }
    return QColor(Qt::transparent);
}

QColor ChromeButtonStyle::foreground(const QColor& primary) const
{
    return (prominent || selected) ? QColor(Qt::white) : withOpacity(primary, 0.86);
}

ChromeButton::ChromeButton(const QString& symbol, const QString& title, const QString& help,
                           const QString& detail, const QString& key, bool selected, bool prominent,
                           std::function<void()> action, QWidget* parent)
    : QAbstractButton(parent), symbol_(symbol), title_(title)
{
    style_ = ChromeButtonStyle{selected, prominent, 30, 9, title.isEmpty()};
    init(std::move(action));
    helpTip(this, help, detail, key);
}

ChromeButton::ChromeButton(const QString& symbol, const QString& title, const ChromeButtonStyle& style,
                           std::function<void()> action, QWidget* parent)
    : QAbstractButton(parent), symbol_(symbol), title_(title), style_(style)
{
    init(std::move(action));
}

void ChromeButton::init(std::function<void()> action)
{
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
    setCursor(Qt::ArrowCursor);
    if (action)
        connect(this, &QAbstractButton::clicked, this, [action = std::move(action)] { action(); });
    connect(this, &QAbstractButton::pressed, this, [this] { update(); });
    connect(this, &QAbstractButton::released, this, [this] { update(); });
    fade_ = new QVariantAnimation(this);
    fade_->setDuration(120);
    fade_->setEasingCurve(QEasingCurve::OutCubic);
    connect(fade_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        shownBackground_ = v.value<QColor>();
        update();
    });
    shownBackground_ = targetBackground();
}

void ChromeButton::setChromeStyle(const ChromeButtonStyle& style)
{
    style_ = style;
    updateGeometry();
    animateBackground();
}

void ChromeButton::setSelected(bool selected)
{
    if (style_.selected == selected)
        return;
    style_.selected = selected;
    animateBackground();
}

void ChromeButton::setTitle(const QString& title)
{
    title_ = title;
    updateGeometry();
    update();
}

void ChromeButton::setLabelLayout(LabelLayout layout, qreal spacing)
{
    layout_ = layout;
    spacing_ = spacing;
    updateGeometry();
}

void ChromeButton::setSymbolFont(qreal points, SymbolWeight weight)
{
    symbolPoints_ = points;
    symbolWeight_ = weight;
    updateGeometry();
}

void ChromeButton::setTitleFont(qreal points, QFont::Weight weight)
{
    titlePoints_ = points;
    titleWeight_ = weight;
    updateGeometry();
}

void ChromeButton::setLabelFrame(const QSizeF& frame)
{
    labelFrame_ = frame;
    updateGeometry();
}

ChromeButtonStyle::Interaction ChromeButton::interaction() const
{
    if (isDown())
        return ChromeButtonStyle::Interaction::pressed;
    return hovered_ ? ChromeButtonStyle::Interaction::hovered : ChromeButtonStyle::Interaction::rest;
}

QSizeF ChromeButton::labelSize() const
{
    if (!labelFrame_.isEmpty())
        return labelFrame_;
    const qreal sym = symbol_.isEmpty() ? 0 : Symbols::glyphSide(symbolPoints_);
    if (title_.isEmpty())
        return {sym, sym};
    const QFontMetricsF fm(Theme::font(titlePoints_, titleWeight_));
    const qreal tw = std::ceil(fm.horizontalAdvance(title_)), th = std::ceil(fm.height());
    const qreal gap = sym > 0 ? spacing_ : 0;
    if (layout_ == LabelLayout::stacked)
        return {std::max(sym, tw), sym + gap + th};
    return {sym + gap + tw, std::max(sym, th)};
}

QSize ChromeButton::sizeHint() const
{
    const QSizeF label = labelSize();
    const qreal padding = style_.square ? 0 : 10;
    qreal w = label.width() + 2 * padding;
    if (style_.square)
        w = std::max(w, style_.size);
    const qreal h = std::max(label.height(), style_.size);
    return QSize(int(std::ceil(w)), int(std::ceil(h)));
}

QColor ChromeButton::targetBackground() const
{
    return style_.background(interaction(), Theme::accent(palette()), Theme::primary(palette()));
}

void ChromeButton::animateBackground()
{
    // Hover and selection changes ease out over 0.12 s; pressing shows at once.
    const QColor target = targetBackground();
    fade_->stop();
    if (isDown() || !isVisible()) {
        shownBackground_ = target;
        update();
        return;
    }
    QColor from = shownBackground_;
    if (from.alpha() == 0)
        from = QColor(target.red(), target.green(), target.blue(), 0);
    fade_->setStartValue(from);
    fade_->setEndValue(target);
    fade_->start();
}

void ChromeButton::enterEvent(QEnterEvent* event)
{
    hovered_ = true;
    animateBackground();
    QAbstractButton::enterEvent(event);
}

void ChromeButton::leaveEvent(QEvent* event)
{
    hovered_ = false;
    animateBackground();
    QAbstractButton::leaveEvent(event);
}

void ChromeButton::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::EnabledChange) {
        fade_->stop();
        shownBackground_ = targetBackground();
        update();
    }
    QAbstractButton::changeEvent(event);
}

void ChromeButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    if (!isEnabled())
        p.setOpacity(0.32);
    const QRectF r = QRectF(rect());
    if (isDown()) {
        p.translate(r.center());
        p.scale(0.97, 0.97);
        p.translate(-r.center());
    }
    const QColor bg = isDown() ? targetBackground() : shownBackground_;
    if (bg.alpha() > 0)
        p.fillPath(roundedRect(r, style_.radius), bg);

    const QColor fg = style_.foreground(Theme::primary(palette()));
    const QSizeF label = labelSize();
    const QRectF box(r.center().x() - label.width() / 2, r.center().y() - label.height() / 2, label.width(),
                     label.height());
    const qreal sym = symbol_.isEmpty() ? 0 : Symbols::glyphSide(symbolPoints_);
    const QFont font = Theme::font(titlePoints_, titleWeight_);
    const QFontMetricsF fm(font);
    p.setFont(font);
    p.setPen(fg);
    if (title_.isEmpty()) {
        if (sym > 0)
            Symbols::paintGlyph(p, box.center(), symbolPoints_, symbol_, fg, symbolWeight_);
        return;
    }
    const qreal gap = sym > 0 ? spacing_ : 0;
    if (layout_ == LabelLayout::stacked) {
        const qreal th = fm.height();
        const qreal top = box.center().y() - (sym + gap + th) / 2;
        if (sym > 0)
            Symbols::paintGlyph(p, QPointF(box.center().x(), top + sym / 2), symbolPoints_, symbol_, fg,
                                symbolWeight_);
        p.drawText(QRectF(box.left() - 4, top + sym + gap, box.width() + 8, th), Qt::AlignCenter, title_);
        return;
    }
    const qreal tw = fm.horizontalAdvance(title_);
    const qreal left = box.center().x() - (sym + gap + tw) / 2;
    if (sym > 0)
        Symbols::paintGlyph(p, QPointF(left + sym / 2, box.center().y()), symbolPoints_, symbol_, fg,
                            symbolWeight_);
    p.drawText(QRectF(left + sym + gap, box.top(), tw + 2, box.height()), Qt::AlignLeft | Qt::AlignVCenter,
               title_);
}

}  // namespace kx
