// What the toast puts on screen when cards, warnings and confirmations come together.
#include "ui/ToastQueue.h"

#include <gtest/gtest.h>
#include <QHash>
#include <QStringList>

using namespace kx;

namespace {

// Steps: "k1" card 1, "w2" warning 2, "u2" untimed warning 2, "c3" confirmation 3, "-1" item 1
// ended (its time ran out or it was dismissed); "w4:a" warning 4 counted with other warnings of
// key "a"; "A=s" the work area becomes `small` ("A=l" large, "A=e" exact, "A=t" tooLow). Items
// are added with the area under the pointer, large unless "P=s" (or "P=e", "P=t") said other.
struct Played {
    QList<int> shown, waiting, removed, showed, suspended;
    QList<QRect> at;  // where each shown one stands
    QRect area;
    QList<int> counts;  // of what shows, then what waits
};

const QRect large(0, 0, 1920, 1056), small(1920, 27, 640, 333);
// Just high enough for a card and a warning with the margin below, and a point less.
const QRect exact(0, 0, 640, 226 + 146 - 14 + 16), tooLow(0, 0, 640, 226 + 146 - 14 + 15);
QRect areaOf(const QString& step)
{
    return step.endsWith('s') ? small : step.endsWith('e') ? exact : step.endsWith('t') ? tooLow : large;
}
// A card of a wide capture, a warning of five lines and a confirmation of one.
QSize sizeOf(char kind)
{
    return kind == 'k' ? QSize(352, 226) : kind == 'c' ? QSize(220, 82) : QSize(388, 146);
}

Played play(const QStringList& steps)
{
    ToastQueue q;
    Played run;
    QRect pointer = large;
    QHash<int, QSize> sizes;
    for (const QString& step : steps) {
        ToastQueue::Change c;
        const char kind = step[0].toLatin1();
        if (step.startsWith("A=")) {
            c = q.setArea(areaOf(step));
        } else if (step.startsWith("P=")) {
            pointer = areaOf(step);
        } else if (kind == '-') {
            c = q.ended(step.mid(1).toInt());
        } else {
            const int id = step.mid(1).section(':', 0, 0).toInt();
            const auto type = kind == 'k'   ? ToastQueue::Kind::card
                              : kind == 'c' ? ToastQueue::Kind::confirmation
                                            : ToastQueue::Kind::warning;
            const QString key = step.contains(':') ? step.section(':', 1) : QString::number(id);
            sizes[id] = sizeOf(kind == 'u' ? 'w' : kind);
            c = q.add({id, type, sizes[id], kind != 'u', key}, pointer);
        }
        run.removed += c.remove;
        run.showed += c.show;
        run.suspended += c.suspend;
    }
    run.shown = q.shown();
    run.waiting = q.waiting();
    for (qsizetype i = 0; i < run.shown.size(); ++i)
        run.at << QRect(q.positions().value(i), sizes[run.shown[i]]);
    run.area = q.area();
    for (int id : run.shown + run.waiting)
        run.counts << q.count(id);
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
        // A warning that waits leaves the confirmation; once it shows, the older one goes.
        {{"w1", "c2", "w3"}, {1, 2}, {3}, {}, {1, 2}},
        {{"w1", "c2", "w3", "-1"}, {3}, {}, {2}, {1, 2, 3}},
        {{"w1", "w2", "c3", "-1"}, {2, 3}, {}, {}, {1, 3, 2}},
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

// Whatever shows stands whole inside the work area: on a small screen the oldest gives way (a
// card or confirmation ends, a warning waits to show again), never the newcomer.
TEST(ToastQueue, TheStackStaysInsideTheWorkAreaAndTheOldestGivesWay)
{
    const struct {
        QStringList steps;
        QList<int> shown, waiting, removed, suspended;
        QRect area;
    } rows[] = {
        {{"k1", "w2", "c3"}, {1, 2, 3}, {}, {}, {}, large},
        {{"P=s", "k1", "w2", "c3"}, {2, 3}, {}, {1}, {}, small},
        {{"P=s", "k1", "c2"}, {1, 2}, {}, {}, {}, small},
        {{"P=e", "k1", "w2"}, {1, 2}, {}, {}, {}, exact},
        {{"P=t", "k1", "w2"}, {2}, {}, {1}, {}, tooLow},
        // A card over a warning: the warning comes back, whole, when the card goes.
        {{"P=s", "w1", "k2"}, {2}, {1}, {}, {1}, small},
        {{"P=s", "w1", "k2", "-2"}, {1}, {}, {}, {1}, small},
        // A later warning keeps its turn behind it, and waits while it does not fit either.
        {{"P=s", "w1", "k2", "w3"}, {2}, {1, 3}, {}, {1}, small},
        // The stack's screen is kept while it shows; the pointer's is taken when it starts anew.
        {{"k1", "P=s", "w2", "c3"}, {1, 2, 3}, {}, {}, {}, large},
        {{"k1", "P=s", "-1", "w2", "c3"}, {2, 3}, {}, {}, {}, small},
        // The work area shrinks under the stack (a new resolution) and grows again.
        {{"k1", "w2", "c3", "A=s"}, {2, 3}, {}, {1}, {}, small},
        {{"w1", "k2", "c3", "A=s"}, {2, 3}, {1}, {}, {1}, small},
        {{"w1", "k2", "c3", "A=s", "-3", "A=l"}, {2, 1}, {}, {}, {1}, large},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.steps.join(' ').toStdString());
        const Played run = play(r.steps);
        EXPECT_EQ(run.shown, r.shown);
        EXPECT_EQ(run.waiting, r.waiting);
        EXPECT_EQ(run.removed, r.removed);
        EXPECT_EQ(run.suspended, r.suspended);
        EXPECT_EQ(run.area, r.area);
        // Whole inside, right-aligned 16 pt in, each over the one below.
        for (qsizetype i = 0; i < run.at.size(); ++i) {
            EXPECT_TRUE(r.area.contains(run.at[i])) << i;
            EXPECT_EQ(run.at[i].right(), r.area.right() - ToastQueue::edgeMargin) << i;
            const int floor = i == 0 ? r.area.bottom() - ToastQueue::edgeMargin
                                     : run.at[i - 1].top() + ToastQueue::stackOverlap - 1;
            EXPECT_EQ(run.at[i].bottom(), floor) << i;
        }
    }
}

// A burst of failures: equal warnings are counted on the one shown or waiting, and at most a
// few different ones wait, the oldest of them going first.
TEST(ToastQueue, EqualWarningsAreCountedAndFewWait)
{
    QStringList burst;
    for (int i = 1; i <= 40; i += 2)
        burst << QStringLiteral("w%1:failed").arg(i) << QStringLiteral("w%1:notKept").arg(i + 1);
    Played run = play(burst);
    EXPECT_EQ(run.shown, QList<int>{1});
    EXPECT_EQ(run.waiting, QList<int>{2});
    EXPECT_EQ(run.counts, (QList<int>{20, 20}));
    EXPECT_TRUE(run.removed.isEmpty());

    run = play({"w1", "w2", "w3", "w4", "w5", "w6:a", "w7:a", "c8", "w9:a"});
    EXPECT_EQ(run.shown, (QList<int>{1, 8}));
    EXPECT_EQ(run.waiting, (QList<int>{4, 5, 6}));
    EXPECT_EQ(run.counts, (QList<int>{1, 1, 1, 1, 3}));
    EXPECT_EQ(run.removed, (QList<int>{2, 3}));
    // An untimed warning is counted too, and still gives way to a different one.
    run = play({"u1:a", "u2:a", "w3"});
    EXPECT_EQ(run.shown, QList<int>{3});
    EXPECT_EQ(run.removed, QList<int>{1});
}
