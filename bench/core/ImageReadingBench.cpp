// Refusing what cannot be opened: a 5 GB file named .png (sparse, zeros), a 20000 × 20000 PNG
// whose header says 400 megapixels, and a HEIC whose coded stream is 28000 × 26160 behind a
// declared 24 × 16. Each is refused from its first bytes; the peak resident memory of the
// whole run is reported as a counter (it must stay far below 1 GB).
#include "HeicBomb.h"
#include "core/ImageReading.h"

#include <benchmark/benchmark.h>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <sys/resource.h>

using namespace kx;

namespace {

QTemporaryDir& folder()
{
    static QTemporaryDir dir;
    return dir;
}

double peakRssMb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_maxrss) / 1024.0;
}

void refuse(benchmark::State& state, const QString& path, bool tooLarge)
{
    for (auto _ : state) {
        const ImageRead read = readImageFile(path);
        if (read.image || read.tooLarge != tooLarge)
            state.SkipWithError("not refused as expected");
        benchmark::DoNotOptimize(read);
    }
    state.counters["peak_rss_mb"] = peakRssMb();
}

void BM_RefuseSparse5GbPng(benchmark::State& state)
{
    const QString path = folder().filePath("sparse.png");
    if (!QFile::exists(path)) {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.resize(qint64(5) * 1024 * 1024 * 1024);
    }
    refuse(state, path, false);
}
BENCHMARK(BM_RefuseSparse5GbPng)->Unit(benchmark::kMicrosecond);

void BM_Refuse20000SquarePng(benchmark::State& state)
{
    const QString path = folder().filePath("huge.png");
    if (!QFile::exists(path)) {
        QImage big(20000, 20000, QImage::Format_Mono);
        big.fill(0);
        big.save(path, "png");
    }
    refuse(state, path, true);
}
BENCHMARK(BM_Refuse20000SquarePng)->Unit(benchmark::kMicrosecond);

void BM_RefuseHeicBomb(benchmark::State& state)
{
    const QString path = folder().filePath("bomb.heic");
    if (!QFile::exists(path)) {
        QImage img(64, 64, QImage::Format_RGB32);
        img.fill(Qt::darkCyan);
        const QByteArray bomb =
            test::heicBomb(encoded(img, ImageFormat::heic, 0.5, 1.0).value_or(QByteArray()), QSize(24, 16),
                           QSize(28000, 26160));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bomb);
    }
    refuse(state, path, true);
}
BENCHMARK(BM_RefuseHeicBomb)->Unit(benchmark::kMicrosecond);

}  // namespace
