#include "ui/ToastQueue.h"

#include <utility>

namespace kx {

ToastQueue::Change ToastQueue::add(int id, Kind kind, bool timed)
{
    Change c;
    auto replace = [&c](std::optional<int>& slot) {
        if (slot)
            c.remove.append(*std::exchange(slot, std::nullopt));
    };
    switch (kind) {
        case Kind::card:
            replace(card_);
            card_ = id;
            c.show.append(id);
            break;
        case Kind::confirmation:
            replace(confirmation_);
            confirmation_ = id;
            c.show.append(id);
            break;
        case Kind::warning:
            replace(confirmation_);
            if (warning_ && !warningTimed_)
                replace(warning_);
            if (warning_) {
                waiting_.append(id);
                waitingTimed_.append(timed);
                break;
            }
            warning_ = id;
            warningTimed_ = timed;
            c.show.append(id);
            break;
    }
    return c;
}

ToastQueue::Change ToastQueue::ended(int id)
{
    Change c;
    if (card_ == id)
        card_.reset();
    if (confirmation_ == id)
        confirmation_.reset();
    if (const qsizetype at = waiting_.indexOf(id); at >= 0) {
        waiting_.removeAt(at);
        waitingTimed_.removeAt(at);
    }
    if (warning_ == id) {
        warning_.reset();
        if (!waiting_.isEmpty()) {
            warning_ = waiting_.takeFirst();
            warningTimed_ = waitingTimed_.takeFirst();
            c.show.append(*warning_);
        }
    }
    return c;
}

QList<int> ToastQueue::shown() const
{
    QList<int> out;
    for (const std::optional<int>& slot : {card_, warning_, confirmation_})
        if (slot)
            out.append(*slot);
    return out;
}

}  // namespace kx
