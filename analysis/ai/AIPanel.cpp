#include "analysis/ai/AIPanel.h"

#include "analysis/ai/AIService.h"
#include "analysis/ai/MarkdownInline.h"
#include "core/Futures.h"
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "core/PrefsNotifier.h"
#include "ui/ChromeButton.h"
#include "ui/FloatingSurface.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"
#include "ui/WrapRow.h"

#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextBlockFormat>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

namespace kx {

namespace {

// The symbol in white on the brand gradient, 28 × 28.
class BrandBadge : public QWidget {
public:
    BrandBadge() { setFixedSize(28, 28); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r(rect());
        p.fillPath(roundedRect(r, 8), Theme::brand(r));
        Symbols::paintGlyph(p, r.center(), 13, "sparkles"_sym, Qt::white, SymbolWeight::semibold);
    }
};

// A symbol in the notice colour beside selectable text, on that colour at 12 %.
class Notice : public QWidget {
public:
    Notice(const QString& symbol, const QColor& color, QWidget* text) : symbol_(symbol), color_(color)
    {
        auto* row = new QHBoxLayout(this);
        row->setContentsMargins(10 + 18, 10, 10, 10);
        row->setSpacing(8);
        text->setFont(Theme::font(11.5));
        if (auto* label = qobject_cast<QLabel*>(text)) {
            label->setTextFormat(Qt::PlainText);
            label->setWordWrap(true);
            label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        }
        row->addWidget(text, 1, Qt::AlignTop);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QColor fill = color_;
        fill.setAlphaF(0.12);
        p.fillPath(roundedRect(QRectF(rect()), 10), fill);
        Symbols::paint(p, QRectF(10, 11, 14, 14), symbol_, color_);
    }

private:
    QString symbol_;
    QColor color_;
};

// The Analyze button; while a request runs it shows a small white activity indicator in
// place of its symbol.
class AnalyzeButton : public ChromeButton {
public:
    AnalyzeButton(const ChromeButtonStyle& style, std::function<void()> action)
        : ChromeButton("wand.and.stars"_sym, QString(), style, std::move(action))
    {
        spin_.setInterval(80);
        connect(&spin_, &QTimer::timeout, this, [this] {
            phase_ = (phase_ + 1) % kSpokes;
            update();
        });
    }
    void setLoading(bool loading)
    {
        loading ? spin_.start() : spin_.stop();
        update();
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        if (!spin_.isActive())
            return ChromeButton::paintEvent(event);
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setOpacity(isEnabled() ? 1.0 : 0.32);
        const QRectF r(rect());
        const QColor primary = Theme::primary(palette());
        p.fillPath(roundedRect(r, chromeStyle().radius),
                   chromeStyle().background(interaction(), Theme::accent(palette()), primary));
        const QFont font = Theme::font(12.5, QFont::DemiBold);
        const qreal side = Symbols::glyphSide(13.5), gap = 6;
        const qreal textWidth = QFontMetricsF(font).horizontalAdvance(title());
        const qreal left = r.center().x() - (side + gap + textWidth) / 2;
        const QPointF hub(left + side / 2, r.center().y());
        for (int i = 0; i < kSpokes; ++i) {
            QColor spoke(Qt::white);
            spoke.setAlphaF(0.25 + 0.75 * ((i + kSpokes - phase_) % kSpokes) / (kSpokes - 1));
            p.setPen(QPen(spoke, 1.6, Qt::SolidLine, Qt::RoundCap));
            const qreal a = 2 * M_PI * i / kSpokes;
            const QPointF dir(std::cos(a), std::sin(a));
            p.drawLine(hub + dir * side * 0.2, hub + dir * side * 0.45);
        }
        p.setFont(font);
        p.setPen(chromeStyle().foreground(primary));
        p.drawText(QRectF(left + side + gap, r.top(), textWidth + 2, r.height()),
                   Qt::AlignLeft | Qt::AlignVCenter, title());
    }

private:
    static constexpr int kSpokes = 8;
    QTimer spin_;
    int phase_ = 0;
};

QLabel* textLabel(const QString& text, const QFont& font, const QColor& color)
{
    auto* l = new QLabel(text);
    l->setTextFormat(Qt::PlainText);  // the model name is the user's own text
    l->setFont(font);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, color);
    l->setPalette(pal);
    return l;
}

}  // namespace

WrappingText::WrappingText(QWidget* parent) : QTextEdit(parent)
{
    setReadOnly(true);
    setAcceptRichText(false);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setFrameShape(QFrame::NoFrame);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    document()->setDocumentMargin(0);
    viewport()->setAutoFillBackground(false);
    setStyleSheet(QStringLiteral("background: transparent;"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void WrappingText::setText(const QString& text)
{
    setPlainText(text);
    fit();
}

int WrappingText::contentHeight(int width) const
{
    std::unique_ptr<QTextDocument> copy(document()->clone());
    copy->setDefaultFont(font());
    copy->setDefaultTextOption(document()->defaultTextOption());
    copy->setTextWidth(std::max(width, 1));
    return int(std::ceil(copy->size().height()));
}

void WrappingText::fit()
{
    // Whole while it fits under the cap; beyond it, the cap with a scroll bar.
    const int h = contentHeight(viewport()->width());
    setVerticalScrollBarPolicy(h > kMaxHeight ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    const int fixed = std::min(h, kMaxHeight);
    if (fixed != height())
        setFixedHeight(fixed);
}

QSize WrappingText::sizeHint() const
{
    return {QTextEdit::sizeHint().width(), std::min(contentHeight(viewport()->width()), kMaxHeight)};
}

QSize WrappingText::minimumSizeHint() const
{
    return {40, QFontMetrics(font()).height()};
}

void WrappingText::resizeEvent(QResizeEvent* event)
{
    QTextEdit::resizeEvent(event);
    fit();  // a new width gives the text new line breaks
}

AIPanel::AIPanel(std::shared_ptr<AIAnalysisModel> model, std::function<QImage()> image,
                 const QUuid& historyID, std::function<void()> close, QWidget* parent)
    : QWidget(parent), model_(std::move(model)), image_(std::move(image)), historyID_(historyID)
{
    setFixedWidth(kWidth);
    setAutoFillBackground(true);
    const QPalette pal = palette();
    // A panel shorter than its content (a small screen) scrolls as a whole; the hairline at the
    // leading edge stays outside the scrolled part.
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(1, 0, 0, 0);
    scroll_ = new QScrollArea;
    scroll_->setObjectName(QStringLiteral("panelScroll"));
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll_->viewport()->setAutoFillBackground(false);
    outer->addWidget(scroll_);
    content_ = new QWidget;
    content_->setAutoFillBackground(false);
    auto* column = new QVBoxLayout(content_);
    column->setContentsMargins(14, 14, 14, 14);
    column->setSpacing(12);

    header_ = new QHBoxLayout;
    auto* header = header_;
    header->setSpacing(10);
    header->addWidget(new BrandBadge);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(0);
    // Both wrap where the panel is narrow rather than being cut.
    heading_ = textLabel(
        kx::tr(QStringLiteral("AI analysis"), QStringLiteral("AI-elemzés"), QStringLiteral("AI-Analyse")),
        Theme::font(14, QFont::DemiBold), Theme::primary(pal));
    heading_->setObjectName(QStringLiteral("title"));
    heading_->setWordWrap(true);
    titles->addWidget(heading_);
    modelName_ = textLabel(QString(), Theme::font(10.5), Theme::secondary(pal));
    modelName_->setObjectName(QStringLiteral("modelName"));
    modelName_->setWordWrap(true);
    titles->addWidget(modelName_);
    header->addLayout(titles, 1);
    ChromeButtonStyle closeStyle;
    closeStyle.size = 24;
    closeStyle.radius = 12;
    closeStyle.square = true;
    auto* closeButton = new ChromeButton("xmark"_sym, QString(), closeStyle, std::move(close));
    closeButton->setObjectName(QStringLiteral("close"));
    closeButton->setSymbolFont(11, SymbolWeight::semibold);
    header->addWidget(closeButton, 0, Qt::AlignTop);
    column->addLayout(header);

    picker_ = new QComboBox;
    picker_->setObjectName(QStringLiteral("presetPicker"));
    // Long titles ("SEO: Alt-Text, Bildunterschrift, Dateiname") are cut in the closed picker
    // rather than widening the panel; its list shows them whole.
    picker_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    picker_->setMinimumContentsLength(12);
    for (AIPreset p : allCases<AIPreset>())
        picker_->addItem(title(p), rawValue(p));
    connect(picker_, &QComboBox::activated, this, [this](int i) {
        if (auto p = fromRaw<AIPreset>(picker_->itemData(i).toString()))
            model_->setPreset(*p);
    });
    column->addWidget(picker_);

    customCard_ = new CardFrame(10, Theme::primary(pal, 0.045));
    auto* cardLayout = new QVBoxLayout(customCard_);
    cardLayout->setContentsMargins(6, 6, 6, 6);
    custom_ = new QPlainTextEdit;
    custom_->setObjectName(QStringLiteral("customQuestion"));
    custom_->setFont(Theme::font(12));
    custom_->setFrameShape(QFrame::NoFrame);
    custom_->viewport()->setAutoFillBackground(false);
    custom_->setStyleSheet(QStringLiteral("background: transparent;"));
    customCard_->setFixedHeight(78);
    cardLayout->addWidget(custom_);
    connect(custom_, &QPlainTextEdit::textChanged, this,
            [this] { model_->setCustom(custom_->toPlainText()); });
    column->addWidget(customCard_);

    // Copy goes below Analyze where the two do not fit side by side.
    auto* actionsRow = new QWidget;
    auto* actions = new WrapRow(actionsRow, 8, 8);
    actions->setAlignment(Qt::AlignLeft);
    actions->setContentsMargins(0, 0, 0, 0);
    ChromeButtonStyle analyzeStyle;
    analyzeStyle.prominent = true;
    analyzeStyle.radius = 15;
    analyze_ = new AnalyzeButton(analyzeStyle, [this] {
        refreshKey();  // the key may have been stored since the panel was drawn
        model_->run(image_ ? image_() : QImage(), historyID_);
    });
    analyze_->setObjectName(QStringLiteral("analyze"));
    analyze_->setTitleFont(12.5, QFont::DemiBold);
    actions->addWidget(analyze_);
    ChromeButtonStyle copyStyle;
    copyStyle.radius = 15;
    copy_ = new ChromeButton(
        "doc.on.doc"_sym,
        kx::tr(QStringLiteral("Copy"), QStringLiteral("Másolás"), QStringLiteral("Kopieren")), copyStyle,
        [this] {
            QClipboard* clipboard = QGuiApplication::clipboard();
            clipboard->clear();
            clipboard->setText(model_->result());
        });
    copy_->setObjectName(QStringLiteral("copy"));
    actions->addWidget(copy_);
    column->addWidget(actionsRow);

    keyNotice_ = new Notice(
        "key"_sym, Theme::systemOrange(),
        new QLabel(kx::tr(QStringLiteral("No API key yet – add it in Settings → AI."),
                          QStringLiteral("Még nincs API-kulcs – add meg a Beállítások → AI fülön."),
                          QStringLiteral("Noch kein API-Schlüssel – füge ihn unter "
                                         "Einstellungen → AI hinzu."))));
    keyNotice_->setObjectName(QStringLiteral("keyNotice"));
    column->addWidget(keyNotice_);
    errorText_ = new WrappingText;
    errorText_->setObjectName(QStringLiteral("errorText"));
    errorNotice_ = new Notice("exclamationmark.triangle.fill"_sym, Theme::systemRed(), errorText_);
    errorNotice_->setObjectName(QStringLiteral("errorNotice"));
    column->addWidget(errorNotice_);

    auto* answerCard = new CardFrame(12, Theme::primary(pal, 0.045));
    // Tall enough to read in; a shorter panel scrolls instead of squeezing it.
    answerCard->setMinimumHeight(kMinAnswerHeight);
    auto* answerLayout = new QVBoxLayout(answerCard);
    answerLayout->setContentsMargins(0, 0, 0, 0);
    hint_ = new QWidget;
    hint_->setObjectName(QStringLiteral("hint"));
    auto* hintLayout = new QVBoxLayout(hint_);
    hintLayout->setContentsMargins(0, 40, 0, 0);
    hintLayout->setSpacing(8);
    auto* glass = new QLabel;
    glass->setPixmap(QPixmap::fromImage(Symbols::image("text.magnifyingglass"_sym, 26, Theme::tertiary(pal),
                                                       SymbolWeight::regular, devicePixelRatioF())));
    glass->setAlignment(Qt::AlignHCenter);
    hintLayout->addWidget(glass);
    QLabel* hintText = textLabel(
        kx::tr(QStringLiteral("Pick an analysis and press Analyze."),
               QStringLiteral("Válassz elemzést és nyomd meg az Elemzés gombot."),
               QStringLiteral("Wähle eine Analyse und drücke „Analysieren“.")) +
            QLatin1Char('\n') +
            kx::tr(QStringLiteral("Nothing is sent before that."), QStringLiteral("Addig semmi nem megy ki."),
                   QStringLiteral("Bis dahin wird nichts gesendet.")),
        Theme::font(12), Theme::secondary(pal));
    hintText->setAlignment(Qt::AlignHCenter);
    hintText->setWordWrap(true);
    hintLayout->addWidget(hintText);
    hintLayout->addStretch(1);
    answerLayout->addWidget(hint_);
    answer_ = new QTextBrowser;
    answer_->setObjectName(QStringLiteral("answer"));
    answer_->setFrameShape(QFrame::NoFrame);
    answer_->setOpenLinks(false);
    answer_->setFont(Theme::font(12.5));
    answer_->document()->setDocumentMargin(12);
    answer_->viewport()->setAutoFillBackground(false);
    answer_->setStyleSheet(QStringLiteral("background: transparent;"));
    connect(answer_, &QTextBrowser::anchorClicked, this, [](const QUrl& url) {
        if (isOpenableLink(url))
            QDesktopServices::openUrl(url);
    });
    answerLayout->addWidget(answer_);
    column->addWidget(answerCard, 1);
    scroll_->setWidget(content_);

    connect(model_.get(), &AIAnalysisModel::changed, this, [this] {
        // An answer or an error: whether a key is there may have changed meanwhile.
        const bool ended = wasLoading_ && !model_->loading();
        wasLoading_ = model_->loading();
        if (ended)
            refreshKey();
        sync();
    });
    // The provider, its model, or a key written by the settings' secret field.
    connect(&PrefsNotifier::shared(), &PrefsNotifier::changed, this, [this](const QString& key) {
        if (key.startsWith(QLatin1String("ai.")) || key == AIService::keyAccount(AIProvider::claude) ||
            key == AIService::keyAccount(AIProvider::openai))
            refreshKey();
    });
    sync();
}

QSize AIPanel::minimumSizeHint() const
{
    // What the content needs side by side, and room for the scroll bar of a short panel.
    const int bar = scroll_->verticalScrollBar()->sizeHint().width();
    return {1 + content_->minimumSizeHint().width() + bar, 0};
}

QSize AIPanel::sizeHint() const
{
    // As narrow, unless the title and the model name need more to stand on one line each beside
    // the badge and the close button.
    const int line = std::max(heading_->fontMetrics().horizontalAdvance(heading_->text()),
                              modelName_->fontMetrics().horizontalAdvance(modelName_->text())) +
                     1;
    int beside = 0;  // what the header row holds besides the two lines, its spacing included
    for (int i = 0; i < header_->count(); ++i) {
        if (QLayoutItem* item = header_->itemAt(i); item->widget())
            beside += item->sizeHint().width() + header_->spacing();
    }
    const QMargins m = content_->layout()->contentsMargins();
    const int bar = scroll_->verticalScrollBar()->sizeHint().width();
    const int wants = 1 + m.left() + line + beside + m.right() + bar;
    return {std::min(kWidth, std::max(minimumSizeHint().width(), wants)), 0};
}

void AIPanel::refreshKey()
{
    // Only the newest question counts when the provider changes while one is out.
    const int query = ++keyQuery_;
    continueIn(this, AIService::hasKey(), [this, query](bool has) {
        if (query != keyQuery_)
            return;
        hasKey_ = has;
        sync();
    });
    sync();
}

void AIPanel::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refreshKey();
}

void AIPanel::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    QPainter p(this);
    p.fillRect(QRectF(0, 0, 0.5, height()), Theme::primary(palette(), 0.08));
}

void AIPanel::sync()
{
    const AIAnalysisModel& m = *model_;
    modelName_->setText(AIService::modelName(Prefs::aiProvider()));
    picker_->setCurrentIndex(picker_->findData(rawValue(m.preset())));
    customCard_->setVisible(m.preset() == AIPreset::custom);
    if (custom_->toPlainText() != m.custom())
        custom_->setPlainText(m.custom());
    analyze_->setEnabled(!m.loading());
    static_cast<AnalyzeButton*>(analyze_)->setLoading(m.loading());
    analyze_->setTitle(m.loading() ? kx::tr(QStringLiteral("Analyzing…"), QStringLiteral("Elemzés…"),
                                            QStringLiteral("Wird analysiert…"))
                                   : kx::tr(QStringLiteral("Analyze"), QStringLiteral("Elemzés"),
                                            QStringLiteral("Analysieren")));
    copy_->setVisible(!m.result().isEmpty());
    keyNotice_->setVisible(!hasKey_);
    errorNotice_->setVisible(m.error().has_value());
    if (errorText_->text() != m.error().value_or(QString()))
        errorText_->setText(m.error().value_or(QString()));
    const bool showHint = m.result().isEmpty() && !m.loading();
    hint_->setVisible(showHint);
    answer_->setVisible(!showHint);
    if (answer_->property("markdown").toString() != m.result() || m.result().isEmpty()) {
        answer_->setProperty("markdown", m.result());
        answer_->setHtml(inlineMarkdownHtml(m.result()));
        QTextCursor all(answer_->document());
        all.select(QTextCursor::Document);
        QTextBlockFormat spacing;
        spacing.setLineHeight(3, QTextBlockFormat::LineDistanceHeight);
        all.mergeBlockFormat(spacing);
    }
}

}  // namespace kx
