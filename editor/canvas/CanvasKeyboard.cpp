// Keyboard on the canvas, the in-place text field, and the menu actions with their enabling.
#include "editor/canvas/CanvasView.h"

#include "core/Localisation.h"
#include "core/Prefs.h"
#include "editor/Exporter.h"
#include "editor/PaintHelpers.h"
#include "editor/canvas/CanvasGeometry.h"
#include "editor/canvas/CanvasTextField.h"

#include <QKeyEvent>
#include <algorithm>
#include <cmath>

namespace kx {

namespace {

// The typed letter without modifiers, lower-cased ("r" for R and Shift+R).
QString plainLetter(const QKeyEvent* e)
{
    if (e->key() >= Qt::Key_A && e->key() <= Qt::Key_Z)
        return QString(QChar(u'a' + (e->key() - Qt::Key_A)));
    return e->text().toLower();
}

}  // namespace

void CanvasView::keyPressEvent(QKeyEvent* e)
{
    EditorDocument& doc = *doc_;
    const Qt::KeyboardModifiers mods = e->modifiers();
    if (!(mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        const QString letter = plainLetter(e);
        for (ToolKind t : tools()) {
            if (!letter.isEmpty() && letter == key(t)) {
                doc.setTool(t);
                if (t != ToolKind::select)
                    doc.select(QUuid());
                e->accept();
                return;
            }
        }
    }
    const double step = (mods & Qt::ShiftModifier) ? 10 : 1;
    switch (e->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (doc.cropRect())
                doc.applyCrop();
            break;
        case Qt::Key_Backspace:
        case Qt::Key_Delete:
            doc.deleteSelected();
            break;
        case Qt::Key_Escape:
            if (doc.cropRect())
                doc.setCropRect(std::nullopt);
            else if (!doc.selectedID().isNull())
                doc.select(QUuid());
            else
                doc.setTool(ToolKind::select);
            break;
        case Qt::Key_Left:
            nudge(QPointF(-step, 0));
            break;
        case Qt::Key_Right:
            nudge(QPointF(step, 0));
            break;
        case Qt::Key_Down:
            nudge(QPointF(0, step));
            break;
        case Qt::Key_Up:
            nudge(QPointF(0, -step));
            break;
        default:
            QWidget::keyPressEvent(e);
            return;
    }
    e->accept();
}

void CanvasView::nudge(const QPointF& by)
{
    auto a = doc_->selected();
    if (!a)
        return;
    doc_->pushUndo();
    canvas::moveAll(*a, by);
    doc_->update(*a);
}

// --- text entry ---------------------------------------------------------------------------

void CanvasView::beginText(const QPointF& p, const std::optional<Annotation>& existing)
{
    commitText();
    const AnnotationStyle style = existing ? existing->style : doc_->style();
    auto* field =
        new CanvasTextField(EditorFont::sans(style.fontSize, QFont::DemiBold), style.color.color(), this);
    field->setText(existing ? existing->text : QString());
    textFrame_ = QRectF(p.x(), p.y(), 40, 1.3 * style.fontSize);
    connect(field, &CanvasTextField::textEdited, this, [this] {
        fitText();
        update();
    });
    connect(field, &CanvasTextField::commitRequested, this, &CanvasView::commitText);
    connect(field, &CanvasTextField::editingFinished, this, &CanvasView::commitText);
    textField_ = field;
    editingID_ = existing ? existing->id : QUuid();
    editingIsNew_ = !existing;
    if (existing)
        doc_->select(existing->id);
    fitText();
    field->show();
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
    update();
}

void CanvasView::fitText()
{
    if (!textField_)
        return;
    const QSizeF used = textField_->usedSize();
    const double fontSize = textField_->textFont().pixelSize() > 0 ? textField_->textFont().pixelSize() : 20;
    textFrame_.setSize(
        QSizeF(std::max(used.width() + px(10), px(40)), std::max(used.height(), fontSize) * 1.02));
    placeTextField();
}

void CanvasView::placeTextField()
{
    if (!textField_)
        return;
    const QPointF topLeft = toWidget(textFrame_.topLeft());
    const QRect geometry = QRectF(topLeft, toWidget(textFrame_.bottomRight())).toAlignedRect();
    textField_->setGeometry(geometry);
    textField_->setPlacement(topLeft - geometry.topLeft(), zoomFactor());
}

void CanvasView::commitText()
{
    if (!textField_)
        return;
    CanvasTextField* field = textField_;
    const QString text = field->text();
    const QPointF origin = textFrame_.topLeft();
    const QUuid id = editingID_;
    const bool isNew = editingIsNew_;

    textField_ = nullptr;
    editingID_ = QUuid();
    field->disconnect(this);
    field->hide();
    field->deleteLater();

    EditorDocument& doc = *doc_;
    auto existing = isNew || id.isNull() ? std::nullopt : annotation(id);
    if (existing) {
        if (text.isEmpty()) {
            doc.pushUndo();
            doc.remove(id);
            doc.select(QUuid());
        } else if (text != existing->text) {
            doc.pushUndo();
            existing->text = text;
            doc.update(*existing);
        }
    } else if (!text.isEmpty()) {
        Annotation a;
        a.kind = ToolKind::text;
        a.p1 = a.p2 = origin;
        a.text = text;
        a.style = doc.style();
        doc.pushUndo();
        doc.add(a);
    }
    setFocus(Qt::OtherFocusReason);
    update();
}

// --- menu actions -------------------------------------------------------------------------

bool CanvasView::textWouldRecord() const
{
    if (!textField_)
        return false;
    const QString text = textField_->text();
    const auto existing = editingIsNew_ || editingID_.isNull() ? std::nullopt : annotation(editingID_);
    return existing ? text != existing->text : !text.isEmpty();
}

void CanvasView::undo()
{
    commitText();
    // A gesture still under way would go on editing the restored state without a snapshot.
    drag_.reset();
    doc_->undo();
}

void CanvasView::redo()
{
    // Like undo: an open field would otherwise write its stale text over the redone state.
    commitText();
    drag_.reset();
    doc_->redo();
}

bool CanvasView::isEnabled(Action action) const
{
    switch (action) {
        case Action::undo:
            return !doc_->undoStack().isEmpty();
        case Action::redo:
            // Ending a changed text records it, which leaves nothing to redo.
            return !doc_->redoStack().isEmpty() && !textWouldRecord();
        case Action::deleteSelection:
        case Action::bringToFront:
        case Action::sendToBack:
            return !doc_->selectedID().isNull();
        default:
            return true;
    }
}

bool CanvasView::perform(Action action)
{
    EditorDocument& doc = *doc_;
    CanvasCommands* c = commands();
    switch (action) {
        case Action::undo:
            undo();
            return true;
        case Action::redo:
            redo();
            return true;
        case Action::deleteSelection:
            doc.deleteSelected();
            return true;
        case Action::bringToFront:
            doc.bringToFront();
            return true;
        case Action::sendToBack:
            doc.sendToBack();
            return true;
        default:
            break;
    }
    if (!c)
        return false;
    switch (action) {
        case Action::copy:
            c->copy(Prefs::copyMode());
            break;
        case Action::save:
            c->cmdSave();
            break;
        case Action::saveAs: {
            EditorDocument& d = c->doc();
            const QImage image = d.renderFinal(true);
            if (image.isNull()) {
                c->saveFailed(kx::tr("Save failed", "A mentés nem sikerült"));
                break;
            }
            const Exporter::SaveOutcome outcome =
                Exporter::saveWithPanel(image, d.scale(), d.kind(), d.title(), window());
            // The dialog runs its own event loop: the window may have changed meanwhile.
            if (CanvasCommands* still = commands()) {
                if (outcome.status == Exporter::SaveOutcome::Status::failed)
                    still->saveFailed(outcome.message);
                still->commitToHistory();
            }
            break;
        }
        case Action::pin: {
            EditorDocument& d = c->doc();
            const QImage image = d.renderFinal(true);
            if (image.isNull())
                break;
            c->pin(image, d.scale());
            c->commitToHistory();
            break;
        }
        case Action::zoomIn:
            c->cmdZoom(1.25);
            break;
        case Action::zoomOut:
            c->cmdZoom(0.8);
            break;
        case Action::zoomFit:
            c->cmdZoomFit(4.0);
            break;
        case Action::zoomActual:
            c->cmdZoomActual();
            break;
        default:
            break;
    }
    return true;
}

}  // namespace kx
