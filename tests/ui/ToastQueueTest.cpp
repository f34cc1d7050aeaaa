// What the toast puts on screen when cards, warnings and confirmations come together.
#include "ui/ToastQueue.h"

#include <gtest/gtest.h>
#include <QStringList>

using namespace kx;

namespace {

// Steps: "k1" card 1, "w2" warning 2, "u2" untimed warning 2, "c3" confirmation 3, "-1" item 1
// ended (its time ran out or it was dismissed).
struct Played {
    QList<int> shown, waiting, removed, showed;
};

Played play(const QStringList& steps)
{
    ToastQueue q;
    Played run;
    for (const QString& step : steps) {
        const int id = step.mid(1).toInt();
        ToastQueue::Change c;
        switch (step[0].toLatin1()) {
            case 'k':
                c = q.add(id, ToastQueue::Kind::card);
                break;
            case 'w':
                c = q.add(id, ToastQueue::Kind::warning);
                break;
            case 'u':
                c = q.add(id, ToastQueue::Kind::warning, false);
                break;
            case 'c':
                c = q.add(id, ToastQueue::Kind::confirmation);
                break;
            default:
                c = q.ended(id);
        }
        run.removed += c.remove;
        run.showed += c.show;
    }
    run.shown = q.shown();
    run.waiting = q.waiting();
    return run;
}

}  // namespace

TEST(ToastQueue, NoNoticeReplacesTheCardAndWarningsWaitTheirTurn)
{
    const struct {
        QStringList steps;
        QList<int> shown, waiting, removed, showed;
    } rows[] = {
        // A card, a warning and a confirmation together, stacked in that order.
        {{"w2", "c3", "k1"}, {1, 2, 3}, {}, {}, {2, 3, 1}},
        {{"k1", "k2"}, {2}, {}, {1}, {1, 2}},
        {{"k1", "w2", "-1"}, {2}, {}, {}, {1, 2}},
        // Warnings one after the other, each once the one before is gone.
        {{"w1", "w2", "w3"}, {1}, {2, 3}, {}, {1}},
        {{"w1", "w2", "w3", "-1"}, {2}, {3}, {}, {1, 2}},
        {{"w1", "w2", "-2", "-1"}, {}, {}, {}, {1}},
        {{"k1", "w2", "w3", "-2"}, {1, 3}, {}, {}, {1, 2, 3}},
        // The newest confirmation replaces the one before, and gives way to a warning.
        {{"c1", "c2"}, {2}, {}, {1}, {1, 2}},
        {{"c1", "w2"}, {2}, {}, {1}, {1, 2}},
        {{"w1", "c2"}, {1, 2}, {}, {}, {1, 2}},
        {{"w1", "c2", "w3"}, {1}, {3}, {2}, {1, 2}},
        // A warning without a time of its own gives way to the next.
        {{"u1", "w2"}, {2}, {}, {1}, {1, 2}},
        {{"w1", "u2", "-1", "w3"}, {3}, {}, {2}, {1, 2, 3}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.steps.join(' ').toStdString());
        const Played run = play(r.steps);
        EXPECT_EQ(run.shown, r.shown);
        EXPECT_EQ(run.waiting, r.waiting);
        EXPECT_EQ(run.removed, r.removed);
        EXPECT_EQ(run.showed, r.showed);
    }
}
