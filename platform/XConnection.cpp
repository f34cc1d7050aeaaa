#include "platform/XConnection.h"
#include "platform/XReply.h"

#include "core/Localisation.h"

#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>
#include <xcb/randr.h>
#include <xcb/res.h>
#include <xcb/shape.h>
#include <xcb/shm.h>
#include <xcb/xfixes.h>
#include <xcb/xtest.h>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QtEndian>
#include <cstdlib>
#include <cstring>

namespace kx {

namespace {

QString serverError(const Reply<xcb_generic_error_t>& e)
{
    const int code = e ? e->error_code : 0;
    return tr("The X server refused the screen grab (error %1).",
              "Az X szerver elutasította a képernyő rögzítését (%1. hiba).",
              "Der X-Server hat die Bildschirmaufnahme abgelehnt (Fehler %1).")
        .arg(code);
}

}  // namespace

QImage imageFromZPixmap(const uchar* data, int width, int height, int stride, bool lsbFirst)
{
    QImage out(width, height, QImage::Format_ARGB32_Premultiplied);
    if (out.isNull())
        return out;
    for (int y = 0; y < height; ++y) {
        const uchar* src = data + qsizetype(y) * stride;
        auto* dst = reinterpret_cast<quint32*>(out.scanLine(y));
        if (lsbFirst) {
            for (int x = 0; x < width; ++x)
                dst[x] = qFromLittleEndian<quint32>(src + 4 * x) | 0xff000000u;
        } else {
            for (int x = 0; x < width; ++x)
                dst[x] = qFromBigEndian<quint32>(src + 4 * x) | 0xff000000u;
        }
    }
    return out;
}

std::shared_ptr<XConnection> XConnection::open()
{
    std::shared_ptr<XConnection> c(new XConnection);
    if (!c->init())
        return nullptr;
    return c;
}

std::shared_ptr<XConnection> XConnection::shared()
{
    static std::mutex guard;
    static std::shared_ptr<XConnection> current;
    std::lock_guard lock(guard);
    if (!current || current->broken())
        current = open();
    return current;
}

XConnection::~XConnection()
{
    if (!m_c)
        return;
    dropShmSegment();
    if (m_ewmhReady)
        xcb_ewmh_connection_wipe(&m_ewmh);
    xcb_disconnect(m_c);
}

bool XConnection::init()
{
    m_c = xcb_connect(nullptr, &m_defaultScreen);
    if (xcb_connection_has_error(m_c))
        return false;
    xcb_prefetch_extension_data(m_c, &xcb_shm_id);
    xcb_prefetch_extension_data(m_c, &xcb_xfixes_id);
    xcb_prefetch_extension_data(m_c, &xcb_res_id);
    xcb_prefetch_extension_data(m_c, &xcb_shape_id);
    xcb_prefetch_extension_data(m_c, &xcb_test_id);
    xcb_prefetch_extension_data(m_c, &xcb_randr_id);
    xcb_intern_atom_cookie_t* cookies = xcb_ewmh_init_atoms(m_c, &m_ewmh);
    m_ewmhReady = xcb_ewmh_init_atoms_replies(&m_ewmh, cookies, nullptr) != 0;
    if (!m_ewmhReady)
        return false;

    auto present = [&](xcb_extension_t* ext) {
        const xcb_query_extension_reply_t* r = xcb_get_extension_data(m_c, ext);
        return r && r->present;
    };
    m_hasShm = present(&xcb_shm_id);
    m_hasShape = present(&xcb_shape_id);
    m_hasXTest = present(&xcb_test_id);
    if (present(&xcb_xfixes_id)) {
        // XFixes answers nothing before the client has said which version it speaks.
        Reply<xcb_xfixes_query_version_reply_t> v(
            xcb_xfixes_query_version_reply(m_c, xcb_xfixes_query_version(m_c, 4, 0), nullptr));
        m_hasXFixes = v && v->major_version >= 2;
    }
    if (present(&xcb_res_id)) {
        Reply<xcb_res_query_version_reply_t> v(
            xcb_res_query_version_reply(m_c, xcb_res_query_version(m_c, 1, 2), nullptr));
        m_hasRes = v && (v->server_major > 1 || (v->server_major == 1 && v->server_minor >= 2));
    }
    if (present(&xcb_randr_id)) {
        Reply<xcb_randr_query_version_reply_t> v(
            xcb_randr_query_version_reply(m_c, xcb_randr_query_version(m_c, 1, 5), nullptr));
        m_hasRandr = v && (v->major_version > 1 || v->minor_version >= 3);
        m_randrMonitors = v && (v->major_version > 1 || v->minor_version >= 5);
    }
    m_lsbFirst = xcb_get_setup(m_c)->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
    return true;
}

int XConnection::screenCount() const
{
    return xcb_setup_roots_length(xcb_get_setup(m_c));
}

xcb_screen_t* XConnection::screen(int xScreen) const
{
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(m_c));
    for (int i = 0; it.rem; xcb_screen_next(&it), ++i) {
        if (i == xScreen)
            return it.data;
    }
    return nullptr;
}

QRect XConnection::rootRect(int xScreen) const
{
    const xcb_screen_t* s = screen(xScreen);
    return s ? QRect(0, 0, s->width_in_pixels, s->height_in_pixels) : QRect();
}

xcb_atom_t XConnection::atom(const char* name)
{
    std::lock_guard guard(m_mutex);
    const QByteArray key(name);
    if (const auto it = m_atoms.constFind(key); it != m_atoms.constEnd())
        return *it;
    Reply<xcb_intern_atom_reply_t> r(
        xcb_intern_atom_reply(m_c, xcb_intern_atom(m_c, 0, uint16_t(key.size()), name), nullptr));
    const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    if (a != XCB_ATOM_NONE)
        m_atoms.insert(key, a);
    return a;
}

void XConnection::roundTrip()
{
    Reply<xcb_get_input_focus_reply_t>(xcb_get_input_focus_reply(m_c, xcb_get_input_focus(m_c), nullptr));
}

namespace {

// RandR 1.5 monitors: what Qt makes its screens from when the server has them.
QList<NativeOutput> monitorsOf(xcb_connection_t* c, int xs, xcb_window_t root)
{
    QList<NativeOutput> out;
    Reply<xcb_randr_get_monitors_reply_t> mons(
        xcb_randr_get_monitors_reply(c, xcb_randr_get_monitors(c, root, 1), nullptr));
    if (!mons)
        return out;
    for (auto it = xcb_randr_get_monitors_monitors_iterator(mons.get()); it.rem;
         xcb_randr_monitor_info_next(&it)) {
        Reply<xcb_get_atom_name_reply_t> name(
            xcb_get_atom_name_reply(c, xcb_get_atom_name(c, it.data->name), nullptr));
        const QString text = name ? QString::fromUtf8(xcb_get_atom_name_name(name.get()),
                                                      xcb_get_atom_name_name_length(name.get()))
                                  : QString();
        if (it.data->width > 0 && it.data->height > 0)
            out.append({xs, text, QRect(it.data->x, it.data->y, it.data->width, it.data->height)});
    }
    return out;
}

// Older servers: the outputs that drive a CRTC.
QList<NativeOutput> outputsOf(xcb_connection_t* c, int xs, xcb_window_t root)
{
    QList<NativeOutput> out;
    Reply<xcb_randr_get_screen_resources_current_reply_t> res(xcb_randr_get_screen_resources_current_reply(
        c, xcb_randr_get_screen_resources_current(c, root), nullptr));
    if (!res)
        return out;
    const xcb_randr_output_t* ids = xcb_randr_get_screen_resources_current_outputs(res.get());
    const int n = xcb_randr_get_screen_resources_current_outputs_length(res.get());
    for (int i = 0; i < n; ++i) {
        Reply<xcb_randr_get_output_info_reply_t> info(xcb_randr_get_output_info_reply(
            c, xcb_randr_get_output_info(c, ids[i], res->config_timestamp), nullptr));
        if (!info || info->crtc == XCB_NONE)
            continue;
        Reply<xcb_randr_get_crtc_info_reply_t> crtc(xcb_randr_get_crtc_info_reply(
            c, xcb_randr_get_crtc_info(c, info->crtc, res->config_timestamp), nullptr));
        if (!crtc || crtc->width == 0 || crtc->height == 0)
            continue;
        const auto* name = reinterpret_cast<const char*>(xcb_randr_get_output_info_name(info.get()));
        out.append({xs, QString::fromUtf8(name, xcb_randr_get_output_info_name_length(info.get())),
                    QRect(crtc->x, crtc->y, crtc->width, crtc->height)});
    }
    return out;
}

}  // namespace

QList<NativeOutput> XConnection::outputs()
{
    QList<NativeOutput> out;
    QList<int> order{m_defaultScreen};
    for (int i = 0; i < screenCount(); ++i) {
        if (i != m_defaultScreen)
            order.append(i);
    }
    for (int xs : order) {
        const xcb_screen_t* s = screen(xs);
        if (!s)
            continue;
        QList<NativeOutput> found;
        if (m_randrMonitors)
            found = monitorsOf(m_c, xs, s->root);
        if (found.isEmpty() && m_hasRandr)
            found = outputsOf(m_c, xs, s->root);
        if (found.isEmpty())
            found.append({xs, QString(), QRect(0, 0, s->width_in_pixels, s->height_in_pixels)});
        out += found;
    }
    return out;
}

QList<ScreenPlacement> XConnection::placements()
{
    QList<QtScreenFacts> facts;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        for (QScreen* s : QGuiApplication::screens())
            facts.append({s->name(), s->geometry(), s->devicePixelRatio()});
    }
    return placeScreens(facts, outputs());
}

bool XConnection::ensureShmSegment(size_t bytes)
{
    if (m_shmBroken || !m_hasShm)
        return false;
    if (m_shm.addr && m_shm.size >= bytes)
        return true;
    dropShmSegment();
    const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (id < 0) {
        m_shmBroken = true;
        return false;
    }
    void* addr = shmat(id, nullptr, 0);
    if (addr == reinterpret_cast<void*>(-1)) {
        shmctl(id, IPC_RMID, nullptr);
        m_shmBroken = true;
        return false;
    }
    const quint32 seg = xcb_generate_id(m_c);
    const Reply<xcb_generic_error_t> e(
        xcb_request_check(m_c, xcb_shm_attach_checked(m_c, seg, quint32(id), 0)));
    // Marked for removal now: it goes away with the last detach, even if we crash.
    shmctl(id, IPC_RMID, nullptr);
    if (e) {
        // A display on another machine cannot share our memory.
        shmdt(addr);
        m_shmBroken = true;
        return false;
    }
    m_shm = {seg, id, addr, bytes};
    return true;
}

void XConnection::dropShmSegment()
{
    if (!m_shm.addr)
        return;
    xcb_shm_detach(m_c, m_shm.seg);
    xcb_flush(m_c);
    shmdt(m_shm.addr);
    m_shm = {};
}

QImage XConnection::grabWithShm(xcb_window_t root, const QRect& r, QString* error)
{
    const size_t bytes = size_t(r.width()) * size_t(r.height()) * 4;
    if (!ensureShmSegment(bytes))
        return {};
    xcb_generic_error_t* rawError = nullptr;
    Reply<xcb_shm_get_image_reply_t> reply(xcb_shm_get_image_reply(
        m_c,
        xcb_shm_get_image(m_c, root, int16_t(r.x()), int16_t(r.y()), uint16_t(r.width()),
                          uint16_t(r.height()), ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP, m_shm.seg, 0),
        &rawError));
    const Reply<xcb_generic_error_t> e(rawError);
    if (!reply) {
        if (error)
            *error = serverError(e);
        return {};
    }
    if (reply->depth != 24 && reply->depth != 32) {
        if (error)
            *error = tr("Unsupported screen colour depth.", "Nem támogatott képernyő-színmélység.",
                        "Nicht unterstützte Farbtiefe des Bildschirms.");
        return {};
    }
    return imageFromZPixmap(static_cast<const uchar*>(m_shm.addr), r.width(), r.height(), r.width() * 4,
                            m_lsbFirst);
}

QImage XConnection::grabWithGetImage(xcb_window_t root, const QRect& r, QString* error)
{
    xcb_generic_error_t* rawError = nullptr;
    Reply<xcb_get_image_reply_t> reply(
        xcb_get_image_reply(m_c,
                            xcb_get_image(m_c, XCB_IMAGE_FORMAT_Z_PIXMAP, root, int16_t(r.x()),
                                          int16_t(r.y()), uint16_t(r.width()), uint16_t(r.height()), ~0u),
                            &rawError));
    const Reply<xcb_generic_error_t> e(rawError);
    if (!reply) {
        if (error)
            *error = serverError(e);
        return {};
    }
    const int length = xcb_get_image_data_length(reply.get());
    if ((reply->depth != 24 && reply->depth != 32) || length < r.width() * r.height() * 4) {
        if (error)
            *error = tr("Unsupported screen colour depth.", "Nem támogatott képernyő-színmélység.",
                        "Nicht unterstützte Farbtiefe des Bildschirms.");
        return {};
    }
    return imageFromZPixmap(xcb_get_image_data(reply.get()), r.width(), r.height(), r.width() * 4,
                            m_lsbFirst);
}

QImage XConnection::grab(int xScreen, const QRect& nativeRect, GrabMethod method, QString* error)
{
    const xcb_screen_t* s = screen(xScreen);
    if (!s || nativeRect.isEmpty()) {
        if (error)
            *error = tr("Display not found.", "A kijelző nem található.", "Bildschirm nicht gefunden.");
        return {};
    }
    const QRect visible = nativeRect.intersected(rootRect(xScreen));
    QImage part;
    if (!visible.isEmpty()) {
        if (method != GrabMethod::getImage)
            part = grabWithShm(s->root, visible, error);
        if (part.isNull() && method != GrabMethod::sharedMemory)
            part = grabWithGetImage(s->root, visible, error);
        if (part.isNull())
            return {};
    }
    if (visible == nativeRect)
        return part;
    // Beyond the edge of the X screen there is nothing to see.
    QImage whole(nativeRect.size(), QImage::Format_ARGB32_Premultiplied);
    if (whole.isNull())
        return {};
    whole.fill(Qt::black);
    if (!part.isNull()) {
        QPainter p(&whole);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(visible.topLeft() - nativeRect.topLeft(), part);
    }
    return whole;
}

void XConnection::drawPointer(QImage& image, int xScreen, const QPoint& origin)
{
    const xcb_screen_t* s = screen(xScreen);
    if (!m_hasXFixes || !s || image.isNull())
        return;
    Reply<xcb_query_pointer_reply_t> where(
        xcb_query_pointer_reply(m_c, xcb_query_pointer(m_c, s->root), nullptr));
    if (!where || !where->same_screen)
        return;
    Reply<xcb_xfixes_get_cursor_image_reply_t> cur(
        xcb_xfixes_get_cursor_image_reply(m_c, xcb_xfixes_get_cursor_image(m_c), nullptr));
    if (!cur || cur->width == 0 || cur->height == 0)
        return;
    // XFixes hands out premultiplied ARGB words in host order.
    const quint32* px = xcb_xfixes_get_cursor_image_cursor_image(cur.get());
    QImage pointer(cur->width, cur->height, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < cur->height; ++y)
        std::memcpy(pointer.scanLine(y), px + y * cur->width, size_t(cur->width) * 4);
    QPainter p(&image);
    p.drawImage(QPoint(cur->x - cur->xhot - origin.x(), cur->y - cur->yhot - origin.y()), pointer);
}

quint32 XConnection::pidOf(xcb_window_t window)
{
    uint32_t pid = 0;
    if (xcb_ewmh_get_wm_pid_reply(&m_ewmh, xcb_ewmh_get_wm_pid(&m_ewmh, window), &pid, nullptr) && pid > 0)
        return pid;
    if (!m_hasRes)
        return 0;
    // Only the local-client-pid kind is asked for, so every value that comes back is a pid.
    xcb_res_client_id_spec_t query{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
    Reply<xcb_res_query_client_ids_reply_t> r(
        xcb_res_query_client_ids_reply(m_c, xcb_res_query_client_ids(m_c, 1, &query), nullptr));
    if (!r)
        return 0;
    for (auto it = xcb_res_query_client_ids_ids_iterator(r.get()); it.rem;
         xcb_res_client_id_value_next(&it)) {
        if (xcb_res_client_id_value_value_length(it.data) >= 1)
            return xcb_res_client_id_value_value(it.data)[0];
    }
    return 0;
}

}  // namespace kx
