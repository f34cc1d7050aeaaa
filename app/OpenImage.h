#pragma once
// Image files and the clipboard image as editable captures: each enters the history and
// opens in the editor, without any after-capture step.
#include "core/CaptureResult.h"

#include <QString>
#include <optional>

namespace kx {

class OpenImage {
public:
    // Pixels per point from a file's resolution: max(1, round(dpi / 72)) above 100 dpi, else 1.
    static double scaleForDpi(std::optional<double> dpi);
    // A readable image file as a capture of kind `file` titled by its name without extension.
    static std::optional<CaptureResult> read(const QString& path);
    // Reads, records in the history and opens the editor; unreadable files are skipped quietly.
    static void open(const QString& path);
    // The clipboard image (kind `clipboard`), or the "No image on the clipboard" toast.
    static void openClipboard();
    // Lets tall captures decode (Qt refuses images over 128 MB by default).
    static void raiseDecodeLimit();
};

}  // namespace kx
