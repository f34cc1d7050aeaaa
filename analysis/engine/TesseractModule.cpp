#include "analysis/engine/EngineModule.h"

#include <omp.h>
#include <tesseract/baseapi.h>

#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>
#include <QMutex>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace kx::ocr {

namespace {

// One per strip worker, so that strips of the next recognition find their engines loaded.
const std::size_t kMaxIdleEngines = std::size_t(std::max(4, QThread::idealThreadCount()));

struct Interrupts {
    const std::atomic<bool>* cancelled;
    void (*pause)();
};

// Tesseract asks this between words; a paused read waits in here.
bool cancelRequested(void* what, int)
{
    const auto* in = static_cast<const Interrupts*>(what);
    if (in->pause)
        in->pause();
    return in->cancelled->load(std::memory_order_relaxed);
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
                    startReading();
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
        QMutexLocker lock(&mutex_);
        ++alive_;
        startReading();
        return api;
    }

    void give(const QString& dataDir, const QStringList& languages,
              std::unique_ptr<tesseract::TessBaseAPI> api)
    {
        api->Clear();
        Engine dropped;  // ended after the lock is released
        QMutexLocker lock(&mutex_);
        --reading_;
        if (idle_.size() >= kMaxIdleEngines) {
            dropped = std::move(idle_.front());
            idle_.erase(idle_.begin());
            --alive_;
        }
        idle_.push_back({dataDir + '|' + languages.join('+'), std::move(api)});
    }

    void shrink(std::size_t keep)
    {
        bool none = false;
        {
            std::vector<Engine> freed;  // ended after the lock is released
            QMutexLocker lock(&mutex_);
            while (idle_.size() > keep) {
                freed.push_back(std::move(idle_.front()));
                idle_.erase(idle_.begin());
                --alive_;
            }
            none = alive_ == 0;
        }
        // The word lists outlive the engines in a process-wide cache (several MB a language).
        if (none)
            tesseract::TessBaseAPI::ClearPersistentCache();
    }

    EngineModule::Counts counts(bool resetMost)
    {
        QMutexLocker lock(&mutex_);
        const EngineModule::Counts c{alive_, reading_, mostReading_};
        if (resetMost)
            mostReading_ = reading_;
        return c;
    }

private:
    void startReading() { mostReading_ = std::max(mostReading_, ++reading_); }

    QMutex mutex_;
    std::vector<Engine> idle_;
    std::size_t alive_ = 0;
    std::size_t reading_ = 0;
    std::size_t mostReading_ = 0;
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

// Appends the lines of the engine's last recognition, mapped back to source pixels.
void collectLines(tesseract::TessBaseAPI& api, double factor, QPointF origin, QList<TextObservation>& out)
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

class Tesseract final : public EngineModule {
public:
    Outcome read(const QImage& scaled, double factor, QPointF origin, int pageSegMode,
                 const QStringList& languages, const QString& dataDir, const std::atomic<bool>& cancelled,
                 void (*pause)(), QList<TextObservation>& lines, QString* error) override
    {
        limitOpenMpOnThisThread();
        auto api = engines().take(dataDir, languages, error);
        if (!api)
            return Outcome::NoEngine;
        api->SetPageSegMode(tesseract::PageSegMode(pageSegMode));
        Interrupts interrupts{&cancelled, pause};
        tesseract::ETEXT_DESC monitor;
        monitor.cancel = &cancelRequested;
        monitor.cancel_this = &interrupts;
        api->SetImage(scaled.constBits(), scaled.width(), scaled.height(), 1, int(scaled.bytesPerLine()));
        api->SetSourceResolution(std::max(70, int(std::lround(96 * factor))));
        const bool failed = api->Recognize(&monitor) != 0;
        if (!failed)
            collectLines(*api, factor, origin, lines);
        engines().give(dataDir, languages, std::move(api));
        return failed ? Outcome::Failed : Outcome::Read;
    }

    void releaseIdle(std::size_t keep) override { engines().shrink(keep); }
    Counts counts(bool resetMost) override { return engines().counts(resetMost); }
};

}  // namespace

}  // namespace kx::ocr

extern "C" __attribute__((visibility("default"))) kx::ocr::EngineModule* kx_ocr_module()
{
    static kx::ocr::Tesseract module;
    return &module;
}
