#include "analysis/OCRService.h"

#include "analysis/BackgroundWork.h"
#include "analysis/OCRLanguages.h"
#include "analysis/RecognizerProcess.h"
#include "analysis/TextRecognizer.h"
#include "core/ModuleLoader.h"

#include <ZXing/ReadBarcode.h>
#include <QCoreApplication>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <QtConcurrent/QtConcurrent>
#include <algorithm>
#include <atomic>
#include <exception>
#include <system_error>
#include <thread>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace kx {

namespace {

QThreadPool& ocrPool()
{
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;
        p->setObjectName(QStringLiteral("kx-ocr"));
        p->setMaxThreadCount(std::max(1, QThread::idealThreadCount() / 2));
        if (auto* app = QCoreApplication::instance()) {
            // Recognitions nobody started yet are not worth delaying the exit for; running
            // ones (seconds each) are cut short so that no worker is still inside Tesseract,
            // or about to call back into a deleted object, while the process ends. The bound
            // only guards against an engine that never returns.
            QObject::connect(app, &QCoreApplication::aboutToQuit, app, [p] {
                ocr::cancelAll();
                p->clear();
                p->waitForDone(30000);
            });
        }
        return p;
    }();
    return *pool;
}

// Short enough that the tray process is back near its idle size soon after a burst of
// captures; an engine costs about 100 ms to load again.
std::atomic<int> g_engineIdleMs{3000};
std::atomic<int> g_running{0};

void releaseAllIdle()
{
    if (g_running.load() > 0)
        return;  // the last one to end schedules again
    ocr::stopRecognizerProcess();
    ocr::releaseIdleEngines(0);
#ifdef __GLIBC__
    // The engines' memory was spread over the worker threads' arenas.
    malloc_trim(0);
#endif
}

// Restarts the idle countdown on the application object's thread.
void scheduleRelease()
{
    QCoreApplication* app = QCoreApplication::instance();
    const int ms = g_engineIdleMs.load();
    if (!app || ms < 0)
        return;
    QMetaObject::invokeMethod(
        app,
        [app] {
            static QTimer* timer = [app] {
                auto* t = new QTimer(app);
                t->setSingleShot(true);
                QObject::connect(t, &QTimer::timeout, [] {
                    // Off the UI thread: ending engines and trimming takes a while.
                    QThreadPool::globalInstance()->start(&releaseAllIdle);
                });
                return t;
            }();
            timer->start(std::max(0, g_engineIdleMs.load()));
        },
        Qt::QueuedConnection);
}

// Counts a recognition from its start to its end.
struct Running {
    Running() { ++g_running; }
    ~Running()
    {
        if (--g_running == 0)
            scheduleRelease();
    }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;
};

}  // namespace

std::optional<QRectF> TextObservation::boundingBox(qsizetype start, qsizetype length) const
{
    if (start < 0 || length <= 0 || start + length > charBoxes.size())
        return std::nullopt;
    QRectF box;
    for (qsizetype i = start; i < start + length; ++i)
        box = box.isNull() ? charBoxes[i] : box.united(charBoxes[i]);
    return box;
}

bool TextObservation::graphicsNoise() const
{
    // Screen text reads at 85 or more, lines made up from graphics mostly far below; a long key
    // may read low too, but it is one long word, and graphics read as scraps of one or two.
    constexpr float kVeryLow = 50, kLow = 70;
    int run = 0, longest = 0;
    bool any = false;
    for (const QChar c : text) {
        run = c.isLetterOrNumber() ? run + 1 : 0;
        longest = std::max(longest, run);
        any |= run > 0;
    }
    return !any || (confidence < kVeryLow && longest < 5) || (confidence < kLow && longest < 3);
}

QString OCRResult::text() const
{
    QStringList out;
    out.reserve(lines.size());
    for (const TextObservation& line : lines)
        if (!line.graphicsNoise())
            out.append(line.text);
    return out.join(QLatin1Char('\n'));
}

void OCRService::setExitHook(void (*hook)())
{
    ocr::setExitHook(hook);
}

QThreadPool* OCRService::pool()
{
    return &ocrPool();
}

void OCRService::releaseIdleEngines(int keep)
{
    if (keep <= 0)
        ocr::stopRecognizerProcess();
    ocr::releaseIdleEngines(std::size_t(std::max(0, keep)));
}

void OCRService::setEngineIdleMs(int ms)
{
    g_engineIdleMs.store(ms);
}

int OCRService::engineIdleMs()
{
    return g_engineIdleMs.load();
}

EngineCounts OCRService::engineCounts(bool resetMost)
{
    return ocr::engineCounts(resetMost);
}

OCRResult OCRService::recognize(const QImage& image, const QStringList& languages)
{
    const Running running;
    return ocr::recognize(image, languages, OCRLanguages::dataDir());
}

QFuture<OCRResult> OCRService::observations(const QImage& image, int priority)
{
    // The settings and the data folder are read now, on the caller's thread.
    const QStringList languages = OCRLanguages::current();
    const QString dataDir = OCRLanguages::dataDir();
    // Held from now until the recognition has ended (the task's copy of it goes then).
    BackgroundWork::Hold hold = BackgroundWork::hold();
    return QtConcurrent::task([image, languages, dataDir, hold = std::move(hold)]() mutable {
               const Running running;
               OCRResult result = ocr::recognize(image, languages, dataDir);
               hold.reset();
               return result;
           })
        .onThreadPool(ocrPool())
        .withPriority(priority)
        .spawn();
}

namespace {

// The history's recognitions run on the background thread: at exit they are cut short. That
// thread is of the idle class, which a busy machine gives no time: the quit waits for it only
// when it may be inside Tesseract in this process (the recognition program is missing, or it
// could not be started), so no worker is in the engine while statics are destroyed. Otherwise
// it only waits for the recognition process, which is ended at once.
void waitForBackgroundAtQuit()
{
    static const bool connected = [] {
        if (auto* app = QCoreApplication::instance()) {
            QThreadPool* pool = BackgroundWork::pool();
            QObject::connect(app, &QCoreApplication::aboutToQuit, app, [pool] {
                ocr::cancelAll();
                pool->clear();
                // Ending it waits for the background thread to let go of it: not on this thread.
                try {
                    std::thread([] { ocr::stopRecognizerProcess(true); }).detach();
                } catch (const std::system_error&) {
                    ocr::stopRecognizerProcess(true);
                }
                if (moduleFile(QStringLiteral("kaptorix-recognizer")).isEmpty() ||
                    OCRService::engineCounts().reading > 0)
                    pool->waitForDone(30000);
            });
        }
        return true;
    }();
    (void)connected;
}

}  // namespace

QFuture<OCRResult> OCRService::backgroundObservations(const QImage& image)
{
    waitForBackgroundAtQuit();
    const QStringList languages = OCRLanguages::current();
    const QString dataDir = OCRLanguages::dataDir();
    return BackgroundWork::run([image, languages, dataDir] {
        const Running running;
        // In the recognition process when it is installed, so that Tesseract is never mapped
        // here for work nobody waits for.
        if (std::optional<OCRResult> r = ocr::recognizeInProcess(image, languages, dataDir))
            return *std::move(r);
        return ocr::recognize(image, languages, dataDir, {}, ocr::Pace::background);
    });
}

QFuture<QString> OCRService::text(const QImage& image, int priority)
{
    return observations(image, priority).then([](const OCRResult& result) { return result.text(); });
}

QStringList OCRService::barcodes(const QImage& image)
{
    const QImage grey = ocr::prepared(image);
    if (grey.isNull())
        return {};
    QStringList out;
    try {
        const ZXing::ImageView view(grey.constBits(), grey.width(), grey.height(), ZXing::ImageFormat::Lum,
                                    int(grey.bytesPerLine()));
        ZXing::DecodeHints hints;
        hints.setFormats(ZXing::BarcodeFormat::Any).setTryHarder(true).setTryRotate(true);
        for (const ZXing::Result& r : ZXing::ReadBarcodes(view, hints)) {
            if (r.isValid() && !r.text().empty())
                out.append(QString::fromStdString(r.text()));
        }
    } catch (const std::exception&) {
        return {};
    }
    return out;
}

}  // namespace kx
