// The history's text of a 1080p capture on a busy machine: hot key to text is the reading in the
// recognition process (the capture's own writes are not part of it), with N processes spinning
// on the cores at normal priority; and what the reading costs the capture path meanwhile, as the
// time to encode that capture's PNG on a normal thread (the clipboard's work) while it reads.
#include "analysis/OCRService.h"
#include "analysis/RecognizerProcess.h"
#include "core/ImageUtils.h"

#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QDeadlineTimer>
#include <QFont>
#include <QPainter>
#include <QThread>
#include <chrono>
#include <vector>

using namespace kx;

namespace {

QImage textScreen()
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
                       .arg(row * 37)
                       .arg(4100 + row * 13));
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
    const QImage screen = textScreen();
    // Started and its models loaded once, as after the first capture of a session.
    OCRService::backgroundObservations(screen).waitForFinished();
    const BusyProcesses busy(int(state.range(0)));
    for (auto _ : state) {
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
    for (auto _ : state) {
        if (state.range(0) == 1 && (reading.isFinished() || !reading.isValid())) {
            state.PauseTiming();
            reading = OCRService::backgroundObservations(screen);
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

}  // namespace
