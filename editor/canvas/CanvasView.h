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

    EditorDocument& doc() const { return *m_doc; }
    const std::shared_ptr<EditorDocument>& document() const { return m_doc; }

    // Held weakly: a window that is gone (a destroyed QObject) is never called.
    void setCommands(CanvasCommands* commands);
    CanvasCommands* commands() const;

    // Screen points per point of the canvas frame; set by the enclosing scroll area.
    double magnification() const { return m_magnification; }
    void setMagnification(double magnification);
    // Size in points at magnification 1: the image (or preview) pixels over the scale.
    QSizeF frameSize() const;
    // The coordinate space: the base image at (0, 0), a preview's surroundings outside it.
    QRectF canvasBounds() const { return m_bounds; }
    QRectF imageRect() const;
    // Screen points per image pixel.
    double zoomFactor() const;
    // n screen points in image pixels at the present zoom.
    double px(double n) const;
    QPointF toImage(const QPointF& widgetPoint) const;
    QPointF toWidget(const QPointF& imagePoint) const;

    bool hasPreview() const { return m_preview.has_value(); }
    QPointF previewOrigin() const { return m_preview ? m_preview->origin : QPointF(); }
    const PreviewRenderer& previewRenderer() const { return m_renderer; }

    // Text entry: starts typing a new text at p, or edits `existing` (a text annotation).
    void beginText(const QPointF& p, const std::optional<Annotation>& existing);
    // Ends typing: stores, removes or drops the text as it stands.
    void commitText();
    bool isTyping() const { return m_textField != nullptr; }
    // Whether ending the open text field would record an undo step.
    bool textWouldRecord() const;
    CanvasTextField* textField() const { return m_textField; }
    QUuid editingID() const { return m_editingID; }

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

    std::shared_ptr<EditorDocument> m_doc;
    CanvasCommands* m_commands = nullptr;
    QPointer<QObject> m_commandsObject;  // lifetime guard when the receiver is a QObject
    bool m_commandsIsObject = false;
    std::optional<Drag> m_drag;

    struct Preview {
        QImage image;
        QPointF origin;
    };
    std::optional<Preview> m_preview;
    QImage m_previewBase;
    std::optional<BeautifySettings> m_previewSettings;
    int m_previewGen = 0;
    bool m_previewWasEmpty = false;
    bool m_previewEdgeChanged = false;
    PreviewRenderer m_renderer;
    BeautifySettings::Edge m_lastPreviewEdge = BeautifySettings::Edge::none;

    CanvasTextField* m_textField = nullptr;
    QRectF m_textFrame;
    QUuid m_editingID;
    bool m_editingIsNew = false;

    std::optional<qint64> m_lastBase;  // cache key of the base seen at the last change
    std::optional<ToolKind> m_lastTool;
    bool m_changePending = false;

    double m_magnification = 1.0;
    QRectF m_bounds;

    // A downscaled copy of the base for zoomed-out painting, keyed by base and size.
    QImage m_scaledBase;
    qint64 m_scaledBaseKey = 0;
};

}  // namespace kx
