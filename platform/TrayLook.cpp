#include "platform/TrayLook.h"

#include "platform/XConnection.h"
#include "platform/XReply.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QGuiApplication>
#include <algorithm>

namespace kx {

namespace {

bool statusNotifierHostRegistered()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString service = QStringLiteral("org.kde.StatusNotifierWatcher");
    if (!bus.isConnected() || !bus.interface() || !bus.interface()->isServiceRegistered(service))
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(service, QStringLiteral("/StatusNotifierWatcher"),
                                                       QStringLiteral("org.freedesktop.DBus.Properties"),
                                                       QStringLiteral("Get"));
    call << service << QStringLiteral("IsStatusNotifierHostRegistered");
    const QDBusMessage reply = bus.call(call, QDBus::Block, 2000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return false;
    return reply.arguments().constFirst().value<QDBusVariant>().variant().toBool();
}

xcb_window_t trayManager(XConnection& x)
{
    const QByteArray name = "_NET_SYSTEM_TRAY_S" + QByteArray::number(x.defaultScreen());
    const xcb_atom_t atom = x.atom(name.constData());
    if (atom == XCB_ATOM_NONE)
        return XCB_NONE;
    const Reply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(x.raw(), xcb_get_selection_owner(x.raw(), atom), nullptr));
    return owner ? owner->owner : XCB_NONE;
}

double luminance(QRgb c)
{
    return 0.2126 * qRed(c) + 0.7152 * qGreen(c) + 0.0722 * qBlue(c);
}

}  // namespace

TrayProtocol trayProtocol()
{
    if (statusNotifierHostRegistered())
        return TrayProtocol::statusNotifier;
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return TrayProtocol::none;
    const std::shared_ptr<XConnection> x = XConnection::shared();
    if (!x)
        return TrayProtocol::none;
    auto lock = x->lock();
    return trayManager(*x) != XCB_NONE ? TrayProtocol::xembed : TrayProtocol::none;
}

std::optional<QColor> xembedTrayForeground()
{
    const std::shared_ptr<XConnection> x = XConnection::shared();
    if (!x)
        return std::nullopt;
    auto lock = x->lock();
    const xcb_window_t owner = trayManager(*x);
    const xcb_atom_t colors = x->atom("_NET_SYSTEM_TRAY_COLORS");
    if (owner == XCB_NONE || colors == XCB_ATOM_NONE)
        return std::nullopt;
    const Reply<xcb_get_property_reply_t> r(xcb_get_property_reply(
        x->raw(), xcb_get_property(x->raw(), 0, owner, colors, XCB_ATOM_CARDINAL, 0, 12), nullptr));
    if (!r || r->format != 32 || xcb_get_property_value_length(r.get()) < 12)
        return std::nullopt;
    // Sixteen-bit channels: foreground, then error, warning and success colours.
    const auto* v = static_cast<const quint32*>(xcb_get_property_value(r.get()));
    return QColor::fromRgba64(quint16(v[0]), quint16(v[1]), quint16(v[2]));
}

std::optional<QColor> medianColorOutside(const QImage& image, const QRect& exclude)
{
    const QImage img = image.convertToFormat(QImage::Format_RGB32);
    QList<QRgb> pixels;
    pixels.reserve(qsizetype(img.width()) * img.height());
    for (int y = 0; y < img.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            if (!exclude.contains(x, y))
                pixels.append(line[x]);
        }
    }
    if (pixels.isEmpty())
        return std::nullopt;
    const auto mid = pixels.begin() + pixels.size() / 2;
    std::nth_element(pixels.begin(), mid, pixels.end(),
                     [](QRgb a, QRgb b) { return luminance(a) < luminance(b); });
    return QColor(*mid);
}

std::optional<QColor> xembedTrayBackground()
{
    const std::shared_ptr<XConnection> x = XConnection::shared();
    if (!x)
        return std::nullopt;
    auto lock = x->lock();
    xcb_connection_t* c = x->raw();
    const xcb_screen_t* screen = x->screen(x->defaultScreen());
    const xcb_window_t owner = trayManager(*x);
    if (!screen || owner == XCB_NONE)
        return std::nullopt;
    // The selection owner is often an unmapped helper; the client's other windows (ids share
    // the client's resource base) hold the tray. Managers may frame them: one level down too.
    const quint32 mask = xcb_get_setup(c)->resource_id_mask;
    const quint32 base = owner & ~mask;
    const auto children = [c](xcb_window_t w) {
        QList<xcb_window_t> out;
        const Reply<xcb_query_tree_reply_t> t(xcb_query_tree_reply(c, xcb_query_tree(c, w), nullptr));
        if (t) {
            const xcb_window_t* kids = xcb_query_tree_children(t.get());
            out = QList<xcb_window_t>(kids, kids + xcb_query_tree_children_length(t.get()));
        }
        return out;
    };
    QRect best;
    for (xcb_window_t top : children(screen->root)) {
        const Reply<xcb_get_window_attributes_reply_t> a(
            xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, top), nullptr));
        if (!a || a->map_state != XCB_MAP_STATE_VIEWABLE)
            continue;
        QList<xcb_window_t> candidates{top};
        if ((top & ~mask) != base)
            candidates = children(top);
        for (xcb_window_t w : candidates) {
            if ((w & ~mask) != base)
                continue;
            const Reply<xcb_get_geometry_reply_t> g(
                xcb_get_geometry_reply(c, xcb_get_geometry(c, w), nullptr));
            const Reply<xcb_translate_coordinates_reply_t> p(xcb_translate_coordinates_reply(
                c, xcb_translate_coordinates(c, w, screen->root, 0, 0), nullptr));
            if (!g || !p)
                continue;
            const QRect r =
                QRect(p->dst_x, p->dst_y, g->width, g->height).intersected(x->rootRect(x->defaultScreen()));
            if (qint64(r.width()) * r.height() > qint64(best.width()) * best.height())
                best = r;
        }
    }
    if (best.isEmpty())
        return std::nullopt;
    const QImage pixels = x->grab(x->defaultScreen(), best);
    return pixels.isNull() ? std::nullopt : medianColorOutside(pixels, QRect());
}

std::optional<QColor> xembedTrayBackground(quint32 iconWindow)
{
    const std::shared_ptr<XConnection> x = XConnection::shared();
    if (!x || iconWindow == XCB_NONE)
        return std::nullopt;
    auto lock = x->lock();
    xcb_connection_t* c = x->raw();
    const xcb_screen_t* screen = x->screen(x->defaultScreen());
    if (!screen)
        return std::nullopt;
    // The window the icon is embedded in: a tray's socket (trayer draws each opaque, whatever
    // the look around it) or the panel itself. Its pixels are the ones the icon is drawn on.
    const Reply<xcb_query_tree_reply_t> t(xcb_query_tree_reply(c, xcb_query_tree(c, iconWindow), nullptr));
    if (!t || t->parent == screen->root || t->parent == XCB_NONE)
        return std::nullopt;  // not embedded (yet)
    const auto placed = [&](xcb_window_t w) -> QRect {
        const Reply<xcb_get_geometry_reply_t> g(xcb_get_geometry_reply(c, xcb_get_geometry(c, w), nullptr));
        const Reply<xcb_translate_coordinates_reply_t> p(
            xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, w, screen->root, 0, 0), nullptr));
        return g && p ? QRect(p->dst_x, p->dst_y, g->width, g->height) : QRect();
    };
    const QRect socket = placed(t->parent).intersected(x->rootRect(x->defaultScreen()));
    const QRect icon = placed(iconWindow);
    if (socket.isEmpty() || icon.isEmpty())
        return std::nullopt;
    return embeddingBackground(x->grab(x->defaultScreen(), socket), icon.translated(-socket.topLeft()));
}

std::optional<QColor> embeddingBackground(const QImage& socket, const QRect& icon)
{
    if (socket.isNull())
        return std::nullopt;
    // Around the icon where the socket is larger; else under it, where the thin strokes of
    // the mark leave most pixels to the socket.
    const QRect inside = icon.intersected(socket.rect());
    const qint64 around = qint64(socket.width()) * socket.height() - qint64(inside.width()) * inside.height();
    return around >= kEnoughAround ? medianColorOutside(socket, icon) : medianColorOutside(socket, QRect());
}

}  // namespace kx
