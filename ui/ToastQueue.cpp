#include "ui/ToastQueue.h"

#include <algorithm>
#include <utility>

namespace kx {

ToastQueue::Change ToastQueue::add(const Item& item, const QRect& pointerArea)
{
    Change c;
    if (shown().isEmpty())
        area_ = pointerArea;
    const Slot slot{item.id, item.size, item.timed, item.key, 1};
    auto replace = [&c](std::optional<Slot>& s) {
        if (s)
            c.remove.append(std::exchange(s, std::nullopt)->id);
    };
    switch (item.kind) {
        case Kind::card:
            replace(card_);
            card_ = slot;
            c.show.append(item.id);
            break;
        case Kind::confirmation:
            replace(confirmation_);
            confirmation_ = slot;
            c.show.append(item.id);
            break;
        case Kind::warning: {
            if (!item.key.isEmpty()) {
                Slot* same = warning_ && warning_->key == item.key ? &*warning_ : nullptr;
                for (Slot& w : waiting_)
                    if (!same && w.key == item.key)
                        same = &w;
                if (same) {
                    ++same->count;
                    c.mergedInto = same->id;
                    return c;
                }
            }
            if (warning_ && !warning_->timed)
                replace(warning_);
            if (warning_ || !waiting_.isEmpty()) {
                waiting_.append(slot);
                if (waiting_.size() > maxWaiting)
                    c.remove.append(waiting_.takeFirst().id);
                break;
            }
            replace(confirmation_);  // older than this warning
            warning_ = slot;
            c.show.append(item.id);
            break;
        }
    }
    settle(c, item.id);
    return c;
}

ToastQueue::Change ToastQueue::ended(int id)
{
    Change c;
    for (std::optional<Slot>* s : {&card_, &warning_, &confirmation_})
        if (*s && (*s)->id == id)
            s->reset();
    waiting_.removeIf([id](const Slot& w) { return w.id == id; });
    settle(c, 0);
    return c;
}

ToastQueue::Change ToastQueue::setArea(const QRect& area)
{
    Change c;
    area_ = area;
    settle(c, 0);
    return c;
}

ToastQueue::Change ToastQueue::resized(int id, const QSize& size)
{
    Change c;
    for (std::optional<Slot>* s : {&card_, &warning_, &confirmation_})
        if (*s && (*s)->id == id)
            (*s)->size = size;
    for (Slot& w : waiting_)
        if (w.id == id)
            w.size = size;
    settle(c, id);
    return c;
}

QList<const ToastQueue::Slot*> ToastQueue::stack() const
{
    QList<const Slot*> out;
    for (const std::optional<Slot>* s : {&card_, &warning_, &confirmation_})
        if (*s)
            out.append(&**s);
    return out;
}

bool ToastQueue::fits(const QList<const Slot*>& stack) const
{
    if (stack.size() < 2)
        return true;  // alone it stands at the corner; nothing would make more room
    int height = edgeMargin;
    for (const Slot* s : stack)
        height += s->size.height();
    height -= stackOverlap * int(stack.size() - 1);
    return height <= area_.height();
}

void ToastQueue::settle(Change& c, int keep)
{
    // The oldest on screen gives way first, the newcomer never.
    while (!fits(stack())) {
        std::optional<Slot>* oldest = nullptr;
        for (std::optional<Slot>* s : {&card_, &warning_, &confirmation_})
            if (*s && (*s)->id != keep && (!oldest || (*s)->id < (*oldest)->id))
                oldest = s;
        if (!oldest)
            break;
        const Slot gone = *std::exchange(*oldest, std::nullopt);
        if (oldest == &warning_) {
            waiting_.prepend(gone);
            c.suspend.append(gone.id);
        } else {
            c.remove.append(gone.id);
        }
        c.show.removeAll(gone.id);
    }
    // Waiting warnings come in, in their order, while they fit.
    while (!warning_ && !waiting_.isEmpty()) {
        const Slot next = waiting_.first();
        QList<const Slot*> would;
        if (card_)
            would.append(&*card_);
        would.append(&next);
        const bool endsConfirmation = confirmation_ && confirmation_->id < next.id;
        if (confirmation_ && !endsConfirmation)
            would.append(&*confirmation_);
        if (!fits(would))
            break;
        if (endsConfirmation)
            c.remove.append(std::exchange(confirmation_, std::nullopt)->id);
        warning_ = waiting_.takeFirst();
        c.suspend.removeAll(next.id);
        c.show.append(next.id);
    }
}

QList<int> ToastQueue::shown() const
{
    QList<int> out;
    for (const Slot* s : stack())
        out.append(s->id);
    return out;
}

QList<QPoint> ToastQueue::positions() const
{
    QList<QSize> sizes;
    for (const Slot* s : stack())
        sizes.append(s->size);
    return stackPositions(area_, sizes);
}

QList<int> ToastQueue::waiting() const
{
    QList<int> out;
    for (const Slot& w : waiting_)
        out.append(w.id);
    return out;
}

std::optional<int> ToastQueue::card() const
{
    return card_ ? std::optional<int>(card_->id) : std::nullopt;
}

int ToastQueue::count(int id) const
{
    for (const Slot* s : stack())
        if (s->id == id)
            return s->count;
    for (const Slot& w : waiting_)
        if (w.id == id)
            return w.count;
    return 0;
}

QList<QPoint> ToastQueue::stackPositions(const QRect& area, const QList<QSize>& sizes)
{
    QList<QPoint> out;
    int bottom = area.y() + area.height() - edgeMargin;
    for (const QSize& size : sizes) {
        const int y = bottom - size.height();
        out.append(
            {std::max(area.x(), area.x() + area.width() - size.width() - edgeMargin), std::max(area.y(), y)});
        bottom = y + stackOverlap;
    }
    return out;
}

}  // namespace kx
