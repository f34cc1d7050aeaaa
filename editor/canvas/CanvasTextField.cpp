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

bool printable(const QString& s)
{
    if (s.isEmpty())
        return false;
    return std::all_of(s.begin(), s.end(), [](QChar c) { return c.isPrint() || c == QLatin1Char('\t'); });
}

}  // namespace

CanvasTextField::CanvasTextField(const QFont& font, const QColor& color, QWidget* parent)
    : QWidget(parent), m_font(font), m_color(color)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    setCursor(Qt::IBeamCursor);
    relayout();
}

CanvasTextField::~CanvasTextField() = default;

void CanvasTextField::setText(const QString& text)
{
    m_text = text;
    m_cursor = m_anchor = int(m_text.size());
    relayout();
    update();
}

void CanvasTextField::selectAll()
{
    m_anchor = 0;
    m_cursor = int(m_text.size());
    update();
}

void CanvasTextField::setPlacement(const QPointF& textOrigin, double zoom)
{
    m_origin = textOrigin;
    m_zoom = std::max(zoom, 0.001);
    update();
}

// Lines are placed the way QPainter::drawText places them for the renderer: each line top
// rounded up to a whole pixel after the font's leading.
void CanvasTextField::relayout()
{
    m_layout = std::make_unique<QTextLayout>(layoutText(m_text), m_font);
    QTextOption option(Qt::AlignLeft | Qt::AlignTop);
    option.setWrapMode(QTextOption::ManualWrap);
    m_layout->setTextOption(option);
    m_layout->setCacheEnabled(true);
    const double leading = QFontMetricsF(m_font).leading();
    double height = -leading;
    m_layout->beginLayout();
    for (QTextLine line = m_layout->createLine(); line.isValid(); line = m_layout->createLine()) {
        line.setLineWidth(10000);
        height = std::ceil(height + leading);
        line.setPosition(QPointF(0, height));
        height += line.height();
    }
    m_layout->endLayout();
}

QSizeF CanvasTextField::usedSize() const
{
    double w = 0, h = 0;
    for (int i = 0; i < m_layout->lineCount(); ++i) {
        const QTextLine line = m_layout->lineAt(i);
        w = std::max(w, line.naturalTextWidth());
        h = std::max(h, line.y() + line.height());
    }
    if (h <= 0)
        h = QFontMetricsF(m_font).height();
    return QSizeF(w, h);
}

QPointF CanvasTextField::toText(const QPointF& widgetPoint) const
{
    return (widgetPoint - m_origin) / m_zoom;
}

QRectF CanvasTextField::caretRect() const
{
    QTextLine line = m_layout->lineForTextPosition(m_cursor);
    if (!line.isValid() && m_layout->lineCount() > 0)
        line = m_layout->lineAt(m_layout->lineCount() - 1);
    if (!line.isValid())
        return QRectF(0, 0, 0, QFontMetricsF(m_font).height());
    return QRectF(line.cursorToX(m_cursor), line.y(), 0, line.height());
}

int CanvasTextField::positionAt(const QPointF& widgetPoint) const
{
    const QPointF t = toText(widgetPoint);
    const int count = m_layout->lineCount();
    if (count == 0)
        return 0;
    int index = count - 1;
    for (int i = 0; i < count; ++i) {
        if (t.y() < m_layout->lineAt(i).y() + m_layout->lineAt(i).height()) {
            index = i;
            break;
        }
    }
    return m_layout->lineAt(index).xToCursor(t.x());
}

int CanvasTextField::verticalNeighbour(int position, int direction) const
{
    const QTextLine line = m_layout->lineForTextPosition(position);
    if (!line.isValid())
        return position;
    const int target = line.lineNumber() + direction;
    if (target < 0)
        return 0;
    if (target >= m_layout->lineCount())
        return int(m_text.size());
    return m_layout->lineAt(target).xToCursor(line.cursorToX(position));
}

void CanvasTextField::moveCursor(int position, bool extend)
{
    m_cursor = std::clamp(position, 0, int(m_text.size()));
    if (!extend)
        m_anchor = m_cursor;
    update();
}

void CanvasTextField::removeSelection()
{
    const int from = std::min(m_anchor, m_cursor), to = std::max(m_anchor, m_cursor);
    m_text.remove(from, to - from);
    m_cursor = m_anchor = from;
}

void CanvasTextField::insert(const QString& s)
{
    removeSelection();
    m_text.insert(m_cursor, s);
    m_cursor = m_anchor = m_cursor + int(s.size());
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
        const int from = std::min(m_anchor, m_cursor), to = std::max(m_anchor, m_cursor);
        if (from != to) {
            QGuiApplication::clipboard()->setText(m_text.mid(from, to - from));
            if (e->matches(QKeySequence::Cut))
                insert(QString());
        }
    } else if (e->matches(QKeySequence::Paste)) {
        QString s = QGuiApplication::clipboard()->text();
        s.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
        s.removeIf([](QChar c) { return !c.isPrint() && c != QLatin1Char('\n') && c != QLatin1Char('\t'); });
        insert(s);
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
                    const int to = back ? m_layout->previousCursorPosition(m_cursor, mode)
                                        : m_layout->nextCursorPosition(m_cursor, mode);
                    m_anchor = std::clamp(to, 0, int(m_text.size()));
                }
                insert(QString());
                return;
            case Qt::Key_Left:
                if (hasSelection() && !shift)
                    moveCursor(std::min(m_anchor, m_cursor), false);
                else
                    moveCursor(m_layout->previousCursorPosition(m_cursor, mode), shift);
                return;
            case Qt::Key_Right:
                if (hasSelection() && !shift)
                    moveCursor(std::max(m_anchor, m_cursor), false);
                else
                    moveCursor(m_layout->nextCursorPosition(m_cursor, mode), shift);
                return;
            case Qt::Key_Up:
                moveCursor(verticalNeighbour(m_cursor, -1), shift);
                return;
            case Qt::Key_Down:
                moveCursor(verticalNeighbour(m_cursor, +1), shift);
                return;
            case Qt::Key_Home:
            case Qt::Key_End: {
                const bool home = e->key() == Qt::Key_Home;
                const QTextLine line = m_layout->lineForTextPosition(m_cursor);
                int to = home ? 0 : int(m_text.size());
                if (!ctrl && line.isValid()) {
                    to = home ? line.textStart() : line.textStart() + line.textLength();
                    // Stay before the line break that ends the line.
                    if (!home && to > line.textStart() && to <= m_text.size() &&
                        m_text.at(to - 1) == QLatin1Char('\n'))
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
    if (!e->commitString().isEmpty())
        insert(e->commitString());
    e->accept();
}

QVariant CanvasTextField::inputMethodQuery(Qt::InputMethodQuery query) const
{
    switch (query) {
        case Qt::ImCursorRectangle: {
            const QRectF c = caretRect();
            return QRectF(m_origin + c.topLeft() * m_zoom, QSizeF(1, c.height() * m_zoom)).toAlignedRect();
        }
        case Qt::ImFont:
            return m_font;
        case Qt::ImCursorPosition:
            return m_cursor;
        case Qt::ImAnchorPosition:
            return m_anchor;
        case Qt::ImSurroundingText:
            return m_text;
        case Qt::ImCurrentSelection:
            return m_text.mid(std::min(m_anchor, m_cursor), std::abs(m_anchor - m_cursor));
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
    m_anchor = m_layout->previousCursorPosition(std::min(at + 1, int(m_text.size())), QTextLayout::SkipWords);
    m_cursor = m_layout->nextCursorPosition(m_anchor, QTextLayout::SkipWords);
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
    p.translate(m_origin);
    p.scale(m_zoom, m_zoom);

    if (hasSelection()) {
        const int from = std::min(m_anchor, m_cursor), to = std::max(m_anchor, m_cursor);
        QColor band = palette().color(QPalette::Highlight);
        band.setAlphaF(0.35);
        for (int i = 0; i < m_layout->lineCount(); ++i) {
            const QTextLine line = m_layout->lineAt(i);
            const int s = std::max(from, line.textStart()),
                      t = std::min(to, line.textStart() + line.textLength());
            if (s >= t)
                continue;
            const double x0 = line.cursorToX(s), x1 = line.cursorToX(t);
            p.fillRect(QRectF(x0, line.y(), std::max(x1 - x0, 2 / m_zoom), line.height()), band);
        }
    }

    // The very call the renderer makes, so the glyphs land where the annotation will draw them.
    p.setFont(m_font);
    p.setPen(m_color);
    p.drawText(QRectF(QPointF(0, 0), EditorFont::textSize(m_text, m_font)), Qt::AlignLeft | Qt::AlignTop,
               m_text);

    if (hasFocus() && !hasSelection()) {
        const QRectF c = caretRect();
        p.fillRect(QRectF(c.x(), c.y(), 1.5 / m_zoom, c.height()), m_color);
    }
}

}  // namespace kx
