#pragma once
// Everything an editor window reaches outside itself, in one record: notices, clipboard,
// the history, recognition, the features of other folders (pins, uploads, palette, help,
// area capture, AI panel, sensitive-data finder) and the desktop (file manager, default
// application). Tests hand in fakes; an empty closure means the feature is not available
// and its control is disabled.

#include "analysis/SensitiveData.h"
#include "core/CaptureResult.h"
#include "editor/Exporter.h"

#include <QDateTime>
#include <QFuture>
#include <QImage>
#include <QList>
#include <QRectF>
#include <QStringList>
#include <QUuid>
#include <functional>
#include <optional>

class QMimeData;
class QWidget;

namespace kx {

class EditorDocument;
class HistoryStore;

struct EditorServices {
    // A 3 s notice (title, subtitle, symbol name).
    std::function<void(const QString& title, const QString& subtitle, const QString& symbol)> toast;
    // Takes ownership of the data and puts it on the clipboard.
    std::function<void(QMimeData* data)> setClipboard;
    // Null: the window never writes to a history.
    HistoryStore* history = nullptr;
    // Asked before a write-back over a history image that another window changed since this
    // editor read it: true replaces that image, false keeps both (this editor's image becomes
    // an entry of its own). Empty: keep both.
    std::function<bool(QWidget* parent)> replaceChangedEntry;

    // Text and barcode recognition. A failed recognition (no language data, no module) is
    // not the same as an image without text. Barcodes are read on a worker thread.
    std::function<QFuture<OCRResult>(const QImage&)> recognizeText;
    std::function<QStringList(const QImage&)> barcodes;
    // Sensitive text in the image (e-mails, card numbers, tokens...).
    std::function<QFuture<SensitiveData::Result>(const QImage&)> findSensitive;

    // Features of other folders.
    std::function<void(const QImage& image, double scale)> pin;
    std::function<void(const QImage& image, double scale, const QUuid& entry,
                       const std::optional<QString>& title)>
        upload;
    std::function<void(const QImage& image)> palette;
    std::function<void(const QString& topic)> help;
    std::function<void()> revealHistory;
    // The user's area selection; no value when cancelled or refused.
    std::function<QFuture<std::optional<CaptureResult>>()> captureArea;
    // The AI side panel for a document (340 pt wide).
    std::function<QWidget*(EditorDocument& doc, QWidget* parent)> makeAIPanel;

    // Desktop.
    std::function<void(const QString& path)> revealFile;
    std::function<void(const QString& path)> openFile;
    // Modal save dialog; the live one is Exporter::saveWithPanel.
    std::function<Exporter::SaveOutcome(const QImage& image, double scale, SourceKind kind,
                                        const std::optional<QString>& title, QWidget* parent)>
        saveWithPanel;
    // Folder of Ctrl+S; the live one is the saveFolder setting.
    std::function<QString()> saveFolder;
    // Private folder for shared files, removed at quit.
    std::function<QString()> shareFolder;
    std::function<QDateTime()> now;

    // The services of this process: what is built so far. Tests replace it with fakes.
    static EditorServices& current();
    static EditorServices live();
};

}  // namespace kx
