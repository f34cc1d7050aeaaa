#pragma once
// The command closures of one editor window, filled once by its controller and handed to
// the header, the copy button and the status pill. Each closure (but revealHistory) holds
// the controller by QPointer and does nothing once it is gone.

#include "core/Enums.h"
#include "editor/document/EditorDocument.h"

#include <functional>
#include <optional>

class QWidget;

namespace kx {

struct EditorActions {
    std::function<void(CopyMode)> copy;
    std::function<void()> save;
    std::function<void()> saveAs;
    std::function<void()> pin;
    std::function<void()> upload;
    std::function<void()> ocr;
    std::function<void()> redact;
    std::function<void(QWidget* anchor)> share;
    std::function<void()> fit;
    std::function<void()> actual;
    std::function<void(double factor)> zoom;
    std::function<void()> copy1x;
    std::function<void()> palette;
    std::function<void()> revealHistory;
    // No edge: the capture becomes a picture inside the picture.
    std::function<void(std::optional<EditorDocument::AddEdge>)> addCapture;
};

}  // namespace kx
