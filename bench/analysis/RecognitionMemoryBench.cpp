// Memory of text recognition. The recognition process's peak beside the caller's (the tray's share
// of it) for the largest image Kaptorix opens, 16384 × 16384, as opened by bench/core's
// open-peak.sh: one colour (arg 0), or with a few lines of text at its top (arg 1). And what the
// process keeps after the user's own recognition once its engines are released.
#include "PeakMemory.h"
#include "ProseScreen.h"
#include "analysis/OCRLanguages.h"
#include "analysis/OCRService.h"
#include "analysis/RecognizerProcess.h"

#include <benchmark/benchmark.h>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFont>
#include <QPainter>
#include <QThread>

using namespace kx;
using kx::test::resetPeakMb;
using kx::test::statusMb;

namespace {

QImage largest(bool text)
{
    QImage img(16384, 16384, QImage::Format_ARGB32_Premultiplied);
    img.fill(QColor(30, 120, 200));
    if (text) {
        QPainter p(&img);
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setPixelSize(14);
        p.setFont(f);
        p.setPen(Qt::white);
        for (int row = 0; row < 6; ++row)
            p.drawText(40, 40 + row * 22,
                       QStringLiteral("%1. Invoice 2026-%2 was paid on time; the shipment left the harbour.")
                           .arg(row + 1)
                           .arg(row * 37));
    }
    return img;
}

void BM_RecognitionPeakOf16384SquareImage(benchmark::State& state)
{
    const QImage image = largest(state.range(0) == 1);
    const QStringList languages = OCRLanguages::current();
    const QString dataDir = OCRLanguages::dataDir();
    long recognizer = 0, caller = 0;
    int lines = 0;
    for (auto _ : state) {
        ocr::stopRecognizerProcess();  // a process of its own, as for the first capture of a session
        const long before = resetPeakMb();
        const std::optional<OCRResult> read = ocr::recognizeInProcess(image, languages, dataDir);
        caller = statusMb("VmHWM:") - before;
        // The process stays until it is stopped: its peak is still there to read.
        recognizer = statusMb("VmHWM:", ocr::recognizerProcessState().pid);
        if (!read || !read->ok) {
            state.SkipWithError(read ? qPrintable(read->error) : "no recognition process");
            break;
        }
        lines = int(read->lines.size());
    }
    ocr::stopRecognizerProcess();
    state.counters["recognizer_peak_mb"] = double(recognizer);
    state.counters["caller_peak_extra_mb"] = double(caller);
    state.counters["lines"] = lines;
}
BENCHMARK(BM_RecognitionPeakOf16384SquareImage)
    ->ArgName("text")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// The user's own recognition (the OCR key, the editor's OCR and Redact) runs in this process; once
// it has been idle for the release time its engines go. What stays: the resident size then, over
// the size before the first recognition. Arg: 0 a light 1080p screen (24 lines), 1 a filled one.
// Run each in a process of its own: only the first recognition of a process maps the engine.
void BM_MemoryKeptAfterOwnRecognition(benchmark::State& state)
{
    QStringList words;
    const QImage screen = kx::bench::proseScreen(1920, 1080, state.range(0) == 0 ? 24 : 0, &words);
    long before = 0, kept = 0, during = 0;
    for (auto _ : state) {
        before = statusMb("VmRSS:");
        QFuture<OCRResult> read = OCRService::observations(screen);
        const QDeadlineTimer limit(300000);
        while (!read.isFinished() && !limit.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        if (!read.isFinished() || !read.result().ok) {
            state.SkipWithError("no text");
            break;
        }
        during = statusMb("VmRSS:");
        // The release runs on its own after the idle time; this waits for it as the tray does.
        while (OCRService::engineCounts().alive > 0 && !limit.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        const QDeadlineTimer settle(2000);  // the trim after the engines go
        while (!settle.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        kept = statusMb("VmRSS:") - before;
    }
    state.counters["rss_before_mb"] = double(before);
    state.counters["rss_reading_done_mb"] = double(during);
    state.counters["kept_mb"] = double(kept);
}
BENCHMARK(BM_MemoryKeptAfterOwnRecognition)
    ->ArgName("filled")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
