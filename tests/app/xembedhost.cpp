// A tray for tests: takes the XEmbed tray selection of screen 0 and docks each icon in its own
// opaque socket (argv[2], light by default) inside a tray window of another colour (argv[1],
// dark by default), the icon smaller than its socket. Runs until it is terminated.
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

xcb_atom_t atom(xcb_connection_t* c, const std::string& name)
{
    xcb_intern_atom_reply_t* r =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(name.size()), name.c_str()), nullptr);
    const xcb_atom_t a = r ? r->atom : XCB_ATOM_NONE;
    free(r);
    return a;
}

}  // namespace

int main(int argc, char** argv)
{
    const uint32_t trayColour = argc > 1 ? uint32_t(strtoul(argv[1], nullptr, 16)) : 0x202020;
    const uint32_t socketColour = argc > 2 ? uint32_t(strtoul(argv[2], nullptr, 16)) : 0xdcdad5;
    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(c))
        return 1;
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const int icon = 24, socket = 40, trayWidth = 160, trayHeight = 48;

    const xcb_window_t tray = xcb_generate_id(c);
    const uint32_t trayValues[] = {trayColour, 1, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, tray, screen->root,
                      int16_t(screen->width_in_pixels - trayWidth),
                      int16_t(screen->height_in_pixels - trayHeight), trayWidth, trayHeight, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, trayValues);
    xcb_map_window(c, tray);

    const xcb_atom_t selection = atom(c, "_NET_SYSTEM_TRAY_S" + std::to_string(screenNumber));
    const xcb_atom_t opcode = atom(c, "_NET_SYSTEM_TRAY_OPCODE");
    const xcb_atom_t xembed = atom(c, "_XEMBED");
    xcb_set_selection_owner(c, tray, selection, XCB_CURRENT_TIME);
    xcb_client_message_event_t manager{};
    manager.response_type = XCB_CLIENT_MESSAGE;
    manager.format = 32;
    manager.window = screen->root;
    manager.type = atom(c, "MANAGER");
    manager.data.data32[0] = XCB_CURRENT_TIME;
    manager.data.data32[1] = selection;
    manager.data.data32[2] = tray;
    xcb_send_event(c, 0, screen->root, XCB_EVENT_MASK_STRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&manager));
    xcb_flush(c);
    std::printf("ready\n");
    std::fflush(stdout);

    int docked = 0;
    while (xcb_generic_event_t* e = xcb_wait_for_event(c)) {
        if ((e->response_type & 0x7f) == XCB_CLIENT_MESSAGE) {
            const auto* m = reinterpret_cast<xcb_client_message_event_t*>(e);
            if (m->type == opcode && m->data.data32[1] == 0 /* request dock */) {
                const xcb_window_t client = m->data.data32[2];
                const xcb_window_t s = xcb_generate_id(c);
                const uint32_t socketValues[] = {socketColour};
                xcb_create_window(c, XCB_COPY_FROM_PARENT, s, tray, int16_t(4 + docked++ * (socket + 4)),
                                  (trayHeight - socket) / 2, socket, socket, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                                  screen->root_visual, XCB_CW_BACK_PIXEL, socketValues);
                xcb_map_window(c, s);
                const uint32_t size[] = {uint32_t(icon), uint32_t(icon)};
                xcb_configure_window(c, client, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, size);
                xcb_reparent_window(c, client, s, (socket - icon) / 2, (socket - icon) / 2);
                xcb_client_message_event_t notify{};
                notify.response_type = XCB_CLIENT_MESSAGE;
                notify.format = 32;
                notify.window = client;
                notify.type = xembed;
                notify.data.data32[0] = XCB_CURRENT_TIME;
                notify.data.data32[1] = 0;  // embedded notify
                notify.data.data32[3] = s;
                notify.data.data32[4] = 0;  // protocol version
                xcb_send_event(c, 0, client, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&notify));
                xcb_map_window(c, client);
                xcb_flush(c);
            }
        }
        free(e);
    }
    return 0;
}
