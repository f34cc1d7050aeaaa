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

class XConnection : public std::enable_shared_from_this<XConnection> {
public:
    // The shared connection; a broken one is replaced on the next call. Null without a display.
    static std::shared_ptr<XConnection> shared();
    // A private connection (benchmarks); null without a display.
    static std::shared_ptr<XConnection> open();
    ~XConnection();

    XConnection(const XConnection&) = delete;
    XConnection& operator=(const XConnection&) = delete;

    std::unique_lock<std::recursive_mutex> lock() { return std::unique_lock(mutex_); }

    xcb_connection_t* raw() const { return c_; }
    xcb_ewmh_connection_t* ewmh() { return &ewmh_; }
    bool broken() const { return xcb_connection_has_error(c_) != 0; }
    int defaultScreen() const { return defaultScreen_; }
    int screenCount() const;
    xcb_screen_t* screen(int xScreen) const;
    QRect rootRect(int xScreen) const;

    bool hasShm() const { return hasShm_; }
    bool hasShape() const { return hasShape_; }
    bool hasXTest() const { return hasXTest_; }

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

    // Gives up the grab's shared memory now instead of after its idle time (benchmarks).
    void releaseSharedMemory();

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
    // The segment (a whole screen's pixels) goes once grabs have stopped for a while.
    void scheduleShmRelease();

    std::recursive_mutex mutex_;
    QHash<QByteArray, xcb_atom_t> atoms_;
    xcb_connection_t* c_ = nullptr;
    xcb_ewmh_connection_t ewmh_{};
    bool ewmhReady_ = false;
    int defaultScreen_ = 0;
    bool hasShm_ = false, hasXFixes_ = false, hasRes_ = false, hasShape_ = false, hasXTest_ = false;
    bool hasRandr_ = false, randrMonitors_ = false;
    bool shmBroken_ = false;
    bool lsbFirst_ = true;

    struct Shm {
        quint32 seg = 0;
        int id = -1;
        void* addr = nullptr;
        size_t size = 0;
    } shm_;
    qint64 lastShmUse_ = 0;  // QDeadlineTimer::current() in ms
    bool shmReleaseScheduled_ = false;
};

// Opaque ARGB32 (premultiplied) copy of 32-bit Z-pixmap data with any byte order.
QImage imageFromZPixmap(const uchar* data, int width, int height, int stride, bool lsbFirst);
// The same into `rows` rows of `out` from `firstRow` on (`out` as wide as the data).
void copyZPixmapRows(const uchar* data, int stride, bool lsbFirst, QImage& out, int firstRow, int rows);

}  // namespace kx
