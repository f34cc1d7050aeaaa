#include "editor/window/ToolRail.h"

#include "core/Localisation.h"
#include "editor/document/EditorDocument.h"
#include "ui/ChromeButton.h"
#include "ui/HelpTip.h"
#include "ui/Theme.h"

#include <QPainter>
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
    : QScrollArea(parent), doc_(doc)
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
}

}  // namespace kx
