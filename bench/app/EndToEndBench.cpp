// The real binary timed from outside, as a user meets it, by a second X client:
//  - process start (the fork) until its icon is embedded in the tray, mapped and painted;
//  - the area hot key (an XTest key event) until the overlay's frame is on the server's screen,
//    after an idle pause given in seconds (0: warm; 15: the pooled memory has been given back).
//  - the CPU a whole-screen capture costs until its text is read, for a light and a filled page;
//  - a second start handing over a 4K screenshot (the fork) until its editor shows the image.
// Run under scripts/desktop-session.sh; KX_SCREENS=3840x2160x24 for the 4K figures.
#include <X11/keysym.h>
#include <benchmark/benchmark.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QUuid>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>
#include "AppHarness.h"
#include "ProseScreen.h"

using kx::bench::median;

namespace {

double loadNow()
{
    double l = 0;
    if (FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf", &l) != 1)
            l = 0;
        std::fclose(f);
    }
    return l;
}

bool spinUntil(const std::function<bool()>& done, int ms = 30000)
{
    return kx::bench::spinUntil(done, ms);
}

template <typename R>
using Reply = std::unique_ptr<R, decltype(&std::free)>;

// The watching client: its own connection, apart from the application under test.
struct Watcher {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    xcb_key_symbols_t* syms = xcb_key_symbols_alloc(c);
    ~Watcher()
    {
        xcb_key_symbols_free(syms);
        xcb_disconnect(c);
    }
    bool ok() const { return !xcb_connection_has_error(c); }
    xcb_window_t root() const { return screen->root; }

    xcb_keycode_t code(xcb_keysym_t sym) const
    {
        Reply<xcb_keycode_t> k(xcb_key_symbols_get_keycode(syms, sym), &std::free);
        return k ? *k : 0;
    }
    void fake(uint8_t type, xcb_keycode_t detail, int16_t x = 0, int16_t y = 0)
    {
        xcb_test_fake_input(c, type, detail, XCB_CURRENT_TIME, type == XCB_MOTION_NOTIFY ? root() : XCB_NONE,
                            x, y, 0);
    }
    // Presses and releases the chord; flushed at once, as the user's press.
    void chord(std::initializer_list<xcb_keysym_t> keys)
    {
        for (xcb_keysym_t k : keys)
            fake(XCB_KEY_PRESS, code(k));
        for (auto it = std::rbegin(keys); it != std::rend(keys); ++it)
            fake(XCB_KEY_RELEASE, code(*it));
        xcb_flush(c);
    }
    void pointerTo(int x, int y)
    {
        fake(XCB_MOTION_NOTIFY, 0, int16_t(x), int16_t(y));
        xcb_flush(c);
    }
    // One pixel of what the server shows (the root window's image holds every window on it).
    uint32_t pixel(int x, int y)
    {
        Reply<xcb_get_image_reply_t> r(
            xcb_get_image_reply(
                c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, root(), int16_t(x), int16_t(y), 1, 1, ~0u),
                nullptr),
            &std::free);
        if (!r || xcb_get_image_data_length(r.get()) < 4)
            return 0xdeadbeef;
        uint32_t v;
        std::memcpy(&v, xcb_get_image_data(r.get()), 4);
        return v & 0xffffff;
    }
    // A page as the desktop's background, sent in bands small enough for any request size.
    void showPage(const QImage& page)
    {
        const QImage img = page.convertToFormat(QImage::Format_RGB32);
        const xcb_pixmap_t pm = xcb_generate_id(c);
        xcb_create_pixmap(c, screen->root_depth, pm, root(), uint16_t(img.width()), uint16_t(img.height()));
        const xcb_gcontext_t gc = xcb_generate_id(c);
        xcb_create_gc(c, gc, pm, 0, nullptr);
        const int rows = std::max(1, 200000 / int(img.bytesPerLine()));
        for (int y = 0; y < img.height(); y += rows) {
            const int n = std::min(rows, img.height() - y);
            xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, pm, gc, uint16_t(img.width()), uint16_t(n), 0,
                          int16_t(y), 0, screen->root_depth, uint32_t(img.bytesPerLine() * n),
                          img.constScanLine(y));
        }
        xcb_change_window_attributes(c, root(), XCB_CW_BACK_PIXMAP, &pm);
        xcb_clear_area(c, 0, root(), 0, 0, 0, 0);
        xcb_free_gc(c, gc);
        xcb_free_pixmap(c, pm);
        Reply<xcb_get_input_focus_reply_t> sync(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr),
                                                &std::free);
    }
    void paintRoot(uint32_t rgb)
    {
        xcb_change_window_attributes(c, root(), XCB_CW_BACK_PIXEL, &rgb);
        xcb_clear_area(c, 0, root(), 0, 0, 0, 0);
        xcb_flush(c);
    }
    // Something drawn in the window: more than a plain background.
    bool painted(xcb_window_t w)
    {
        Reply<xcb_get_geometry_reply_t> g(xcb_get_geometry_reply(c, xcb_get_geometry(c, w), nullptr),
                                          &std::free);
        if (!g || g->width > 256 || g->height > 256)
            return false;
        Reply<xcb_get_image_reply_t> r(
            xcb_get_image_reply(
                c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, w, 0, 0, g->width, g->height, ~0u), nullptr),
            &std::free);
        if (!r)
            return false;
        const auto* px = reinterpret_cast<const uint32_t*>(xcb_get_image_data(r.get()));
        const int n = xcb_get_image_data_length(r.get()) / 4;
        std::vector<uint32_t> colours;
        for (int i = 0; i < n && colours.size() < 3; ++i)
            if (std::find(colours.begin(), colours.end(), px[i] & 0xffffff) == colours.end())
                colours.push_back(px[i] & 0xffffff);
        return colours.size() >= 3;
    }
    // A window of class "kaptorix" that the tray reparented (its parent is not the root),
    // mapped and painted: the icon is embedded and on screen. Walked level by level, requests pipelined.
    bool trayIconEmbedded()
    {
        std::vector<std::pair<xcb_window_t, bool>> level{{root(), false}};
        while (!level.empty()) {
            std::vector<xcb_query_tree_cookie_t> trees;
            for (auto [w, _] : level)
                trees.push_back(xcb_query_tree(c, w));
            std::vector<std::pair<xcb_window_t, bool>> next;
            for (size_t i = 0; i < trees.size(); ++i) {
                Reply<xcb_query_tree_reply_t> t(xcb_query_tree_reply(c, trees[i], nullptr), &std::free);
                if (!t)
                    continue;
                const xcb_window_t* kids = xcb_query_tree_children(t.get());
                for (int k = 0; k < xcb_query_tree_children_length(t.get()); ++k)
                    next.emplace_back(kids[k], level[i].first != root());
            }
            std::vector<xcb_get_property_cookie_t> classes;
            std::vector<xcb_get_window_attributes_cookie_t> attrs;
            for (auto [w, _] : next) {
                classes.push_back(xcb_get_property(c, 0, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 32));
                attrs.push_back(xcb_get_window_attributes(c, w));
            }
            bool found = false;
            for (size_t i = 0; i < next.size(); ++i) {
                Reply<xcb_get_property_reply_t> p(xcb_get_property_reply(c, classes[i], nullptr), &std::free);
                Reply<xcb_get_window_attributes_reply_t> a(
                    xcb_get_window_attributes_reply(c, attrs[i], nullptr), &std::free);
                if (!p || !a || !next[i].second || a->map_state != XCB_MAP_STATE_VIEWABLE)
                    continue;
                const QByteArray cls(static_cast<const char*>(xcb_get_property_value(p.get())),
                                     xcb_get_property_value_length(p.get()));
                if (cls.startsWith(QByteArray("kaptorix\0", 9)) && painted(next[i].first))
                    found = true;
            }
            if (found)
                return true;
            level = std::move(next);
        }
        return false;
    }
};

struct App {
    QTemporaryDir home;
    QProcess process;
    // A history of `entries` captures, each with a screen's worth of recognised text.
    void fillHistory(int entries)
    {
        const QString dir = home.filePath("history");
        QDir().mkpath(dir);
        QImage png(64, 36, QImage::Format_RGB32);
        png.fill(Qt::white);
        QByteArray text;
        for (int line = 0; line < 40; ++line)
            text += "Invoice 2026-" + QByteArray::number(line * 37) +
                    " paid on time; the shipment left at 10:40\\n";
        const QByteArray now = QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toLatin1();
        QByteArray index = "[";
        for (int i = 0; i < entries; ++i) {
            const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
            png.save(dir + "/" + id + ".png");
            if (i)
                index += ',';
            index += "{\"id\":\"" + id.toLatin1() + "\",\"date\":\"" + now +
                     "\",\"width\":1920,\"height\":1080,\"scale\":1,"
                     "\"kind\":\"area\",\"ocrText\":\"" +
                     text + "\",\"favorite\":false}";
        }
        QFile f(dir + "/index.json");
        if (f.open(QIODevice::WriteOnly))
            f.write(index + "]");
    }
    // KX_BENCH_KAPTORIX: another build of the binary, to compare two in the same minutes.
    static QString program()
    {
        const QString other = qEnvironmentVariable("KX_BENCH_KAPTORIX");
        return other.isEmpty() ? QStringLiteral(KX_KAPTORIX) : other;
    }
    void start()
    {
        kx::bench::prepareHome(home, process);
        process.start(program());
    }
    // A second start of the program with `args`, as a file manager hands files over.
    void handOver(QProcess& second, const QStringList& args)
    {
        second.setProcessEnvironment(process.processEnvironment());
        second.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        second.start(program(), args);
    }
    ~App()
    {
        process.terminate();
        if (!process.waitForFinished(10000))
            process.kill();
        process.waitForFinished(10000);
    }
};

void BM_StartToTrayIcon(benchmark::State& state)
{
    Watcher x;
    if (!x.ok()) {
        state.SkipWithError("no X display");
        return;
    }
    std::vector<double> times;
    for (auto _ : state) {
        auto app = std::make_unique<App>();
        app->fillHistory(int(state.range(0)));
        QElapsedTimer t;
        t.start();
        app->start();
        if (!spinUntil([&] { return x.trayIconEmbedded(); })) {
            state.SkipWithError("the icon never showed in the tray");
            return;
        }
        times.push_back(t.nsecsElapsed() / 1e6);
        state.SetIterationTime(times.back() / 1000);
        app.reset();
        // The next start must not find the old icon.
        spinUntil([&] { return !x.trayIconEmbedded(); });
    }
    state.counters["start_to_icon_ms"] = median(times);
    state.counters["load"] = loadNow();
}
// Arg: entries in the history at start.
BENCHMARK(BM_StartToTrayIcon)
    ->Arg(0)
    ->Arg(500)
    ->Iterations(15)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Arg: seconds of idle before each area capture.
void BM_AreaKeyToOverlayOnScreen(benchmark::State& state)
{
    Watcher x;
    if (!x.ok()) {
        state.SkipWithError("no X display");
        return;
    }
    const int w = x.screen->width_in_pixels, h = x.screen->height_in_pixels;
    // Watched: a point far from the pointer, its crosshair and loupe, on a light desktop that
    // the overlay dims.
    const int px = w * 3 / 4, py = h / 2;
    x.paintRoot(0xf0f0f0);
    x.pointerTo(40, 40);
    App app;
    app.start();
    if (!spinUntil([&] { return x.trayIconEmbedded(); })) {
        state.SkipWithError("the app never showed its icon");
        return;
    }
    const uint32_t desktop = x.pixel(px, py);
    // Shows the overlay; returns ms from the key event to the first change of the watched
    // point and to its settled (painted) value, then cancels it and waits until it is gone.
    const auto once = [&](double& firstChange, double& painted) {
        QElapsedTimer t;
        t.start();
        x.chord({XK_Control_L, XK_Alt_L, XK_1});
        std::vector<std::pair<double, uint32_t>> seen;
        uint32_t last = desktop;
        const bool shown = spinUntil(
            [&] {
                const uint32_t v = x.pixel(px, py);
                if (v != last)
                    seen.emplace_back(t.nsecsElapsed() / 1e6, last = v);
                return !seen.empty() && t.nsecsElapsed() / 1e6 > seen.back().first + 300;
            },
            30000);
        if (!shown || seen.empty())
            return false;
        firstChange = seen.front().first;
        // The first time the point took the value it kept: the painted frame.
        painted = seen.back().first;
        x.chord({XK_Escape});
        return spinUntil([&] { return x.pixel(px, py) == desktop; });
    };
    double f = 0, p = 0;
    if (!once(f, p)) {  // the process's first overlay is not what is measured here
        state.SkipWithError("no overlay seen");
        return;
    }
    std::vector<double> first, painted;
    for (auto _ : state) {
        spinUntil([] { return false; }, int(state.range(0) * 1000) + 500);
        x.pointerTo(40, 40);
        if (!once(f, p)) {
            state.SkipWithError("no overlay seen");
            return;
        }
        first.push_back(f);
        painted.push_back(p);
        state.SetIterationTime(p / 1000);
    }
    state.counters["first_change_ms"] = median(first);
    state.counters["painted_ms"] = median(painted);
    state.counters["painted_max_ms"] = *std::max_element(painted.begin(), painted.end());
    state.counters["load"] = loadNow();
}
BENCHMARK(BM_AreaKeyToOverlayOnScreen)
    ->Arg(0)
    ->Arg(15)
    ->Iterations(7)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// CPU time in ms of a process and its children, ended and running.
double cpuMs(qint64 pid)
{
    const auto fields = [](const QString& path) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return QList<QByteArray>();
        const QByteArray line = f.readAll();
        return line.mid(line.lastIndexOf(')') + 2).split(' ');
    };
    const double tick = 1000.0 / double(sysconf(_SC_CLK_TCK));
    const QList<QByteArray> own = fields(QStringLiteral("/proc/%1/stat").arg(pid));
    if (own.size() < 15)
        return 0;
    double t = 0;
    for (int i : {11, 12, 13, 14})  // utime, stime, cutime, cstime
        t += own[i].toDouble();
    for (const QString& d : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        const QList<QByteArray> k = fields("/proc/" + d + "/stat");
        if (k.size() > 14 && k[1].toLongLong() == pid)
            t += k[11].toDouble() + k[12].toDouble() + k[13].toDouble() + k[14].toDouble();
    }
    return t * tick;
}

// Args: lines of text on the screen (0: filled); captures in a burst, each key pressed once the
// previous capture is in the history without waiting for its text (1: one capture at a time,
// the recognizer started for each). Whole-screen captures; the CPU the process and its
// recognizer spend per capture from the first key until the last capture's text is in the
// history.
void BM_BackgroundReadingCpu(benchmark::State& state)
{
    Watcher x;
    if (!x.ok()) {
        state.SkipWithError("no X display");
        return;
    }
    x.showPage(kx::bench::proseScreen(x.screen->width_in_pixels, x.screen->height_in_pixels,
                                      int(state.range(0)), nullptr));
    App app;
    app.start();
    if (!spinUntil([&] { return x.trayIconEmbedded(); })) {
        state.SkipWithError("the app never showed its icon");
        return;
    }
    const QString index = app.home.filePath("history/index.json");
    const auto count = [&](const char* key) {
        QFile f(index);
        return f.open(QIODevice::ReadOnly) ? int(f.readAll().count(key)) : 0;
    };
    const int burst = int(state.range(1));
    std::vector<double> cpu;
    spinUntil([] { return false; }, 2000);  // start-up settled
    for (auto _ : state) {
        const int entries = count("\"id\"");
        const double before = cpuMs(app.process.processId());
        for (int i = 1; i <= burst; ++i) {
            x.chord({XK_Control_L, XK_Alt_L, XK_2});
            if (!spinUntil([&] { return count("\"id\"") >= entries + i; })) {
                state.SkipWithError("the capture never entered the history");
                return;
            }
        }
        if (!spinUntil([&] { return count("\"ocrText\"") >= entries + burst; }, 1200000)) {
            state.SkipWithError("the captures' text never came");
            return;
        }
        spinUntil([] { return false; }, 1500);  // the recognizer's exit is counted too
        cpu.push_back((cpuMs(app.process.processId()) - before) / burst);
        state.SetIterationTime(cpu.back() / 1000);
    }
    state.counters["cpu_ms"] = median(cpu);
    state.counters["load"] = loadNow();
}
BENCHMARK(BM_BackgroundReadingCpu)
    ->ArgNames({"lines", "burst"})
    ->Args({24, 1})
    ->Args({0, 1})
    ->Args({24, 5})
    ->Args({0, 5})
    ->Iterations(2)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Arg 0: the first image the tray opens after its start; 1: one opened while an editor opened
// earlier still shows. A second start hands over a 3840 × 2160 screenshot (a page of text with a
// block of one colour in its middle); timed from the fork until the middle of the screen, where
// the editor opens with the image fitted, shows that colour.
void BM_HandOverToPaintedEditor(benchmark::State& state)
{
    Watcher x;
    if (!x.ok()) {
        state.SkipWithError("no X display");
        return;
    }
    const int cx = x.screen->width_in_pixels / 2, cy = x.screen->height_in_pixels / 2;
    x.paintRoot(0x202020);
    x.pointerTo(cx, cy);  // the editor opens on the screen under the pointer
    QTemporaryDir files;
    const auto shot = [&](const QString& name, QColor block) {
        QImage page = kx::bench::proseScreen(3840, 2160, 80, nullptr);
        QPainter(&page).fillRect(QRect(1280, 720, 1280, 720), block);
        page.save(files.filePath(name));
        return files.filePath(name);
    };
    const QString earlier = shot("earlier.png", QColor(0xc0, 0x30, 0x30));
    const QString file = shot("shot.png", QColor(0x2a, 0x7f, 0x3c));
    const uint32_t shown = 0x2a7f3c;
    std::vector<double> times;
    for (auto _ : state) {
        App app;
        app.start();
        if (!spinUntil([&] { return x.trayIconEmbedded(); })) {
            state.SkipWithError("the app never showed its icon");
            return;
        }
        spinUntil([] { return false; }, 1500);  // the history is read after the icon shows
        if (state.range(0) == 1) {
            QProcess first;
            app.handOver(first, {earlier});
            if (!spinUntil([&] { return x.pixel(cx, cy) == 0xc03030; })) {
                state.SkipWithError("the first editor never showed its image");
                return;
            }
            first.waitForFinished();
            spinUntil([] { return false; }, 1000);
        }
        QProcess second;
        QElapsedTimer t;
        t.start();
        app.handOver(second, {file});
        if (!spinUntil([&] { return x.pixel(cx, cy) == shown; })) {
            state.SkipWithError("the editor never showed the image");
            return;
        }
        times.push_back(t.nsecsElapsed() / 1e6);
        state.SetIterationTime(times.back() / 1000);
        second.waitForFinished();
    }
    state.counters["handover_to_editor_ms"] = median(times);
    state.counters["load"] = loadNow();
}
BENCHMARK(BM_HandOverToPaintedEditor)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(7)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
