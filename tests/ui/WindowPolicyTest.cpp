#include "ui/WindowPolicy.h"

#include <gtest/gtest.h>

using kx::WindowPolicy;

TEST(WindowPolicy, DecisionPerSettingWindowKindAndState)
{
    struct Row {
        bool showDock;
        Qt::WindowFlags flags;
        bool minimised;
        bool managed, skip, bar;
    } rows[] = {
        {false, Qt::Window, false, true, true, false},
        {false, Qt::Dialog, false, true, true, false},
        {false, Qt::Window, true, true, false, false},  // a minimised window keeps a way back
        {true, Qt::Window, false, true, false, true},
        {true, Qt::Dialog | Qt::WindowTitleHint, true, true, false, false},
        {false, Qt::Tool | Qt::FramelessWindowHint, false, false, false, false},
        {true, Qt::Popup, false, false, false, false},
        {true, Qt::Window | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint, false, false, false,
         false},
        {false, Qt::ToolTip, false, false, false, false},
    };
    for (const Row& r : rows) {
        const auto d = WindowPolicy::decide(r.showDock, r.flags, r.minimised);
        EXPECT_EQ(d.managed, r.managed) << int(r.flags);
        EXPECT_EQ(d.skipTaskbar, r.skip) << int(r.flags) << r.showDock << r.minimised;
        EXPECT_EQ(d.menuBar, r.bar) << int(r.flags);
    }
}
