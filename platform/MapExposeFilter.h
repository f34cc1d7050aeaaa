#pragma once
// The X server sends a window it maps Expose events for all of it, and Qt, which already
// repaints the whole window when it sees the map, answers them by sending the window's
// content a second time: another 33 MB at 4K before the server reads the next request.
// Exposes the map caused carry the sequence number of its MapNotify; that tells them from
// later ones (a window on top going away), which do need the content again.
#include <cstdint>
#include <optional>

namespace kx {

class MapExposeFilter {
public:
    // Sees each native event of `window` in order (an xcb_generic_event_t); true for one to
    // drop: an Expose that came with the window's map.
    bool drop(const void* xcbEvent, uint32_t window);

private:
    std::optional<uint16_t> mapSequence_;
};

}  // namespace kx
