// Pointer gestures: drawing new objects, steps, starting text, selecting, moving and
// reshaping objects, and drawing, reshaping and moving the pending crop rectangle.
#include "editor/canvas/CanvasView.h"

#include "editor/canvas/CanvasGeometry.h"

#include <QMouseEvent>
#include <cmath>

namespace kx {

namespace {

constexpr double kHandleReach = 9;    // screen points
constexpr double kHitTolerance = 6;   // screen points
constexpr double kPenSpacing = 1.2;   // screen points
constexpr double kMinShape = 4;       // screen points
constexpr double kMinCropPixels = 4;  // image pixels

template <class... F>
struct Overloaded : F... {
    using F::operator()...;
};
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

}  // namespace

QPointF CanvasView::clampedLocation(const QPointF& widgetPoint) const
{
    return canvas::clampToImage(toImage(widgetPoint), imageRect().size());
}

std::optional<Annotation> CanvasView::topmostHit(const QPointF& p) const
{
    const QList<Annotation>& list = doc_->annotations();
    for (qsizetype i = list.size() - 1; i >= 0; --i) {
        if (list[i].hit(p, px(kHitTolerance)))
            return list[i];
    }
    return std::nullopt;
}

std::optional<Annotation> CanvasView::annotation(const QUuid& id) const
{
    for (const Annotation& a : doc_->annotations()) {
        if (a.id == id)
            return a;
    }
    return std::nullopt;
}

void CanvasView::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(e);
    press(e->position(), e->modifiers(), 1);
}

void CanvasView::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return QWidget::mouseDoubleClickEvent(e);
    press(e->position(), e->modifiers(), 2);
}

void CanvasView::press(const QPointF& widgetPoint, Qt::KeyboardModifiers modifiers, int clickCount)
{
    // Taken before the focus moves: moving it away from the field ends the typing too.
    const bool wasTyping = isTyping();
    setFocus(Qt::MouseFocusReason);
    commitText();
    drag_.reset();
    EditorDocument& doc = *doc_;
    const QPointF p = clampedLocation(widgetPoint);
    const ToolKind tool = doc.tool();

    if (tool == ToolKind::crop) {
        beginCrop(p);
        update();
        return;
    }
    if (const auto sel = doc.selected()) {
        if (const auto h = canvas::handleHit(*sel, p, px(kHandleReach))) {
            doc.pushUndo();
            drag_ = Resizing{*h, sel->id};
            return;
        }
    }
    if (tool == ToolKind::select || (modifiers & Qt::ControlModifier)) {
        const auto a = topmostHit(p);
        if (!a) {
            doc.select(QUuid());
        } else if (clickCount == 2 && a->kind == ToolKind::text) {
            beginText(a->p1, *a);
        } else {
            doc.select(a->id);
            doc.pushUndo();
            drag_ = Moving{p, *a, a->kind == ToolKind::magnifier && a->lensRect().contains(p)};
        }
        return;
    }
    if (tool == ToolKind::step) {
        Annotation s;
        s.kind = ToolKind::step;
        s.p1 = s.p2 = p;
        s.style = doc.style();
        s.number = doc.nextStepNumber();
        doc.pushUndo();
        doc.add(s);
        return;
    }
    if (tool == ToolKind::text) {
        if (wasTyping)
            return;  // the click only ended the typing
        const auto a = topmostHit(p);
        if (a && a->kind == ToolKind::text)
            beginText(a->p1, *a);
        else
            beginText(p, std::nullopt);
        return;
    }
    if (tool == ToolKind::picture)
        return;  // pictures only come from adding a capture

    Annotation a;
    a.kind = tool;
    a.p1 = a.p2 = p;
    if (tool == ToolKind::pen || tool == ToolKind::highlighter)
        a.points = {p};
    a.style = doc.style();
    doc.pushUndo();
    doc.add(a);
    drag_ = Creating{a.id};
}

void CanvasView::beginCrop(const QPointF& p)
{
    EditorDocument& doc = *doc_;
    if (const auto r = doc.cropRect()) {
        const Annotation box = canvas::cropAnnotation(*r);
        if (const auto h = canvas::handleHit(box, p, px(kHandleReach))) {
            drag_ = CropHandle{*h, box};
            return;
        }
        if (r->normalized().contains(p)) {
            drag_ = CropMove{p, r->normalized()};
            return;
        }
    }
    drag_ = CropNew{p};
    doc.setCropRect(QRectF(p, QSizeF(0, 0)));
}

void CanvasView::mouseMoveEvent(QMouseEvent* e)
{
    if (!drag_ || !(e->buttons() & Qt::LeftButton))
        return QWidget::mouseMoveEvent(e);
    EditorDocument& doc = *doc_;
    const QPointF p = clampedLocation(e->position());
    const bool shift = e->modifiers() & Qt::ShiftModifier;
    const QSizeF image = imageRect().size();

    std::visit(
        Overloaded{
            [&](const Creating& c) {
                auto a = annotation(c.id);
                if (!a)
                    return;
                if (a->kind == ToolKind::pen || a->kind == ToolKind::highlighter) {
                    if (!a->points.isEmpty()) {
                        const QPointF d = a->points.last() - p;
                        if (std::hypot(d.x(), d.y()) < px(kPenSpacing))
                            return;
                    }
                    a->points.append(p);
                    if (shift)
                        a->points = {a->points.first(), p};
                } else {
                    a->p2 = canvas::constrain(p, *a, shift);
                    if (a->kind == ToolKind::magnifier)
                        a->placeLens(imageRect());
                }
                doc.update(*a);
            },
            [&](const Moving& m) {
                QPointF d = p - m.start;
                if (shift)
                    d = canvas::axisLocked(d);
                Annotation a = m.original;
                if (a.kind == ToolKind::magnifier && m.lens) {
                    a.lensCenter += d;
                } else if (a.kind == ToolKind::magnifier) {
                    a.p1 += d;
                    a.p2 += d;
                } else {
                    canvas::moveAll(a, d);
                }
                doc.update(a);
            },
            [&](const Resizing& r) {
                auto a = annotation(r.id);
                if (!a)
                    return;
                QPointF q = p;
                if (shift && isLineLike(a->kind)) {
                    Annotation pivot = *a;
                    pivot.p1 = r.handle == Handle::start ? a->p2 : a->p1;
                    q = canvas::constrain(p, pivot, true);
                }
                a->drag(r.handle, q);
                if (a->kind == ToolKind::picture && !a->image.isNull())
                    *a = canvas::keepingAspect(*a, r.handle, a->image.size());
                doc.update(*a);
            },
            [&](const CropNew& c) {
                Annotation box = canvas::cropAnnotation(QRectF(c.start, QSizeF(0, 0)));
                const QPointF q = shift ? canvas::constrain(p, box, true) : p;
                doc.setCropRect(QRectF(c.start, q).normalized());
            },
            [&](CropHandle& c) {
                c.rect.drag(c.handle, p);
                const QRectF r = canvas::clampedCrop(c.rect, image);
                doc.setCropRect(r);
                c.rect = canvas::cropAnnotation(r);
            },
            [&](const CropMove& c) { doc.setCropRect(canvas::movedCrop(c.original, p - c.start, image)); },
        },
        *drag_);

    if (std::holds_alternative<CropNew>(*drag_) || std::holds_alternative<CropHandle>(*drag_) ||
        std::holds_alternative<CropMove>(*drag_))
        update();
}

void CanvasView::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(e);
    if (!drag_)
        return;
    EditorDocument& doc = *doc_;
    const Drag drag = *drag_;
    drag_.reset();

    if (std::holds_alternative<Moving>(drag) || std::holds_alternative<Resizing>(drag)) {
        doc.discardUndoIfUnchanged();
    } else if (std::holds_alternative<CropNew>(drag)) {
        if (const auto r = doc.cropRect(); r && (r->width() < kMinCropPixels || r->height() < kMinCropPixels))
            doc.setCropRect(std::nullopt);
    } else if (const auto* c = std::get_if<Creating>(&drag)) {
        if (const auto a = annotation(c->id); a && canvas::tooSmall(*a, px(kMinShape))) {
            doc.remove(c->id);
            doc.select(QUuid());
            doc.discardUndoIfUnchanged();
        }
    }
    update();
}

}  // namespace kx
