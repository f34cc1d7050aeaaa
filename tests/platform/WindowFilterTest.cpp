// Which windows the window list keeps, and which one counts as the frontmost application's.
#include "platform/WindowList.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

WindowCandidate candidate(quint32 id, QRect frame, qint32 pid, QString title = QString())
{
    WindowCandidate c;
    c.info = WindowInfo{id, frame, title, QStringLiteral("app"), pid};
    return c;
}

TEST(WindowFilter, KeepsOrderAndDropsSmallHiddenFaintPanelAndOwnWindows)
{
    constexpr qint32 own = 4242;
    QList<WindowCandidate> list;
    list << candidate(1, QRect(0, 0, 300, 200), 10, "front");
    list << candidate(2, QRect(0, 0, 39, 300), 10);  // too narrow
    list << candidate(3, QRect(0, 0, 300, 39), 10);  // too low
    list << candidate(4, QRect(0, 0, 40, 40), 11);   // smallest that counts, no title
    WindowCandidate faint = candidate(5, QRect(0, 0, 300, 200), 10);
    faint.opacity = 0.04;
    WindowCandidate justVisible = candidate(6, QRect(0, 0, 300, 200), 10);
    justVisible.opacity = 0.05;
    WindowCandidate dock = candidate(7, QRect(0, 0, 1920, 48), 12);
    dock.normalLayer = false;
    WindowCandidate minimised = candidate(8, QRect(0, 0, 300, 200), 12);
    minimised.visible = false;
    list << faint << justVisible << dock << minimised;
    list << candidate(9, QRect(0, 0, 500, 400), own, "mine");
    list << candidate(10, QRect(0, 0, 300, 200), 13, "back");

    auto ids = [](const QList<WindowInfo>& ws) {
        QList<quint32> out;
        for (const WindowInfo& w : ws)
            out << w.id;
        return out;
    };
    EXPECT_EQ(ids(WindowList::filtered(list, false, own)), (QList<quint32>{1, 4, 6, 10}));
    EXPECT_EQ(ids(WindowList::filtered(list, true, own)), (QList<quint32>{1, 4, 6, 9, 10}));
    EXPECT_TRUE(WindowList::filtered(list, false, own)[1].title.isEmpty());
}

TEST(WindowFilter, FrontmostIsTheFirstWindowOfTheActiveProcess)
{
    const QList<WindowInfo> list{
        {1, QRect(0, 0, 100, 100), "a", "x", 10},
        {2, QRect(0, 0, 100, 100), "b", "y", 20},
        {3, QRect(0, 0, 100, 100), "c", "y", 20},
    };
    // The active window may be a dialog of the process that did not qualify itself.
    EXPECT_EQ(WindowList::frontmostOf(list, 99, 20)->id, 2u);
    // Without a process id the active window itself must be listed.
    EXPECT_EQ(WindowList::frontmostOf(list, 3, 0)->id, 3u);
    EXPECT_FALSE(WindowList::frontmostOf(list, 99, 0));
    EXPECT_FALSE(WindowList::frontmostOf(list, 1, 30));
}

}  // namespace
}  // namespace kx
