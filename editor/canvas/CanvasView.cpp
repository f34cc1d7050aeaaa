// The canvas's state: coordinates, following the document, and the backdrop preview.
#include "editor/canvas/CanvasView.h"

#include "editor/canvas/CanvasTextField.h"

#include <algorithm>
#include <cmath>

namespace kx {

CanvasView::CanvasView(std::shared_ptr<EditorDocument> doc, QWidget* parent)
    : QWidget(parent), m_doc(std::move(doc))
{
    // No automatic click focus: a press takes the focus itself, after noting whether a
    // text was being typed (see press()).
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    connect(&m_renderer, &PreviewRenderer::rendered, this, &CanvasView::installPreview);
    connect(m_doc.get(), &EditorDocument::changed, this, &CanvasView::scheduleDocChanged);
    updateSize();
    updateCursor();
    // Follow the document's state as it is now (a backdrop already on, for example).
    scheduleDocChanged();
}

CanvasView::~CanvasView()
{
    m_renderer.cancel();
    if (m_textField)
        m_textField->disconnect(this);
}

void CanvasView::setCommands(CanvasCommands* commands)
{
    m_commands = commands;
    QObject* object = dynamic_cast<QObject*>(commands);
    m_commandsIsObject = object != nullptr;
    m_commandsObject = object;
}

CanvasCommands* CanvasView::commands() const
{
    if (m_commandsIsObject && !m_commandsObject)
        return nullptr;
    return m_commands;
}

// --- coordinates --------------------------------------------------------------------------

QRectF CanvasView::imageRect() const
{
    return QRectF(0, 0, m_doc->base().width(), m_doc->base().height());
}

QSizeF CanvasView::frameSize() const
{
    return m_bounds.size() / m_doc->scale();
}

double CanvasView::zoomFactor() const
{
    return m_magnification * frameSize().width() / std::max(m_bounds.width(), 1.0);
}

double CanvasView::px(double n) const
{
    return n / std::max(zoomFactor(), 0.001);
}

QPointF CanvasView::toImage(const QPointF& widgetPoint) const
{
    return widgetPoint / std::max(zoomFactor(), 0.001) + m_bounds.topLeft();
}

QPointF CanvasView::toWidget(const QPointF& imagePoint) const
{
    return (imagePoint - m_bounds.topLeft()) * zoomFactor();
}

void CanvasView::setMagnification(double magnification)
{
    if (!std::isfinite(magnification) || magnification <= 0)
        return;
    m_magnification = magnification;
    updateSize();
}

void CanvasView::updateSize()
{
    const QImage& base = m_doc->base();
    m_bounds = m_preview ? QRectF(-m_preview->origin, QSizeF(m_preview->image.size()))
                         : QRectF(0, 0, base.width(), base.height());
    const QSizeF points = frameSize() * m_magnification;
    const QSize size(std::max(1, int(std::ceil(points.width() - 1e-6))),
                     std::max(1, int(std::ceil(points.height() - 1e-6))));
    if (size != this->size())
        resize(size);
    placeTextField();
    update();
    Q_EMIT frameChanged();
}

// --- following the document ---------------------------------------------------------------

void CanvasView::scheduleDocChanged()
{
    // Document changes arrive in bursts; one pass after them sees the final state.
    if (m_changePending)
        return;
    m_changePending = true;
    QMetaObject::invokeMethod(this, &CanvasView::docChanged, Qt::QueuedConnection);
}

void CanvasView::docChanged()
{
    m_changePending = false;
    updatePreviewIfNeeded();
    const qint64 baseKey = m_doc->base().cacheKey();
    if (!m_lastBase || *m_lastBase != baseKey) {
        m_lastBase = baseKey;
        updateSize();
    }
    if (!m_lastTool || *m_lastTool != m_doc->tool()) {
        m_lastTool = m_doc->tool();
        updateCursor();
        commitText();
    }
    update();
}

void CanvasView::updateCursor()
{
    switch (m_doc->tool()) {
        case ToolKind::select:
            setCursor(Qt::ArrowCursor);
            break;
        case ToolKind::text:
            setCursor(Qt::IBeamCursor);
            break;
        default:
            setCursor(Qt::CrossCursor);
            break;
    }
}

void CanvasView::askToFitZoom()
{
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (CanvasCommands* c = commands())
                c->cmdZoomFit(4.0);
        },
        Qt::QueuedConnection);
}

// --- backdrop preview ---------------------------------------------------------------------

void CanvasView::removePreview()
{
    m_renderer.cancel();
    m_previewBase = QImage();
    m_previewSettings.reset();
    ++m_previewGen;
    if (m_preview) {
        m_preview.reset();
        updateSize();
        askToFitZoom();
    }
}

void CanvasView::updatePreviewIfNeeded()
{
    const EditorDocument& doc = *m_doc;
    const QImage& base = doc.base();
    if (!doc.beautify().enabled) {
        // Also drops a render still under way, so a late result cannot show a frame that
        // was already switched off.
        if (m_preview || m_previewSettings)
            removePreview();
        return;
    }
    if (qint64(base.width()) * base.height() > kPreviewPixelLimit) {
        // A preview of an earlier, smaller base would show at the wrong size: remove it.
        if (m_preview || m_previewSettings)
            removePreview();
        return;
    }
    if (m_previewSettings && m_previewBase.cacheKey() == base.cacheKey() &&
        *m_previewSettings == doc.beautify())
        return;
    m_previewBase = base;
    m_previewSettings = doc.beautify();
    const int generation = ++m_previewGen;
    m_previewWasEmpty = !m_preview;
    m_previewEdgeChanged = m_preview && m_lastPreviewEdge != doc.beautify().edge;
    m_lastPreviewEdge = doc.beautify().edge;
    m_renderer.request({base, doc.beautify(), doc.scale(), generation},
                       m_previewWasEmpty ? 0 : kPreviewDelayMs);
}

void CanvasView::installPreview(const PreviewRenderer::Result& result)
{
    if (result.generation != m_previewGen || result.image.isNull())
        return;
    m_preview = Preview{result.image, result.origin};
    updateSize();
    if (m_previewWasEmpty || m_previewEdgeChanged)
        askToFitZoom();
}

}  // namespace kx
