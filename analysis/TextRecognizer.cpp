#include "analysis/TextRecognizer.h"

#include <omp.h>
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>
#include <QMutex>
#include <QPainter>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <vector>

namespace kx::ocr {

namespace {

// Screen text is small (11–14 px); Tesseract reads it reliably at twice that size.
constexpr double kUpscale = 2.0;
// Tesseract refuses images with an edge of 32768 px or more; stay well below.
constexpr double kMaxScaledWidth = 30000.0;
// Tall images (scrolling captures) are read in strips of about this many scaled rows.
constexpr int kStripScaledRows = 4096;
// How far above the planned cut a blank row is looked for.
constexpr int kCutSearchRows = 400;
constexpr std::size_t kMaxIdleEngines = 4;

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
        api->SetPageSegMode(tesseract::PSM_AUTO);
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

// Appends the lines of the engine's last recognition, mapped back to source pixels.
void collectLines(tesseract::TessBaseAPI& api, double factor, int top, QList<TextObservation>& out)
{
    std::unique_ptr<tesseract::ResultIterator> it(api.GetIterator());
    if (!it)
        return;
    auto map = [&](int l, int t, int r, int b) {
        return QRectF(l / factor, t / factor + top, (r - l) / factor, (b - t) / factor);
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
    for (int y = target; y >= std::max(lowest, 0); --y) {
        if (isUniformRow(grey, y))
            return y;
    }
    return target;
}

OCRResult recognize(const QImage& image, const QStringList& languages, const QString& dataDir)
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
    limitOpenMpOnThisThread();
    auto api = engines().take(dataDir, languages, &result.error);
    if (!api)
        return result;
    tesseract::ETEXT_DESC monitor;
    monitor.cancel = &cancelRequested;

    const double factor = std::min(kUpscale, kMaxScaledWidth / grey.width());
    const int stripRows = std::max(64, int(kStripScaledRows / factor));
    bool ok = true;
    for (int top = 0; top < grey.height() && ok;) {
        int end = grey.height();
        if (end - top > stripRows)
            end = cutRow(grey, top + stripRows,
                         std::max(top + stripRows / 2, top + stripRows - kCutSearchRows)) +
                  1;
        const QImage strip = grey.copy(0, top, grey.width(), end - top);
        QImage scaled = strip;
        if (factor != 1.0) {
            scaled = strip.scaled(std::max(1, int(std::lround(strip.width() * factor))),
                                  std::max(1, int(std::lround(strip.height() * factor))),
                                  Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        }
        if (scaled.format() != QImage::Format_Grayscale8)
            scaled = scaled.convertToFormat(QImage::Format_Grayscale8);
        if (scaled.isNull()) {
            result.error = QStringLiteral("out of memory");
            ok = false;
            break;
        }
        api->SetImage(scaled.constBits(), scaled.width(), scaled.height(), 1, int(scaled.bytesPerLine()));
        api->SetSourceResolution(std::max(70, int(std::lround(96 * factor))));
        const bool failed = api->Recognize(&monitor) != 0;
        if (g_cancelled.load()) {
            result.error = QStringLiteral("cancelled");
            ok = false;
            break;
        }
        if (failed) {
            result.error = QStringLiteral("recognition failed");
            ok = false;
            break;
        }
        collectLines(*api, factor, top, result.lines);
        top = end;
    }
    result.ok = ok;
    if (!ok)
        result.lines.clear();
    engines().give(dataDir, languages, std::move(api));
    return result;
}

void cancelAll()
{
    g_cancelled.store(true);
}

}  // namespace kx::ocr
