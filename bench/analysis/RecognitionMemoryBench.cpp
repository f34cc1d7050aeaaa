// Memory of text recognition. The recognition process's peak beside the caller's (the tray's share
// of it) for the largest image Kaptorix opens, 16384 × 16384, as opened by bench/core's
// open-peak.sh: one colour (arg 0), or with a few lines of text at its top (arg 1); and two bands
// of it filled with text (arg 2), where the process's own peak is the reader's. And what the
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

// 0: one colour; 1: six lines of text at its top; 2: the top 2048 rows (two bands) filled with
// lines of text as wide as the image, 14 px every 20 px, as bench/core's limit-text.png.
QImage largest(int kind)
{
    QImage img(16384, kind == 2 ? 2048 : 16384, QImage::Format_ARGB32_Premultiplied);
    img.fill(kind == 2 ? QColor(Qt::white) : QColor(30, 120, 200));
    QPainter p(&img);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(14);
    p.setFont(f);
    p.setPen(kind == 2 ? QColor(20, 20, 20) : QColor(Qt::white));
    if (kind == 1) {
        for (int row = 0; row < 6; ++row)
            p.drawText(40, 40 + row * 22,
                       QStringLiteral("%1. Invoice 2026-%2 was paid on time; the shipment left the harbour.")
                           .arg(row + 1)
                           .arg(row * 37));
    } else if (kind == 2) {
        for (int n = 0; n * 20 + 15 < img.height(); ++n) {
            QString text;
            for (int k = 0; text.size() < img.width() / 6; ++k)
                text += QStringLiteral("Invoice %1-%2 for order %3 was paid on time; ")
                            .arg(n)
                            .arg(k)
                            .arg(4100 + n * 13 + k * 7);
            p.drawText(8, n * 20 + 15, text);
        }
    }
    return img;
}

void BM_RecognitionPeakOf16384SquareImage(benchmark::State& state)
{
    const QImage image = largest(int(state.range(0)));
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
    ->Arg(2)
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
    ->Arg(2)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
