// A small X client for the platform desktop tests. Prints "READY <window id>" once its window
// is painted, then reports what happens to it on stdout.
//   kxtestwin window TITLE X Y W H R G B   a window painted in one colour
//   kxtestwin grab-key KEYSYM MODS         holds a global key grab on the root (MODS: X mask)
//   kxtestwin bare X Y W H R G B [HOW]     a plain X window with no name and no _NET_WM_PID;
//     HOW: ct:HEX (WM_NAME in COMPOUND_TEXT), then after READY shade, noinput or noshape,
//     each followed by "DONE"
#include <xcb/shape.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <QApplication>
#include <QPainter>
#include <QTimer>
#include <QWidget>
#include <cstdio>

namespace {

void say(const QString& line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

class Painted : public QWidget {
public:
    QColor colour = Qt::white;
    bool announced = false;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter(this).fillRect(rect(), colour);
        if (!announced) {
            announced = true;
            // Let the backing store reach the server before anyone looks at the pixels.
            QTimer::singleShot(100, this, [this] { say(QStringLiteral("READY %1").arg(winId())); });
        }
    }
};

int grabKey(const char* keysymText, const char* modsText)
{
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 2;
    xcb_key_symbols_t* syms = xcb_key_symbols_alloc(c);
    const xcb_keysym_t sym = xcb_keysym_t(std::strtoul(keysymText, nullptr, 0));
    const uint16_t mods = uint16_t(std::strtoul(modsText, nullptr, 0));
    xcb_keycode_t* codes = xcb_key_symbols_get_keycode(syms, sym);
    // Whatever the outcome, let go of the connection (sanitizer builds check for leaks).
    auto done = [&](int status) {
        xcb_key_symbols_free(syms);
        xcb_disconnect(c);
        return status;
    };
    if (!codes)
        return done(3);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_generic_error_t* e = xcb_request_check(
        c, xcb_grab_key_checked(c, 1, root, mods, codes[0], XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    std::free(codes);
    if (e) {
        std::free(e);
        return done(4);
    }
    say(QStringLiteral("READY 0"));
    // Hold the grab until killed.
    while (xcb_generic_event_t* ev = xcb_wait_for_event(c))
        std::free(ev);
    return 0;
}

int bareWindow(char** argv)
{
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 2;
    xcb_screen_t* s = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const uint32_t pixel =
        (uint32_t(atoi(argv[6])) << 16) | (uint32_t(atoi(argv[7])) << 8) | uint32_t(atoi(argv[8]));
    const uint32_t values[] = {pixel, XCB_EVENT_MASK_EXPOSURE};
    const xcb_window_t w = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, w, s->root, int16_t(atoi(argv[2])), int16_t(atoi(argv[3])),
                      uint16_t(atoi(argv[4])), uint16_t(atoi(argv[5])), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      s->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
    const QByteArray how = argv[9] ? QByteArray(argv[9]) : QByteArray();
    auto atom = [c](const char* name) {
        xcb_intern_atom_reply_t* r =
            xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, strlen(name), name), nullptr);
        const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(r);
        return a;
    };
    if (how.startsWith("ct:")) {
        const QByteArray name = QByteArray::fromHex(how.mid(3));
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NAME, atom("COMPOUND_TEXT"), 8,
                            uint32_t(name.size()), name.constData());
    }
    xcb_map_window(c, w);
    xcb_flush(c);
    bool announced = false;
    while (xcb_generic_event_t* ev = xcb_wait_for_event(c)) {
        if ((ev->response_type & 0x7f) == XCB_EXPOSE && !announced) {
            announced = true;
            say(QStringLiteral("READY %1").arg(w));
            if (how == "shade") {
                xcb_client_message_event_t m{};
                m.response_type = XCB_CLIENT_MESSAGE;
                m.format = 32;
                m.window = w;
                m.type = atom("_NET_WM_STATE");
                m.data.data32[0] = 1;  // add
                m.data.data32[1] = atom("_NET_WM_STATE_SHADED");
                xcb_send_event(c, 0, s->root,
                               XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                               reinterpret_cast<const char*>(&m));
            } else if (how == "noinput" || how == "noshape") {
                xcb_shape_rectangles(c, XCB_SHAPE_SO_SET,
                                     how == "noinput" ? XCB_SHAPE_SK_INPUT : XCB_SHAPE_SK_BOUNDING,
                                     XCB_CLIP_ORDERING_UNSORTED, w, 0, 0, 0, nullptr);
            }
            std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));  // applied
            if (!how.isEmpty())
                say(QStringLiteral("DONE"));
        }
        std::free(ev);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 4 && QByteArray(argv[1]) == "grab-key")
        return grabKey(argv[2], argv[3]);
    if (argc >= 9 && QByteArray(argv[1]) == "bare")
        return bareWindow(argv);
    QApplication app(argc, argv);
    if (argc < 7)
        return 1;
    const QByteArray mode = argv[1];
    const QRect geometry(atoi(argv[3]), atoi(argv[4]), atoi(argv[5]), atoi(argv[6]));
    auto* w = new Painted;
    w->setWindowTitle(QString::fromUtf8(argv[2]));
    w->setGeometry(geometry);
    if (mode == "window" && argc >= 10)
        w->colour = QColor(atoi(argv[7]), atoi(argv[8]), atoi(argv[9]));
    w->show();
    return app.exec();
}
