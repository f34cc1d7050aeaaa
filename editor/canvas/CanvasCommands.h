#pragma once
// What the canvas asks of the editor window that shows it. The window implements this and
// hands itself to CanvasView::setCommands; the canvas never owns it.

#include "core/Enums.h"

#include <QImage>
#include <QString>

namespace kx {

class EditorDocument;

class CanvasCommands {
public:
    virtual ~CanvasCommands() = default;

    // The window's document: the same object the canvas shows.
    virtual EditorDocument& doc() = 0;
    // Copies the finished image (with backdrop) to the clipboard and reports it.
    virtual void copy(CopyMode mode) = 0;
    // Saves the finished image without a dialog into the save folder.
    virtual void cmdSave() = 0;
    // Multiplies the magnification by `factor`, within 0.05 to 16.
    virtual void cmdZoom(double factor) = 0;
    // Fits the canvas into the visible area, at most at `maxZoom`.
    virtual void cmdZoomFit(double maxZoom) = 0;
    virtual void cmdZoomActual() = 0;
    // Writes the current result back to the document's history entry when it changed.
    virtual void commitToHistory() = 0;
    // Pins the image on screen (pins live above the editor library).
    virtual void pin(const QImage& image, double scale) = 0;
    // "Save as" could not encode or write the file: the window tells the user ("Save failed"
    // with `message`); notices live above the editor library.
    virtual void saveFailed(const QString& message) = 0;
};

}  // namespace kx
