#pragma once
// Text and barcode recognition. Text is read by Tesseract on a worker pool, never on the
// calling (UI) thread; results come back through QFuture (use .then(context, ...) to get
// them on the UI thread). Barcodes are read by zxing-cpp on the caller's thread.

#include <QFuture>
#include <QImage>
#include <QList>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <optional>

class QThreadPool;

namespace kx {

// One recognised line of text. Geometry is in pixels of the image that was read, origin
// top-left, y downwards.
struct TextObservation {
    QString text;             // best reading of the line (never empty)
    QRectF box;               // the whole line
    float confidence = 0;     // 0…100
    QList<QRectF> charBoxes;  // one per UTF-16 unit of `text`; a blank spans the gap between words

    // Read from a picture rather than from text (the modules of a QR code, an icon): no letter
    // or digit at all, or a very low confidence with no word of several letters or digits.
    bool graphicsNoise() const;

    // The box around text[start, start + length), or nothing for an empty or invalid range.
    std::optional<QRectF> boundingBox(qsizetype start, qsizetype length) const;
};

struct OCRResult {
    bool ok = false;               // false: recognition could not run (no language data, no image …)
    QString error;                 // why, when !ok
    QList<TextObservation> lines;  // in reading order

    // The lines joined with "\n", graphics noise left out; empty when nothing was read or
    // recognition failed.
    QString text() const;
};

// Recognition engines loaded (each holds its models, tens of MB).
struct EngineCounts {
    int alive = 0;        // idle or reading
    int reading = 0;      // reading now
    int mostReading = 0;  // the most reading at once since the last reset
};

class OCRService {
public:
    // Recognises the lines of text, with the languages of the settings read now, on every core
    // (the user waits for it); background recognition pauses meanwhile.
    // `priority` orders waiting jobs of the pool (higher runs first).
    static QFuture<OCRResult> observations(const QImage& image, int priority = 0);
    // The same for nobody waiting (the history's text): in the recognition process (one engine,
    // idle CPU and I/O class) after every hold is gone, stopped while one is taken; on
    // BackgroundWork's thread in this process when that program is not installed.
    static QFuture<OCRResult> backgroundObservations(const QImage& image);
    // The plain text; empty both for "no text" and for a failure (use observations() to tell).
    static QFuture<QString> text(const QImage& image, int priority = 0);
    // The payloads of the barcodes and QR codes found, in detection order; empty when none
    // are found or detection fails. Runs on the calling thread.
    static QStringList barcodes(const QImage& image);

    // The recognition itself, synchronous, with explicit Tesseract model names.
    static OCRResult recognize(const QImage& image, const QStringList& languages);

    // The pool that runs recognitions (at most half the cores: Tesseract threads internally).
    static QThreadPool* pool();

    // Frees the loaded engines not in use but the `keep` most recently used (each holds its
    // models); a burst of recognitions leaves one per strip worker otherwise. With `keep` 0 the
    // recognition process ends too.
    static void releaseIdleEngines(int keep = 1);
    // Every engine and the memory freed with it go this long after the last recognition
    // ended (on the thread of the application object); a negative value never.
    static void setEngineIdleMs(int ms);
    static int engineIdleMs();
    static EngineCounts engineCounts(bool resetMost = false);

    // Runs `hook` when the process exits through exit() once an engine was loaded, before
    // Tesseract's own static data is torn down: a recognition still running then may crash
    // the exit, so work that must land (the history's index) goes first.
    static void setExitHook(void (*hook)());
};

}  // namespace kx
