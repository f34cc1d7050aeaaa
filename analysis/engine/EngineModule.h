#pragma once
// What the Tesseract module offers; analysis/TextRecognizer.cpp opens it on first use so that
// Tesseract, leptonica and OpenMP are not mapped while nothing is recognised.

#include "analysis/OCRService.h"

#include <QImage>
#include <QPointF>
#include <QStringList>
#include <atomic>
#include <cstddef>

namespace kx::ocr {

class EngineModule {
public:
    enum class Outcome { Read, NoEngine, Failed };
    // Reads a grey strip already scaled by `factor`; appends its lines with boxes in source
    // pixels (divided by `factor`, moved by `origin`). Calls `pause` (when given) between
    // words, and stops at the next word once `cancelled` is set. NoEngine: the models could
    // not be loaded (the reason in *error). Thread-safe: each call takes an engine of its own
    // from a cache.
    virtual Outcome read(const QImage& scaled, double factor, QPointF origin, int pageSegMode,
                         const QStringList& languages, const QString& dataDir,
                         const std::atomic<bool>& cancelled, void (*pause)(), QList<TextObservation>& lines,
                         QString* error) = 0;
    // Ends idle engines beyond `keep`.
    virtual void releaseIdle(std::size_t keep) = 0;

    struct Counts {
        std::size_t alive = 0;        // loaded, idle or reading
        std::size_t reading = 0;      // reading now
        std::size_t mostReading = 0;  // the most reading at once since the last reset
    };
    virtual Counts counts(bool resetMost) = 0;

protected:
    ~EngineModule() = default;
};

}  // namespace kx::ocr

#define KX_OCR_MODULE_ENTRY "kx_ocr_module"
extern "C" kx::ocr::EngineModule* kx_ocr_module();
