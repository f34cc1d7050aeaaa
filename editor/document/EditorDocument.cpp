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
      m_base(capture.image),
      m_scale(usableScale(capture.scale)),
      m_kind(capture.kind),
      m_title(capture.title),
      m_historyID(historyID)
{
    m_style.color = RGBA{1.0, 0.231, 0.188, 1.0};
    m_style.lineWidth = 3 * m_scale;
    m_style.fill = FillMode::none;
    m_style.fontSize = 18 * m_scale;
    m_style.intensity = 12 * m_scale;
    m_style.zoom = 2.0;
    m_style.roundLens = false;
    // BeautifySettings' own defaults are the document's: off, 64, 10, shadow, ocean, clean, 1, 7.
    m_beautify = BeautifySettings();
}

// --- published fields ---------------------------------------------------------------------

void EditorDocument::setBase(const QImage& base)
{
    m_base = base;
    Q_EMIT changed();
}

void EditorDocument::setAnnotations(const QList<Annotation>& annotations)
{
    m_annotations = annotations;
    Q_EMIT changed();
}

void EditorDocument::setSelectedID(const QUuid& id)
{
    m_selectedID = id;
    Q_EMIT changed();
}

void EditorDocument::setCropRect(const std::optional<QRectF>& rect)
{
    m_cropRect = rect;
    Q_EMIT changed();
}

void EditorDocument::setBeautify(const BeautifySettings& settings)
{
    m_beautify = settings;
    Q_EMIT changed();
}

void EditorDocument::setZoom(double zoom)
{
    m_zoom = zoom;
    Q_EMIT changed();
}

void EditorDocument::setShowAI(bool show)
{
    m_showAI = show;
    Q_EMIT changed();
}

void EditorDocument::setBusyMessage(const std::optional<QString>& message)
{
    m_busyMessage = message;
    Q_EMIT changed();
}

void EditorDocument::setStyle(const AnnotationStyle& style)
{
    const AnnotationStyle old = m_style;
    m_style = style;
    Q_EMIT changed();
    if (old == style)
        return;
    applyStyleToSelection();
}

void EditorDocument::applyStyleToSelection()
{
    if (m_applyingStyle || m_selectedID.isNull())
        return;
    const qsizetype i = indexOf(m_selectedID);
    if (i < 0 || m_annotations[i].style == m_style)
        return;
    if (m_styleUndoFor != m_selectedID) {
        pushUndo();
        m_styleUndoFor = m_selectedID;
    }
    QList<Annotation> list = m_annotations;
    list[i].style = m_style;
    setAnnotations(list);
}

void EditorDocument::setTool(ToolKind tool)
{
    const ToolKind old = m_tool;
    m_tool = tool;
    Q_EMIT changed();
    if (old == tool)
        return;
    setCropRect(std::nullopt);
    if (tool != ToolKind::select && !m_selectedID.isNull())
        setSelectedID(QUuid());
    markerColor(tool == ToolKind::highlighter, old == ToolKind::highlighter);
}

void EditorDocument::markerColor(bool entering, bool leaving)
{
    // The tool's colour only: a stroke just drawn and still selected keeps its own.
    const QScopedValueRollback keepSelection(m_applyingStyle, true);
    if (entering) {
        if (!markerColors().contains(m_style.color)) {
            m_colorBeforeMarker = m_style.color;
            AnnotationStyle s = m_style;
            s.color = kMarkerYellow;
            setStyle(s);
        }
    } else if (leaving && m_colorBeforeMarker) {
        if (m_style.color == kMarkerYellow) {
            AnnotationStyle s = m_style;
            s.color = *m_colorBeforeMarker;
            setStyle(s);
        }
        m_colorBeforeMarker.reset();
    }
}

// --- selection and list -------------------------------------------------------------------

qsizetype EditorDocument::indexOf(const QUuid& id) const
{
    for (qsizetype i = 0; i < m_annotations.size(); ++i) {
        if (m_annotations[i].id == id)
            return i;
    }
    return -1;
}

std::optional<Annotation> EditorDocument::selected() const
{
    const qsizetype i = m_selectedID.isNull() ? -1 : indexOf(m_selectedID);
    return i < 0 ? std::nullopt : std::optional<Annotation>(m_annotations[i]);
}

int EditorDocument::nextStepNumber() const
{
    int highest = 0;
    for (const Annotation& a : m_annotations) {
        if (a.kind == ToolKind::step)
            highest = std::max(highest, a.number);
    }
    return highest + 1;
}

void EditorDocument::select(const QUuid& id)
{
    m_styleUndoFor = QUuid();
    setSelectedID(id);
    if (const auto a = selected()) {
        m_applyingStyle = true;
        setStyle(a->style);
        m_applyingStyle = false;
    }
}

void EditorDocument::add(const Annotation& annotation)
{
    QList<Annotation> list = m_annotations;
    list.append(annotation);
    setAnnotations(list);
    setSelectedID(annotation.id);
}

void EditorDocument::addUnselected(const QList<Annotation>& annotations)
{
    if (annotations.isEmpty())
        return;
    setAnnotations(m_annotations + annotations);
}

void EditorDocument::update(const Annotation& annotation)
{
    const qsizetype i = indexOf(annotation.id);
    if (i < 0)
        return;
    QList<Annotation> list = m_annotations;
    list[i] = annotation;
    setAnnotations(list);
}

void EditorDocument::remove(const QUuid& id)
{
    QList<Annotation> list = m_annotations;
    if (list.removeIf([&](const Annotation& a) { return a.id == id; }) > 0)
        setAnnotations(list);
}

// --- undo ---------------------------------------------------------------------------------

void EditorDocument::pushUndo()
{
    const bool full = m_undoStack.size() >= kUndoLimit;
    m_undoStack.append(Snapshot{m_base, m_annotations});
    if (full)
        m_undoStack.removeFirst();
    m_redoStack.clear();
    m_styleUndoFor = QUuid();
    m_isDirty = true;
}

void EditorDocument::discardUndoIfUnchanged()
{
    if (m_undoStack.isEmpty())
        return;
    const Snapshot& last = m_undoStack.last();
    if (last.annotations == m_annotations && last.base.cacheKey() == m_base.cacheKey())
        m_undoStack.removeLast();
}

void EditorDocument::undo()
{
    if (m_undoStack.isEmpty())
        return;
    const Snapshot snapshot = m_undoStack.takeLast();
    m_redoStack.append(Snapshot{m_base, m_annotations});
    restore(snapshot);
}

void EditorDocument::redo()
{
    if (m_redoStack.isEmpty())
        return;
    const Snapshot snapshot = m_redoStack.takeLast();
    m_undoStack.append(Snapshot{m_base, m_annotations});
    restore(snapshot);
}

void EditorDocument::restore(const Snapshot& snapshot)
{
    if (snapshot.base.cacheKey() != m_base.cacheKey())
        m_effects.bumpVersion();
    setBase(snapshot.base);
    setAnnotations(snapshot.annotations);
    if (!m_selectedID.isNull() && indexOf(m_selectedID) < 0)
        setSelectedID(QUuid());
    setCropRect(std::nullopt);
    m_styleUndoFor = QUuid();
    m_isDirty = true;
}

}  // namespace kx
