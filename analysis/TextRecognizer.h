#pragma once
// Tesseract behind OCRService: image preparation, strips read in parallel, line assembly,
// and a small cache of initialised engines (loading the models costs ~100 ms per engine).

#include "analysis/OCRService.h"

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QStringList>
#include <atomic>
#include <list>
#include <optional>

namespace kx::ocr {

// Grey, alpha flattened over white, ready for the engine.
QImage prepared(const QImage& image);

// Row where a strip of the grey image may end: the nearest uniform row at or above `target`
// (not above `lowest`), so that no line of text is cut; `target` itself when none is found.
int cutRow(const QImage& grey, int target, int lowest);
// Whether row `y` of the grey image is even (no text crosses it).
bool uniformRow(const QImage& grey, int y);

// How an image is read. The defaults are the application's, chosen by the character accuracy
// over the corpus of screen pages under tests/analysis/corpus and the 164-line text screen
// (bench/analysis): read column by column, each block in Tesseract's single-block mode, at
// 1.5x. Page-wide automatic or single-column modes cut line numbers off their lines; a page
// read as one block reads columns across; 1.5x read accents better than 2x and 1.25x.
struct ReadOptions {
    double scale = 1.5;        // upscale before reading (screen text is 11-16 px high)
    bool splitColumns = true;  // read the blocks of textBlocks() one by one, not the page at once
    int pageSegMode = 6;       // Tesseract's page segmentation of each block (6: one block)
};

// How a recognition shares the machine. foreground: the user waits, its strips are read on every
// core. background: the strips are read one after the other on the calling thread with one
// engine, pausing at the next word while BackgroundWork is held.
enum class Pace { foreground, background };

// Lines already read, by a SHA-256 digest of the exact pixels of the strip they came from and of
// everything else the reading depends on (models, scale), kept relative to the strip: a burst of
// captures of one screen reads each unchanged strip once, also where it moved by whole 8-px tiles
// (the preparation turns each tile by its surroundings). The least recently used strips go once
// the lines kept pass the budget. Not thread-safe.
class ReadMemory {
public:
    explicit ReadMemory(qsizetype budgetBytes) : budget_(budgetBytes) {}

    std::optional<QList<TextObservation>> find(const QByteArray& key);
    void keep(const QByteArray& key, QList<TextObservation> lines);

    qsizetype bytes() const { return bytes_; }
    int hits() const { return hits_; }
    int misses() const { return misses_; }

private:
    struct Entry {
        QByteArray key;
        QList<TextObservation> lines;
        qsizetype bytes = 0;
    };
    qsizetype budget_;
    qsizetype bytes_ = 0;
    int hits_ = 0;
    int misses_ = 0;
    std::list<Entry> entries_;  // most recently used first
    QHash<QByteArray, std::list<Entry>::iterator> index_;
};

// Reads the image with the given models; thread-safe (each call takes its own engine) unless
// two calls share a `memory`. With `memory`, blocks are read in shorter strips; strips read
// before are taken from it and the others are kept in it.
OCRResult recognize(const QImage& image, const QStringList& languages, const QString& dataDir,
                    const ReadOptions& options = {}, Pace pace = Pace::foreground,
                    ReadMemory* memory = nullptr);

// The application is quitting: running recognitions stop at the next word and fail, and
// later ones fail at once. Thread-safe; there is no way back.
void cancelAll();

// Set once cancelAll() was called.
const std::atomic<bool>& cancelFlag();

// See OCRService::setExitHook.
void setExitHook(void (*hook)());

// See OCRService::releaseIdleEngines.
void releaseIdleEngines(std::size_t keep);

// See OCRService::engineCounts.
EngineCounts engineCounts(bool resetMost);

}  // namespace kx::ocr
