#pragma once
// The editing surface of the editor window: shows the document's base image at its pixel
// resolution with the annotations, selection handles, crop overlay, the frame of a text
// being typed and, while the backdrop is on, a live framed preview around the image. Turns
// pointer and keyboard input into document edits. Coordinates inside the canvas are base
// image pixels (origin top-left); decoration sizes are screen points converted by px().

#include "editor/canvas/CanvasCommands.h"
#include "editor/canvas/PreviewRenderer.h"
#include "editor/document/EditorDocument.h"

#include <QImage>
#include <QPointer>
#include <QRegion>
#include <QWidget>
#include <memory>
#include <optional>
#include <variant>

namespace kx {

class CanvasTextField;

class CanvasView : public QWidget {
    Q_OBJECT

public:
    // The menu and key-equivalent actions that reach the canvas.
    enum class Action {
        undo,
        redo,
        copy,
        save,
        saveAs,
        pin,
        zoomIn,
        zoomOut,
        zoomFit,
        zoomActual,
        deleteSelection,
        bringToFront,
        sendToBack
    };

    // Images up to this many pixels get a live backdrop preview.
    static constexpr qint64 kPreviewPixelLimit = 36'000'000;
    static constexpr int kPreviewDelayMs = 60;

    explicit CanvasView(std::shared_ptr<EditorDocument> doc, QWidget* parent = nullptr);
    ~CanvasView() override;

    EditorDocument& doc() const { return *doc_; }
    const std::shared_ptr<EditorDocument>& document() const { return doc_; }

    // Held weakly: a window that is gone (a destroyed QObject) is never called.
    void setCommands(CanvasCommands* commands);
    CanvasCommands* commands() const;

    // Screen points per point of the canvas frame; set by the enclosing scroll area.
    double magnification() const { return magnification_; }
    void setMagnification(double magnification);
    // Size in points at magnification 1: the image (or preview) pixels over the scale.
    QSizeF frameSize() const;
    // The coordinate space: the base image at (0, 0), a preview's surroundings outside it.
    QRectF canvasBounds() const { return bounds_; }
    QRectF imageRect() const;
    // Screen points per image pixel.
    double zoomFactor() const;
    // n screen points in image pixels at the present zoom.
    double px(double n) const;
    QPointF toImage(const QPointF& widgetPoint) const;
    QPointF toWidget(const QPointF& imagePoint) const;

    bool hasPreview() const { return preview_.has_value(); }
    QPointF previewOrigin() const { return preview_ ? preview_->origin : QPointF(); }
    const PreviewRenderer& previewRenderer() const { return renderer_; }

    // Text entry: starts typing a new text at p, or edits `existing` (a text annotation).
    void beginText(const QPointF& p, const std::optional<Annotation>& existing);
    // Ends typing: stores, removes or drops the text as it stands.
    void commitText();
    bool isTyping() const { return textField_ != nullptr; }
    // Whether ending the open text field would record an undo step.
    bool textWouldRecord() const;
    CanvasTextField* textField() const { return textField_; }
    QUuid editingID() const { return editingID_; }

    // Runs a menu action; false when it is disabled.
    bool perform(Action action);
    bool isEnabled(Action action) const;

Q_SIGNALS:
    // The canvas grew or shrank (new base, preview shown or removed, magnification).
    void frameChanged();

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    // The pointer gesture in progress.
    struct Creating {
        QUuid id;
    };
    struct Moving {
        QPointF start;
        Annotation original;
        bool lens = false;
    };
    struct Resizing {
        Handle handle;
        QUuid id;
    };
    struct CropNew {
        QPointF start;
    };
    struct CropHandle {
        Handle handle;
        Annotation rect;
    };
    struct CropMove {
        QPointF start;
        QRectF original;
    };
    using Drag = std::variant<Creating, Moving, Resizing, CropNew, CropHandle, CropMove>;

    void scheduleDocChanged();
    void docChanged();
    void updateSize();
    void updatePreviewIfNeeded();
    void removePreview();
    void installPreview(const PreviewRenderer::Result& result);
    void askToFitZoom();
    void updateCursor();

    // Pointer input.
    QPointF clampedLocation(const QPointF& widgetPoint) const;
    void press(const QPointF& widgetPoint, Qt::KeyboardModifiers modifiers, int clickCount);
    void beginCrop(const QPointF& p);
    std::optional<Annotation> topmostHit(const QPointF& p) const;
    std::optional<Annotation> annotation(const QUuid& id) const;

    // Keyboard and commands.
    void nudge(const QPointF& by);
    void fitText();
    void placeTextField();
    void undo();
    void redo();

    // Painting.
    void drawBase(QPainter& p, const QRectF& exposed);
    QRegion redactedRegion() const;
    void drawBaseImage(QPainter& p, const QImage& image, const QRectF& target, const QRectF& visible);
    void drawChecker(QPainter& p, const QRectF& rect) const;
    void drawSelection(QPainter& p, const Annotation& a) const;
    void drawHandle(QPainter& p, const QPointF& imagePoint) const;
    void drawCrop(QPainter& p, const QRectF& r) const;
    void drawTextFrame(QPainter& p) const;

    std::shared_ptr<EditorDocument> doc_;
    CanvasCommands* commands_ = nullptr;
    QPointer<QObject> commandsObject_;  // lifetime guard when the receiver is a QObject
    bool commandsIsObject_ = false;
    std::optional<Drag> drag_;

    struct Preview {
        QImage image;
        QPointF origin;
    };
    std::optional<Preview> preview_;
    QImage previewBase_;
    std::optional<BeautifySettings> previewSettings_;
    int previewGen_ = 0;
    bool previewWasEmpty_ = false;
    bool previewEdgeChanged_ = false;
    PreviewRenderer renderer_;
    BeautifySettings::Edge lastPreviewEdge_ = BeautifySettings::Edge::none;

    CanvasTextField* textField_ = nullptr;
    QRectF textFrame_;
    QUuid editingID_;
    bool editingIsNew_ = false;

    std::optional<qint64> lastBase_;  // cache key of the base seen at the last change
    std::optional<ToolKind> lastTool_;
    bool changePending_ = false;

    double magnification_ = 1.0;
    QRectF bounds_;

    // A downscaled copy of the base for zoomed-out painting, keyed by base and size.
    QImage scaledBase_;
    qint64 scaledBaseKey_ = 0;
};

}  // namespace kx
