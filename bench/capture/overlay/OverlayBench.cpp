// The selection overlay's hot paths: from SelectionSession::run() to every overlay on
// screen (frozen images given), from the freeze of the real screens to every overlay painted
// (what follows the area hot key), and one pointer move's repaint on a 3840 x 2160 display.
#include "capture/overlay/OverlayView.h"
#include "capture/overlay/SelectionSession.h"
#include "core/ImageBufferPool.h"
#include "core/Prefs.h"
#include "platform/ScreenCapturer.h"
#include "platform/XConnection.h"

#include <benchmark/benchmark.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QWindow>
#include <cstdlib>
#include <random>

using namespace kx;

namespace {

QImage busyImage(QSize size)
{
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    std::mt19937 rng(5);
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            line[x] = 0xFF000000u | (rng() & 0xFFFFFFu);
    }
    return img;
}

bool spinUntil(const std::function<bool()>& done, int timeoutMs = 10000)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

void serverRoundTrip()
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (xcb_connection_t* c = x11 ? x11->connection() : nullptr)
        free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

// Resident memory of this process, MB.
double residentMB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / (1 << 20) : 0;
}

// Ended overlays are hidden and kept a while for the next session.
bool overlaysHidden()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<OverlayWindow*>(w) && w->isVisible())
            return false;
    return true;
}

void overlaysShown(benchmark::State& state)
{
    Prefs::registerDefaults();
    QList<FrozenScreen> frozen;
    for (QScreen* s : QGuiApplication::screens())
        frozen.append({s, busyImage((QSizeF(s->geometry().size()) * s->devicePixelRatio()).toSize()),
                       s->devicePixelRatio()});
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        SelectionSession session(SelectionMode::area, frozen);
        session.run([](std::optional<SelectionResult>) {});
        const QList<OverlayWindow*> windows = session.overlayWindows();
        const bool shown = spinUntil([&] {
            for (OverlayWindow* w : windows)
                if (!w->windowHandle() || !w->windowHandle()->isExposed())
                    return false;
            return true;
        });
        state.SetIterationTime(double(t.nsecsElapsed()) / 1e9);
        if (!shown) {
            state.SkipWithError("overlays never appeared");
            break;
        }
        session.finish(std::nullopt);
        spinUntil(overlaysHidden);
    }
    state.counters["displays"] = double(frozen.size());
}

// The area hot key's path once the capture starts: the overlay windows readied and every
// display frozen through the X source (as the capture coordinator does), the session started,
// every overlay exposed and painted. Under scripts/desktop-session.sh (on xcb there)
// and KX_SCREENS="1920x1080x24" or "3840x2160x24". idle = 0: a capture within 10 s of the
// last one (buffers and window pixels still kept); 1: the first capture after the idle time
// (pooled grab buffers, the grab's shared memory and the windows' pixels given back, the bare
// windows kept); 2: the first capture of the process (no overlay window yet).
void freezeToOverlay(benchmark::State& state)
{
    Prefs::registerDefaults();
    const int idle = int(state.range(0));
    QSize size;
    double idleMB = 0, shownMB = 0;
    for (auto _ : state) {
        if (idle > 0) {
            if (idle > 1)
                SelectionSession::dropParkedWindows();
            SelectionSession::releaseParkedWindows();
            ImageBufferPool::shared().release(0);
            if (const auto x = XConnection::shared())
                x->releaseSharedMemory();
            // What the server frees in return is done before the hot key comes.
            if (const auto x = XConnection::shared()) {
                auto lock = x->lock();
                x->roundTrip();
            }
            idleMB += residentMB();
        }
        QElapsedTimer t;
        t.start();
        SelectionSession::prepareOverlays();
        Captured<QList<FrozenScreen>> frozen = ScreenCapturer::freezeAllScreens();
        if (!frozen || frozen->isEmpty()) {
            state.SkipWithError("no screen to freeze (run under the desktop harness with xcb)");
            break;
        }
        size = frozen->first().image.size();
        std::optional<SelectionSession> session(std::in_place, SelectionMode::area, std::move(*frozen));
        session->run([](std::optional<SelectionResult>) {});
        const QList<OverlayWindow*> windows = session->overlayWindows();
        const bool shown = spinUntil([&] {
            for (OverlayWindow* w : windows)
                if (!w->windowHandle() || !w->windowHandle()->isExposed())
                    return false;
            return true;
        });
        // Painted means drawn by the server: it answers a request on Qt's connection only
        // after the window content sent before it.
        serverRoundTrip();
        state.SetIterationTime(double(t.nsecsElapsed()) / 1e9);
        if (!shown) {
            state.SkipWithError("overlays never appeared");
            break;
        }
        shownMB += residentMB();
        session->finish(std::nullopt);
        session.reset();
        spinUntil(overlaysHidden);
    }
    state.counters["width"] = size.width();
    state.counters["height"] = size.height();
    // Resident memory of the benchmark, after the idle time's release and with the overlay up.
    const double n = double(std::max<qint64>(1, state.iterations()));
    if (idle > 0)
        state.counters["idleMB"] = idleMB / n;
    state.counters["shownMB"] = shownMB / n;
}

// One pointer move over a 3840 x 2160 overlay: the event, the partial repaint and the flush.
void pointerMove(benchmark::State& state)
{
    Prefs::registerDefaults();
    const auto mode = SelectionMode(state.range(0));
    const bool dragging = state.range(1) != 0;
    const QImage frozen = busyImage(QSize(3840, 2160));
    OverlayView view(nullptr, frozen, 1.0, mode, nullptr, {});
    view.resize(3840, 2160);
    view.show();
    spinUntil([&] { return view.windowHandle() && view.windowHandle()->isExposed(); });
    QCoreApplication::processEvents();
    auto send = [&](QEvent::Type type, QPointF p, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent e(type, p, view.mapToGlobal(p), button, held, {});
        QApplication::sendEvent(&view, &e);
    };
    if (dragging)
        send(QEvent::MouseButtonPress, {400, 300}, Qt::LeftButton, Qt::LeftButton);
    struct AreaCounter : QObject {
        double pixels = 0;
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::Paint) {
                ++paints;
                for (const QRect& r : static_cast<QPaintEvent*>(e)->region())
                    pixels += double(r.width()) * r.height();
            }
            return false;
        }
    } counter;
    view.installEventFilter(&counter);
    int i = 0;
    for (auto _ : state) {
        const QPointF p(1200 + (i % 400) * 3.0, 900 + (i % 300) * 2.0);
        ++i;
        send(QEvent::MouseMove, p, Qt::NoButton, dragging ? Qt::LeftButton : Qt::NoButton);
        QCoreApplication::processEvents();
    }
    view.removeEventFilter(&counter);
    // Share of the display repainted per move.
    state.counters["painted"] = counter.paints ? counter.pixels / counter.paints / (3840.0 * 2160.0) : 0;
}

void fullRepaint(benchmark::State& state)
{
    Prefs::registerDefaults();
    OverlayView view(nullptr, busyImage(QSize(3840, 2160)), 1.0, SelectionMode::area, nullptr, {});
    view.resize(3840, 2160);
    view.show();
    spinUntil([&] { return view.windowHandle() && view.windowHandle()->isExposed(); });
    for (auto _ : state)
        view.repaint();
}

}  // namespace

BENCHMARK(overlaysShown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(freezeToOverlay)
    ->ArgName("idle")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(30);
BENCHMARK(pointerMove)
    ->ArgNames({"mode", "drag"})
    ->Args({int(SelectionMode::area), 0})
    ->Args({int(SelectionMode::area), 1})
    ->Args({int(SelectionMode::colorPicker), 0})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(fullRepaint)->Unit(benchmark::kMillisecond);
