// The history's text of a 1080p capture on a busy machine: hot key to text is the reading in the
// recognition process (the capture's own writes are not part of it), with N processes spinning
// on the cores at normal priority; and what the reading costs the capture path meanwhile, as the
// time to encode that capture's PNG on a normal thread (the clipboard's work) while it reads.
#include "ProseScreen.h"
#include "analysis/OCRLanguages.h"
#include "analysis/OCRService.h"
#include "analysis/RecognizerProcess.h"
#include "analysis/TextRecognizer.h"
#include "core/ImageUtils.h"

#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QDeadlineTimer>
#include <QFont>
#include <QHash>
#include <QPainter>
#include <QThread>
#include <chrono>
#include <vector>

using namespace kx;

namespace {

// A different `screen` gives different text on every line: the recognition process remembers
// the strips it read, and a timed reading must not be answered from that memory.
QImage textScreen(int screen = 0)
{
    QImage img(1920, 1080, QImage::Format_ARGB32_Premultiplied);
    img.fill(QColor(250, 250, 248));
    QPainter p(&img);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(14);
    p.setFont(f);
    p.setPen(QColor(20, 20, 20));
    for (int row = 0; row < 24; ++row)
        p.drawText(24, 40 + row * 22,
                   QStringLiteral("%1. Invoice 2026-%2 for order %3 was paid on time; the shipment left the "
                                  "harbour and arrives on Monday.")
                       .arg(row + 1)
                       .arg(row * 37 + screen * 1009)
                       .arg(4100 + row * 13 + screen * 24));
    return img;
}

// `n` processes that spin until they are killed, at normal priority: a loaded machine.
class BusyProcesses {
public:
    explicit BusyProcesses(int n)
    {
        for (int i = 0; i < n; ++i) {
            const pid_t pid = ::fork();
            if (pid == 0) {
                volatile unsigned long spin = 0;
                for (;;)
                    spin = spin + 1;
            }
            if (pid > 0)
                pids_.push_back(pid);
        }
    }
    ~BusyProcesses()
    {
        for (const pid_t pid : pids_) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }

private:
    std::vector<pid_t> pids_;
};

constexpr int kGiveUpMs = 300000;

void BM_HistoryTextOf1080pCapture(benchmark::State& state)
{
    // Started and its models loaded once, as after the first capture of a session.
    OCRService::backgroundObservations(textScreen()).waitForFinished();
    const BusyProcesses busy(int(state.range(0)));
    int screens = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const QImage screen = textScreen(++screens);  // one the process has not read
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        QFuture<OCRResult> reading = OCRService::backgroundObservations(screen);
        const QDeadlineTimer limit(kGiveUpMs);
        while (!reading.isFinished() && !limit.hasExpired())
            QThread::msleep(5);
        if (!reading.isFinished()) {
            state.SkipWithError("no text within 300 s");
            ocr::stopRecognizerProcess(true);
            break;
        }
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (!reading.result().ok)
            state.SkipWithError(qPrintable(reading.result().error));
    }
    ocr::stopRecognizerProcess();
}
BENCHMARK(BM_HistoryTextOf1080pCapture)
    ->ArgName("busy")
    ->Arg(0)
    ->Arg(8)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The capture's PNG encode, with 8 busy processes, at rest (0) and while the recognition
// process reads (1).
void BM_CapturePngWhileReading(benchmark::State& state)
{
    const QImage screen = textScreen();
    OCRService::backgroundObservations(screen).waitForFinished();
    const BusyProcesses busy(8);
    QFuture<OCRResult> reading;
    int screens = 0;
    for (auto _ : state) {
        if (state.range(0) == 1 && (reading.isFinished() || !reading.isValid())) {
            state.PauseTiming();
            reading = OCRService::backgroundObservations(textScreen(++screens));
            while (!ocr::recognizerProcessState().reading && !reading.isFinished())
                QThread::msleep(1);
            state.ResumeTiming();
        }
        benchmark::DoNotOptimize(encoded(screen, ImageFormat::png, 0.9, 1.0));
    }
    reading.waitForFinished();
    ocr::stopRecognizerProcess();
}
BENCHMARK(BM_CapturePngWhileReading)
    ->ArgName("reading")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The CPU one history reading costs, as the recognition process reads it (one engine, the
// languages the settings choose), its models already loaded. Arg: 0 a light 1080p screen of 24
// lines, 1 a filled 1080p screen, 2 a filled 4K screen, 3 the filled 1080p screen on a 4K
// screen at scale 2. Words: drawn words read back.
void BM_HistoryReadingCpu(benchmark::State& state)
{
    static constexpr struct {
        int width, height, lines, scale;
        const char* name;
    } kScreens[] = {{1920, 1080, 24, 1, "light 1080p"},
                    {1920, 1080, 0, 1, "filled 1080p"},
                    {3840, 2160, 0, 1, "filled 4K"},
                    {1920, 1080, 0, 2, "filled 4K at scale 2"}};
    const auto& screen = kScreens[state.range(0)];
    QStringList drawn;
    const QImage image =
        kx::bench::proseScreen(screen.width, screen.height, screen.lines, &drawn, screen.scale);
    const QStringList languages = OCRLanguages::current();
    const QString dataDir = OCRLanguages::dataDir();
    ocr::recognize(QImage(64, 32, QImage::Format_RGB32), languages, dataDir, {}, ocr::Pace::background);
    OCRResult result;
    for (auto _ : state) {
        ocr::ReadMemory fresh(8 * 1024 * 1024);  // the first capture the process reads
        result = ocr::recognize(image, languages, dataDir, {}, ocr::Pace::background, &fresh);
    }
    QHash<QString, int> read;
    for (const TextObservation& line : result.lines)
        for (const QString& w : line.text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            ++read[w];
    int found = 0;
    for (const QString& w : drawn)
        if (read.value(w) > 0) {
            --read[w];
            ++found;
        }
    state.counters["words"] = found;
    state.counters["drawn"] = drawn.size();
    state.SetLabel(
        QStringLiteral("%1, %2").arg(QLatin1String(screen.name), languages.join('+')).toStdString());
}
BENCHMARK(BM_HistoryReadingCpu)
    ->DenseRange(0, 3)
    ->Iterations(2)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

// The next capture of a burst, as the recognition process reads it with what it read of the
// screen before: the same screen with a clock in its corner that moved on. Arg as above.
void BM_HistoryReadingCpuInBurst(benchmark::State& state)
{
    static constexpr QSize kSizes[] = {{1920, 1080}, {1920, 1080}, {3840, 2160}};
    const QSize size = kSizes[state.range(0)];
    QStringList drawn;
    const QImage screen =
        kx::bench::proseScreen(size.width(), size.height(), state.range(0) == 0 ? 24 : 0, &drawn);
    const auto withClock = [&](int minute) {
        QImage img = screen.copy();
        QPainter p(&img);
        p.fillRect(size.width() - 120, size.height() - 30, 120, 30, QColor(40, 44, 52));
        p.setPen(Qt::white);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(14);
        p.setFont(font);
        p.drawText(size.width() - 100, size.height() - 10,
                   QStringLiteral("10:%1").arg(minute, 2, 10, QLatin1Char('0')));
        return img;
    };
    const QStringList languages = OCRLanguages::current();
    const QString dataDir = OCRLanguages::dataDir();
    ocr::ReadMemory memory(8 * 1024 * 1024);
    ocr::recognize(withClock(0), languages, dataDir, {}, ocr::Pace::background, &memory);
    int minute = 0;
    OCRResult result;
    for (auto _ : state) {
        state.PauseTiming();
        const QImage next = withClock(++minute);
        state.ResumeTiming();
        result = ocr::recognize(next, languages, dataDir, {}, ocr::Pace::background, &memory);
    }
    state.counters["strips_read"] = memory.misses();
    state.counters["strips_known"] = memory.hits();
    state.counters["lines"] = result.lines.size();
}
BENCHMARK(BM_HistoryReadingCpuInBurst)
    ->DenseRange(0, 2)
    ->Iterations(2)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
