#include "editor/document/EditorDocument.h"

#include <QScopedValueRollback>

#include "core/Localisation.h"

#include <algorithm>
#include <cmath>

namespace kx {

const RGBA EditorDocument::kMarkerYellow{1.0, 0.8, 0.0, 1.0};

QList<RGBA> EditorDocument::markerColors()
{
    return {kMarkerYellow, RGBA{1.0, 0.584, 0.0, 1.0}, RGBA{0.204, 0.78, 0.349, 1.0},
            RGBA{1.0, 1.0, 1.0, 1.0}};
}

QList<EditorDocument::AddEdge> EditorDocument::allEdges()
{
    return {AddEdge::right, AddEdge::below, AddEdge::left, AddEdge::above};
}

QString EditorDocument::title(AddEdge edge)
{
    switch (edge) {
        case AddEdge::right:
            return kx::tr("Add to the right", "Hozzáadás jobbra", "Rechts hinzufügen");
        case AddEdge::below:
            return kx::tr("Add below", "Hozzáadás alulra", "Darunter hinzufügen");
        case AddEdge::left:
            return kx::tr("Add to the left", "Hozzáadás balra", "Links hinzufügen");
        case AddEdge::above:
            return kx::tr("Add above", "Hozzáadás fölé", "Darüber hinzufügen");
    }
    return QString();
}

namespace {

// A scale that cannot be used for arithmetic (zero, negative, not finite) counts as 1.
double usableScale(double s)
{
    return std::isfinite(s) && s > 0 ? s : 1.0;
}

}  // namespace

EditorDocument::EditorDocument(const CaptureResult& capture, const QUuid& historyID, QObject* parent)
    : QObject(parent),
      base_(capture.image),
      scale_(usableScale(capture.scale)),
      kind_(capture.kind),
      title_(capture.title),
      historyID_(historyID)
{
    style_.color = RGBA{1.0, 0.231, 0.188, 1.0};
    style_.lineWidth = 3 * scale_;
    style_.fill = FillMode::none;
    style_.fontSize = 18 * scale_;
    style_.intensity = 12 * scale_;
    style_.zoom = 2.0;
    style_.roundLens = false;
    // BeautifySettings' own defaults are the document's: off, 64, 10, shadow, ocean, clean, 1, 7.
    beautify_ = BeautifySettings();
}

// --- published fields ---------------------------------------------------------------------

void EditorDocument::setBase(const QImage& base)
{
    base_ = base;
    Q_EMIT changed();
}

void EditorDocument::setAnnotations(const QList<Annotation>& annotations)
{
    annotations_ = annotations;
    Q_EMIT changed();
}

void EditorDocument::setSelectedID(const QUuid& id)
{
    selectedID_ = id;
    Q_EMIT changed();
}

void EditorDocument::setCropRect(const std::optional<QRectF>& rect)
{
    cropRect_ = rect;
    Q_EMIT changed();
}

void EditorDocument::setBeautify(const BeautifySettings& settings)
{
    beautify_ = settings;
    Q_EMIT changed();
}

void EditorDocument::setZoom(double zoom)
{
    zoom_ = zoom;
    Q_EMIT changed();
}

void EditorDocument::setShowAI(bool show)
{
    showAI_ = show;
    Q_EMIT changed();
}

void EditorDocument::setBusyMessage(const std::optional<QString>& message)
{
    busyMessage_ = message;
    Q_EMIT changed();
}

void EditorDocument::setStyle(const AnnotationStyle& style)
{
    const AnnotationStyle old = style_;
    style_ = style;
    Q_EMIT changed();
    if (old == style)
        return;
    applyStyleToSelection();
}

void EditorDocument::applyStyleToSelection()
{
    if (applyingStyle_ || selectedID_.isNull())
        return;
    const qsizetype i = indexOf(selectedID_);
    if (i < 0 || annotations_[i].style == style_)
        return;
    if (styleUndoFor_ != selectedID_) {
        pushUndo();
        styleUndoFor_ = selectedID_;
    }
    QList<Annotation> list = annotations_;
    list[i].style = style_;
    setAnnotations(list);
}

void EditorDocument::setTool(ToolKind tool)
{
    const ToolKind old = tool_;
    tool_ = tool;
    Q_EMIT changed();
    if (old == tool)
        return;
    setCropRect(std::nullopt);
    if (tool != ToolKind::select && !selectedID_.isNull())
        setSelectedID(QUuid());
    markerColor(tool == ToolKind::highlighter, old == ToolKind::highlighter);
}

void EditorDocument::markerColor(bool entering, bool leaving)
{
    // The tool's colour only: a stroke just drawn and still selected keeps its own.
    const QScopedValueRollback keepSelection(applyingStyle_, true);
    if (entering) {
        if (!markerColors().contains(style_.color)) {
            colorBeforeMarker_ = style_.color;
            AnnotationStyle s = style_;
            s.color = kMarkerYellow;
            setStyle(s);
        }
    } else if (leaving && colorBeforeMarker_) {
        if (style_.color == kMarkerYellow) {
            AnnotationStyle s = style_;
            s.color = *colorBeforeMarker_;
            setStyle(s);
        }
        colorBeforeMarker_.reset();
    }
}

// --- selection and list -------------------------------------------------------------------

qsizetype EditorDocument::indexOf(const QUuid& id) const
{
    for (qsizetype i = 0; i < annotations_.size(); ++i) {
        if (annotations_[i].id == id)
            return i;
    }
    return -1;
}

std::optional<Annotation> EditorDocument::selected() const
{
    const qsizetype i = selectedID_.isNull() ? -1 : indexOf(selectedID_);
    return i < 0 ? std::nullopt : std::optional<Annotation>(annotations_[i]);
}

int EditorDocument::nextStepNumber() const
{
    int highest = 0;
    for (const Annotation& a : annotations_) {
        if (a.kind == ToolKind::step)
            highest = std::max(highest, a.number);
    }
    return highest + 1;
}

void EditorDocument::select(const QUuid& id)
{
    styleUndoFor_ = QUuid();
    setSelectedID(id);
    if (const auto a = selected()) {
        applyingStyle_ = true;
        setStyle(a->style);
        applyingStyle_ = false;
    }
}

void EditorDocument::add(const Annotation& annotation)
{
    QList<Annotation> list = annotations_;
    list.append(annotation);
    setAnnotations(list);
    setSelectedID(annotation.id);
}

void EditorDocument::addUnselected(const QList<Annotation>& annotations)
{
    if (annotations.isEmpty())
        return;
    setAnnotations(annotations_ + annotations);
}

void EditorDocument::update(const Annotation& annotation)
{
    const qsizetype i = indexOf(annotation.id);
    if (i < 0)
        return;
    QList<Annotation> list = annotations_;
    list[i] = annotation;
    setAnnotations(list);
}

void EditorDocument::remove(const QUuid& id)
{
    QList<Annotation> list = annotations_;
    if (list.removeIf([&](const Annotation& a) { return a.id == id; }) > 0)
        setAnnotations(list);
}

// --- undo ---------------------------------------------------------------------------------

void EditorDocument::pushUndo()
{
    const bool full = undoStack_.size() >= kUndoLimit;
    undoStack_.append(Snapshot{base_, annotations_});
    if (full)
        undoStack_.removeFirst();
    redoStack_.clear();
    styleUndoFor_ = QUuid();
    isDirty_ = true;
}

void EditorDocument::discardUndoIfUnchanged()
{
    if (undoStack_.isEmpty())
        return;
    const Snapshot& last = undoStack_.last();
    if (last.annotations == annotations_ && last.base.cacheKey() == base_.cacheKey())
        undoStack_.removeLast();
}

void EditorDocument::undo()
{
    if (undoStack_.isEmpty())
        return;
    const Snapshot snapshot = undoStack_.takeLast();
    redoStack_.append(Snapshot{base_, annotations_});
    restore(snapshot);
}

void EditorDocument::redo()
{
    if (redoStack_.isEmpty())
        return;
    const Snapshot snapshot = redoStack_.takeLast();
    undoStack_.append(Snapshot{base_, annotations_});
    restore(snapshot);
}

void EditorDocument::restore(const Snapshot& snapshot)
{
    if (snapshot.base.cacheKey() != base_.cacheKey())
        effects_.bumpVersion();
    setBase(snapshot.base);
    setAnnotations(snapshot.annotations);
    if (!selectedID_.isNull() && indexOf(selectedID_) < 0)
        setSelectedID(QUuid());
    setCropRect(std::nullopt);
    styleUndoFor_ = QUuid();
    isDirty_ = true;
    // A selection that survives shows its restored style, as selecting it would.
    if (const auto a = selected()) {
        applyingStyle_ = true;
        setStyle(a->style);
        applyingStyle_ = false;
    }
}

}  // namespace kx
