// Encoding a capture: the project's encoder against Qt's default writer path, and the PNG
// libpng filter and zlib level sweep behind defaultPngSettings(). Bytes are reported as counters.
#include "core/ImageUtils.h"
#include "core/PngEncoder.h"

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

// PNG of the benchmark content as one stream on the calling thread (the one-core figure), and
// in bands on the cores; CPU is that of the whole process.
void BM_PngBands(benchmark::State& state)
{
    const QImage& img = sample(int(state.range(0)));
    qsizetype bytes = 0;
    for (auto _ : state) {
        const auto data = encodePng(img, 5669, {PngSettings::Filter::up, 1, int(state.range(1))});
        bytes = data ? data->size() : -1;
    }
    report(state, bytes);
}
BENCHMARK(BM_PngBands)
    ->ArgsProduct({{3840, 5120}, {1, 0}})
    ->ArgNames({"width", "bands(1=one,0=auto)"})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

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

// Kinds of 3840x2160 screenshots for choosing the PNG filter and level.
QImage kindOf(int kind)
{
    constexpr int w = 3840, h = 2160;
    if (kind == 0)
        return sample(w);
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    QRandomGenerator rng(11);
    QFont f("DejaVu Sans");
    f.setPixelSize(26);
    p.setFont(f);
    switch (kind) {
        case 1:  // a text page
            img.fill(Qt::white);
            for (int y = 40; y < h; y += 36)
                p.drawText(60, y,
                           QString("%1 The quick brown fox jumps over the lazy dog, %2 times in 2026.")
                               .arg(y)
                               .arg(rng.bounded(100000))
                               .repeated(2));
            break;
        case 2:  // a photo: smooth shapes with sensor noise
            for (int y = 0; y < h; ++y) {
                auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
                for (int x = 0; x < w; ++x) {
                    const int n = int(rng.bounded(12));
                    row[x] = qRgb((x / 17 + y / 23 + n) & 255, (128 + (x * y) / 40000 + n) & 255,
                                  (y / 9 + n) & 255);
                }
            }
            break;
        case 3: {  // a wallpaper gradient
            QLinearGradient g(0, 0, w, h);
            g.setColorAt(0, QColor(20, 40, 90));
            g.setColorAt(0.5, QColor(180, 90, 140));
            g.setColorAt(1, QColor(250, 210, 150));
            p.fillRect(img.rect(), g);
            break;
        }
        default:  // an application: sidebar, toolbar, buttons, short labels
            img.fill(QColor(246, 246, 248));
            p.fillRect(0, 0, w, 90, QColor(230, 230, 235));
            p.fillRect(0, 90, 600, h, QColor(38, 40, 48));
            for (int i = 0; i < 40; ++i) {
                p.fillRect(660 + (i % 8) * 390, 160 + (i / 8) * 380, 360, 340, QColor(255, 255, 255));
                p.setPen(QColor(60, 60, 70));
                p.drawText(680 + (i % 8) * 390, 200 + (i / 8) * 380, QString("Item %1").arg(i));
                p.setPen(QColor(200, 200, 210));
                p.drawText(40, 140 + i * 48, QString("Folder %1").arg(i));
            }
            break;
    }
    return img;
}

const QImage& kindImage(int kind)
{
    static QImage images[5] = {kindOf(0), kindOf(1), kindOf(2), kindOf(3), kindOf(4)};
    return images[kind];
}

// libpng directly: filter x level per kind; filter 5 is Qt's writer at the previous setting
// (quality 80 = level 1, adaptive filters).
void BM_PngSettings(benchmark::State& state)
{
    const QImage& img = kindImage(int(state.range(0)));
    const int filter = int(state.range(1));
    const int level = int(state.range(2));
    qsizetype bytes = 0;
    for (auto _ : state) {
        if (filter == 5) {
            QByteArray data;
            QBuffer buf(&data);
            buf.open(QIODevice::WriteOnly);
            QImageWriter w(&buf, "png");
            w.setQuality(80);
            w.write(img);
            bytes = data.size();
        } else {
            const auto data = encodePng(img, 5669, {PngSettings::Filter(filter), level});
            bytes = data ? data->size() : -1;
        }
    }
    report(state, bytes);
}
BENCHMARK(BM_PngSettings)
    ->ArgsProduct({{0, 1, 2, 3, 4}, {0, 1, 2, 3, 4, 5}, {1, 2}})
    ->ArgNames({"kind(bench,text,photo,gradient,ui)", "filter(none,sub,up,paeth,all,qt)", "level"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace
