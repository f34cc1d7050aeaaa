// The canvas's state: coordinates, following the document, and the backdrop preview.
#include "editor/canvas/CanvasView.h"

#include "editor/canvas/CanvasTextField.h"

#include <algorithm>
#include <cmath>

namespace kx {

CanvasView::CanvasView(std::shared_ptr<EditorDocument> doc, QWidget* parent)
    : QWidget(parent), doc_(std::move(doc))
{
    // No automatic click focus: a press takes the focus itself, after noting whether a
    // text was being typed (see press()).
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    connect(&renderer_, &PreviewRenderer::rendered, this, &CanvasView::installPreview);
    connect(doc_.get(), &EditorDocument::changed, this, &CanvasView::scheduleDocChanged);
    updateSize();
    updateCursor();
    // Follow the document's state as it is now (a backdrop already on, for example).
    scheduleDocChanged();
}

CanvasView::~CanvasView()
{
    renderer_.cancel();
    if (textField_)
        textField_->disconnect(this);
}

void CanvasView::setCommands(CanvasCommands* commands)
{
    commands_ = commands;
    QObject* object = dynamic_cast<QObject*>(commands);
    commandsIsObject_ = object != nullptr;
    commandsObject_ = object;
}

CanvasCommands* CanvasView::commands() const
{
    if (commandsIsObject_ && !commandsObject_)
        return nullptr;
    return commands_;
}

// --- coordinates --------------------------------------------------------------------------

QRectF CanvasView::imageRect() const
{
    return QRectF(0, 0, doc_->base().width(), doc_->base().height());
}

QSizeF CanvasView::frameSize() const
{
    return bounds_.size() / doc_->scale();
}

double CanvasView::zoomFactor() const
{
    return magnification_ * frameSize().width() / std::max(bounds_.width(), 1.0);
}

double CanvasView::px(double n) const
{
    return n / std::max(zoomFactor(), 0.001);
}

QPointF CanvasView::toImage(const QPointF& widgetPoint) const
{
    return widgetPoint / std::max(zoomFactor(), 0.001) + bounds_.topLeft();
}

QPointF CanvasView::toWidget(const QPointF& imagePoint) const
{
    return (imagePoint - bounds_.topLeft()) * zoomFactor();
}

void CanvasView::setMagnification(double magnification)
{
    if (!std::isfinite(magnification) || magnification <= 0)
        return;
    magnification_ = magnification;
    updateSize();
}

void CanvasView::updateSize()
{
    const QImage& base = doc_->base();
    bounds_ = preview_ ? QRectF(-preview_->origin, QSizeF(preview_->image.size()))
                       : QRectF(0, 0, base.width(), base.height());
    const QSizeF points = frameSize() * magnification_;
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
    if (changePending_)
        return;
    changePending_ = true;
    QMetaObject::invokeMethod(this, &CanvasView::docChanged, Qt::QueuedConnection);
}

void CanvasView::docChanged()
{
    changePending_ = false;
    updatePreviewIfNeeded();
    const qint64 baseKey = doc_->base().cacheKey();
    if (!lastBase_ || *lastBase_ != baseKey) {
        lastBase_ = baseKey;
        updateSize();
    }
    if (!lastTool_ || *lastTool_ != doc_->tool()) {
        lastTool_ = doc_->tool();
        updateCursor();
        commitText();
    }
    update();
}

void CanvasView::updateCursor()
{
    switch (doc_->tool()) {
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
    renderer_.cancel();
    previewBase_ = QImage();
    previewSettings_.reset();
    ++previewGen_;
    if (preview_) {
        preview_.reset();
        updateSize();
        askToFitZoom();
    }
}

void CanvasView::updatePreviewIfNeeded()
{
    const EditorDocument& doc = *doc_;
    const QImage& base = doc.base();
    if (!doc.beautify().enabled) {
        // Also drops a render still under way, so a late result cannot show a frame that
        // was already switched off.
        if (preview_ || previewSettings_)
            removePreview();
        return;
    }
    if (qint64(base.width()) * base.height() > kPreviewPixelLimit) {
        // A preview of an earlier, smaller base would show at the wrong size: remove it.
        if (preview_ || previewSettings_)
            removePreview();
        return;
    }
    if (previewSettings_ && previewBase_.cacheKey() == base.cacheKey() && *previewSettings_ == doc.beautify())
        return;
    previewBase_ = base;
    previewSettings_ = doc.beautify();
    const int generation = ++previewGen_;
    previewWasEmpty_ = !preview_;
    previewEdgeChanged_ = preview_ && lastPreviewEdge_ != doc.beautify().edge;
    lastPreviewEdge_ = doc.beautify().edge;
    renderer_.request({base, doc.beautify(), doc.scale(), generation},
                      previewWasEmpty_ ? 0 : kPreviewDelayMs);
}

void CanvasView::installPreview(const PreviewRenderer::Result& result)
{
    if (result.generation != previewGen_ || result.image.isNull())
        return;
    preview_ = Preview{result.image, result.origin};
    updateSize();
    if (previewWasEmpty_ || previewEdgeChanged_)
        askToFitZoom();
}

}  // namespace kx
