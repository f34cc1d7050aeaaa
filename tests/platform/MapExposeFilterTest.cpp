#include "platform/MapExposeFilter.h"

#include <gtest/gtest.h>
#include <xcb/xcb.h>

using namespace kx;

namespace {

constexpr uint32_t kWindow = 0x2a00005;

xcb_map_notify_event_t mapNotify(uint16_t sequence, uint32_t window = kWindow)
{
    xcb_map_notify_event_t e{};
    e.response_type = XCB_MAP_NOTIFY;
    e.sequence = sequence;
    e.event = window;
    e.window = window;
    return e;
}

xcb_expose_event_t expose(uint16_t sequence, uint16_t count = 0, uint32_t window = kWindow, bool sent = false)
{
    xcb_expose_event_t e{};
    e.response_type = uint8_t(XCB_EXPOSE | (sent ? 0x80 : 0));
    e.sequence = sequence;
    e.window = window;
    e.width = 3840;
    e.height = 2160;
    e.count = count;
    return e;
}

xcb_generic_event_t other(uint8_t type, uint16_t sequence)
{
    xcb_generic_event_t e{};
    e.response_type = type;
    e.sequence = sequence;
    return e;
}

}  // namespace

TEST(MapExposeFilter, DropsOnlyTheExposesThatCameWithTheMap)
{
    MapExposeFilter filter;
    // Before any map: kept.
    const auto early = expose(40);
    EXPECT_FALSE(filter.drop(&early, kWindow));

    const auto map = mapNotify(429);
    EXPECT_FALSE(filter.drop(&map, kWindow));
    // The map's own exposes, in several parts and with an enter between them: dropped.
    const auto part1 = expose(429, 1), part2 = expose(429, 0);
    const auto enter = other(XCB_GE_GENERIC, 429);
    EXPECT_TRUE(filter.drop(&part1, kWindow));
    EXPECT_FALSE(filter.drop(&enter, kWindow));
    EXPECT_TRUE(filter.drop(&part2, kWindow));
    // A later expose (something on top went away): kept, and so is one that reuses the number.
    const auto later = expose(455);
    EXPECT_FALSE(filter.drop(&later, kWindow));
    const auto again = expose(429);
    EXPECT_FALSE(filter.drop(&again, kWindow));
}

TEST(MapExposeFilter, KeepsExposesOfOtherWindowsAndAfterAnUnmap)
{
    MapExposeFilter filter;
    const auto map = mapNotify(10);
    ASSERT_FALSE(filter.drop(&map, kWindow));
    const auto foreign = expose(10, 0, kWindow + 1);
    EXPECT_FALSE(filter.drop(&foreign, kWindow));
    // Another window's map does not arm the filter for this one.
    MapExposeFilter second;
    const auto otherMap = mapNotify(11, kWindow + 1);
    ASSERT_FALSE(second.drop(&otherMap, kWindow));
    const auto exposed = expose(11);
    EXPECT_FALSE(second.drop(&exposed, kWindow));
    // Hidden and shown again in one go: only the new map's exposes go.
    const auto unmap = other(XCB_UNMAP_NOTIFY, 10);
    EXPECT_FALSE(filter.drop(&unmap, kWindow));
    const auto stale = expose(10);
    EXPECT_FALSE(filter.drop(&stale, kWindow));
    const auto remap = mapNotify(12);
    ASSERT_FALSE(filter.drop(&remap, kWindow));
    const auto sent = expose(12, 0, kWindow, true);
    EXPECT_TRUE(filter.drop(&sent, kWindow));
}
