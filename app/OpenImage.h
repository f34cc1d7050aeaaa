#pragma once
// Image files and the clipboard image as editable captures: each enters the history and
// opens in the editor, without any after-capture step. Files are read and decoded on a
// worker within the size limits (core/ImageReading.h); one too large is named in a toast.
#include "core/CaptureResult.h"

#include <QSize>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

namespace kx {

class OpenImage {
public:
    struct Loaded {
        std::optional<CaptureResult> capture;
        bool tooLarge = false;  // refused for its size; `size` when the file tells it
        QSize size;
        bool mostlyMetadata = false;  // refused: far larger than its pixels (`size`) need
        int bitsPerPixel = 0;         // refused at the lower limit of this depth
    };

    // Pixels per point from a file's resolution: max(1, round(dpi / 72)) above 100 dpi, else 1.
    static double scaleForDpi(std::optional<double> dpi);
    // A readable image file as a capture of kind `file` titled by its name without extension;
    // any thread.
    static Loaded load(const QString& path);
    static std::optional<CaptureResult> read(const QString& path) { return load(path).capture; }
    // Reads off the UI thread, then records in the history and opens the editor, one file after
    // the other in the order given; unreadable files are skipped quietly. Of one call (one
    // hand-over), at most maxFilesAtOnce files are opened, their editors cascaded; when more were
    // given, one notice says how many were opened and where the rest begin.
    static void open(const QStringList& paths);
    static constexpr int maxFilesAtOnce = 10;
    // That notice: title and second line, for `opened` of `handed` files, `tried` of them read
    // (the first ones), the last of those named `lastTried`.
    static std::pair<QString, QString> boundNotice(int opened, int handed, int tried,
                                                   const QString& lastTried);
    static void open(const QString& path) { open(QStringList{path}); }
    // The clipboard image (kind `clipboard`), or the "No image on the clipboard" toast.
    static void openClipboard();
    // The toast's second line for an image refused for its size (`name` is a file name, or
    // empty for the clipboard image); `bits`: the image's bits a pixel when its depth lowered
    // the limit.
    static QString tooLargeLine(const QString& name, QSize size, int bits = 0);
    // The whole notice, also for a file refused for holding far more than its pixels (`metadata`);
    // a long name is shortened to fit.
    static std::pair<QString, QString> tooLargeNotice(const QString& name, QSize size, bool metadata,
                                                      int bits = 0);
};

}  // namespace kx
