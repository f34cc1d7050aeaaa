#include "platform/MapExposeFilter.h"

#include <gtest/gtest.h>
#include <xcb/xcb.h>

using namespace kx;

namespace {

constexpr uint32_t kWindow = 0x2a00005, kOther = 0x2a00009;

xcb_generic_event_t event(uint8_t type, uint16_t sequence, uint32_t window = kWindow)
{
    xcb_generic_event_t e{};
    e.response_type = type;
    e.sequence = sequence;
    if (type == XCB_MAP_NOTIFY) {
        auto* map = reinterpret_cast<xcb_map_notify_event_t*>(&e);
        map->event = map->window = window;
    } else if ((type & 0x7f) == XCB_EXPOSE) {
        reinterpret_cast<xcb_expose_event_t*>(&e)->window = window;
    }
    return e;
}

}  // namespace

TEST(MapExposeFilter, DropsOnlyTheExposesThatCameWithTheWindowsOwnMap)
{
    struct Step {
        const char* what;
        xcb_generic_event_t event;
        bool dropped;
    };
    const Step steps[] = {
        {"an expose before any map", event(XCB_EXPOSE, 40), false},
        {"another window's map", event(XCB_MAP_NOTIFY, 41, kOther), false},
        {"an expose with that map's number", event(XCB_EXPOSE, 41), false},
        {"the window's map", event(XCB_MAP_NOTIFY, 429), false},
        {"its first expose", event(XCB_EXPOSE, 429), true},
        {"the pointer entering with the map", event(XCB_GE_GENERIC, 429), false},
        {"its last expose, sent by a client", event(XCB_EXPOSE | 0x80, 429), true},
        {"another window's expose of the same map", event(XCB_EXPOSE, 429, kOther), false},
        {"a later expose (a window on top went away)", event(XCB_EXPOSE, 455), false},
        {"an expose that happens to carry the map's number", event(XCB_EXPOSE, 429), false},
        {"mapped again", event(XCB_MAP_NOTIFY, 500), false},
        {"unmapped", event(XCB_UNMAP_NOTIFY, 500), false},
        {"an expose with that map's number after the unmap", event(XCB_EXPOSE, 500), false},
    };
    MapExposeFilter filter;
    for (const Step& step : steps)
        EXPECT_EQ(filter.drop(&step.event, kWindow), step.dropped) << step.what;
}
