// Grab latency on a real X server: whole screens of 1920x1080 and 3840x2160 pixels through
// MIT-SHM and through GetImage, a 600x400 rectangle, and the window-list query.
// Run inside scripts/desktop-session.sh with KX_SCREENS="1920x1080x24 3840x2160x24"; an X
// screen that does not exist is reported as skipped.
#include "core/ImageBufferPool.h"
#include "platform/WindowList.h"
#include "platform/XConnection.h"

#include <benchmark/benchmark.h>

namespace {

using kx::XConnection;
using Method = XConnection::GrabMethod;

std::shared_ptr<XConnection> connection()
{
    static std::shared_ptr<XConnection> c = XConnection::open();
    return c;
}

// Finds the X screen of the wanted size among those of the display.
int screenOfSize(XConnection& x, QSize size)
{
    for (int i = 0; i < x.screenCount(); ++i) {
        if (x.rootRect(i).size() == size)
            return i;
    }
    return -1;
}

// `fresh`: the pooled buffers and the grab's shared memory are given back before each grab, so
// every grab takes new memory, as the first one after the idle time does.
void grab(benchmark::State& state, QSize screen, QSize area, Method method, bool fresh = false)
{
    const auto x = connection();
    if (!x) {
        state.SkipWithError("no X display");
        return;
    }
    const int xs = screenOfSize(*x, screen);
    if (xs < 0) {
        state.SkipWithError("no X screen of that size (set KX_SCREENS)");
        return;
    }
    if (method == Method::sharedMemory && !x->hasShm()) {
        state.SkipWithError("no MIT-SHM");
        return;
    }
    const QRect rect(QPoint(0, 0), area.isEmpty() ? screen : area);
    auto lock = x->lock();
    for (auto _ : state) {
        if (fresh) {
            kx::ImageBufferPool::shared().release(0);
            x->releaseSharedMemory();
            x->roundTrip();
        }
        QString error;
        const QImage img = x->grab(xs, rect, method, &error);
        if (img.isNull()) {
            state.SkipWithError(qPrintable(error));
            return;
        }
        benchmark::DoNotOptimize(img.constBits());
    }
    state.SetBytesProcessed(state.iterations() * qint64(rect.width()) * rect.height() * 4);
}

void BM_WindowList(benchmark::State& state)
{
    if (!connection()) {
        state.SkipWithError("no X display");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(kx::WindowList::onScreen(false));
}

const QSize fullHd(1920, 1080), uhd(3840, 2160), whole;

}  // namespace

BENCHMARK_CAPTURE(grab, Screen1920x1080_Shm, fullHd, whole, Method::sharedMemory)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(grab, Screen1920x1080_GetImage, fullHd, whole, Method::getImage)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(grab, Screen1920x1080_Shm_fresh, fullHd, whole, Method::sharedMemory, true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(grab, Screen3840x2160_Shm, uhd, whole, Method::sharedMemory)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(grab, Screen3840x2160_Shm_fresh, uhd, whole, Method::sharedMemory, true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(grab, Screen3840x2160_GetImage, uhd, whole, Method::getImage)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(grab, Rect600x400_Shm, fullHd, QSize(600, 400), Method::sharedMemory)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(grab, Rect600x400_GetImage, fullHd, QSize(600, 400), Method::getImage)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowList)->Unit(benchmark::kMillisecond);
