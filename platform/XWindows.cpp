#include "platform/XWindows.h"
#include "platform/XReply.h"

#include "platform/AppName.h"
#include "platform/XWmMessage.h"

#include <unistd.h>
#include <xcb/shape.h>
#include <xcb/xcb_icccm.h>
#include <QFile>
#include <QSet>
#include <QStringDecoder>
#include <QWindow>
#include <cstdlib>

namespace kx::xwindows {

QString fromCompoundText(const QByteArray& text)
{
    // The ISO 2022 sets go through the converter; UTF-8 segments (ESC % G ... ESC % @), which it
    // does not know, are cut out and read directly.
    static const QByteArray utf8Start("\x1b%G"), utf8End("\x1b%@");
    QString out;
    qsizetype at = 0;
    while (at < text.size()) {
        const qsizetype start = text.indexOf(utf8Start, at);
        const QByteArray legacy = text.mid(at, start < 0 ? -1 : start - at);
        if (!legacy.isEmpty()) {
            QStringDecoder decoder("COMPOUND_TEXT");
            out += decoder.isValid() ? QString(decoder(legacy)) : QString::fromLatin1(legacy);
        }
        if (start < 0)
            break;
        const qsizetype from = start + utf8Start.size();
        const qsizetype end = text.indexOf(utf8End, from);
        out += QString::fromUtf8(text.mid(from, end < 0 ? -1 : end - from));
        if (end < 0)
            break;
        at = end + utf8End.size();
    }
    return out;
}

namespace {

QString windowTitle(XConnection& x, xcb_window_t w)
{
    xcb_ewmh_get_utf8_strings_reply_t utf8;
    if (xcb_ewmh_get_wm_name_reply(x.ewmh(), xcb_ewmh_get_wm_name(x.ewmh(), w), &utf8, nullptr)) {
        const QString s = QString::fromUtf8(utf8.strings, utf8.strings_len);
        xcb_ewmh_get_utf8_strings_reply_wipe(&utf8);
        return s;
    }
    xcb_icccm_get_text_property_reply_t text;
    if (xcb_icccm_get_wm_name_reply(x.raw(), xcb_icccm_get_wm_name(x.raw(), w), &text, nullptr)) {
        // STRING is Latin-1, COMPOUND_TEXT (older toolkits) switches character sets by escape
        // sequences; anything else is taken as UTF-8, the common case in practice.
        const QByteArray raw(text.name, text.name_len);
        const QString s = text.encoding == XCB_ATOM_STRING           ? QString::fromLatin1(raw)
                          : text.encoding == x.atom("COMPOUND_TEXT") ? fromCompoundText(raw)
                                                                     : QString::fromUtf8(raw);
        xcb_icccm_get_text_property_reply_wipe(&text);
        return s;
    }
    return {};
}

QString processName(quint32 pid)
{
    if (pid == 0)
        return {};
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(comm.readAll()).trimmed();
}

WindowClassHints classHints(XConnection& x, xcb_window_t w)
{
    WindowClassHints h;
    xcb_icccm_get_wm_class_reply_t cls;
    if (xcb_icccm_get_wm_class_reply(x.raw(), xcb_icccm_get_wm_class(x.raw(), w), &cls, nullptr)) {
        h.instance = QString::fromUtf8(cls.instance_name);
        h.className = QString::fromUtf8(cls.class_name);
        xcb_icccm_get_wm_class_reply_wipe(&cls);
    }
    const xcb_atom_t appId = x.atom("_GTK_APPLICATION_ID");
    if (appId != XCB_ATOM_NONE) {
        Reply<xcb_get_property_reply_t> r(xcb_get_property_reply(
            x.raw(), xcb_get_property(x.raw(), 0, w, appId, XCB_GET_PROPERTY_TYPE_ANY, 0, 256), nullptr));
        if (r && r->format == 8)
            h.gtkApplicationId = QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(r.get())),
                                                   xcb_get_property_value_length(r.get()));
    }
    return h;
}

// Left, right, top, bottom of a four-cardinal property; none when absent.
std::optional<std::array<int, 4>> extents(XConnection& x, xcb_window_t w, xcb_atom_t property)
{
    if (property == XCB_ATOM_NONE)
        return std::nullopt;
    Reply<xcb_get_property_reply_t> r(xcb_get_property_reply(
        x.raw(), xcb_get_property(x.raw(), 0, w, property, XCB_ATOM_CARDINAL, 0, 4), nullptr));
    if (!r || r->format != 32 || xcb_get_property_value_length(r.get()) < 16)
        return std::nullopt;
    const auto* v = static_cast<const quint32*>(xcb_get_property_value(r.get()));
    return std::array<int, 4>{int(v[0]), int(v[1]), int(v[2]), int(v[3])};
}

std::optional<quint32> cardinal(XConnection& x, xcb_window_t w, xcb_atom_t property)
{
    Reply<xcb_get_property_reply_t> r(xcb_get_property_reply(
        x.raw(), xcb_get_property(x.raw(), 0, w, property, XCB_ATOM_CARDINAL, 0, 1), nullptr));
    if (!r || r->format != 32 || xcb_get_property_value_length(r.get()) < 4)
        return std::nullopt;
    return *static_cast<const quint32*>(xcb_get_property_value(r.get()));
}

bool hasAtom(const xcb_ewmh_get_atoms_reply_t& atoms, xcb_atom_t a)
{
    for (uint32_t i = 0; i < atoms.atoms_len; ++i) {
        if (atoms.atoms[i] == a)
            return true;
    }
    return false;
}

// Whether the window shows nothing (an empty bounding shape) or takes no pointer input (an
// empty input shape, an overlay clicks pass through): either way it is not a window to pick.
bool emptyShape(XConnection& x, xcb_window_t w)
{
    if (!x.hasShape())
        return false;
    xcb_connection_t* c = x.raw();
    const auto bounding = xcb_shape_get_rectangles(c, w, XCB_SHAPE_SK_BOUNDING);
    const auto input = xcb_shape_get_rectangles(c, w, XCB_SHAPE_SK_INPUT);
    bool empty = false;
    for (auto cookie : {bounding, input}) {
        // Unshaped windows report their own rectangle; the input kind needs SHAPE 1.1.
        Reply<xcb_shape_get_rectangles_reply_t> r(xcb_shape_get_rectangles_reply(c, cookie, nullptr));
        if (r && xcb_shape_get_rectangles_rectangles_length(r.get()) == 0)
            empty = true;
    }
    return empty;
}

QRect logicalFrame(const QRect& native, int xScreen, const QList<ScreenPlacement>& placements)
{
    const QPoint centre = native.center();
    for (const ScreenPlacement& p : placements) {
        if (p.xScreen == xScreen && p.native.contains(centre)) {
            const QPointF tl = p.toLogical(native.topLeft());
            return QRect(qRound(tl.x()), qRound(tl.y()), qRound(native.width() / p.dpr),
                         qRound(native.height() / p.dpr));
        }
    }
    return native;
}

std::optional<XWindowRecord> describe(XConnection& x, xcb_window_t w, xcb_window_t root,
                                      quint32 currentDesktop, const QList<ScreenPlacement>& placements,
                                      bool managed)
{
    xcb_connection_t* c = x.raw();
    auto attrCookie = xcb_get_window_attributes(c, w);
    auto geoCookie = xcb_get_geometry(c, w);
    auto posCookie = xcb_translate_coordinates(c, w, root, 0, 0);
    Reply<xcb_get_window_attributes_reply_t> attr(xcb_get_window_attributes_reply(c, attrCookie, nullptr));
    Reply<xcb_get_geometry_reply_t> geo(xcb_get_geometry_reply(c, geoCookie, nullptr));
    Reply<xcb_translate_coordinates_reply_t> pos(xcb_translate_coordinates_reply(c, posCookie, nullptr));
    if (!attr || !geo || !pos)
        return std::nullopt;  // gone meanwhile

    XWindowRecord rec;
    WindowCandidate& cand = rec.candidate;
    cand.info.id = w;
    QRect frame(pos->dst_x, pos->dst_y, geo->width, geo->height);
    if (const auto gtk = extents(x, w, x.atom("_GTK_FRAME_EXTENTS"))) {
        // Client-side decorations: the margins hold only the shadow.
        frame.adjust((*gtk)[0], (*gtk)[2], -(*gtk)[1], -(*gtk)[3]);
    } else if (const auto wm = extents(x, w, x.ewmh()->_NET_FRAME_EXTENTS)) {
        frame.adjust(-(*wm)[0], -(*wm)[2], (*wm)[1], (*wm)[3]);
    }
    rec.nativeFrame = frame;
    // What a grab of the window will hold (frames in points are rounded, pixels are not).
    cand.info.pixelSize = frame.intersected(x.rootRect(x.defaultScreen())).size();

    cand.visible = attr->map_state == XCB_MAP_STATE_VIEWABLE;
    if (managed) {
        xcb_ewmh_get_atoms_reply_t state;
        if (xcb_ewmh_get_wm_state_reply(x.ewmh(), xcb_ewmh_get_wm_state(x.ewmh(), w), &state, nullptr)) {
            // A shaded window shows only its title bar: a grab of its frame would be the desktop.
            if (hasAtom(state, x.ewmh()->_NET_WM_STATE_HIDDEN) ||
                hasAtom(state, x.ewmh()->_NET_WM_STATE_SHADED))
                cand.visible = false;
            xcb_ewmh_get_atoms_reply_wipe(&state);
        }
        uint32_t desktop = 0;
        if (xcb_ewmh_get_wm_desktop_reply(x.ewmh(), xcb_ewmh_get_wm_desktop(x.ewmh(), w), &desktop,
                                          nullptr) &&
            desktop != 0xffffffffu && currentDesktop != 0xffffffffu && desktop != currentDesktop)
            cand.visible = false;
        xcb_ewmh_get_atoms_reply_t types;
        if (xcb_ewmh_get_wm_window_type_reply(x.ewmh(), xcb_ewmh_get_wm_window_type(x.ewmh(), w), &types,
                                              nullptr)) {
            if (hasAtom(types, x.ewmh()->_NET_WM_WINDOW_TYPE_DESKTOP) ||
                hasAtom(types, x.ewmh()->_NET_WM_WINDOW_TYPE_DOCK))
                cand.normalLayer = false;
            xcb_ewmh_get_atoms_reply_wipe(&types);
        }
    }
    if (cand.visible && emptyShape(x, w))
        cand.visible = false;
    if (const auto opacity = cardinal(x, w, x.atom("_NET_WM_WINDOW_OPACITY")))
        cand.opacity = double(*opacity) / double(0xffffffffu);

    cand.info.title = windowTitle(x, w);
    cand.info.pid = qint32(x.pidOf(w));
    // As the user knows the application, not its process ("Terminal", not "xterm").
    cand.info.owner = applicationName(classHints(x, w));
    if (cand.info.owner.isEmpty())
        cand.info.owner = processName(quint32(cand.info.pid));
    cand.info.frame = logicalFrame(frame, x.defaultScreen(), placements);
    rec.xScreen = x.defaultScreen();
    return rec;
}

// The child of root that holds `w` (its window-manager frame, or `w` itself).
xcb_window_t topLevelOf(XConnection& x, xcb_window_t w, xcb_window_t root)
{
    for (int depth = 0; depth < 16; ++depth) {
        Reply<xcb_query_tree_reply_t> t(xcb_query_tree_reply(x.raw(), xcb_query_tree(x.raw(), w), nullptr));
        if (!t)
            return XCB_NONE;
        if (t->parent == root || t->parent == XCB_NONE)
            return w;
        w = t->parent;
    }
    return XCB_NONE;
}

}  // namespace

QList<XWindowRecord> records(XConnection& x)
{
    QList<XWindowRecord> out;
    const xcb_screen_t* s = x.screen(x.defaultScreen());
    if (!s)
        return out;
    const QList<ScreenPlacement> placements = x.placements();
    uint32_t desktop = 0xffffffffu;
    if (!xcb_ewmh_get_current_desktop_reply(
            x.ewmh(), xcb_ewmh_get_current_desktop(x.ewmh(), x.defaultScreen()), &desktop, nullptr))
        desktop = 0xffffffffu;

    xcb_ewmh_get_windows_reply_t list;
    if (xcb_ewmh_get_client_list_stacking_reply(
            x.ewmh(), xcb_ewmh_get_client_list_stacking(x.ewmh(), x.defaultScreen()), &list, nullptr)) {
        // The property runs bottom to top.
        for (int i = int(list.windows_len) - 1; i >= 0; --i) {
            if (auto rec = describe(x, list.windows[i], s->root, desktop, placements, true))
                out.append(*rec);
        }
        xcb_ewmh_get_windows_reply_wipe(&list);
        return out;
    }
    Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(x.raw(), xcb_query_tree(x.raw(), s->root), nullptr));
    if (!tree)
        return out;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int i = xcb_query_tree_children_length(tree.get()) - 1; i >= 0; --i) {
        Reply<xcb_get_window_attributes_reply_t> a(xcb_get_window_attributes_reply(
            x.raw(), xcb_get_window_attributes(x.raw(), children[i]), nullptr));
        if (!a || a->override_redirect || a->map_state != XCB_MAP_STATE_VIEWABLE)
            continue;
        if (auto rec = describe(x, children[i], s->root, desktop, placements, false))
            out.append(*rec);
    }
    return out;
}

std::optional<quint32> activeWindow(XConnection& x)
{
    xcb_window_t w = XCB_NONE;
    if (!xcb_ewmh_get_active_window_reply(x.ewmh(), xcb_ewmh_get_active_window(x.ewmh(), x.defaultScreen()),
                                          &w, nullptr) ||
        w == XCB_NONE)
        return std::nullopt;
    return w;
}

QList<XOwnWindow> ownTopLevels(XConnection& x, int xScreen)
{
    QList<XOwnWindow> out;
    const xcb_screen_t* s = x.screen(xScreen);
    if (!s)
        return out;
    const quint32 own = quint32(getpid());
    QSet<xcb_window_t> tops;
    xcb_ewmh_get_windows_reply_t list;
    if (xcb_ewmh_get_client_list_reply(x.ewmh(), xcb_ewmh_get_client_list(x.ewmh(), xScreen), &list,
                                       nullptr)) {
        for (uint32_t i = 0; i < list.windows_len; ++i) {
            if (x.pidOf(list.windows[i]) == own) {
                if (const xcb_window_t top = topLevelOf(x, list.windows[i], s->root))
                    tops.insert(top);
            }
        }
        xcb_ewmh_get_windows_reply_wipe(&list);
    }
    Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(x.raw(), xcb_query_tree(x.raw(), s->root), nullptr));
    if (!tree)
        return out;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        const xcb_window_t w = children[i];
        Reply<xcb_get_window_attributes_reply_t> a(
            xcb_get_window_attributes_reply(x.raw(), xcb_get_window_attributes(x.raw(), w), nullptr));
        if (!a || a->map_state != XCB_MAP_STATE_VIEWABLE)
            continue;
        // Windows the window manager does not frame (pop-ups, panels that bypass it, or every
        // window when none runs) sit on root directly.
        if (!tops.contains(w) && x.pidOf(w) != own)
            continue;
        Reply<xcb_get_geometry_reply_t> g(
            xcb_get_geometry_reply(x.raw(), xcb_get_geometry(x.raw(), w), nullptr));
        if (!g)
            continue;
        const QRect box(g->x, g->y, g->width + 2 * g->border_width, g->height + 2 * g->border_width);
        XOwnWindow mine{w, QRegion(box), false, {}};
        if (x.hasShape()) {
            Reply<xcb_shape_query_extents_reply_t> ext(
                xcb_shape_query_extents_reply(x.raw(), xcb_shape_query_extents(x.raw(), w), nullptr));
            if (ext && ext->bounding_shaped) {
                Reply<xcb_shape_get_rectangles_reply_t> rects(xcb_shape_get_rectangles_reply(
                    x.raw(), xcb_shape_get_rectangles(x.raw(), w, XCB_SHAPE_SK_BOUNDING), nullptr));
                if (rects) {
                    QRegion shaped;
                    const xcb_rectangle_t* r = xcb_shape_get_rectangles_rectangles(rects.get());
                    for (int k = 0; k < xcb_shape_get_rectangles_rectangles_length(rects.get()); ++k)
                        shaped += QRect(g->x + g->border_width + r[k].x, g->y + g->border_width + r[k].y,
                                        r[k].width, r[k].height);
                    mine.visible = shaped;
                    mine.shaped = true;
                    mine.shapeRects.assign(r, r + xcb_shape_get_rectangles_rectangles_length(rects.get()));
                }
            }
        }
        out.append(mine);
    }
    return out;
}

std::optional<QMargins> frameExtents(QWindow* window)
{
    const auto x = connectionFor(window);
    if (!x)
        return std::nullopt;
    const auto guard = x->lock();
    const auto e = extents(*x, xcb_window_t(window->winId()), x->atom("_NET_FRAME_EXTENTS"));
    if (!e)
        return std::nullopt;
    // Left, right, top, bottom on the wire.
    return QMargins((*e)[0], (*e)[2], (*e)[1], (*e)[3]);
}

void requestFrameExtents(QWindow* window)
{
    const auto x = connectionFor(window);
    if (!x)
        return;
    const auto guard = x->lock();
    sendToWindowManager(*x, xcb_window_t(window->winId()), x->atom("_NET_REQUEST_FRAME_EXTENTS"), {});
    xcb_flush(x->raw());
}

std::optional<quint32> frameExtentsChanged(const QByteArray& eventType, const void* message)
{
    if (eventType != "xcb_generic_event_t" || !message)
        return std::nullopt;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
        return std::nullopt;
    const auto* change = reinterpret_cast<const xcb_property_notify_event_t*>(event);
    // Atoms are the server's, the same on Qt's connection as on ours.
    const auto x = XConnection::shared();
    if (!x || change->atom != x->atom("_NET_FRAME_EXTENTS"))
        return std::nullopt;
    return change->window;
}

}  // namespace kx::xwindows
