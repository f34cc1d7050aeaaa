#include "editor/window/controls/StyleWidgets.h"

#include "ui/ChromeButton.h"
#include "ui/Spring.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QConicalGradient>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QSlider>
#include <QVariantAnimation>

namespace kx {

SwatchButton::SwatchButton(const RGBA& color, QWidget* parent)
    : QAbstractButton(parent), color_(color), spring_(new QVariantAnimation(this))
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    spring::SpringMotion<150, 85>::apply(spring_);
    connect(spring_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        scale_ = v.toDouble();
        update();
    });
}

void SwatchButton::setSelected(bool selected)
{
    if (selected_ == selected)
        return;
    selected_ = selected;
    const qreal target = selected ? kSelectedScale : 1.0;
    spring_->stop();
    if (isVisible()) {
        // From wherever it stands, so a quick change of mind turns it around smoothly.
        spring_->setStartValue(scale_);
        spring_->setEndValue(target);
        spring_->start();
    } else {
        scale_ = target;
    }
    update();
}

void SwatchButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF centre = QRectF(rect()).center();
    p.translate(centre);
    p.scale(scale_, scale_);
    const QRectF circle(-9, -9, 18, 18);
    p.setPen(Qt::NoPen);
    p.setBrush(color_.color());
    p.drawEllipse(circle);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Theme::primary(palette(), ringOpacity(color_)), 1));
    p.drawEllipse(circle.adjusted(0.5, 0.5, -0.5, -0.5));
    if (selected_) {
        // A 2 pt ring laid 3.5 pt outside the circle.
        p.setPen(QPen(Theme::accent(palette()), 2));
        p.drawEllipse(circle.adjusted(-3.5 + 1, -3.5 + 1, 3.5 - 1, 3.5 - 1));
    }
}

bool SwatchButton::hitButton(const QPoint& pos) const
{
    const QPointF d = QPointF(pos) - QRectF(rect()).center();
    return d.x() * d.x() + d.y() * d.y() <= 13.0 * 13.0;  // 4 pt beyond the circle
}

CustomColorWell::CustomColorWell(QWidget* parent) : QAbstractButton(parent)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
}

void CustomColorWell::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF centre = QRectF(rect()).center();
    const QRectF circle(centre - QPointF(9, 9), QSizeF(18, 18));
    QConicalGradient hue(centre, 0);
    const QColor stops[] = {Qt::red,  Qt::yellow,           Qt::green, Qt::cyan,
                            Qt::blue, QColor(175, 82, 222), Qt::red};
    for (int i = 0; i < 7; ++i)
        hue.setColorAt(i / 6.0, stops[i]);
    p.setPen(Qt::NoPen);
    p.setBrush(hue);
    p.drawEllipse(circle);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Theme::primary(palette(), 0.18), 1));
    p.drawEllipse(circle.adjusted(0.5, 0.5, -0.5, -0.5));
}

ColorFoldButton::ColorFoldButton(QWidget* parent) : QAbstractButton(parent)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
}

void ColorFoldButton::setColor(const RGBA& color)
{
    if (color == color_)
        return;
    color_ = color;
    update();
}

void ColorFoldButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal m = SwatchButton::kMargin;
    const QRectF circle(m, (height() - 18) / 2.0, 18, 18);
    p.setPen(Qt::NoPen);
    p.setBrush(color_.color());
    p.drawEllipse(circle);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Theme::primary(palette(), SwatchButton::ringOpacity(color_)), 1));
    p.drawEllipse(circle.adjusted(0.5, 0.5, -0.5, -0.5));
    Symbols::paintGlyph(p, QPointF(circle.right() + 2 + 5, circle.center().y()), 8, "chevron.down"_sym,
                        Theme::secondary(palette()), SymbolWeight::semibold);
}

SymbolLabel::SymbolLabel(const QString& symbol, qreal points, QWidget* parent)
    : QWidget(parent), symbol_(symbol), points_(points)
{
}

QSize SymbolLabel::sizeHint() const
{
    const int side = int(std::ceil(Symbols::glyphSide(points_)));
    return {side, side};
}

void SymbolLabel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    Symbols::paintGlyph(p, QRectF(rect()).center(), points_, symbol_, Theme::secondary(palette()));
}

namespace {

// A slider that asks for its width and takes down to SliderGroup::kMinSlider.
class NarrowingSlider : public QSlider {
public:
    NarrowingSlider(int width, QWidget* parent) : QSlider(Qt::Horizontal, parent), width_(width)
    {
        setMinimumWidth(std::min(width, SliderGroup::kMinSlider));
        setMaximumWidth(width);
    }
    QSize sizeHint() const override { return {width_, QSlider::sizeHint().height()}; }
    QSize minimumSizeHint() const override { return {minimumWidth(), QSlider::minimumSizeHint().height()}; }

private:
    int width_;
};

}  // namespace

SliderGroup::SliderGroup(const QString& symbol, int sliderWidth, bool withReadout, QWidget* parent)
    : QWidget(parent)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    row->addWidget(new SymbolLabel(symbol, 12, this));
    slider_ = new NarrowingSlider(sliderWidth, this);
    slider_->setRange(0, 1000);
    slider_->setAttribute(Qt::WA_MacSmallSize);
    slider_->setFocusPolicy(Qt::NoFocus);  // keys stay with the canvas
    row->addWidget(slider_);
    if (withReadout) {
        readout_ = new QLabel(this);
        readout_->setFont(Theme::monoFont(11));
        readout_->setMinimumWidth(18);
        readout_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        QPalette pal = readout_->palette();
        pal.setColor(QPalette::WindowText, Theme::secondary(palette()));
        readout_->setPalette(pal);
        row->addWidget(readout_);
    }
}

ChromeButton* smallChromeButton(const QString& symbol, QWidget* parent, std::function<void()> action)
{
    auto* b = new ChromeButton(symbol, QString(), ChromeButtonStyle{false, false, 26, 7, true},
                               std::move(action), parent);
    b->setSymbolFont(12, SymbolWeight::regular);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

SwitchToggle::SwitchToggle(QWidget* parent) : QAbstractButton(parent)
{
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
}

void SwitchToggle::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF track = QRectF(rect()).adjusted(1, 1, -1, -1);
    p.setPen(Qt::NoPen);
    p.setBrush(isChecked() ? Theme::accent(palette()) : Theme::primary(palette(), 0.18));
    p.drawRoundedRect(track, track.height() / 2, track.height() / 2);
    const qreal knob = track.height() - 4;
    const qreal x = isChecked() ? track.right() - 2 - knob : track.left() + 2;
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(x, track.top() + 2, knob, knob));
}

}  // namespace kx
