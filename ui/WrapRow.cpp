#include "ui/WrapRow.h"

#include <QWidget>
#include <algorithm>

namespace kx {

WrapRow::WrapRow(QWidget* parent, int spacing, int lineSpacing) : QLayout(parent), lineSpacing_(lineSpacing)
{
    setSpacing(spacing);
}

WrapRow::~WrapRow()
{
    while (QLayoutItem* item = takeAt(0))
        delete item;
}

QLayoutItem* WrapRow::takeAt(int index)
{
    if (index < 0 || index >= items_.size())
        return nullptr;
    return items_.takeAt(index);
}

QSize WrapRow::sizeOf(QLayoutItem* item, int innerWidth)
{
    // An item wider than a whole line (a long hint) takes the line and wraps its own text.
    QSize s = item->sizeHint();
    if (s.width() > innerWidth) {
        s.setWidth(std::max(innerWidth, item->minimumSize().width()));
        if (item->hasHeightForWidth())
            s.setHeight(item->heightForWidth(s.width()));
    }
    return s;
}

QList<WrapRow::Line> WrapRow::lines(int innerWidth) const
{
    QList<Line> out;
    for (QLayoutItem* item : items_) {
        if (item->isEmpty())
            continue;
        const QSize s = sizeOf(item, innerWidth);
        if (out.isEmpty() ||
            (!out.last().items.isEmpty() && out.last().width + spacing() + s.width() > innerWidth))
            out.append(Line{});
        Line& line = out.last();
        line.width += (line.items.isEmpty() ? 0 : spacing()) + s.width();
        line.height = std::max(line.height, s.height());
        line.items.append(item);
    }
    return out;
}

int WrapRow::arrange(const QRect& rect, bool apply) const
{
    const QMargins m = contentsMargins();
    const QRect inner = rect.marginsRemoved(m);
    const QList<Line> all = lines(inner.width());
    int y = inner.top();
    for (const Line& line : all) {
        const int spare = std::max(0, inner.width() - line.width);
        int x = inner.left() + (alignment() & Qt::AlignLeft ? 0 : spare / 2);
        for (QLayoutItem* item : line.items) {
            const QSize s = sizeOf(item, inner.width());
            if (apply)
                item->setGeometry(QRect(QPoint(x, y + (line.height - s.height()) / 2), s));
            x += s.width() + spacing();
        }
        y += line.height + lineSpacing_;
    }
    if (!all.isEmpty())
        y -= lineSpacing_;
    return y - inner.top() + m.top() + m.bottom();
}

QSize WrapRow::sizeHint() const
{
    const QMargins m = contentsMargins();
    const QList<Line> one = lines(QWIDGETSIZE_MAX);
    const Line line = one.isEmpty() ? Line{} : one.first();
    return {line.width + m.left() + m.right(), line.height + m.top() + m.bottom()};
}

QSize WrapRow::minimumSize() const
{
    const QMargins m = contentsMargins();
    int w = 0;
    for (QLayoutItem* item : items_)
        if (!item->isEmpty())
            w = std::max(w, item->minimumSize().width());
    return {w + m.left() + m.right(), sizeHint().height()};
}

void WrapRow::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    arrange(rect, true);
}

int WrapRow::lineCount(int width) const
{
    return int(lines(width - contentsMargins().left() - contentsMargins().right()).size());
}

}  // namespace kx
