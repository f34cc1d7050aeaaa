#include "platform/XConnection.h"
#include "platform/XReply.h"

#include "core/ImageBufferPool.h"
#include "core/Localisation.h"
#include "core/Prefault.h"

#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>
#include <xcb/randr.h>
#include <xcb/res.h>
#include <xcb/shape.h>
#include <xcb/shm.h>
#include <xcb/xfixes.h>
#include <xcb/xtest.h>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QtEndian>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <optional>

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

void copyZPixmapRows(const uchar* data, int stride, bool lsbFirst, QImage& out, int firstRow, int rows)
{
    const int width = out.width();
    // Once for the image, not per row: scanLine() checks for sharing on every call.
    uchar* const bits = out.bits();
    const qsizetype outStride = out.bytesPerLine();
    for (int y = 0; y < rows; ++y) {
        const uchar* src = data + qsizetype(y) * stride;
        auto* dst = reinterpret_cast<quint32*>(bits + qsizetype(firstRow + y) * outStride);
        if (lsbFirst) {
            int x = 0;
#if defined(__SSE2__)
            // x86 has the server's byte order: a copy that makes every pixel opaque, four at a time.
            const __m128i opaque = _mm_set1_epi32(int(0xff000000u));
            for (; x + 4 <= width; x += 4) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * x));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + x), _mm_or_si128(v, opaque));
            }
#endif
            for (; x < width; ++x)
                dst[x] = qFromLittleEndian<quint32>(src + 4 * x) | 0xff000000u;
        } else {
            for (int x = 0; x < width; ++x)
                dst[x] = qFromBigEndian<quint32>(src + 4 * x) | 0xff000000u;
        }
    }
}

QImage imageFromZPixmap(const uchar* data, int width, int height, int stride, bool lsbFirst)
{
    // Screen-sized grabs come one after the other at the same size: their memory is reused.
    QImage out = ImageBufferPool::shared().take(QSize(width, height));
    if (!out.isNull())
        copyZPixmapRows(data, stride, lsbFirst, out, 0, height);
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
    if (!c_)
        return;
    dropShmSegment();
    if (ewmhReady_)
        xcb_ewmh_connection_wipe(&ewmh_);
    xcb_disconnect(c_);
}

bool XConnection::init()
{
    c_ = xcb_connect(nullptr, &defaultScreen_);
    if (xcb_connection_has_error(c_))
        return false;
    xcb_prefetch_extension_data(c_, &xcb_shm_id);
    xcb_prefetch_extension_data(c_, &xcb_xfixes_id);
    xcb_prefetch_extension_data(c_, &xcb_res_id);
    xcb_prefetch_extension_data(c_, &xcb_shape_id);
    xcb_prefetch_extension_data(c_, &xcb_test_id);
    xcb_prefetch_extension_data(c_, &xcb_randr_id);
    xcb_intern_atom_cookie_t* cookies = xcb_ewmh_init_atoms(c_, &ewmh_);
    ewmhReady_ = xcb_ewmh_init_atoms_replies(&ewmh_, cookies, nullptr) != 0;
    if (!ewmhReady_)
        return false;

    auto present = [&](xcb_extension_t* ext) {
        const xcb_query_extension_reply_t* r = xcb_get_extension_data(c_, ext);
        return r && r->present;
    };
    hasShm_ = present(&xcb_shm_id);
    hasShape_ = present(&xcb_shape_id);
    hasXTest_ = present(&xcb_test_id);
    if (present(&xcb_xfixes_id)) {
        // XFixes answers nothing before the client has said which version it speaks.
        Reply<xcb_xfixes_query_version_reply_t> v(
            xcb_xfixes_query_version_reply(c_, xcb_xfixes_query_version(c_, 4, 0), nullptr));
        hasXFixes_ = v && v->major_version >= 2;
    }
    if (present(&xcb_res_id)) {
        Reply<xcb_res_query_version_reply_t> v(
            xcb_res_query_version_reply(c_, xcb_res_query_version(c_, 1, 2), nullptr));
        hasRes_ = v && (v->server_major > 1 || (v->server_major == 1 && v->server_minor >= 2));
    }
    if (present(&xcb_randr_id)) {
        Reply<xcb_randr_query_version_reply_t> v(
            xcb_randr_query_version_reply(c_, xcb_randr_query_version(c_, 1, 5), nullptr));
        hasRandr_ = v && (v->major_version > 1 || v->minor_version >= 3);
        randrMonitors_ = v && (v->major_version > 1 || v->minor_version >= 5);
    }
    lsbFirst_ = xcb_get_setup(c_)->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
    return true;
}

int XConnection::screenCount() const
{
    return xcb_setup_roots_length(xcb_get_setup(c_));
}

xcb_screen_t* XConnection::screen(int xScreen) const
{
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c_));
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
    std::lock_guard guard(mutex_);
    const QByteArray key(name);
    if (const auto it = atoms_.constFind(key); it != atoms_.constEnd())
        return *it;
    Reply<xcb_intern_atom_reply_t> r(
        xcb_intern_atom_reply(c_, xcb_intern_atom(c_, 0, uint16_t(key.size()), name), nullptr));
    const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    if (a != XCB_ATOM_NONE)
        atoms_.insert(key, a);
    return a;
}

void XConnection::roundTrip()
{
    Reply<xcb_get_input_focus_reply_t>(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
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
    QList<int> order{defaultScreen_};
    for (int i = 0; i < screenCount(); ++i) {
        if (i != defaultScreen_)
            order.append(i);
    }
    for (int xs : order) {
        const xcb_screen_t* s = screen(xs);
        if (!s)
            continue;
        QList<NativeOutput> found;
        if (randrMonitors_)
            found = monitorsOf(c_, xs, s->root);
        if (found.isEmpty() && hasRandr_)
            found = outputsOf(c_, xs, s->root);
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

namespace {

// As long as the pooled grab buffers are kept (core/ImageBufferPool).
constexpr int kShmIdleMs = 10000;
// One of the two bands a grab comes through.
constexpr qsizetype kGrabBandBytes = qsizetype(1) << 20;

}  // namespace

void XConnection::scheduleShmRelease()
{
    lastShmUse_ = QDeadlineTimer::current().deadline();
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || shmReleaseScheduled_)
        return;
    shmReleaseScheduled_ = true;
    std::weak_ptr<XConnection> weak = weak_from_this();
    auto check = [weak](auto&& self) -> void {
        const std::shared_ptr<XConnection> x = weak.lock();
        if (!x)
            return;
        auto lock = x->lock();
        const qint64 idle = QDeadlineTimer::current().deadline() - x->lastShmUse_;
        if (idle >= kShmIdleMs) {
            x->dropShmSegment();
            x->shmReleaseScheduled_ = false;
            return;
        }
        QTimer::singleShot(int(kShmIdleMs - idle), QCoreApplication::instance(), [self] { self(self); });
    };
    QMetaObject::invokeMethod(
        app, [app, check] { QTimer::singleShot(kShmIdleMs, app, [check] { check(check); }); },
        Qt::QueuedConnection);
}

bool XConnection::ensureShmSegment(size_t bytes)
{
    if (shmBroken_ || !hasShm_)
        return false;
    if (shm_.addr && shm_.size >= bytes)
        return true;
    dropShmSegment();
    const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (id < 0) {
        shmBroken_ = true;
        return false;
    }
    void* addr = shmat(id, nullptr, 0);
    if (addr == reinterpret_cast<void*>(-1)) {
        shmctl(id, IPC_RMID, nullptr);
        shmBroken_ = true;
        return false;
    }
    const quint32 seg = xcb_generate_id(c_);
    const Reply<xcb_generic_error_t> e(
        xcb_request_check(c_, xcb_shm_attach_checked(c_, seg, quint32(id), 0)));
    // Marked for removal now: it goes away with the last detach, even if we crash.
    shmctl(id, IPC_RMID, nullptr);
    if (e) {
        // A display on another machine cannot share our memory.
        shmdt(addr);
        shmBroken_ = true;
        return false;
    }
    shm_ = {seg, id, addr, bytes};
    return true;
}

void XConnection::releaseSharedMemory()
{
    auto held = lock();
    dropShmSegment();
}

void XConnection::dropShmSegment()
{
    if (!shm_.addr)
        return;
    xcb_shm_detach(c_, shm_.seg);
    xcb_flush(c_);
    shmdt(shm_.addr);
    shm_ = {};
}

namespace {

// Nobody else's requests are served while a grab is read band by band, so the bands show
// one moment of the screen, as a single request would.
class ServerGrab {
public:
    explicit ServerGrab(xcb_connection_t* c) : c_(c) { xcb_grab_server(c_); }
    ~ServerGrab()
    {
        xcb_ungrab_server(c_);
        xcb_flush(c_);
    }
    ServerGrab(const ServerGrab&) = delete;
    ServerGrab& operator=(const ServerGrab&) = delete;

private:
    xcb_connection_t* c_;
};

}  // namespace

QImage XConnection::grabWithShm(xcb_window_t root, const QRect& r, QString* error)
{
    // The screen comes through two small shared bands in turn: the server fills one while
    // the other is copied out. A screen-sized segment would be fresh memory after every idle
    // spell (8,000 pages at 4K for the server to fault in and clear, about 40 ms) and twice
    // the pixels in memory while a capture is open.
    const qsizetype stride = qsizetype(r.width()) * 4;
    const int bandRows = int(std::clamp<qsizetype>(kGrabBandBytes / stride, 1, r.height()));
    const int bands = (r.height() + bandRows - 1) / bandRows;
    const size_t slotBytes = size_t(bandRows) * size_t(stride);
    if (!ensureShmSegment(slotBytes * size_t(std::min(bands, 2))))
        return {};
    scheduleShmRelease();
    QImage out = ImageBufferPool::shared().take(r.size());
    if (out.isNull())
        return {};
    // A buffer fresh from the system gets its pages on other threads while the server fills
    // the first bands, instead of a fault per page in the copy below.
    const bool pooled = out.sizeInBytes() >= ImageBufferPool::kMinBytes;
    const Prefault ready(pooled ? out.constBits() : nullptr, size_t(out.sizeInBytes()), 2, true);
    // Nobody else's requests come between the bands.
    std::optional<ServerGrab> held;
    if (bands > 1)
        held.emplace(c_);
    xcb_shm_get_image_cookie_t pending[2]{};
    auto request = [&](int band) {
        const int y = band * bandRows;
        pending[band % 2] =
            xcb_shm_get_image(c_, root, int16_t(r.x()), int16_t(r.y() + y), uint16_t(r.width()),
                              uint16_t(std::min(bandRows, r.height() - y)), ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP,
                              shm_.seg, uint32_t((band % 2) * slotBytes));
        // Sent now, not when its reply is waited for: the server fills it while we copy.
        xcb_flush(c_);
    };
    request(0);
    if (bands > 1)
        request(1);
    for (int band = 0; band < bands; ++band) {
        xcb_generic_error_t* rawError = nullptr;
        Reply<xcb_shm_get_image_reply_t> reply(xcb_shm_get_image_reply(c_, pending[band % 2], &rawError));
        const Reply<xcb_generic_error_t> e(rawError);
        QString failure;
        if (!reply)
            failure = serverError(e);
        else if (reply->depth != 24 && reply->depth != 32)
            failure = tr("Unsupported screen colour depth.", "Nem támogatott képernyő-színmélység.",
                         "Nicht unterstützte Farbtiefe des Bildschirms.");
        if (!failure.isEmpty()) {
            if (band + 1 < bands)
                xcb_discard_reply(c_, pending[(band + 1) % 2].sequence);
            if (error)
                *error = failure;
            return {};
        }
        const int y = band * bandRows;
        copyZPixmapRows(static_cast<const uchar*>(shm_.addr) + (band % 2) * slotBytes, int(stride), lsbFirst_,
                        out, y, std::min(bandRows, r.height() - y));
        // The slot just copied out takes the band after next.
        if (band + 2 < bands)
            request(band + 2);
    }
    return out;
}

QImage XConnection::grabWithGetImage(xcb_window_t root, const QRect& r, QString* error)
{
    xcb_generic_error_t* rawError = nullptr;
    Reply<xcb_get_image_reply_t> reply(
        xcb_get_image_reply(c_,
                            xcb_get_image(c_, XCB_IMAGE_FORMAT_Z_PIXMAP, root, int16_t(r.x()), int16_t(r.y()),
                                          uint16_t(r.width()), uint16_t(r.height()), ~0u),
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
    return imageFromZPixmap(xcb_get_image_data(reply.get()), r.width(), r.height(), r.width() * 4, lsbFirst_);
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
    QImage whole = ImageBufferPool::shared().take(nativeRect.size());
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
    if (!hasXFixes_ || !s || image.isNull())
        return;
    Reply<xcb_query_pointer_reply_t> where(
        xcb_query_pointer_reply(c_, xcb_query_pointer(c_, s->root), nullptr));
    if (!where || !where->same_screen)
        return;
    Reply<xcb_xfixes_get_cursor_image_reply_t> cur(
        xcb_xfixes_get_cursor_image_reply(c_, xcb_xfixes_get_cursor_image(c_), nullptr));
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
    if (xcb_ewmh_get_wm_pid_reply(&ewmh_, xcb_ewmh_get_wm_pid(&ewmh_, window), &pid, nullptr) && pid > 0)
        return pid;
    if (!hasRes_)
        return 0;
    // Only the local-client-pid kind is asked for, so every value that comes back is a pid.
    xcb_res_client_id_spec_t query{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
    Reply<xcb_res_query_client_ids_reply_t> r(
        xcb_res_query_client_ids_reply(c_, xcb_res_query_client_ids(c_, 1, &query), nullptr));
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
