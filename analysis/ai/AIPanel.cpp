#include "analysis/ai/AIPanel.h"

#include "analysis/ai/AIService.h"
#include "analysis/ai/MarkdownInline.h"
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "core/PrefsNotifier.h"
#include "ui/ChromeButton.h"
#include "ui/FloatingSurface.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTextBlockFormat>
#include <QTextBrowser>
#include <QTextCursor>
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
    Notice(const QString& symbol, const QColor& color, QLabel* text) : m_symbol(symbol), m_color(color)
    {
        auto* row = new QHBoxLayout(this);
        row->setContentsMargins(10 + 18, 10, 10, 10);
        row->setSpacing(8);
        text->setFont(Theme::font(11.5));
        text->setTextFormat(Qt::PlainText);  // server text is never markup
        text->setWordWrap(true);
        text->setTextInteractionFlags(Qt::TextSelectableByMouse);
        row->addWidget(text, 1, Qt::AlignTop);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QColor fill = m_color;
        fill.setAlphaF(0.12);
        p.fillPath(roundedRect(QRectF(rect()), 10), fill);
        Symbols::paint(p, QRectF(10, 11, 14, 14), m_symbol, m_color);
    }

private:
    QString m_symbol;
    QColor m_color;
};

// The Analyze button; while a request runs it shows a small white activity indicator in
// place of its symbol.
class AnalyzeButton : public ChromeButton {
public:
    AnalyzeButton(const ChromeButtonStyle& style, std::function<void()> action)
        : ChromeButton("wand.and.stars"_sym, QString(), style, std::move(action))
    {
        m_spin.setInterval(80);
        connect(&m_spin, &QTimer::timeout, this, [this] {
            m_phase = (m_phase + 1) % kSpokes;
            update();
        });
    }
    void setLoading(bool loading)
    {
        loading ? m_spin.start() : m_spin.stop();
        update();
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        if (!m_spin.isActive())
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
            spoke.setAlphaF(0.25 + 0.75 * ((i + kSpokes - m_phase) % kSpokes) / (kSpokes - 1));
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
    QTimer m_spin;
    int m_phase = 0;
};

QLabel* textLabel(const QString& text, const QFont& font, const QColor& color)
{
    auto* l = new QLabel(text);
    l->setFont(font);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, color);
    l->setPalette(pal);
    return l;
}

}  // namespace

AIPanel::AIPanel(std::shared_ptr<AIAnalysisModel> model, std::function<QImage()> image,
                 const QUuid& historyID, std::function<void()> close, QWidget* parent)
    : QWidget(parent), m_model(std::move(model)), m_image(std::move(image)), m_historyID(historyID)
{
    setFixedWidth(kWidth);
    setAutoFillBackground(true);
    const QPalette pal = palette();
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(14, 14, 14, 14);
    column->setSpacing(12);

    auto* header = new QHBoxLayout;
    header->setSpacing(10);
    header->addWidget(new BrandBadge);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(0);
    titles->addWidget(textLabel(
        kx::tr(QStringLiteral("AI analysis"), QStringLiteral("AI elemzés"), QStringLiteral("KI-Analyse")),
        Theme::font(14, QFont::DemiBold), Theme::primary(pal)));
    m_modelName = textLabel(QString(), Theme::font(10.5), Theme::secondary(pal));
    titles->addWidget(m_modelName);
    header->addLayout(titles);
    header->addStretch(1);
    ChromeButtonStyle closeStyle;
    closeStyle.size = 24;
    closeStyle.radius = 12;
    closeStyle.square = true;
    auto* closeButton = new ChromeButton("xmark"_sym, QString(), closeStyle, std::move(close));
    closeButton->setSymbolFont(11, SymbolWeight::semibold);
    header->addWidget(closeButton);
    column->addLayout(header);

    m_picker = new QComboBox;
    m_picker->setObjectName(QStringLiteral("presetPicker"));
    for (AIPreset p : allCases<AIPreset>())
        m_picker->addItem(title(p), rawValue(p));
    connect(m_picker, &QComboBox::activated, this, [this](int i) {
        if (auto p = fromRaw<AIPreset>(m_picker->itemData(i).toString()))
            m_model->setPreset(*p);
    });
    column->addWidget(m_picker);

    m_customCard = new CardFrame(10, Theme::primary(pal, 0.045));
    auto* cardLayout = new QVBoxLayout(m_customCard);
    cardLayout->setContentsMargins(6, 6, 6, 6);
    m_custom = new QPlainTextEdit;
    m_custom->setObjectName(QStringLiteral("customQuestion"));
    m_custom->setFont(Theme::font(12));
    m_custom->setFrameShape(QFrame::NoFrame);
    m_custom->viewport()->setAutoFillBackground(false);
    m_custom->setStyleSheet(QStringLiteral("background: transparent;"));
    m_customCard->setFixedHeight(78);
    cardLayout->addWidget(m_custom);
    connect(m_custom, &QPlainTextEdit::textChanged, this,
            [this] { m_model->setCustom(m_custom->toPlainText()); });
    column->addWidget(m_customCard);

    auto* actions = new QHBoxLayout;
    actions->setSpacing(8);
    ChromeButtonStyle analyzeStyle;
    analyzeStyle.prominent = true;
    analyzeStyle.radius = 15;
    m_analyze = new AnalyzeButton(analyzeStyle,
                                  [this] { m_model->run(m_image ? m_image() : QImage(), m_historyID); });
    m_analyze->setObjectName(QStringLiteral("analyze"));
    m_analyze->setTitleFont(12.5, QFont::DemiBold);
    actions->addWidget(m_analyze);
    ChromeButtonStyle copyStyle;
    copyStyle.radius = 15;
    m_copy = new ChromeButton(
        "doc.on.doc"_sym,
        kx::tr(QStringLiteral("Copy"), QStringLiteral("Másolás"), QStringLiteral("Kopieren")), copyStyle,
        [this] {
            QClipboard* clipboard = QGuiApplication::clipboard();
            clipboard->clear();
            clipboard->setText(m_model->result());
        });
    m_copy->setObjectName(QStringLiteral("copy"));
    actions->addWidget(m_copy);
    actions->addStretch(1);
    column->addLayout(actions);

    m_keyNotice = new Notice(
        "key"_sym, Theme::systemOrange(),
        new QLabel(kx::tr(QStringLiteral("No API key yet – add it in Settings → AI."),
                          QStringLiteral("Még nincs API-kulcs – add meg a Beállítások → AI fülön."),
                          QStringLiteral("Noch kein API-Schlüssel – füge ihn unter "
                                         "Einstellungen → AI hinzu."))));
    m_keyNotice->setObjectName(QStringLiteral("keyNotice"));
    column->addWidget(m_keyNotice);
    m_errorText = new QLabel;
    m_errorText->setObjectName(QStringLiteral("errorText"));
    m_errorNotice = new Notice("exclamationmark.triangle.fill"_sym, Theme::systemRed(), m_errorText);
    m_errorNotice->setObjectName(QStringLiteral("errorNotice"));
    column->addWidget(m_errorNotice);

    auto* answerCard = new CardFrame(12, Theme::primary(pal, 0.045));
    auto* answerLayout = new QVBoxLayout(answerCard);
    answerLayout->setContentsMargins(0, 0, 0, 0);
    m_hint = new QWidget;
    m_hint->setObjectName(QStringLiteral("hint"));
    auto* hintLayout = new QVBoxLayout(m_hint);
    hintLayout->setContentsMargins(0, 40, 0, 0);
    hintLayout->setSpacing(8);
    auto* glass = new QLabel;
    glass->setPixmap(QPixmap::fromImage(Symbols::image("text.magnifyingglass"_sym, 30, Theme::tertiary(pal),
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
    answerLayout->addWidget(m_hint);
    m_answer = new QTextBrowser;
    m_answer->setObjectName(QStringLiteral("answer"));
    m_answer->setFrameShape(QFrame::NoFrame);
    m_answer->setOpenLinks(false);
    m_answer->setFont(Theme::font(12.5));
    m_answer->document()->setDocumentMargin(12);
    m_answer->viewport()->setAutoFillBackground(false);
    m_answer->setStyleSheet(QStringLiteral("background: transparent;"));
    connect(m_answer, &QTextBrowser::anchorClicked, this, [](const QUrl& url) {
        if (isOpenableLink(url))
            QDesktopServices::openUrl(url);
    });
    answerLayout->addWidget(m_answer);
    column->addWidget(answerCard, 1);

    connect(m_model.get(), &AIAnalysisModel::changed, this, &AIPanel::sync);
    connect(&PrefsNotifier::shared(), &PrefsNotifier::changed, this, [this](const QString& key) {
        if (key.startsWith(QLatin1String("ai.")))
            refreshKey();
    });
    sync();
}

void AIPanel::refreshKey()
{
    // Only the newest question counts when the provider changes while one is out.
    const int query = ++m_keyQuery;
    AIService::hasKey().then(this, [this, query](bool has) {
        if (query != m_keyQuery)
            return;
        m_hasKey = has;
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
    const AIAnalysisModel& m = *m_model;
    m_modelName->setText(AIService::modelName(Prefs::aiProvider()));
    m_picker->setCurrentIndex(m_picker->findData(rawValue(m.preset())));
    m_customCard->setVisible(m.preset() == AIPreset::custom);
    if (m_custom->toPlainText() != m.custom())
        m_custom->setPlainText(m.custom());
    m_analyze->setEnabled(!m.loading());
    static_cast<AnalyzeButton*>(m_analyze)->setLoading(m.loading());
    m_analyze->setTitle(m.loading() ? kx::tr(QStringLiteral("Analyzing…"), QStringLiteral("Elemzés…"),
                                             QStringLiteral("Wird analysiert…"))
                                    : kx::tr(QStringLiteral("Analyze"), QStringLiteral("Elemzés"),
                                             QStringLiteral("Analysieren")));
    m_copy->setVisible(!m.result().isEmpty());
    m_keyNotice->setVisible(!m_hasKey);
    m_errorNotice->setVisible(m.error().has_value());
    m_errorText->setText(m.error().value_or(QString()));
    const bool showHint = m.result().isEmpty() && !m.loading();
    m_hint->setVisible(showHint);
    m_answer->setVisible(!showHint);
    if (m_answer->property("markdown").toString() != m.result() || m.result().isEmpty()) {
        m_answer->setProperty("markdown", m.result());
        m_answer->setHtml(inlineMarkdownHtml(m.result()));
        QTextCursor all(m_answer->document());
        all.select(QTextCursor::Document);
        QTextBlockFormat spacing;
        spacing.setLineHeight(3, QTextBlockFormat::LineDistanceHeight);
        all.mergeBlockFormat(spacing);
    }
}

}  // namespace kx
