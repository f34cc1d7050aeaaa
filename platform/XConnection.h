#pragma once
// Kaptorix's own connection to the X server for grabs, window queries and synthetic input
// (never Qt's, so it works on any thread). Callers hold lock() around every request
// sequence; xcb itself is thread-safe, the shared-memory segment and caches are not.
#include "platform/ScreenPlacement.h"

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QList>
#include <memory>
#include <mutex>
#include <optional>

#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

namespace kx {

class XConnection {
public:
    // The shared connection; a broken one is replaced on the next call. Null without a display.
    static std::shared_ptr<XConnection> shared();
    // A private connection (benchmarks); null without a display.
    static std::shared_ptr<XConnection> open();
    ~XConnection();

    XConnection(const XConnection&) = delete;
    XConnection& operator=(const XConnection&) = delete;

    std::unique_lock<std::recursive_mutex> lock() { return std::unique_lock(m_mutex); }

    xcb_connection_t* raw() const { return m_c; }
    xcb_ewmh_connection_t* ewmh() { return &m_ewmh; }
    bool broken() const { return xcb_connection_has_error(m_c) != 0; }
    int defaultScreen() const { return m_defaultScreen; }
    int screenCount() const;
    xcb_screen_t* screen(int xScreen) const;
    QRect rootRect(int xScreen) const;

    bool hasShm() const { return m_hasShm; }
    bool hasShape() const { return m_hasShape; }
    bool hasXTest() const { return m_hasXTest; }

    xcb_atom_t atom(const char* name);

    // Every active monitor of every X screen (RandR monitors, else outputs), the default X
    // screen first.
    QList<NativeOutput> outputs();
    // Qt's screens (QGuiApplication::screens() order) placed on the X server.
    QList<ScreenPlacement> placements();

    enum class GrabMethod { automatic, sharedMemory, getImage };
    // Pixels of a root-window rectangle as opaque premultiplied ARGB32. Parts outside the root
    // window come out black. Null with `error` set when the server refuses.
    QImage grab(int xScreen, const QRect& nativeRect, GrabMethod method = GrabMethod::automatic,
                QString* error = nullptr);
    // Draws the mouse pointer into `image`, whose top-left pixel is root pixel `origin`.
    void drawPointer(QImage& image, int xScreen, const QPoint& origin);

    // Waits until the server has handled every request sent so far.
    void roundTrip();

    // The owning process of a window: _NET_WM_PID, else the X-Resource extension; 0 unknown.
    quint32 pidOf(xcb_window_t window);

private:
    XConnection() = default;
    bool init();
    QImage grabWithShm(xcb_window_t root, const QRect& r, QString* error);
    QImage grabWithGetImage(xcb_window_t root, const QRect& r, QString* error);
    bool ensureShmSegment(size_t bytes);
    void dropShmSegment();

    std::recursive_mutex m_mutex;
    QHash<QByteArray, xcb_atom_t> m_atoms;
    xcb_connection_t* m_c = nullptr;
    xcb_ewmh_connection_t m_ewmh{};
    bool m_ewmhReady = false;
    int m_defaultScreen = 0;
    bool m_hasShm = false, m_hasXFixes = false, m_hasRes = false, m_hasShape = false, m_hasXTest = false;
    bool m_hasRandr = false, m_randrMonitors = false;
    bool m_shmBroken = false;
    bool m_lsbFirst = true;

    struct Shm {
        quint32 seg = 0;
        int id = -1;
        void* addr = nullptr;
        size_t size = 0;
    } m_shm;
};

// Opaque ARGB32 (premultiplied) copy of 32-bit Z-pixmap data with any byte order.
QImage imageFromZPixmap(const uchar* data, int width, int height, int stride, bool lsbFirst);

}  // namespace kx
