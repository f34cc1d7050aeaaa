#include "editor/window/controls/InspectorBar.h"

#include "core/Localisation.h"
#include "editor/document/EditorDocument.h"
#include "editor/window/Popover.h"
#include "editor/window/controls/ColorWindow.h"
#include "editor/window/controls/StyleWidgets.h"
#include "ui/ChromeButton.h"
#include "ui/ChromeParts.h"
#include "ui/FloatingSurface.h"
#include "ui/HelpTip.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"
#include "ui/WrapRow.h"

#include <QColorDialog>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QSignalBlocker>
#include <QSlider>
#include <QVariantAnimation>
#include <cmath>

namespace kx {

using namespace inspector;

namespace {

// The hint text: one line where the bar has room, wrapped at words where it has not.
class HintLabel : public QLabel {
public:
    HintLabel(const QString& text, QWidget* parent) : QLabel(text, parent) { setWordWrap(true); }
    QSize sizeHint() const override
    {
        return {fontMetrics().horizontalAdvance(text()) + 1, fontMetrics().height()};
    }
    QSize minimumSizeHint() const override
    {
        int word = 0;
        for (const QString& w : text().split(QLatin1Char(' ')))
            word = std::max(word, fontMetrics().horizontalAdvance(w) + 1);
        return {word, fontMetrics().height()};
    }
};

}  // namespace

InspectorBar::InspectorBar(EditorDocument* doc, QWidget* parent) : InspectorBar(doc, nullptr, parent)
{
}

InspectorBar::InspectorBar(EditorDocument* doc, InspectorBar* owner, QWidget* parent)
    : QWidget(parent), doc_(doc), owner_(owner)
{
    setAttribute(Qt::WA_TranslucentBackground);
    // 10 pt between groups; a wrapped line sits 4 pt below the one above.
    row_ = new WrapRow(this, 10, 4);
    fade_ = new QGraphicsOpacityEffect(this);
    fade_->setEnabled(false);  // only while moving: the bar paints directly at rest
    setGraphicsEffect(fade_);
    transition_ = new QVariantAnimation(this);
    transition_->setEasingCurve(QEasingCurve::OutCubic);
    connect(transition_, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& v) { setReveal(v.toDouble()); });
    // A new kind (or a crop drawn or gone) springs the capsule from its old size to the new
    // one while the new controls come up.
    spring_ = new QVariantAnimation(this);
    spring_->setDuration(220);
    QEasingCurve settle(QEasingCurve::OutBack);
    settle.setOvershoot(0.6);  // a spring that is nearly, not quite, critically damped
    spring_->setEasingCurve(settle);
    spring_->setStartValue(0.0);
    spring_->setEndValue(1.0);
    connect(spring_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        springT_ = v.toDouble();
        applyOpacity();
        Q_EMIT revealChanged();
        update();
    });
    connect(spring_, &QVariantAnimation::finished, this, [this] {
        springT_ = 1.0;
        applyOpacity();
        Q_EMIT revealChanged();
        update();
    });
    connect(transition_, &QVariantAnimation::finished, this, [this] {
        applyOpacity();
        if (!shown_)
            hide();
    });
    // Room for the surface's shadow around the 12 × 7 pt padding; in a popover, its padding.
    if (owner_)
        row_->setContentsMargins(10, 8, 10, 8);
    else
        row_->setContentsMargins(12 + 6, 7 + 4, 12 + 6, 7 + 8);
    connect(doc, &EditorDocument::changed, this, &InspectorBar::documentChanged);
    documentChanged();
}

InspectorBar::~InspectorBar()
{
    delete dialog_;
}

bool InspectorBar::hasControls() const
{
    return doc_ && inspector::hasControls(inspectedKind(*doc_));
}

std::optional<QString> InspectorBar::hint() const
{
    if (!doc_)
        return std::nullopt;
    return inspector::hint(inspectedKind(*doc_), doc_->cropRect().has_value());
}

QSize InspectorBar::sizeHint() const
{
    if (collapsed_ && unfold_)
        return unfold_->sizeHint().grownBy(kFoldedMargins);
    return row_->sizeHint();
}

QSize InspectorBar::minimumSizeHint() const
{
    // The narrowest arrangement, with the colours folded into one button, whatever shows now.
    int widest = 0;
    for (int i = 0; i < row_->count(); ++i) {
        QLayoutItem* item = row_->itemAt(i);
        QWidget* w = item->widget();
        if (w == colors_)
            continue;
        if (w && w == fold_)
            widest = std::max(widest, fold_->sizeHint().width());
        else if (!item->isEmpty())
            widest = std::max(widest, item->minimumSize().width());
    }
    const QMargins m = row_->contentsMargins();
    return {widest + m.left() + m.right(), row_->sizeHint().height()};
}

int InspectorBar::lineCount() const
{
    return row_->lineCount(width());
}

double InspectorBar::dropOffset() const
{
    return (1.0 - reveal_) * (height() + 12);
}

void InspectorBar::setReveal(double value)
{
    reveal_ = value;
    applyOpacity();
    Q_EMIT revealChanged();
}

void InspectorBar::applyOpacity()
{
    const bool springing = spring_->state() == QAbstractAnimation::Running;
    const bool moving = transition_->state() == QAbstractAnimation::Running;
    const double controls = springing ? std::min(1.0, 0.3 + 0.7 * springT_) : 1.0;
    fade_->setOpacity(std::clamp(reveal_, 0.0, 1.0) * controls);
    fade_->setEnabled(springing || moving);
}

QSize InspectorBar::frameFor(const QSize& target)
{
    target_ = target;
    // While springing the frame holds both sizes; the capsule is drawn at the sprung size.
    return springing() ? target.expandedTo(springFrom_) : target;
}

bool InspectorBar::springing() const
{
    return spring_->state() == QAbstractAnimation::Running;
}

QRectF InspectorBar::capsule() const
{
    QSizeF s = size();
    if (springing() && target_.isValid()) {
        const double t = springT_;
        s = QSizeF(springFrom_.width() + (target_.width() - springFrom_.width()) * t,
                   springFrom_.height() + (target_.height() - springFrom_.height()) * t);
    }
    const QRectF frame(QPointF((width() - s.width()) / 2, 0), s);
    return frame.adjusted(6, 4, -6, -8);
}

void InspectorBar::setShown(bool show)
{
    if (!built_) {
        built_ = true;
        shown_ = show;
        setVisible(show);
        return;
    }
    if (show == shown_)
        return;
    shown_ = show;
    if (show)
        setVisible(true);
    transition_->stop();
    transition_->setStartValue(reveal_);
    transition_->setEndValue(show ? 1.0 : 0.0);
    transition_->setDuration(std::max(1, int(std::lround(220 * std::abs((show ? 1.0 : 0.0) - reveal_)))));
    transition_->start();
    applyOpacity();
}

void InspectorBar::paintEvent(QPaintEvent*)
{
    if (owner_)
        return;  // the popover is the surface
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF surface = capsule();
    // A capsule; wrapped onto more lines, a rounded rectangle with the capsule's ends.
    const qreal oneLine = sizeHint().height() - 12;
    paintFloatingSurface(p, roundedRect(surface, std::min(surface.height(), oneLine) / 2), true, palette());
}

void InspectorBar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (unfold_)
        unfold_->move(rect().marginsRemoved(kFoldedMargins).center() - unfold_->rect().center());
}

void InspectorBar::documentChanged()
{
    if (!doc_)
        return;
    const std::pair key{inspectedKind(*doc_), doc_->cropRect().has_value()};
    if (builtFor_ != key) {
        builtFor_ = key;
        rebuild();
    }
    sync();
}

void InspectorBar::rebuild()
{
    if (built_ && shown_ && isVisible() && !size().isEmpty()) {
        springFrom_ = springing() ? capsule().adjusted(-6, -4, 6, 8).size().toSize() : size();
        springT_ = 0.0;
        spring_->stop();
        spring_->start();
    }
    sliders_.clear();
    zoomText_ = nullptr;
    colors_ = nullptr;
    fold_ = nullptr;
    folded_ = false;
    if (colorPopover_)
        colorPopover_->close();
    if (controlsPopover_)
        controlsPopover_->close();
    collapsed_ = false;
    while (QLayoutItem* item = row_->takeAt(0)) {
        // Later, not now: the button whose click led here may still be on the stack.
        if (QWidget* w = item->widget()) {
            w->hide();
            w->setParent(nullptr);
            w->deleteLater();
        }
        delete item;
    }
    const ToolKind kind = builtFor_->first;
    const bool cropPending = builtFor_->second;
    for (Group g : groups(kind)) {
        switch (g) {
            case Group::color:
                addColorRow();
                break;
            case Group::lineWidth:
                addSlider(
                    "lineweight"_sym, "lineWidth", 84, true, QString(),
                    [this] { return lineWidthRange(doc_->scale()); },
                    [](const AnnotationStyle& s) { return s.lineWidth; },
                    [](AnnotationStyle& s, double v) { s.lineWidth = v; });
                break;
            case Group::fill:
                addFillButtons();
                break;
            case Group::fontSize:
                addSlider(
                    "textformat.size"_sym, "fontSize", 84, true, QString(),
                    [this] { return fontSizeRange(doc_->scale()); },
                    [](const AnnotationStyle& s) { return s.fontSize; },
                    [](AnnotationStyle& s, double v) { s.fontSize = v; });
                break;
            case Group::strength:
                addSlider(
                    "dial.low"_sym, "strength", 110, false, kx::tr("Strength", "Erősség"),
                    [this] { return strengthRange(doc_->scale()); },
                    [](const AnnotationStyle& s) { return s.intensity; },
                    [](AnnotationStyle& s, double v) { s.intensity = v; });
                break;
            case Group::magnifier:
                addMagnifier();
                break;
        }
    }
    if (const std::optional<QString> text = inspector::hint(kind, cropPending))
        addHint(*text);
    if (cropPending)
        addCropActions();
    // Children made after the bar was shown stay hidden until told otherwise.
    for (int i = 0; i < row_->count(); ++i)
        if (QWidget* w = row_->itemAt(i)->widget())
            w->show();
    makeUnfoldButton();
    applyFold();
    setShown(visible(kind, cropPending));
    adjustSize();
}

void InspectorBar::sync()
{
    const AnnotationStyle& style = doc_->style();
    for (const Slider& s : sliders_) {
        const QSignalBlocker block(s.slider);
        s.slider->setValue(sliderPosition(s.get(style), s.range()));
        if (s.readout)
            s.readout->setText(QString::number(readout(s.get(style), doc_->scale())));
    }
    if (zoomText_)
        zoomText_->setText(zoomText(style.zoom));
    for (auto* swatch : findChildren<SwatchButton*>())
        swatch->setSelected(swatch->color() == style.color);
    if (fold_)
        fold_->setColor(style.color);
    if (auto* unfold = qobject_cast<ColorFoldButton*>(unfold_))
        unfold->setColor(style.color);
    for (auto* b : findChildren<ChromeButton*>()) {
        const QVariant fill = b->property("fill");
        if (fill.isValid())
            b->setSelected(FillMode(fill.toInt()) == style.fill);
        const QVariant round = b->property("roundLens");
        if (round.isValid())
            b->setSelected(round.toBool() == style.roundLens);
    }
    if (dialog_) {
        const QSignalBlocker block(dialog_);
        dialog_->setCurrentColor(style.color.color());
    }
}

void InspectorBar::writeStyle(const std::function<void(AnnotationStyle&)>& edit)
{
    if (!doc_)
        return;
    AnnotationStyle style = doc_->style();
    edit(style);
    doc_->setStyle(style);
}

QWidget* InspectorBar::makeSwatches(QWidget* parent, QLayout* layout, const std::function<void()>& picked)
{
    int i = 0;
    for (const RGBA& c : inspector::palette()) {
        auto* swatch = new SwatchButton(c, parent);
        swatch->setObjectName(QStringLiteral("swatch%1").arg(i++));
        swatch->setSelected(doc_ && doc_->style().color == c);
        connect(swatch, &QAbstractButton::clicked, this, [this, c, picked] {
            writeStyle([c](AnnotationStyle& s) { s.color = c; });
            if (picked)
                picked();
        });
        layout->addWidget(swatch);
    }
    auto* custom = new CustomColorWell(parent);
    custom->setObjectName(QStringLiteral("customColor"));
    helpTip(custom, kx::tr("Custom color", "Egyedi szín"));
    connect(custom, &QAbstractButton::clicked, this, [this, picked] {
        if (picked)
            picked();
        colorDialog();
        if (owner_ && owner_->controlsPopover_)
            owner_->controlsPopover_->close();  // the dialog takes its place
        colorWindow()->present();
    });
    layout->addWidget(custom);
    return custom;
}

void InspectorBar::addColorRow()
{
    colors_ = new QWidget(this);
    auto* row = new QHBoxLayout(colors_);
    row->setContentsMargins(0, 0, 0, 0);
    // The swatches' own margins hold the selection ring; they make the 7 pt between circles.
    row->setSpacing(0);
    makeSwatches(colors_, row, {});
    row_->addWidget(colors_);
    fold_ = new ColorFoldButton(this);
    fold_->setObjectName(QStringLiteral("colorFold"));
    fold_->setColor(doc_->style().color);
    helpTip(fold_, kx::tr("Color", "Szín", "Farbe"));
    connect(fold_, &QAbstractButton::clicked, this, &InspectorBar::showColorPopover);
    row_->addWidget(fold_);
}

ColorWindow* InspectorBar::colorWindow() const
{
    return owner_ ? owner_->colorWindow() : colorWindow_.data();
}

QColorDialog* InspectorBar::colorDialog()
{
    if (owner_)
        return owner_->colorDialog();
    if (!dialog_) {
        colorWindow_ = new ColorWindow(window());
        dialog_ = colorWindow_->dialog();
        if (doc_)
            dialog_->setCurrentColor(doc_->style().color.color());
        connect(dialog_, &QColorDialog::currentColorChanged, this, [this](const QColor& picked) {
            const QColor c = picked.toRgb();  // sRGB components
            writeStyle([c](AnnotationStyle& s) {
                s.color = RGBA{c.redF(), c.greenF(), c.blueF(), c.alphaF()};
            });
        });
    }
    return dialog_;
}

QWidget* InspectorBar::addSlider(const QString& symbol, const QString& objectName, int width,
                                 bool withReadout, const QString& help, std::function<Range()> range,
                                 std::function<double(const AnnotationStyle&)> get,
                                 std::function<void(AnnotationStyle&, double)> set)
{
    auto* group = new SliderGroup(symbol, width, withReadout, this);
    group->slider()->setObjectName(objectName);
    if (group->readout())
        group->readout()->setObjectName(QStringLiteral("readout.") + objectName);
    if (!help.isEmpty())
        helpTip(group, help);
    // Only user input reaches this: the document's updates run with the slider's signals blocked.
    connect(group->slider(), &QSlider::valueChanged, this, [this, range, set](int position) {
        const double v = sliderValue(position, range());
        writeStyle([&](AnnotationStyle& s) { set(s, v); });
    });
    sliders_.append({group->slider(), group->readout(), std::move(range), std::move(get)});
    row_->addWidget(group);
    return group;
}

void InspectorBar::addFillButtons()
{
    auto* holder = new QWidget(this);
    auto* buttons = new QHBoxLayout(holder);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(2);
    struct Fill {
        QString symbol;
        FillMode mode;
        QString tip;
        const char* name;
    };
    const QList<Fill> fills{
        {"square"_sym, FillMode::none, kx::tr("No fill", "Nincs kitöltés"), "fill.none"},
        {"square.lefthalf.filled"_sym, FillMode::tint, kx::tr("Tinted fill", "Áttetsző kitöltés"),
         "fill.tint"},
        {"square.fill"_sym, FillMode::solid, kx::tr("Solid fill", "Teli kitöltés"), "fill.solid"}};
    for (const auto& f : fills) {
        const FillMode mode = f.mode;
        auto* b = smallChromeButton(
            f.symbol, holder, [this, mode] { writeStyle([mode](AnnotationStyle& s) { s.fill = mode; }); });
        b->setObjectName(QString::fromLatin1(f.name));
        b->setProperty("fill", int(mode));
        helpTip(b, f.tip);
        buttons->addWidget(b);
    }
    row_->addWidget(holder);
}

void InspectorBar::addMagnifier()
{
    addSlider(
        "plus.magnifyingglass"_sym, "magnification", 100, false, kx::tr("Magnification", "Nagyítás mértéke"),
        [] { return zoomRange(); }, [](const AnnotationStyle& s) { return s.zoom; },
        [](AnnotationStyle& s, double v) { s.zoom = v; });
    zoomText_ = new QLabel(this);
    zoomText_->setObjectName(QStringLiteral("zoomText"));
    zoomText_->setFont(Theme::monoFont(11));
    QPalette pal = zoomText_->palette();
    pal.setColor(QPalette::WindowText, Theme::secondary(palette()));
    zoomText_->setPalette(pal);
    row_->addWidget(zoomText_);

    auto* holder = new QWidget(this);
    auto* lenses = new QHBoxLayout(holder);
    lenses->setContentsMargins(0, 0, 0, 0);
    lenses->setSpacing(2);
    for (bool round : {true, false}) {
        auto* b = smallChromeButton(round ? "circle"_sym : "square"_sym, holder, [this, round] {
            writeStyle([round](AnnotationStyle& s) { s.roundLens = round; });
        });
        b->setObjectName(round ? QStringLiteral("lens.round") : QStringLiteral("lens.square"));
        b->setProperty("roundLens", round);
        helpTip(b, round ? kx::tr("Round lens", "Kerek lencse")
                         : kx::tr("Rounded-square lens", "Lekerekített négyzet lencse"));
        lenses->addWidget(b);
    }
    row_->addWidget(holder);
}

void InspectorBar::addHint(const QString& text)
{
    const ToolKind kind = builtFor_->first;
    auto* icon = new SymbolLabel(kind == ToolKind::crop ? "crop"_sym : "cursorarrow.click.2"_sym, 12, this);
    row_->addWidget(icon);
    auto* label = new HintLabel(text, this);
    label->setObjectName(QStringLiteral("hint"));
    label->setFont(Theme::font(12));
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, Theme::secondary(palette()));
    label->setPalette(pal);
    row_->addWidget(label);
}

void InspectorBar::addCropActions()
{
    const ToolKind kind = builtFor_->first;
    // The hint is gone while a crop is pending, so only controls need the divider.
    if (inspector::hasControls(kind)) {
        auto* divider = new VDivider(18, this);
        divider->setObjectName(QStringLiteral("cropDivider"));
        row_->addWidget(divider);
    }
    auto* cancel = new ChromeButton(
        QString(), kx::tr("Cancel", "Mégse"), ChromeButtonStyle{false, false, 26, 13, false},
        [this] {
            if (doc_)
                doc_->setCropRect(std::nullopt);
        },
        this);
    cancel->setObjectName(QStringLiteral("cropCancel"));
    cancel->setTitleFont(12, QFont::Medium);
    row_->addWidget(cancel);
    auto* apply = new ChromeButton(
        "checkmark"_sym, kx::tr("Apply crop", "Vágás alkalmazása"),
        ChromeButtonStyle{false, true, 26, 13, false},
        [this] {
            if (doc_)
                doc_->applyCrop();
        },
        this);
    apply->setObjectName(QStringLiteral("cropApply"));
    apply->setTitleFont(12, QFont::DemiBold);
    apply->setSymbolFont(12, SymbolWeight::semibold);
    row_->addWidget(apply);
}

}  // namespace kx
