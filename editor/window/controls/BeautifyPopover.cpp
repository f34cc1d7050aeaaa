#include "editor/window/controls/BeautifyPopover.h"

#include "core/ImageUtils.h"
#include "core/Localisation.h"
#include "editor/Exporter.h"
#include "editor/document/EditorDocument.h"
#include "editor/window/controls/BeautifyTiles.h"
#include "editor/window/controls/StyleWidgets.h"
#include "ui/ChromeButton.h"
#include "ui/ChromeParts.h"
#include "ui/HelpTip.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"
#include "ui/WrapRow.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QRandomGenerator>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace kx {

namespace {

constexpr int kSliderSteps = 1000;

QLabel* label(const QString& text, qreal points, QFont::Weight weight, bool secondary, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setFont(Theme::font(points, weight));
    if (secondary) {
        QPalette pal = l->palette();
        pal.setColor(QPalette::WindowText, Theme::secondary(parent->palette()));
        l->setPalette(pal);
    }
    return l;
}

}  // namespace

BeautifyPopover::BeautifyPopover(EditorDocument* doc, QWidget* parent) : QWidget(parent), doc_(doc)
{
    // kWidth wide where the screen has room; narrower on a small screen, where the subtitle
    // and the note wrap and the sliders shorten.
    setMaximumWidth(kWidth);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    column->setSpacing(kSpacing);
    column->addWidget(buildHeader());

    previewBox_ = new PreviewBox(this);
    previewBox_->setObjectName(QStringLiteral("previewBox"));
    column->addWidget(previewBox_);
    column->addWidget(buildSection(kx::tr("Frame", "Keret"), buildEdgeGrid()));
    column->addWidget(buildSection(kx::tr("Background", "Háttér"), buildBackgrounds()));

    auto* adjustments = new QVBoxLayout;
    adjustments->setSpacing(10);
    sliders_ << buildSlider(kx::tr("Padding", "Margó"), "padding", 0, 160, 0, &BeautifySettings::padding)
             << buildSlider(kx::tr("Corners", "Lekerekítés"), "corners", 0, 40, 0,
                            &BeautifySettings::cornerRadius)
             << buildSlider(kx::tr("Edge size", "Él mérete"), "edgeSize", 0.5, 2, 1,
                            &BeautifySettings::edgeSize);
    // One column for the labels, as wide as the language's widest ("Kantengröße").
    int labelColumn = kLabelColumn;
    for (const SliderRow& s : sliders_)
        labelColumn = std::max(labelColumn, s.label->fontMetrics().horizontalAdvance(s.label->text()) + 1);
    for (const SliderRow& s : sliders_) {
        s.label->setFixedWidth(labelColumn);
        adjustments->addWidget(s.row);
    }

    auto* shadowRow = new QHBoxLayout;
    shadowRow->addWidget(label(kx::tr("Shadow", "Árnyék"), 12, QFont::Normal, false, this));
    shadow_ = new SwitchToggle(this);
    shadow_->setObjectName(QStringLiteral("shadow"));
    connect(shadow_, &QAbstractButton::toggled, this,
            [this](bool on) { edit([on](BeautifySettings& s) { s.shadow = on; }); });
    shadowRow->addWidget(shadow_);
    shadowRow->addStretch();
    auto* pattern = new ChromeButton(
        "dice"_sym, kx::tr("New pattern", "Új minta"), ChromeButtonStyle{false, false, 26, 13, false},
        [this] {
            const quint64 seed = newSeed();
            edit([seed](BeautifySettings& s) { s.seed = seed; });
        },
        this);
    pattern->setObjectName(QStringLiteral("newPattern"));
    pattern->setTitleFont(12, QFont::Medium);
    helpTip(pattern, kx::tr("New pattern", "Új minta"),
            kx::tr("Generates a different random torn / burnt edge.",
                   "Másik, véletlenszerű tépett / égett szélt készít."));
    newPattern_ = pattern;
    shadowRow->addWidget(pattern);
    adjustments->addLayout(shadowRow);
    column->addLayout(adjustments);

    transparencyNote_ = new QWidget(this);
    transparencyNote_->setObjectName(QStringLiteral("transparencyNote"));
    auto* note = new QHBoxLayout(transparencyNote_);
    note->setContentsMargins(0, 0, 0, 0);
    note->setSpacing(6);
    note->addWidget(new SymbolLabel("info.circle"_sym, 11, transparencyNote_), 0, Qt::AlignTop);
    QLabel* text =
        label(kx::tr("Transparent background: save as PNG or paste into another app – JPEG cannot store "
                     "transparency.",
                     "Átlátszó háttér: PNG-ként mentve vagy másik appba illesztve marad átlátszó – a JPEG "
                     "nem tud átlátszóságot tárolni."),
              11, QFont::Normal, true, transparencyNote_);
    text->setWordWrap(true);
    note->addWidget(text, 1);
    column->addWidget(transparencyNote_);

    connect(doc, &EditorDocument::changed, this, &BeautifyPopover::documentChanged);
    sync();
}

QSize BeautifyPopover::sizeHint() const
{
    // The full width, however narrow the wrapped texts would let it be.
    const int height = hasHeightForWidth() ? heightForWidth(kWidth) : -1;
    return {kWidth, height > 0 ? height : QWidget::sizeHint().height()};
}

quint64 BeautifyPopover::newSeed()
{
    return QRandomGenerator::system()->bounded(quint64(9999999)) + 1;
}

void BeautifyPopover::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    prepare();
}

void BeautifyPopover::prepare()
{
    if (!doc_)
        return;
    const QImage full = doc_->renderFinal(false);
    flat_ = fitted(full, 560);
    factor_ = double(flat_.width()) / std::max(double(full.width()), 1.0);
    refresh();
}

void BeautifyPopover::refresh()
{
    if (flat_.isNull() || !doc_)
        return;
    BeautifySettings settings = doc_->beautify();
    settings.enabled = true;  // the preview always shows the frame; "off" only dims it
    preview_ = Exporter::beautify(flat_, settings, doc_->scale() * factor_);
    static_cast<PreviewBox*>(previewBox_)->setImage(preview_, doc_->beautify().enabled);
}

void BeautifyPopover::documentChanged()
{
    if (!doc_ || shown_ == doc_->beautify())
        return;
    sync();
    refresh();
}

void BeautifyPopover::sync()
{
    const BeautifySettings& b = doc_->beautify();
    shown_ = b;
    {
        const QSignalBlocker block(enabled_);
        enabled_->setChecked(b.enabled);
    }
    {
        const QSignalBlocker block(shadow_);
        shadow_->setChecked(b.shadow);
    }
    for (const SliderRow& s : sliders_) {
        const double v = b.*(s.field);
        const QSignalBlocker block(s.slider);
        s.slider->setValue(int(std::lround(std::clamp((v - s.lo) / (s.hi - s.lo), 0.0, 1.0) * kSliderSteps)));
        s.readout->setText(QString::asprintf("%.*f", s.decimals, v));
    }
    sliders_[1].row->setVisible(usesCorners(b.edge));
    sliders_[2].row->setVisible(hasSize(b.edge));
    newPattern_->setVisible(isRandom(b.edge));
    transparencyNote_->setVisible(b.background == BeautifySettings::Background::transparent);
    for (auto* tile : findChildren<EdgeTile*>())
        tile->setSelected(tile->edge() == b.edge);
    for (auto* swatch : findChildren<BackgroundSwatch*>())
        swatch->setSelected(swatch->background() == b.background);
    if (QWidget* w = previewBox_)
        static_cast<PreviewBox*>(w)->setDimmed(!b.enabled);
}

void BeautifyPopover::edit(const std::function<void(BeautifySettings&)>& change)
{
    if (!doc_)
        return;
    BeautifySettings b = doc_->beautify();
    change(b);
    b.enabled = true;
    doc_->setBeautify(b);
}

QWidget* BeautifyPopover::buildHeader()
{
    auto* header = new QWidget(this);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    auto* badge = new IconBadge("sparkles.rectangle.stack"_sym, Theme::systemPurple(), 28, header);
    badge->setFixedSize(badge->sizeHint());
    row->addWidget(badge);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(1);
    titles->addWidget(
        label(kx::tr("Backdrop & frame", "Háttér és keret"), 13, QFont::DemiBold, false, header));
    QLabel* subtitle = label(kx::tr("Applies to copy, save, pin and upload.",
                                    "Másolásra, mentésre, kitűzésre és feltöltésre is érvényes."),
                             11, QFont::Normal, true, header);
    subtitle->setObjectName(QStringLiteral("subtitle"));
    titles->addWidget(subtitle);
    row->addLayout(titles, 1);
    row->addSpacing(8);
    enabled_ = new SwitchToggle(header);
    enabled_->setObjectName(QStringLiteral("enabled"));
    // The one control that can turn the backdrop off: it writes only the switch.
    connect(enabled_, &QAbstractButton::toggled, this, [this](bool on) {
        if (!doc_)
            return;
        BeautifySettings b = doc_->beautify();
        b.enabled = on;
        doc_->setBeautify(b);
    });
    row->addWidget(enabled_);
    // The titles take the room left of the switch: the subtitle keeps one line where it fits
    // and wraps rather than pushing the switch out.
    subtitle->setWordWrap(true);
    return header;
}

QWidget* BeautifyPopover::buildSection(const QString& title, QWidget* content)
{
    auto* section = new QWidget(this);
    auto* column = new QVBoxLayout(section);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    column->addWidget(label(title, 11, QFont::DemiBold, true, section));
    content->setParent(section);
    column->addWidget(content);
    return section;
}

QWidget* BeautifyPopover::buildEdgeGrid()
{
    auto* grid = new QWidget(this);
    auto* layout = new QGridLayout(grid);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setHorizontalSpacing(8);
    layout->setVerticalSpacing(8);
    int i = 0;
    for (int e = 0; e < 7; ++e) {
        const auto edge = BeautifySettings::Edge(e);
        auto* tile = new EdgeTile(edge, grid);
        connect(tile, &QAbstractButton::clicked, this,
                [this, edge] { edit([edge](BeautifySettings& s) { s.edge = edge; }); });
        layout->addWidget(tile, i / 4, i % 4);
        ++i;
    }
    for (int c = 0; c < 4; ++c)
        layout->setColumnStretch(c, 1);
    return grid;
}

QWidget* BeautifyPopover::buildBackgrounds()
{
    auto* holder = new QWidget(this);
    // 8 pt between the swatches themselves; a second line on a screen too narrow for one.
    const int gap = 8 - 2 * BackgroundSwatch::kMargin;
    auto* row = new WrapRow(holder, gap, gap);
    row->setAlignment(Qt::AlignLeft);
    row->setContentsMargins(0, 0, 0, 0);
    for (int i = 0; i < 7; ++i) {
        const auto background = BeautifySettings::Background(i);
        auto* swatch = new BackgroundSwatch(background, holder);
        connect(swatch, &QAbstractButton::clicked, this, [this, background] {
            edit([background](BeautifySettings& s) { s.background = background; });
        });
        row->addWidget(swatch);
    }
    return holder;
}

BeautifyPopover::SliderRow BeautifyPopover::buildSlider(const QString& text, const char* name, double lo,
                                                        double hi, int decimals,
                                                        double BeautifySettings::*field)
{
    SliderRow s;
    s.row = new QWidget(this);
    auto* row = new QHBoxLayout(s.row);
    row->setContentsMargins(0, 0, 0, 0);
    s.label = label(text, 12, QFont::Normal, false, s.row);
    row->addWidget(s.label);
    s.slider = new QSlider(Qt::Horizontal, s.row);
    s.slider->setObjectName(QString::fromLatin1(name));
    s.slider->setRange(0, kSliderSteps);
    row->addWidget(s.slider, 1);
    s.readout = label(QString(), 11, QFont::Normal, true, s.row);
    s.readout->setObjectName(QStringLiteral("readout.") + QString::fromLatin1(name));
    s.readout->setFont(Theme::monoFont(11));
    s.readout->setFixedWidth(30);
    s.readout->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    row->addWidget(s.readout);
    s.lo = lo;
    s.hi = hi;
    s.decimals = decimals;
    s.field = field;
    // Only user input: the document's updates run with the slider's signals blocked.
    connect(s.slider, &QSlider::valueChanged, this, [this, lo, hi, field](int position) {
        const double v = lo + (hi - lo) * position / double(kSliderSteps);
        edit([field, v](BeautifySettings& b) { b.*field = v; });
    });
    return s;
}

}  // namespace kx
