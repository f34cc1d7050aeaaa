#include "analysis/TextRecognizer.h"

#include "analysis/BackgroundWork.h"
#include "analysis/LineSlices.h"
#include "analysis/PageLayout.h"
#include "analysis/Polarity.h"

#include "analysis/engine/EngineModule.h"
#include "core/ModuleLoader.h"

#include <QCryptographicHash>
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
std::atomic<bool> g_cancelled{false};

std::atomic<EngineModule*> g_module{nullptr};

// Tesseract and what it pulls in are mapped at the first recognition, not at start.
EngineModule* engineModule(QString* error)
{
    static const std::pair<EngineModule*, QString> loaded = [] {
        QString why;
        auto entry =
            reinterpret_cast<EngineModule* (*)()>(moduleEntry("kaptorix-ocr", KX_OCR_MODULE_ENTRY, &why));
        EngineModule* module = entry ? entry() : nullptr;
        g_module.store(module);
        return std::pair{module, why};
    }();
    if (!loaded.first)
        *error = loaded.second;
    return loaded.first;
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

struct Strip {
    int top = 0;
    int end = 0;  // exclusive
    // Columns [left, right) of the block; a slice of a block too wide to read at once.
    int left = 0;
    int right = 0;
};

struct StripResult {
    QString error;
    QList<TextObservation> lines;
};

// With a memory, strips of at most this many source rows (about 14 lines of screen text): each is
// remembered on its own. Shorter ones cost more set-ups.
constexpr int kRememberedStripRows = 320;

// Strips never shorter than this many source rows: a strip costs an engine's set-up, and a
// short one holds too few lines to pay for it.
constexpr int kMinParallelStripRows = 240;

// Strips of a block read in slices are at most this many source rows (about five lines of screen
// text), so that a blank column crosses all their lines near each cut.
constexpr int kSlicedStripRows = 96;

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
            int cut = cutRowIn(grey, top + rows, lowest);
            // In the middle of the blank rows, so that the lines on either side keep a margin.
            int blankTop = cut;
            while (blankTop > lowest && isUniformRow(grey, blankTop - 1))
                --blankTop;
            cut = cut < 0 ? cut : (blankTop + cut) / 2;
            end = cut < 0 ? std::min(h, top + rows + 1) : cut + 1;
        }
        strips.push_back({top, end, 0, grey.width()});
        top = end;
    }
    return strips;
}

void pauseWhileHeld()
{
    BackgroundWork::waitWhileHeld(&g_cancelled);
}

StripResult readStrip(const QImage& grey, QPoint origin, Strip strip, const ReadOptions& options,
                      double factor, const QStringList& languages, const QString& dataDir, Pace pace)
{
    StripResult out;
    if (g_cancelled.load()) {
        out.error = QStringLiteral("cancelled");
        return out;
    }
    const QImage part = grey.copy(strip.left, strip.top, strip.right - strip.left, strip.end - strip.top);
    // Nothing but even rows (the empty part of a screen): nothing to read.
    int row = 0;
    while (row < part.height() && isUniformRow(part, row))
        ++row;
    if (row == part.height())
        return out;
    QString why;
    EngineModule* engine = engineModule(&why);
    if (!engine) {
        out.error = QStringLiteral("recognition failed: %1").arg(why);
        return out;
    }
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
        return out;
    }
    const auto outcome = engine->read(
        scaled, factor, origin + QPoint(strip.left, strip.top), options.pageSegMode, languages, dataDir,
        g_cancelled, pace == Pace::background ? &pauseWhileHeld : nullptr, out.lines, &out.error);
    if (outcome != EngineModule::Outcome::NoEngine)
        registerExitHookAfterEngineStatics();
    if (g_cancelled.load())
        out.error = QStringLiteral("cancelled");
    else if (outcome == EngineModule::Outcome::Failed)
        out.error = QStringLiteral("recognition failed");
    if (!out.error.isEmpty())
        out.lines.clear();
    return out;
}

// What a strip's reading depends on besides its pixels, then the pixels row by row.
QByteArray stripKey(const QImage& crop, double factor, const ReadOptions& options,
                    const QStringList& languages, const QString& dataDir)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    const QByteArray how = QStringLiteral("%1x%2|%3|%4|%5|%6")
                               .arg(crop.width())
                               .arg(crop.height())
                               .arg(factor, 0, 'g', 17)
                               .arg(options.pageSegMode)
                               .arg(languages.join('+'), dataDir)
                               .toUtf8();
    hash.addData(how);
    hash.addData(QByteArrayView("\0", 1));
    for (int y = 0; y < crop.height(); ++y)
        hash.addData(QByteArrayView(reinterpret_cast<const char*>(crop.constScanLine(y)), crop.width()));
    return hash.result();
}

QList<TextObservation> moved(QList<TextObservation> lines, QPointF by)
{
    for (TextObservation& line : lines) {
        line.box.translate(by);
        for (QRectF& box : line.charBoxes)
            box.translate(by);
    }
    return lines;
}

qsizetype bytesOf(const QList<TextObservation>& lines)
{
    qsizetype n = 0;
    for (const TextObservation& line : lines)
        n += qsizetype(sizeof(TextObservation)) + line.text.size() * 2 +
             line.charBoxes.size() * qsizetype(sizeof(QRectF));
    return n;
}

}  // namespace

std::optional<QList<TextObservation>> ReadMemory::find(const QByteArray& key)
{
    const auto it = index_.constFind(key);
    if (it == index_.constEnd()) {
        ++misses_;
        return std::nullopt;
    }
    ++hits_;
    entries_.splice(entries_.begin(), entries_, *it);
    return entries_.front().lines;
}

void ReadMemory::keep(const QByteArray& key, QList<TextObservation> lines)
{
    if (const auto it = index_.constFind(key); it != index_.constEnd()) {
        bytes_ -= (*it)->bytes;
        entries_.erase(*it);
        index_.remove(key);
    }
    const qsizetype size = qsizetype(sizeof(Entry)) + key.size() + bytesOf(lines);
    if (size > budget_)
        return;
    entries_.push_front({key, std::move(lines), size});
    index_.insert(key, entries_.begin());
    bytes_ += size;
    while (bytes_ > budget_) {
        bytes_ -= entries_.back().bytes;
        index_.remove(entries_.back().key);
        entries_.pop_back();
    }
}

QImage prepared(const QImage& image)
{
    if (image.isNull())
        return {};
    if (!image.hasAlphaChannel())
        return image.convertToFormat(QImage::Format_Grayscale8);
    // Laid over white a strip at a time: a flattened copy of the whole image would be as large as
    // the image itself (1 GB for one at the pixel limit).
    constexpr int kStripRows = 256;
    QImage grey(image.size(), QImage::Format_Grayscale8);
    QImage flat(image.width(), std::min(kStripRows, image.height()), QImage::Format_RGB32);
    if (grey.isNull() || flat.isNull())
        return {};
    for (int top = 0; top < image.height(); top += kStripRows) {
        const int rows = std::min(kStripRows, image.height() - top);
        flat.fill(Qt::white);
        {
            QPainter p(&flat);
            p.drawImage(QPoint(0, 0), image, QRect(0, top, image.width(), rows));
        }
        const QImage strip = flat.convertToFormat(QImage::Format_Grayscale8);
        for (int y = 0; y < rows; ++y)
            std::copy_n(strip.constScanLine(y), image.width(), grey.scanLine(top + y));
    }
    return grey;
}

bool uniformRow(const QImage& grey, int y)
{
    return isUniformRow(grey, y);
}

int cutRow(const QImage& grey, int target, int lowest)
{
    const int y = cutRowIn(grey, target, lowest);
    return y < 0 ? target : y;
}

OCRResult recognize(const QImage& image, const QStringList& languages, const QString& dataDir,
                    const ReadOptions& options, Pace pace, ReadMemory* memory)
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
    QList<QRect> blocks;
    QImage page;
    {
        const QImage grey = prepared(image);
        if (grey.isNull()) {
            result.error = QStringLiteral("out of memory");
            return result;
        }
        if (g_cancelled.load()) {
            result.error = QStringLiteral("cancelled");
            return result;
        }
        // Dark text on white everywhere, each region of the screen turned by its own ground.
        const QImage turned = darkOnWhite(grey);
        // The blocks are found with the rules in place (a frame or a separator bounds a block); the
        // engine reads them without, as it takes a row of cells crossed by grid lines for graphics.
        if (options.splitColumns && !turned.isNull())
            blocks = textBlocks(turned);
        page = withoutRules(turned);
    }  // the grey and turned pages go before the reading
    if (page.isNull()) {
        result.error = QStringLiteral("out of memory");
        return result;
    }
    const double factor = std::min(options.scale, kMaxScaledWidth / page.width());
    if (blocks.isEmpty())  // also text too faint for the layout: the engine looks for itself
        blocks = {page.rect()};

    // Strips of about the same area, one per core, so that the cores finish together.
    const int workers = pace == Pace::background ? 1 : stripPool().maxThreadCount();
    qint64 area = 0;
    for (const QRect& b : blocks)
        area += qint64(b.width()) * b.height();
    struct Job {
        const QImage* block;
        QPoint origin;
        Strip strip;
        int group;       // the slices of one strip share it: their lines are joined again
        QByteArray key;  // in memory under this key; empty without a memory
        bool known = false;
    };
    std::vector<QImage> crops;
    crops.reserve(std::size_t(blocks.size()));
    std::vector<Job> jobs;
    for (const QRect& b : blocks) {
        crops.push_back(page.copy(b));
        const qint64 share = qint64(b.width()) * b.height() * workers / std::max<qint64>(1, area);
        const int count = int(std::clamp<qint64>(share, 1, std::max(1, b.height() / kMinParallelStripRows)));
        int rows = (b.height() + count - 1) / count;
        if (memory)  // a change in one part of a block leaves the strips of the others as they were
            rows = std::min(rows, kRememberedStripRows);
        if (b.width() > kMaxSliceWidth)
            rows = std::min(rows, kSlicedStripRows);
        for (Strip strip : planStrips(crops.back(), factor, rows)) {
            const std::vector<int> cuts = sliceCuts(crops.back(), strip.top, strip.end);
            const int group = jobs.empty() ? 0 : jobs.back().group + 1;
            for (std::size_t k = 0; k + 1 < cuts.size(); ++k) {
                strip.left = cuts[k];
                strip.right = cuts[k + 1];
                jobs.push_back({&crops.back(), b.topLeft(), strip, group, {}, false});
            }
        }
    }
    page = QImage();  // only the blocks' copies are read
    std::vector<StripResult> parts(jobs.size());
    if (memory) {
        for (std::size_t i = 0; i < jobs.size(); ++i) {
            Job& job = jobs[i];
            const QImage strip =
                job.block->copy(job.strip.left, job.strip.top, job.strip.right - job.strip.left,
                                job.strip.end - job.strip.top);
            job.key = stripKey(strip, factor, options, languages, dataDir);
            if (std::optional<QList<TextObservation>> lines = memory->find(job.key)) {
                parts[i].lines = moved(std::move(*lines), job.origin + QPoint(job.strip.left, job.strip.top));
                job.known = true;
            }
        }
    }
    std::vector<std::size_t> toRead;
    for (std::size_t i = 0; i < jobs.size(); ++i)
        if (!jobs[i].known)
            toRead.push_back(i);
    auto read = [&](std::size_t i) {
        parts[i] = readStrip(*jobs[i].block, jobs[i].origin, jobs[i].strip, options, factor, languages,
                             dataDir, pace);
    };
    if (toRead.size() == 1 || pace == Pace::background) {
        // One engine, on this thread: background reading never takes more than one core.
        for (const std::size_t i : toRead)
            read(i);
    } else {
        // Each strip runs with an engine of its own; the pool bounds how many engines work
        // at once however many recognitions are waiting.
        std::vector<QFuture<void>> running;
        running.reserve(toRead.size());
        for (const std::size_t i : toRead)
            running.push_back(QtConcurrent::run(&stripPool(), [&read, i] { read(i); }));
        for (auto& f : running)
            f.waitForFinished();
    }
    for (const StripResult& part : parts) {
        if (!part.error.isEmpty()) {
            result.error = part.error;
            return result;
        }
    }
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        if (memory && !jobs[i].known)
            memory->keep(jobs[i].key,
                         moved(parts[i].lines,
                               -QPointF(jobs[i].origin + QPoint(jobs[i].strip.left, jobs[i].strip.top))));
    }
    for (std::size_t i = 0; i < jobs.size();) {
        std::size_t next = i + 1;
        while (next < jobs.size() && jobs[next].group == jobs[i].group)
            ++next;
        if (next == i + 1) {
            result.lines.append(std::move(parts[i].lines));
        } else {
            std::vector<QList<TextObservation>> slices;
            for (std::size_t k = i; k < next; ++k)
                slices.push_back(std::move(parts[k].lines));
            result.lines.append(joinSlices(slices));
        }
        i = next;
    }
    result.ok = true;
    return result;
}

void cancelAll()
{
    g_cancelled.store(true);
}

const std::atomic<bool>& cancelFlag()
{
    return g_cancelled;
}

void setExitHook(void (*hook)())
{
    exitHook.store(hook);
}

void releaseIdleEngines(std::size_t keep)
{
    if (EngineModule* module = g_module.load())  // nothing to release before the first recognition
        module->releaseIdle(keep);
}

EngineCounts engineCounts(bool resetMost)
{
    EngineCounts out;
    if (EngineModule* module = g_module.load()) {
        const EngineModule::Counts c = module->counts(resetMost);
        out = {int(c.alive), int(c.reading), int(c.mostReading)};
    }
    return out;
}

}  // namespace kx::ocr
