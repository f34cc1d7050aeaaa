#include "platform/MapExposeFilter.h"

#include <xcb/xcb.h>

namespace kx {

bool MapExposeFilter::drop(const void* xcbEvent, uint32_t window)
{
    const auto* event = static_cast<const xcb_generic_event_t*>(xcbEvent);
    switch (event->response_type & 0x7f) {
        case XCB_MAP_NOTIFY:
            if (reinterpret_cast<const xcb_map_notify_event_t*>(event)->window == window)
                mapSequence_ = event->sequence;
            return false;
        case XCB_UNMAP_NOTIFY:
            mapSequence_.reset();
            return false;
        case XCB_EXPOSE:
            if (reinterpret_cast<const xcb_expose_event_t*>(event)->window != window)
                return false;
            break;
        default:
            break;
    }
    // Events the map caused all carry its sequence number; anything later ends them.
    if (mapSequence_ && event->sequence == *mapSequence_)
        return (event->response_type & 0x7f) == XCB_EXPOSE;
    mapSequence_.reset();
    return false;
}

}  // namespace kx
