#include "analysis/TextRecognizer.h"

#include "analysis/PageLayout.h"

#include <omp.h>
#include <tesseract/baseapi.h>

#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>
#include <QMutex>
#include <QPainter>
#include <QThread>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrent>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <vector>

namespace kx::ocr {

namespace {

std::atomic<void (*)()> exitHook{nullptr};

void runExitHook()
{
    if (void (*hook)() = exitHook.load())
        hook();
}

// Registered after Tesseract's static data exists, so exit() runs it before that data goes.
void registerExitHookAfterEngineStatics()
{
    static std::once_flag once;
    std::call_once(once, [] { std::atexit(runExitHook); });
}

// Tesseract refuses images with an edge of 32768 px or more; stay well below.
constexpr double kMaxScaledWidth = 30000.0;
// Tall images (scrolling captures) are read in strips of about this many scaled rows.
constexpr int kStripScaledRows = 4096;
// How far above the planned cut a blank row is looked for.
constexpr int kCutSearchRows = 400;
// One per strip worker, so that strips of the next recognition find their engines loaded.
const std::size_t kMaxIdleEngines = std::size_t(std::max(4, QThread::idealThreadCount()));

std::atomic<bool> g_cancelled{false};

// Tesseract asks this between words.
bool cancelRequested(void*, int)
{
    return g_cancelled.load(std::memory_order_relaxed);
}

struct Engine {
    QString key;
    std::unique_ptr<tesseract::TessBaseAPI> api;
};

class EngineCache {
public:
    std::unique_ptr<tesseract::TessBaseAPI> take(const QString& dataDir, const QStringList& languages,
                                                 QString* error)
    {
        const QString key = dataDir + '|' + languages.join('+');
        {
            QMutexLocker lock(&mutex_);
            for (auto it = idle_.begin(); it != idle_.end(); ++it) {
                if (it->key == key) {
                    auto api = std::move(it->api);
                    idle_.erase(it);
                    return api;
                }
            }
        }
        auto api = std::make_unique<tesseract::TessBaseAPI>();
        const QByteArray dir = dataDir.toLocal8Bit();
        const QByteArray langs = languages.join('+').toLatin1();
        if (api->Init(dir.constData(), langs.constData(), tesseract::OEM_LSTM_ONLY) != 0) {
            *error = QStringLiteral("cannot load the language data %1 from %2")
                         .arg(QString::fromLatin1(langs), dataDir);
            return nullptr;
        }
        api->SetVariable("debug_file", "/dev/null");
        registerExitHookAfterEngineStatics();
        return api;
    }

    void give(const QString& dataDir, const QStringList& languages,
              std::unique_ptr<tesseract::TessBaseAPI> api)
    {
        api->Clear();
        QMutexLocker lock(&mutex_);
        if (idle_.size() >= kMaxIdleEngines)
            idle_.erase(idle_.begin());
        idle_.push_back({dataDir + '|' + languages.join('+'), std::move(api)});
    }

    void shrink(std::size_t keep)
    {
        std::vector<Engine> freed;  // ended after the lock is released
        QMutexLocker lock(&mutex_);
        while (idle_.size() > keep) {
            freed.push_back(std::move(idle_.front()));
            idle_.erase(idle_.begin());
        }
    }

private:
    QMutex mutex_;
    std::vector<Engine> idle_;
};

EngineCache& engines()
{
    // Never destroyed: worker threads may still hold engines while the process exits.
    static auto* cache = new EngineCache;
    return *cache;
}

// Tesseract's own OpenMP threads spin and oversubscribe the cores next to the recognition
// pool (four recognitions at once ran 13x slower than one); the pool is the only parallelism.
// Both settings belong to the calling thread, so every thread that recognises applies them.
void limitOpenMpOnThisThread()
{
    thread_local bool applied = false;
    if (applied)
        return;
    omp_set_max_active_levels(0);
    omp_set_num_threads(1);
    applied = true;
}

bool isUniformRow(const QImage& grey, int y)
{
    const uchar* row = grey.constScanLine(y);
    const auto [lo, hi] = std::minmax_element(row, row + grey.width());
    return *hi - *lo <= 8;
}

// The nearest uniform row at or above `target` and not above `lowest`; -1 when none.
int cutRowIn(const QImage& grey, int target, int lowest)
{
    for (int y = std::min(target, grey.height() - 1); y >= std::max(lowest, 0); --y) {
        if (isUniformRow(grey, y))
            return y;
    }
    return -1;
}

// Appends the lines of the engine's last recognition, mapped back to source pixels.
void collectLines(tesseract::TessBaseAPI& api, double factor, QPoint origin, QList<TextObservation>& out)
{
    std::unique_ptr<tesseract::ResultIterator> it(api.GetIterator());
    if (!it)
        return;
    auto map = [&](int l, int t, int r, int b) {
        return QRectF(l / factor + origin.x(), t / factor + origin.y(), (r - l) / factor, (b - t) / factor);
    };
    TextObservation line;
    bool open = false;
    QRectF previous;
    auto finish = [&] {
        if (open && !line.text.trimmed().isEmpty())
            out.append(std::move(line));
        line = TextObservation();
        open = false;
    };
    it->Begin();
    do {
        if (it->Empty(tesseract::RIL_SYMBOL))
            continue;
        std::unique_ptr<char[]> symbol(it->GetUTF8Text(tesseract::RIL_SYMBOL));
        if (!symbol || symbol[0] == 0)
            continue;
        int l = 0, t = 0, r = 0, b = 0;
        it->BoundingBox(tesseract::RIL_SYMBOL, &l, &t, &r, &b);
        const QRectF box = map(l, t, r, b);
        if (!open || it->IsAtBeginningOf(tesseract::RIL_TEXTLINE)) {
            finish();
            open = true;
            it->BoundingBox(tesseract::RIL_TEXTLINE, &l, &t, &r, &b);
            line.box = map(l, t, r, b);
            line.confidence = it->Confidence(tesseract::RIL_TEXTLINE);
        } else if (it->IsAtBeginningOf(tesseract::RIL_WORD)) {
            // The blank between two words covers the gap between them.
            const double left = previous.right();
            const double right = std::max(left, box.left());
            const double gapTop = std::min(previous.top(), box.top());
            const double gapBottom = std::max(previous.bottom(), box.bottom());
            line.text += QLatin1Char(' ');
            line.charBoxes.append(QRectF(left, gapTop, right - left, gapBottom - gapTop));
        }
        const QString text = QString::fromUtf8(symbol.get());
        for (qsizetype i = 0; i < text.size(); ++i)
            line.charBoxes.append(box);
        line.text += text;
        previous = box;
    } while (it->Next(tesseract::RIL_SYMBOL));
    finish();
}

struct Strip {
    int top = 0;
    int end = 0;  // exclusive
};

struct StripResult {
    QString error;
    QList<TextObservation> lines;
};

// Strips never shorter than this many source rows: a strip costs an engine's set-up, and a
// short one holds too few lines to pay for it.
constexpr int kMinParallelStripRows = 240;

QThreadPool& stripPool()
{
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;
        p->setObjectName(QStringLiteral("kx-ocr-strips"));
        p->setMaxThreadCount(std::max(1, QThread::idealThreadCount()));
        return p;
    }();
    return *pool;
}

// Horizontal strips of a block cut at uniform rows (never through a line of text), of about
// `rows` rows each and at most kStripScaledRows scaled rows.
std::vector<Strip> planStrips(const QImage& grey, double factor, int rows)
{
    const int h = grey.height();
    rows = std::min(rows, std::max(64, int(kStripScaledRows / factor)));
    std::vector<Strip> strips;
    for (int top = 0; top < h;) {
        int end = h;
        if (end - top > rows + rows / 4) {
            const int lowest = std::max(top + rows / 2, top + rows - kCutSearchRows);
            const int cut = cutRowIn(grey, top + rows, lowest);
            end = cut < 0 ? std::min(h, top + rows + 1) : cut + 1;
        }
        strips.push_back({top, end});
        top = end;
    }
    return strips;
}

// The block as the engine wants it: dark text on a light ground. Rows are turned over one by
// one, by their median (the ground, not the glyphs), so that a dark title bar above a light
// page is read as well as the page: the engine only turns over whole blocks (the menu band of
// the 164-line screen was lost, 5 of its 1105 words).
QImage lightGround(const QImage& grey, const QRect& block)
{
    QImage out = grey.copy(block);
    for (int y = 0; y < out.height(); ++y) {
        uchar* row = out.scanLine(y);
        int histogram[256] = {};
        for (int x = 0; x < out.width(); ++x)
            ++histogram[row[x]];
        int below = 0, median = 0;
        while (below + histogram[median] <= out.width() / 2)
            below += histogram[median++];
        if (median < 128) {
            for (int x = 0; x < out.width(); ++x)
                row[x] = uchar(255 - row[x]);
        }
    }
    return out;
}

StripResult readStrip(const QImage& grey, QPoint origin, Strip strip, const ReadOptions& options,
                      double factor, const QStringList& languages, const QString& dataDir)
{
    StripResult out;
    limitOpenMpOnThisThread();
    if (g_cancelled.load()) {
        out.error = QStringLiteral("cancelled");
        return out;
    }
    auto api = engines().take(dataDir, languages, &out.error);
    if (!api)
        return out;
    api->SetPageSegMode(tesseract::PageSegMode(options.pageSegMode));
    const QImage part = grey.copy(0, strip.top, grey.width(), strip.end - strip.top);
    QImage scaled = part;
    if (factor != 1.0) {
        scaled = part.scaled(std::max(1, int(std::lround(part.width() * factor))),
                             std::max(1, int(std::lround(part.height() * factor))), Qt::IgnoreAspectRatio,
                             Qt::SmoothTransformation);
    }
    if (scaled.format() != QImage::Format_Grayscale8)
        scaled = scaled.convertToFormat(QImage::Format_Grayscale8);
    if (scaled.isNull()) {
        out.error = QStringLiteral("out of memory");
    } else {
        tesseract::ETEXT_DESC monitor;
        monitor.cancel = &cancelRequested;
        api->SetImage(scaled.constBits(), scaled.width(), scaled.height(), 1, int(scaled.bytesPerLine()));
        api->SetSourceResolution(std::max(70, int(std::lround(96 * factor))));
        const bool failed = api->Recognize(&monitor) != 0;
        if (g_cancelled.load())
            out.error = QStringLiteral("cancelled");
        else if (failed)
            out.error = QStringLiteral("recognition failed");
        else
            collectLines(*api, factor, origin + QPoint(0, strip.top), out.lines);
    }
    engines().give(dataDir, languages, std::move(api));
    if (!out.error.isEmpty())
        out.lines.clear();
    return out;
}

}  // namespace

QImage prepared(const QImage& image)
{
    if (image.isNull())
        return {};
    if (!image.hasAlphaChannel())
        return image.convertToFormat(QImage::Format_Grayscale8);
    QImage flat(image.size(), QImage::Format_RGB32);
    if (flat.isNull())
        return {};
    flat.fill(Qt::white);
    {
        QPainter p(&flat);
        p.drawImage(0, 0, image);
    }
    return flat.convertToFormat(QImage::Format_Grayscale8);
}

int cutRow(const QImage& grey, int target, int lowest)
{
    const int y = cutRowIn(grey, target, lowest);
    return y < 0 ? target : y;
}

OCRResult recognize(const QImage& image, const QStringList& languages, const QString& dataDir,
                    const ReadOptions& options)
{
    OCRResult result;
    if (image.isNull() || image.width() <= 0 || image.height() <= 0) {
        result.error = QStringLiteral("no image");
        return result;
    }
    if (languages.isEmpty()) {
        result.error = QStringLiteral("no language data installed in %1").arg(dataDir);
        return result;
    }
    const QImage grey = prepared(image);
    if (grey.isNull()) {
        result.error = QStringLiteral("out of memory");
        return result;
    }
    if (g_cancelled.load()) {
        result.error = QStringLiteral("cancelled");
        return result;
    }
    const double factor = std::min(options.scale, kMaxScaledWidth / grey.width());
    QList<QRect> blocks = options.splitColumns ? textBlocks(grey) : QList<QRect>{};
    if (blocks.isEmpty())  // also text too faint for the layout: the engine looks for itself
        blocks = {grey.rect()};

    // Strips of about the same area, one per core, so that the cores finish together.
    const int workers = stripPool().maxThreadCount();
    qint64 area = 0;
    for (const QRect& b : blocks)
        area += qint64(b.width()) * b.height();
    struct Job {
        const QImage* block;
        QPoint origin;
        Strip strip;
    };
    std::vector<QImage> crops;
    crops.reserve(std::size_t(blocks.size()));
    std::vector<Job> jobs;
    for (const QRect& b : blocks) {
        crops.push_back(lightGround(grey, b));
        const qint64 share = qint64(b.width()) * b.height() * workers / std::max<qint64>(1, area);
        const int count = int(std::clamp<qint64>(share, 1, std::max(1, b.height() / kMinParallelStripRows)));
        const int rows = (b.height() + count - 1) / count;
        for (const Strip& strip : planStrips(crops.back(), factor, rows))
            jobs.push_back({&crops.back(), b.topLeft(), strip});
    }
    std::vector<StripResult> parts(jobs.size());
    auto read = [&](std::size_t i) {
        parts[i] =
            readStrip(*jobs[i].block, jobs[i].origin, jobs[i].strip, options, factor, languages, dataDir);
    };
    if (jobs.size() == 1) {
        read(0);
    } else {
        // Each strip runs with an engine of its own; the pool bounds how many engines work
        // at once however many recognitions are waiting.
        std::vector<QFuture<void>> running;
        running.reserve(jobs.size());
        for (std::size_t i = 0; i < jobs.size(); ++i)
            running.push_back(QtConcurrent::run(&stripPool(), [&read, i] { read(i); }));
        for (auto& f : running)
            f.waitForFinished();
    }
    for (StripResult& part : parts) {
        if (!part.error.isEmpty()) {
            result.error = part.error;
            return result;
        }
        result.lines.append(std::move(part.lines));
    }
    result.ok = true;
    return result;
}

void cancelAll()
{
    g_cancelled.store(true);
}

void setExitHook(void (*hook)())
{
    exitHook.store(hook);
}

void releaseIdleEngines(std::size_t keep)
{
    engines().shrink(keep);
}

}  // namespace kx::ocr
