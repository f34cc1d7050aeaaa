#include "editor/canvas/CanvasTextField.h"

#include "editor/PaintHelpers.h"

#include <QClipboard>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPalette>
#include <QTextOption>
#include <algorithm>
#include <cmath>

namespace kx {

namespace {

// Text as the renderer hands it to the layout: line feeds become line separators.
QString layoutText(QString s)
{
    s.replace(QLatin1Char('\n'), QChar::LineSeparator);
    return s;
}

// What a key press or a paste adds: every character but control characters (tabs and, where
// `lineBreaks`, line feeds kept). Judged a code point at a time: emoji and flags lie beyond
// the basic plane, and the joiners and direction marks that Persian and right-to-left text
// need are format characters, not control ones. A half surrogate pair is no character.
QString typedText(const QString& s, bool lineBreaks)
{
    QString kept;
    kept.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s.at(i);
        if (c.isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate()) {
            kept.append(c).append(s.at(++i));
            continue;
        }
        if (c.isSurrogate())
            continue;
        if (c.category() == QChar::Other_Control && c != QLatin1Char('\t') &&
            !(lineBreaks && c == QLatin1Char('\n')))
            continue;
        kept.append(c);
    }
    return kept;
}

bool printable(const QString& s)
{
    return !s.isEmpty() && typedText(s, false) == s;
}

}  // namespace

CanvasTextField::CanvasTextField(const QFont& font, const QColor& color, QWidget* parent)
    : QWidget(parent), font_(font), color_(color)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    setCursor(Qt::IBeamCursor);
    relayout();
}

CanvasTextField::~CanvasTextField() = default;

void CanvasTextField::setText(const QString& text)
{
    text_ = text;
    cursor_ = anchor_ = int(text_.size());
    relayout();
    update();
}

void CanvasTextField::selectAll()
{
    anchor_ = 0;
    cursor_ = int(text_.size());
    update();
}

void CanvasTextField::setPlacement(const QPointF& textOrigin, double zoom)
{
    origin_ = textOrigin;
    zoom_ = std::max(zoom, 0.001);
    update();
}

// Lines are placed the way QPainter::drawText places them for the renderer: each line top
// rounded up to a whole pixel after the font's leading.
void CanvasTextField::relayout()
{
    layout_ = std::make_unique<QTextLayout>(layoutText(text_), font_);
    QTextOption option(Qt::AlignLeft | Qt::AlignTop);
    option.setWrapMode(QTextOption::ManualWrap);
    layout_->setTextOption(option);
    layout_->setCacheEnabled(true);
    const double leading = QFontMetricsF(font_).leading();
    double height = -leading;
    layout_->beginLayout();
    for (QTextLine line = layout_->createLine(); line.isValid(); line = layout_->createLine()) {
        line.setLineWidth(10000);
        height = std::ceil(height + leading);
        line.setPosition(QPointF(0, height));
        height += line.height();
    }
    layout_->endLayout();
}

QSizeF CanvasTextField::usedSize() const
{
    double w = 0, h = 0;
    for (int i = 0; i < layout_->lineCount(); ++i) {
        const QTextLine line = layout_->lineAt(i);
        w = std::max(w, line.naturalTextWidth());
        h = std::max(h, line.y() + line.height());
    }
    if (h <= 0)
        h = QFontMetricsF(font_).height();
    return QSizeF(w, h);
}

QPointF CanvasTextField::toText(const QPointF& widgetPoint) const
{
    return (widgetPoint - origin_) / zoom_;
}

QRectF CanvasTextField::caretRect() const
{
    QTextLine line = layout_->lineForTextPosition(cursor_);
    if (!line.isValid() && layout_->lineCount() > 0)
        line = layout_->lineAt(layout_->lineCount() - 1);
    if (!line.isValid())
        return QRectF(0, 0, 0, QFontMetricsF(font_).height());
    return QRectF(line.cursorToX(cursor_), line.y(), 0, line.height());
}

int CanvasTextField::positionAt(const QPointF& widgetPoint) const
{
    const QPointF t = toText(widgetPoint);
    const int count = layout_->lineCount();
    if (count == 0)
        return 0;
    int index = count - 1;
    for (int i = 0; i < count; ++i) {
        if (t.y() < layout_->lineAt(i).y() + layout_->lineAt(i).height()) {
            index = i;
            break;
        }
    }
    return layout_->lineAt(index).xToCursor(t.x());
}

int CanvasTextField::verticalNeighbour(int position, int direction) const
{
    const QTextLine line = layout_->lineForTextPosition(position);
    if (!line.isValid())
        return position;
    const int target = line.lineNumber() + direction;
    if (target < 0)
        return 0;
    if (target >= layout_->lineCount())
        return int(text_.size());
    return layout_->lineAt(target).xToCursor(line.cursorToX(position));
}

void CanvasTextField::moveCursor(int position, bool extend)
{
    cursor_ = std::clamp(position, 0, int(text_.size()));
    if (!extend)
        anchor_ = cursor_;
    update();
}

void CanvasTextField::removeSelection()
{
    const int from = std::min(anchor_, cursor_), to = std::max(anchor_, cursor_);
    text_.remove(from, to - from);
    cursor_ = anchor_ = from;
}

void CanvasTextField::insert(const QString& s)
{
    removeSelection();
    text_.insert(cursor_, s);
    cursor_ = anchor_ = cursor_ + int(s.size());
    relayout();
    update();
    Q_EMIT textEdited();
}

bool CanvasTextField::isEditingKey(const QKeyEvent* e) const
{
    if (e->matches(QKeySequence::Copy) || e->matches(QKeySequence::Cut) || e->matches(QKeySequence::Paste) ||
        e->matches(QKeySequence::SelectAll))
        return true;
    switch (e->key()) {
        case Qt::Key_Backspace:
        case Qt::Key_Delete:
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            return true;
        default:
            break;
    }
    // Plain typing wins over single-letter shortcuts of the window.
    return !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) &&
           printable(e->text());
}

bool CanvasTextField::event(QEvent* e)
{
    if (e->type() == QEvent::ShortcutOverride && isEditingKey(static_cast<QKeyEvent*>(e))) {
        e->accept();
        return true;
    }
    return QWidget::event(e);
}

void CanvasTextField::keyPressEvent(QKeyEvent* e)
{
    const bool shift = e->modifiers() & Qt::ShiftModifier;
    const bool ctrl = e->modifiers() & Qt::ControlModifier;
    const QTextLayout::CursorMode mode = ctrl ? QTextLayout::SkipWords : QTextLayout::SkipCharacters;
    if (e->matches(QKeySequence::SelectAll)) {
        selectAll();
    } else if (e->matches(QKeySequence::Copy) || e->matches(QKeySequence::Cut)) {
        const int from = std::min(anchor_, cursor_), to = std::max(anchor_, cursor_);
        if (from != to) {
            QGuiApplication::clipboard()->setText(text_.mid(from, to - from));
            if (e->matches(QKeySequence::Cut))
                insert(QString());
        }
    } else if (e->matches(QKeySequence::Paste)) {
        QString s = QGuiApplication::clipboard()->text();
        s.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
        insert(typedText(s, true));
    } else {
        switch (e->key()) {
            case Qt::Key_Escape:
                Q_EMIT commitRequested();
                return;
            case Qt::Key_Return:
            case Qt::Key_Enter:
                if (ctrl)
                    Q_EMIT commitRequested();
                else
                    insert(QStringLiteral("\n"));
                return;
            case Qt::Key_Backspace:
            case Qt::Key_Delete:
                if (!hasSelection()) {
                    const bool back = e->key() == Qt::Key_Backspace;
                    const int to = back ? layout_->previousCursorPosition(cursor_, mode)
                                        : layout_->nextCursorPosition(cursor_, mode);
                    anchor_ = std::clamp(to, 0, int(text_.size()));
                }
                insert(QString());
                return;
            case Qt::Key_Left:
                if (hasSelection() && !shift)
                    moveCursor(std::min(anchor_, cursor_), false);
                else
                    moveCursor(layout_->previousCursorPosition(cursor_, mode), shift);
                return;
            case Qt::Key_Right:
                if (hasSelection() && !shift)
                    moveCursor(std::max(anchor_, cursor_), false);
                else
                    moveCursor(layout_->nextCursorPosition(cursor_, mode), shift);
                return;
            case Qt::Key_Up:
                moveCursor(verticalNeighbour(cursor_, -1), shift);
                return;
            case Qt::Key_Down:
                moveCursor(verticalNeighbour(cursor_, +1), shift);
                return;
            case Qt::Key_Home:
            case Qt::Key_End: {
                const bool home = e->key() == Qt::Key_Home;
                const QTextLine line = layout_->lineForTextPosition(cursor_);
                int to = home ? 0 : int(text_.size());
                if (!ctrl && line.isValid()) {
                    to = home ? line.textStart() : line.textStart() + line.textLength();
                    // Stay before the line break that ends the line.
                    if (!home && to > line.textStart() && to <= text_.size() &&
                        text_.at(to - 1) == QLatin1Char('\n'))
                        --to;
                }
                moveCursor(to, shift);
                return;
            }
            default:
                break;
        }
        if (!(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) &&
            printable(e->text()))
            insert(e->text());
        else
            e->ignore();
    }
}

void CanvasTextField::inputMethodEvent(QInputMethodEvent* e)
{
    if (const QString s = typedText(e->commitString(), false); !s.isEmpty())
        insert(s);
    e->accept();
}

QVariant CanvasTextField::inputMethodQuery(Qt::InputMethodQuery query) const
{
    switch (query) {
        case Qt::ImCursorRectangle: {
            const QRectF c = caretRect();
            return QRectF(origin_ + c.topLeft() * zoom_, QSizeF(1, c.height() * zoom_)).toAlignedRect();
        }
        case Qt::ImFont:
            return font_;
        case Qt::ImCursorPosition:
            return cursor_;
        case Qt::ImAnchorPosition:
            return anchor_;
        case Qt::ImSurroundingText:
            return text_;
        case Qt::ImCurrentSelection:
            return text_.mid(std::min(anchor_, cursor_), std::abs(anchor_ - cursor_));
        default:
            return QWidget::inputMethodQuery(query);
    }
}

void CanvasTextField::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton)
        moveCursor(positionAt(e->position()), e->modifiers() & Qt::ShiftModifier);
}

void CanvasTextField::mouseMoveEvent(QMouseEvent* e)
{
    if (e->buttons() & Qt::LeftButton)
        moveCursor(positionAt(e->position()), true);
}

void CanvasTextField::mouseDoubleClickEvent(QMouseEvent* e)
{
    const int at = positionAt(e->position());
    anchor_ = layout_->previousCursorPosition(std::min(at + 1, int(text_.size())), QTextLayout::SkipWords);
    cursor_ = layout_->nextCursorPosition(anchor_, QTextLayout::SkipWords);
    update();
}

void CanvasTextField::focusOutEvent(QFocusEvent* e)
{
    QWidget::focusOutEvent(e);
    // Switching windows or opening a menu keeps the field; focus moving inside the window ends it.
    if (e->reason() != Qt::ActiveWindowFocusReason && e->reason() != Qt::PopupFocusReason)
        Q_EMIT editingFinished();
}

void CanvasTextField::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    p.translate(origin_);
    p.scale(zoom_, zoom_);

    if (hasSelection()) {
        const int from = std::min(anchor_, cursor_), to = std::max(anchor_, cursor_);
        QColor band = palette().color(QPalette::Highlight);
        band.setAlphaF(0.35);
        for (int i = 0; i < layout_->lineCount(); ++i) {
            const QTextLine line = layout_->lineAt(i);
            const int s = std::max(from, line.textStart()),
                      t = std::min(to, line.textStart() + line.textLength());
            if (s >= t)
                continue;
            const double x0 = line.cursorToX(s), x1 = line.cursorToX(t);
            p.fillRect(QRectF(x0, line.y(), std::max(x1 - x0, 2 / zoom_), line.height()), band);
        }
    }

    // The very call the renderer makes, so the glyphs land where the annotation will draw them.
    p.setFont(font_);
    p.setPen(color_);
    p.drawText(QRectF(QPointF(0, 0), EditorFont::textSize(text_, font_)), Qt::AlignLeft | Qt::AlignTop,
               text_);

    if (hasFocus() && !hasSelection()) {
        const QRectF c = caretRect();
        p.fillRect(QRectF(c.x(), c.y(), 1.5 / zoom_, c.height()), color_);
    }
}

}  // namespace kx
