#pragma once
// What the toast shows and where, decided without widgets or timers. Three kinds share the
// corner of one work area, stacked upwards in this order: the preview card, one warning, one
// confirmation.
//
// - A card replaces an earlier card only: no notice ever takes its place.
// - A warning (something went wrong or needs the user) shows for its whole time; warnings that
//   come while one shows wait their turn, in the order they came. A warning equal to one shown
//   or waiting is counted on that one instead, and at most `maxWaiting` wait: the oldest of
//   them goes, so the toast never runs far behind.
// - A confirmation (the outcome of what the user just did, or progress) shows at once in place of
//   the confirmation before it. A warning that shows ends an older confirmation on screen, since
//   it is newer news ("Uploading…" gives way to "Upload failed"); one that waits leaves it.
//
// Everything shown stays inside the work area. When the stack is too high for it, the oldest on
// screen gives way, the newcomer never: a card or a confirmation ends, a warning goes back to
// the head of the line and shows again, for its whole time, once it fits. A waiting warning
// shows only where it fits.
#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <optional>

namespace kx {

class ToastQueue {
public:
    enum class Kind { card, warning, confirmation };
    static constexpr int edgeMargin = 16;    // from the right and bottom of the work area
    static constexpr int stackOverlap = 14;  // stacked panels share their transparent margins
    static constexpr int maxWaiting = 3;

    struct Item {
        int id = 0;
        Kind kind = Kind::confirmation;
        QSize size;
        bool timed = true;  // an untimed warning gives way to the next warning
        QString key;        // warnings with the same key are counted as one
    };
    struct Change {
        QList<int> show;     // to put on screen now: new, or back from waiting
        QList<int> remove;   // to take off at once, without waiting for their time
        QList<int> suspend;  // to take off and keep: back at the head of the line
        // The added warning was counted on this one (a shown one starts its time again).
        std::optional<int> mergedInto;
    };

    // A new item; `pointerArea` (the work area under the pointer) is taken only when nothing
    // shows, so a stack never spreads over two screens.
    Change add(const Item& item, const QRect& pointerArea);
    // The item is gone: its time ran out or it was dismissed. A waiting warning may show.
    Change ended(int id);
    // The stack's work area changed (a new resolution, a panel, its screen gone).
    Change setArea(const QRect& area);
    // A shown or waiting item's size changed (a count added to its title).
    Change resized(int id, const QSize& size);

    // On screen, from the corner upwards, and where each stands.
    QList<int> shown() const;
    QList<QPoint> positions() const;
    QList<int> waiting() const;
    std::optional<int> card() const;
    int count(int id) const;  // how many equal warnings `id` stands for
    QRect area() const { return area_; }

    // Where panels of `sizes` stand when stacked upwards from the corner of `area`, in the same
    // order: right-aligned, each one's lower margin over the upper margin of the one below, and
    // none above or left of the area.
    static QList<QPoint> stackPositions(const QRect& area, const QList<QSize>& sizes);

private:
    struct Slot {
        int id = 0;
        QSize size;
        bool timed = true;
        QString key;
        int count = 1;
    };
    QList<const Slot*> stack() const;
    bool fits(const QList<const Slot*>& stack) const;
    // Gives way until the stack fits (never `keep`), then lets waiting warnings in that fit.
    void settle(Change& c, int keep);

    std::optional<Slot> card_, warning_, confirmation_;
    QList<Slot> waiting_;
    QRect area_;
};

}  // namespace kx
