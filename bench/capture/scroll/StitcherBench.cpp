// add() of the vertical stitcher on screen-sized frames: steady scrolling, the first step
// (no expected shift yet), frames that match nothing; and the row-distance kernel.
#include "capture/scroll/RowDistance.h"
#include "capture/scroll/ScrollRowMasks.h"
#include "capture/scroll/StitchSignature.h"
#include "capture/scroll/VerticalStitcher.h"

#include "capture/scroll/ScrollCaptureSession.h"
#include "core/Prefs.h"

#include "RealisticPages.h"
#include "SyntheticPage.h"
#include "fakes/FakeScroller.h"

#include <benchmark/benchmark.h>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPainter>
#include <random>
#include <vector>

using kx::VerticalStitcher;

namespace {

const QImage& pageFor(int width)
{
    static QHash<int, QImage> pages;
    if (!pages.contains(width))
        pages.insert(width, kx::test::makePage(width, 20000));
    return pages[width];
}

QImage frameAt(int width, int height, int offset)
{
    return pageFor(width).copy(0, offset, width, height);
}

// A stitcher that has accepted steps of `dy` rows; each frame continues the last.
void steadyBy(benchmark::State& state, int dy)
{
    const int w = int(state.range(0));
    const int h = int(state.range(1));
    std::vector<QImage> frames;
    for (int i = 0; i < 40; ++i)
        frames.push_back(frameAt(w, h, i * dy));
    auto st = std::make_unique<VerticalStitcher>(frames[0]);
    std::size_t next = 1;
    for (auto _ : state) {
        if (next == frames.size()) {
            state.PauseTiming();
            st = std::make_unique<VerticalStitcher>(frames[0]);
            st->add(frames[1]);
            next = 2;
            state.ResumeTiming();
        }
        benchmark::DoNotOptimize(st->add(frames[next++]));
    }
}

void steady(benchmark::State& state)
{
    steadyBy(state, 200);
}

// Steps just under a sixth of the frame: their rows are copied into fresh memory.
void steadyCopied(benchmark::State& state)
{
    steadyBy(state, int(state.range(1)) / 6 - 1);
}

void firstStep(benchmark::State& state)
{
    const int w = int(state.range(0));
    const int h = int(state.range(1));
    const QImage a = frameAt(w, h, 0);
    const QImage b = frameAt(w, h, h / 3);
    for (auto _ : state) {
        state.PauseTiming();
        VerticalStitcher st(a);
        state.ResumeTiming();
        benchmark::DoNotOptimize(st.add(b));
    }
}

// Content that matches nowhere, after a steady step: every coarse shift is tried.
void noMatch(benchmark::State& state)
{
    const int w = int(state.range(0));
    const int h = int(state.range(1));
    const QImage noise = kx::test::noisePage(w, h, 11);
    VerticalStitcher st(frameAt(w, h, 0));
    st.add(frameAt(w, h, 200));
    for (auto _ : state)
        benchmark::DoNotOptimize(st.add(noise));
}

// Noise after other noise: every shift fits about equally badly, so none is ruled out
// after a few rows; the search has to stop by its row budget.
void unlike(benchmark::State& state)
{
    const int w = int(state.range(0));
    const int h = int(state.range(1));
    VerticalStitcher st(kx::test::noisePage(w, h, 3));
    const QImage other = kx::test::noisePage(w, h, 4);
    for (auto _ : state)
        benchmark::DoNotOptimize(st.add(other));
}

// A whole capture of 40 frames scrolled by 200 rows: the memory held for the result at its
// largest, against the finished image and against keeping every frame.
void wholeCapture(benchmark::State& state)
{
    const int w = int(state.range(0));
    const int h = int(state.range(1));
    std::vector<QImage> frames;
    for (int i = 0; i < 40; ++i)
        frames.push_back(frameAt(w, h, i * 200));
    double peak = 0, finalBytes = 0, allFrames = 0;
    for (auto _ : state) {
        VerticalStitcher st(frames[0]);
        peak = double(st.retainedBytes());
        allFrames = double(frames[0].sizeInBytes());
        for (std::size_t i = 1; i < frames.size(); ++i) {
            st.add(frames[i]);
            peak = std::max(peak, double(st.retainedBytes()));
            allFrames += double(frames[i].sizeInBytes());
        }
        const QImage result = st.finish();
        finalBytes = double(result.sizeInBytes());
        benchmark::DoNotOptimize(result.constBits());
    }
    state.counters["peak/final"] = peak / finalBytes;
    state.counters["frames/final"] = allFrames / finalBytes;
}

void signature(benchmark::State& state)
{
    const QImage frame = frameAt(int(state.range(0)), int(state.range(1)), 0);
    for (auto _ : state)
        benchmark::DoNotOptimize(kx::StitchSignature::of(frame));
}

// The look for a placeholder in the rows a step scrolls out (half the frame), before each
// automatic step, on the UI thread.
void placeholderLook(benchmark::State& state)
{
    const QImage frame =
        frameAt(int(state.range(0)), int(state.range(1)), 0).convertToFormat(QImage::Format_RGB32);
    for (auto _ : state)
        benchmark::DoNotOptimize(kx::rowmask::flatBlock(frame, 0, frame.height() / 2));
}

// Two sightings of a part that changed in place compared (the settle does so with up to 16
// remembered ones, on the UI thread): a quarter of the frame each.
void sameSighting(benchmark::State& state)
{
    const QImage frame = frameAt(int(state.range(0)), int(state.range(1)), 0);
    const QImage a = frame.copy(0, 0, frame.width(), frame.height() / 4);
    const QImage b = frame.copy(0, frame.height() / 4, frame.width(), frame.height() / 4);
    for (auto _ : state)
        benchmark::DoNotOptimize(kx::rowmask::samePicture(a, b));
}

template <bool Vector>
void kernel(benchmark::State& state)
{
    const std::size_t rows = std::size_t(state.range(0));
    std::vector<std::uint8_t> a(rows * 128), b(rows * 128);
    std::mt19937 rng(1);
    for (auto& v : a)
        v = std::uint8_t(rng());
    for (auto& v : b)
        v = std::uint8_t(rng());
    for (auto _ : state)
        benchmark::DoNotOptimize(Vector ? kx::rowsDistance(a.data(), b.data(), rows)
                                        : kx::rowsDistanceScalar(a.data(), b.data(), rows));
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(rows) * 128);
}

// One automatic capture of `selection` to its end, the event loop running; the rows it gave.
int autoCapture(const kx::ScrollCaptureSession::Environment& env, const QRectF& selection)
{
    kx::ScrollCaptureSession session(QGuiApplication::primaryScreen(), selection, env);
    session.toggleAuto();
    QEventLoop loop;
    int rows = 0;
    session.run(QImage(), [&](kx::ScrollCaptureSession::Result r) {
        rows = r.image.height();
        loop.quit();
    });
    loop.exec();
    return rows;
}

// A whole automatic capture with the real settling waits: a 3,000-row page seen through a
// 480-row view, 240 rows per wheel click, without and with a box in the corner that changes
// on every grab. Counts the grabs each step took to settle.
void capture(benchmark::State& state)
{
    const bool animated = state.range(0) != 0;
    kx::Prefs::registerDefaults();  // the height limit
    kx::test::FakeScrollPage page;
    page.page = kx::test::makePage(640, 3000).convertToFormat(QImage::Format_RGB32);
    page.viewHeight = 480;
    page.rowsPerClick = 240;
    int tick = 0;
    kx::ScrollCaptureSession::Environment env;
    env.scroller = &page;
    env.showUi = false;
    env.grab = [&](QScreen*, const QRectF&) {
        kx::Captured<kx::ScreenGrab> g = page.grab();
        if (animated)
            QPainter(&g->image).fillRect(520, 350, 100, 100, QColor::fromHsv(tick++ * 37 % 360, 200, 200));
        return g;
    };
    double steps = 0, grabs = 0, rows = 0;
    for (auto _ : state) {
        page.offset = 0;
        page.grabs = 0;
        page.clicks.clear();
        rows = autoCapture(env, QRectF(0, 0, 640, 480));
        steps = page.clicks.size();
        grabs = page.grabs;
    }
    state.counters["rows"] = rows;
    state.counters["grabs/step"] = grabs / std::max(1.0, steps);
}

// A whole automatic capture of a page five views tall (1280 x 720 view), with the real
// settling waits, over the page kinds of the randomised test: what a user waits for.
void fiveScreens(benchmark::State& state)
{
    const auto kind = kx::test::PageKind(state.range(0));
    kx::Prefs::registerDefaults();
    const kx::test::RealisticPage page = kx::test::makeRealisticPage(kind, 1280, 720, 5.0, 0);
    kx::test::RealisticScreen screen;
    screen.source = &page;
    screen.page = page.page;
    screen.viewHeight = page.viewHeight;
    screen.rowsPerClick = 51;
    kx::ScrollCaptureSession::Environment env;
    env.scroller = &screen;
    env.showUi = false;
    env.grab = [&](QScreen*, const QRectF&) { return screen.grabView(); };
    double rows = 0, steps = 0;
    for (auto _ : state) {
        screen.offset = 0;
        screen.grabs = 0;
        screen.clicks.clear();
        rows = autoCapture(env, QRectF(0, 0, 1280, 720));
        steps = screen.clicks.size();
    }
    state.SetLabel(kx::test::pageKindName(kind));
    state.counters["rows"] = rows;
    state.counters["whole"] = rows == page.page.height();
    state.counters["wheel steps"] = steps;
}

void sizes(benchmark::internal::Benchmark* b)
{
    b->Args({1600, 1200})->Args({2880, 1800})->Args({3840, 2160})->Unit(benchmark::kMillisecond);
}

}  // namespace

BENCHMARK(steady)->Apply(sizes);
BENCHMARK(steadyCopied)->Args({3840, 2160})->Unit(benchmark::kMillisecond);
BENCHMARK(firstStep)->Apply(sizes);
BENCHMARK(noMatch)->Apply(sizes);
BENCHMARK(unlike)->Apply(sizes);
BENCHMARK(signature)->Apply(sizes);
BENCHMARK(placeholderLook)->Apply(sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(sameSighting)->Apply(sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(capture)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(fiveScreens)
    ->Arg(int(kx::test::PageKind::varied))
    ->Arg(int(kx::test::PageKind::floatingButton))
    ->Arg(int(kx::test::PageKind::numberedNames))
    ->Arg(int(kx::test::PageKind::turnsIdentical))
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(wholeCapture)->Args({1600, 1200})->Unit(benchmark::kMillisecond);
BENCHMARK(kernel<true>)->Name("rowsDistance/simd")->Arg(600);
BENCHMARK(kernel<false>)->Name("rowsDistance/scalar")->Arg(600);
