// pin() of a 4K capture until its first frame is painted.
#include "library/pins/PinManager.h"
#include "library/pins/PinWindow.h"

#include <benchmark/benchmark.h>
#include <QCoreApplication>
#include <QPainter>

using namespace kx;

namespace {

void BM_Pin4K(benchmark::State& state)
{
    QImage image(3840, 2160, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    p.fillRect(image.rect(), QLinearGradient(0, 0, 3840, 2160));
    p.end();
    for (auto _ : state) {
        PinWindow* pin = PinManager::shared().pin(image, 2);
        benchmark::DoNotOptimize(pin->grab());  // the first paint, with its one scaling
        state.PauseTiming();
        PinManager::shared().closeAll();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Pin4K)->Unit(benchmark::kMillisecond);

}  // namespace
