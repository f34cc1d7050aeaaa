#include "editor/window/ToolRail.h"

#include "core/Localisation.h"
#include "editor/document/EditorDocument.h"
#include "ui/ChromeButton.h"
#include "ui/HelpTip.h"
#include "ui/Theme.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QVBoxLayout>

namespace kx {

namespace {

// A short capsule between groups.
class RailSeparator : public QWidget {
public:
    using QWidget::QWidget;
    QSize sizeHint() const override { return {20, 5}; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(Theme::primary(palette(), 0.12));
        p.drawRoundedRect(QRectF((width() - 20) / 2.0, 2, 20, 1), 0.5, 0.5);
    }
};

// The rail's column: window colour with a hairline along the trailing edge.
class RailColumn : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), palette().color(QPalette::Window));
        p.fillRect(QRectF(width() - 0.5, 0, 0.5, height()), Theme::primary(palette(), 0.08));
    }
};

// A fade over the rail's edge with a chevron: more tools lie beyond; a click scrolls there.
class ScrollHint : public QWidget {
public:
    ScrollHint(bool up, std::function<void()> onClick, QWidget* parent)
        : QWidget(parent), up_(up), onClick_(std::move(onClick))
    {
        setCursor(Qt::PointingHandCursor);
        setToolTip(up ? kx::tr("More tools above", "További eszközök fent", "Weitere Werkzeuge oben")
                      : kx::tr("More tools below", "További eszközök lent", "Weitere Werkzeuge unten"));
    }
    static constexpr int kHeight = 22;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QColor solid = palette().color(QPalette::Window);
        QColor clear = solid;
        clear.setAlpha(0);
        QLinearGradient fade(0, up_ ? 0 : height(), 0, up_ ? height() : 0);
        fade.setColorAt(0, solid);
        fade.setColorAt(0.55, solid);
        fade.setColorAt(1, clear);
        p.fillRect(rect(), fade);
        const qreal cx = width() / 2.0, cy = up_ ? 9.0 : height() - 9.0, d = up_ ? -3.0 : 3.0;
        QPainterPath chevron;
        chevron.moveTo(cx - 6, cy - d);
        chevron.lineTo(cx, cy + d);
        chevron.lineTo(cx + 6, cy - d);
        p.setPen(QPen(Theme::primary(palette(), 0.55), 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(chevron);
    }
    void mousePressEvent(QMouseEvent* e) override
    {
        if (e->button() == Qt::LeftButton && onClick_)
            onClick_();
    }

private:
    bool up_;
    std::function<void()> onClick_;
};

ChromeButtonStyle railStyle(bool selected)
{
    return ChromeButtonStyle{selected, false, 34, 10, true};
}

ChromeButton* railButton(const QString& symbol, bool selected, std::function<void()> action)
{
    auto* b = new ChromeButton(symbol, QString(), railStyle(selected), std::move(action));
    b->setSymbolFont(15, SymbolWeight::medium);
    b->setLabelFrame(QSizeF(36, 32));
    // The canvas keeps the keyboard: tool letters and arrows go on working after a click.
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

}  // namespace

const QList<QList<ToolKind>>& ToolRail::groups()
{
    static const QList<QList<ToolKind>> g{
        {ToolKind::select, ToolKind::crop},
        {ToolKind::arrow, ToolKind::line, ToolKind::rect, ToolKind::ellipse},
        {ToolKind::pen, ToolKind::highlighter, ToolKind::text, ToolKind::step},
        {ToolKind::blur, ToolKind::pixelate},
        {ToolKind::spotlight, ToolKind::magnifier},
        {ToolKind::ruler},
    };
    return g;
}

ToolRail::ToolRail(EditorDocument& doc, std::function<void()> help, QWidget* parent)
    : QScrollArea(parent), doc_(doc), shownTool_(doc.tool())
{
    setFixedWidth(kWidth);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidgetResizable(true);
    setFocusPolicy(Qt::NoFocus);

    auto* column = new RailColumn;
    auto* stack = new QVBoxLayout(column);
    stack->setContentsMargins(0, 12, 0, 12);
    stack->setSpacing(4);
    bool first = true;
    for (const QList<ToolKind>& group : groups()) {
        if (!first) {
            stack->addWidget(new RailSeparator, 0, Qt::AlignHCenter);
            ++separators_;
        }
        first = false;
        for (ToolKind t : group) {
            ChromeButton* b = railButton(symbol(t), doc.tool() == t, [this, t] { choose(t); });
            helpTip(b, title(t), detail(t), key(t).toUpper());
            buttons_.insert(t, b);
            stack->addWidget(b, 0, Qt::AlignHCenter);
        }
    }
    stack->addWidget(new RailSeparator, 0, Qt::AlignHCenter);
    ++separators_;
    help_ = railButton("questionmark.circle"_sym, false, [help] {
        if (help)
            help();
    });
    help_->setEnabled(bool(help));
    helpTip(help_, kx::tr("Help", "Súgó", "Hilfe"),
            kx::tr("Opens the full guide to the editor.", "Megnyitja a szerkesztő teljes leírását.",
                   "Öffnet die vollständige Anleitung zum Editor."));
    stack->addWidget(help_, 0, Qt::AlignHCenter);
    stack->addStretch(1);
    setWidget(column);
    connect(&doc, &EditorDocument::changed, this, &ToolRail::refresh);

    // Too short a window (a small capture at the smallest editor size) scrolls the column;
    // the marks say so, since the column itself shows no scroll bar.
    QScrollBar* bar = verticalScrollBar();
    const auto page = [bar](int direction) {
        bar->setValue(bar->value() + direction * bar->pageStep() * 3 / 4);
    };
    above_ = new ScrollHint(
        true, [page] { page(-1); }, this);
    below_ = new ScrollHint(
        false, [page] { page(1); }, this);
    connect(bar, &QScrollBar::rangeChanged, this, &ToolRail::placeHints);
    connect(bar, &QScrollBar::valueChanged, this, &ToolRail::placeHints);
    placeHints();
}

void ToolRail::resizeEvent(QResizeEvent* event)
{
    QScrollArea::resizeEvent(event);
    placeHints();
}

void ToolRail::placeHints()
{
    if (!above_ || !below_)
        return;
    const QScrollBar* bar = verticalScrollBar();
    const int w = viewport()->width() - 1;  // the trailing hairline stays visible
    above_->setGeometry(0, 0, w, ScrollHint::kHeight);
    below_->setGeometry(0, height() - ScrollHint::kHeight, w, ScrollHint::kHeight);
    above_->setVisible(bar->value() > bar->minimum());
    below_->setVisible(bar->value() < bar->maximum());
    above_->raise();
    below_->raise();
}

void ToolRail::choose(ToolKind tool)
{
    doc_.setTool(tool);
    if (tool != ToolKind::select)
        doc_.select(QUuid());
}

void ToolRail::refresh()
{
    for (auto it = buttons_.cbegin(); it != buttons_.cend(); ++it)
        it.value()->setSelected(doc_.tool() == it.key());
    // A tool chosen by its letter may sit beyond the edge of a short rail.
    if (doc_.tool() == shownTool_)
        return;
    shownTool_ = doc_.tool();
    if (ChromeButton* b = buttons_.value(shownTool_))
        ensureWidgetVisible(b, 0, ScrollHint::kHeight);
}

}  // namespace kx
