#pragma once
// What the toast shows, decided without widgets or timers. Three kinds share the corner, stacked
// upwards in this order: the preview card, one warning, one confirmation.
//
// - A card replaces an earlier card only: no notice ever takes its place.
// - A warning (something went wrong or needs the user) shows for its whole time; warnings that
//   come while one shows wait their turn, in the order they came.
// - A confirmation (the outcome of what the user just did, or progress) shows at once in place of
//   the confirmation before it. A new warning ends the confirmation on screen, since it is newer
//   news ("Uploading…" gives way to "Upload failed").
#include <QList>
#include <optional>

namespace kx {

class ToastQueue {
public:
    enum class Kind { card, warning, confirmation };
    struct Change {
        QList<int> show;    // to put on screen now
        QList<int> remove;  // to take off at once, without waiting for their time
    };

    // A new item. An untimed warning (it stays until dismissed) gives way to the next warning.
    Change add(int id, Kind kind, bool timed = true);
    // The item is gone: its time ran out or it was dismissed. A waiting warning may show.
    Change ended(int id);

    // On screen, from the corner upwards.
    QList<int> shown() const;
    QList<int> waiting() const { return waiting_; }
    std::optional<int> card() const { return card_; }

private:
    std::optional<int> card_, warning_, confirmation_;
    bool warningTimed_ = true;
    QList<int> waiting_;  // warnings with their whole time still to come
    QList<bool> waitingTimed_;
};

}  // namespace kx
