// Encoding a capture: the project's encoder against Qt's default writer path, and the PNG
// zlib level sweep behind kPngWriterQuality. Bytes are reported as counters.
#include "core/ImageUtils.h"

#include <benchmark/benchmark.h>
#include <QBuffer>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QRandomGenerator>

using namespace kx;

namespace {

// A busy desktop: gradient wallpaper, windows full of text, a photo-like noisy area.
QImage screenshotLike(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient g(0, 0, w, h);
    g.setColorAt(0, QColor(30, 60, 120));
    g.setColorAt(1, QColor(230, 200, 160));
    p.fillRect(img.rect(), g);
    QFont f("DejaVu Sans");
    f.setPixelSize(13 * w / 1920);
    p.setFont(f);
    QRandomGenerator rng(7);
    for (int win = 0; win < 4; ++win) {
        const QRect r(w / 20 + win * w / 5, h / 12 + win * h / 10, w / 2, h / 2);
        p.fillRect(r, win % 2 ? QColor(250, 250, 250) : QColor(40, 42, 54));
        p.fillRect(r.x(), r.y(), r.width(), 28 * w / 1920, QColor(220, 220, 225));
        p.setPen(win % 2 ? Qt::black : QColor(220, 220, 220));
        const int line = f.pixelSize() + 6;
        for (int y = r.y() + 40 * w / 1920; y < r.bottom() - line; y += line)
            p.drawText(r.x() + 12, y,
                       QString("%1  int value = compute(%2, \"Hello World\"); // 2026 invoice@example.com")
                           .arg(y)
                           .arg(rng.bounded(1000)));
    }
    // A photo-like region (noise over a gradient) that compresses poorly.
    const QRect photo(w * 2 / 3, h * 2 / 3, w / 4, h / 4);
    for (int y = photo.top(); y <= photo.bottom(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = photo.left(); x <= photo.right(); ++x) {
            const int n = int(rng.bounded(40));
            row[x] = qRgb((x * 255 / w + n) & 255, (y * 255 / h + n) & 255, (128 + n) & 255);
        }
    }
    return img;
}

const QImage& sample(int w)
{
    static QImage a = screenshotLike(3840, 2160), b = screenshotLike(5120, 2880);
    return w == 3840 ? a : b;
}

void report(benchmark::State& state, qsizetype bytes)
{
    state.counters["bytes"] = double(bytes);
}

void BM_Encode(benchmark::State& state)
{
    const QImage& img = sample(int(state.range(0)));
    const auto format = static_cast<ImageFormat>(state.range(1));
    qsizetype bytes = 0;
    for (auto _ : state) {
        const auto data = encoded(img, format, 0.9, 2.0);
        bytes = data ? data->size() : -1;
        benchmark::DoNotOptimize(bytes);
    }
    report(state, bytes);
}
BENCHMARK(BM_Encode)
    ->ArgsProduct({{3840, 5120}, {0, 1, 2}})
    ->ArgNames({"width", "fmt(png,jpg,heic)"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// Qt's default writer: what a plain QImage::save does.
void BM_QtDefault(benchmark::State& state)
{
    const QImage& img = sample(int(state.range(0)));
    const char* fmt = state.range(1) == 0 ? "png" : "jpeg";
    qsizetype bytes = 0;
    for (auto _ : state) {
        QByteArray data;
        QBuffer buf(&data);
        buf.open(QIODevice::WriteOnly);
        img.save(&buf, fmt);
        bytes = data.size();
    }
    report(state, bytes);
}
BENCHMARK(BM_QtDefault)
    ->ArgsProduct({{3840, 5120}, {0, 1}})
    ->ArgNames({"width", "fmt(png,jpg)"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// PNG writer "quality" sweep: Qt maps it to zlib level (100 - q) * 9 / 91.
void BM_PngQuality(benchmark::State& state)
{
    const QImage& img = sample(3840);
    qsizetype bytes = 0;
    for (auto _ : state) {
        QByteArray data;
        QBuffer buf(&data);
        buf.open(QIODevice::WriteOnly);
        QImageWriter w(&buf, "png");
        w.setQuality(int(state.range(0)));
        w.write(img);
        bytes = data.size();
    }
    report(state, bytes);
}
BENCHMARK(BM_PngQuality)
    ->Arg(-1)
    ->Arg(0)
    ->Arg(30)
    ->Arg(50)
    ->Arg(60)
    ->Arg(70)
    ->Arg(80)
    ->Arg(90)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace
