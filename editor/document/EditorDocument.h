#pragma once
// The state of one open editor: the base picture, its annotations, selection, tool, style
// for new objects, a pending crop, backdrop settings and snapshot undo/redo. Every edit of
// the canvas and of the editor window goes through it. Main thread only.

#include "core/CaptureResult.h"
#include "core/SourceKind.h"
#include "editor/Annotation.h"
#include "editor/BeautifySettings.h"
#include "editor/EffectCache.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QRectF>
#include <QUuid>
#include <optional>

namespace kx {

class EditorDocument : public QObject {
    Q_OBJECT

public:
    // The unit of undo and redo: the base (shared, never copied) and the annotation list.
    struct Snapshot {
        QImage base;
        QList<Annotation> annotations;
    };

    // Where an added capture is joined to the base.
    enum class AddEdge { right, below, left, above };
    static QList<AddEdge> allEdges();
    static QString title(AddEdge edge);

    static constexpr int kUndoLimit = 100;

    // The highlighter's own colours; the document switches to the first.
    static const RGBA kMarkerYellow;
    static QList<RGBA> markerColors();

    explicit EditorDocument(const CaptureResult& capture, const QUuid& historyID = QUuid(),
                            QObject* parent = nullptr);

    // Published fields: every setter emits changed() afterwards.
    const QImage& base() const { return base_; }
    const QList<Annotation>& annotations() const { return annotations_; }
    // Null when nothing is selected.
    QUuid selectedID() const { return selectedID_; }
    ToolKind tool() const { return tool_; }
    void setTool(ToolKind tool);
    const AnnotationStyle& style() const { return style_; }
    // Also restyles the selected object; a run of changes on one object is one undo step.
    void setStyle(const AnnotationStyle& style);
    // Pending crop in base pixels.
    const std::optional<QRectF>& cropRect() const { return cropRect_; }
    void setCropRect(const std::optional<QRectF>& rect);
    const BeautifySettings& beautify() const { return beautify_; }
    void setBeautify(const BeautifySettings& settings);
    double zoom() const { return zoom_; }
    void setZoom(double zoom);
    bool showAI() const { return showAI_; }
    void setShowAI(bool show);
    const std::optional<QString>& busyMessage() const { return busyMessage_; }
    void setBusyMessage(const std::optional<QString>& message);

    // Constant for the life of the document.
    double scale() const { return scale_; }
    SourceKind kind() const { return kind_; }
    const std::optional<QString>& title() const { return title_; }
    QUuid historyID() const { return historyID_; }
    EffectCache& effects() { return effects_; }

    // An edit was begun since the window opened; never cleared.
    bool isDirty() const { return isDirty_; }
    const QList<Snapshot>& undoStack() const { return undoStack_; }
    const QList<Snapshot>& redoStack() const { return redoStack_; }

    std::optional<Annotation> selected() const;
    int nextStepNumber() const;

    // Selects an annotation (or nothing with a null id) and copies its style into style().
    void select(const QUuid& id);
    // Appends on top and selects it; the caller pushes the undo snapshot first.
    void add(const Annotation& annotation);
    // Appends all on top in one change, leaving the selection and the tool as they are; the
    // caller pushes the undo snapshot first.
    void addUnselected(const QList<Annotation>& annotations);
    // Replaces the annotation with the same id; nothing when there is none.
    void update(const Annotation& annotation);
    // Removes every annotation with this id (no undo snapshot, selection untouched).
    void remove(const QUuid& id);

    void pushUndo();
    // Drops the last snapshot when nothing changed since it was taken.
    void discardUndoIfUnchanged();
    void undo();
    void redo();
    void restore(const Snapshot& snapshot);

    void deleteSelected();
    void bringToFront();
    void sendToBack();

    void applyCrop();
    // Joins a further capture edge to edge; unchanged when the joined image cannot be made.
    void append(const QImage& image, double scale, AddEdge edge);
    // Adds a further capture as a picture object in the bottom-right corner.
    void addPicture(const QImage& image, double scale);

    // The flattened picture, with the backdrop when asked; the base itself when there is
    // nothing to draw over it and no backdrop; a null image when the annotations could not be
    // drawn (never the picture without them).
    QImage renderFinal(bool includeBeautify);

Q_SIGNALS:
    // After every change of a published field.
    void changed();

private:
    void setBase(const QImage& base);
    void setAnnotations(const QList<Annotation>& annotations);
    void setSelectedID(const QUuid& id);
    void applyStyleToSelection();
    void markerColor(bool entering, bool leaving);
    static void shift(Annotation& a, const QPointF& by);
    // Position of the annotation with this id, -1 when there is none.
    qsizetype indexOf(const QUuid& id) const;

    QImage base_;
    QList<Annotation> annotations_;
    QUuid selectedID_;
    ToolKind tool_ = ToolKind::arrow;
    AnnotationStyle style_;
    std::optional<QRectF> cropRect_;
    BeautifySettings beautify_;
    double zoom_ = 1.0;
    bool showAI_ = false;
    std::optional<QString> busyMessage_;

    const double scale_;
    const SourceKind kind_;
    const std::optional<QString> title_;
    const QUuid historyID_;
    EffectCache effects_;
    bool isDirty_ = false;
    std::optional<RGBA> colorBeforeMarker_;
    QList<Snapshot> undoStack_;
    QList<Snapshot> redoStack_;
    QUuid styleUndoFor_;
    bool applyingStyle_ = false;
};

}  // namespace kx
