#pragma once
// The history's text is read in a child process (kaptorix-recognizer) so that the tray process
// never maps Tesseract for it and returns to its idle size when the process ends. One process
// at a time, started on the first request and ended by stopRecognizerProcess(); it is stopped
// (SIGSTOP) while BackgroundWork is held and continued when the hold is gone. It is killed
// with this process, also while stopped. A reading whose process uses no CPU for the stall
// time (a stuck or foreign-stopped process) is ended and fails.

#include "analysis/OCRService.h"

#include <QImage>
#include <QStringList>
#include <optional>

namespace kx::ocr {

// Reads `image` in the child process, blocking the calling thread; an image over 16 megapixels
// goes in bands cut at even rows, each prepared and read on its own, so that neither process
// holds a copy of the whole image. Nothing when the program file is not installed or cannot be
// started (the caller reads in this process instead).
std::optional<OCRResult> recognizeInProcess(const QImage& image, const QStringList& languages,
                                            const QString& dataDir);

// Ends the child process (its engine and models with it) once a request in flight is answered;
// `now`: without waiting, failing the request (the application is quitting).
void stopRecognizerProcess(bool now = false);

// How long a reading may go without the process using any CPU; 0 restores the default.
constexpr qint64 kDefaultStallMs = 120000;
void setRecognizerStallMs(qint64 ms);

struct RecognizerProcessState {
    qint64 pid = 0;        // 0: no process
    bool reading = false;  // a request was handed over and its reply is awaited
    bool paused = false;   // stopped while background work is held
    int engines = 0;       // engines the last request used at once
};
RecognizerProcessState recognizerProcessState();

}  // namespace kx::ocr
