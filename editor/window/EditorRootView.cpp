#include "editor/window/EditorRootView.h"

#include "editor/document/EditorDocument.h"
#include "editor/window/StatusPill.h"
#include "editor/window/ToolRail.h"
#include "editor/window/controls/InspectorBar.h"
#include "ui/Spring.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>
#include <QVariantAnimation>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace kx {

CanvasArea::CanvasArea(QWidget* scrollView, QWidget* parent) : QWidget(parent), scroll_(scrollView)
{
    scrollView->setParent(this);
}

void CanvasArea::setInspector(QWidget* inspector)
{
    inspector_ = inspector;
    if (inspector) {
        inspector->setParent(this);
        inspector->installEventFilter(this);
        inspector->show();
        if (auto* bar = qobject_cast<InspectorBar*>(inspector))
            connect(bar, &InspectorBar::revealChanged, this, &CanvasArea::place);
    }
    place();
}

void CanvasArea::setPill(StatusPill* pill)
{
    pill_ = pill;
    pill->setParent(this);
    pill->installEventFilter(this);
    place();
}

void CanvasArea::setBadge(BusyBadge* badge)
{
    badge_ = badge;
    badge->setParent(this);
    badge->installEventFilter(this);
    place();
}

bool CanvasArea::eventFilter(QObject* watched, QEvent* event)
{
    // A bar that changes its size stays centred.
    if (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Resize ||
        event->type() == QEvent::Show)
        if (watched == pill_ || watched == badge_ || watched == inspector_)
            place();
    return QWidget::eventFilter(watched, event);
}

void CanvasArea::wheelEvent(QWheelEvent* e)
{
    // The canvas's own unused wheel comes back up here: it goes no further.
    static bool passing = false;
    auto* scroll = qobject_cast<QAbstractScrollArea*>(scroll_);
    if (!scroll || passing) {
        e->ignore();
        return;
    }
    QWidget* viewport = scroll->viewport();
    const QPointF at = viewport->mapFrom(this, e->position());
    QWheelEvent passed(at, e->globalPosition(), e->pixelDelta(), e->angleDelta(), e->buttons(),
                       e->modifiers(), e->phase(), e->inverted(), e->source(), e->pointingDevice());
    passing = true;
    QApplication::sendEvent(viewport, &passed);
    passing = false;
    e->setAccepted(passed.isAccepted());
}

void CanvasArea::place()
{
    scroll_->setGeometry(rect());
    // Bars stay inside the canvas area: one wider than the room left wraps (the inspector, or
    // folds into one button) or drops its least needed items (the pill).
    const int room = std::max(0, width() - 2 * kSideRoom);
    const auto fitted = [room](QWidget* w) {
        QSize s = w->sizeHint().expandedTo(w->minimumSizeHint());
        if (s.width() > room) {
            s.setWidth(std::max(room, w->minimumSizeHint().width()));
            if (w->hasHeightForWidth())
                s.setHeight(w->heightForWidth(s.width()));
        }
        return s;
    };
    const auto centred = [this](QWidget* w, int y, QSize s) {
        const QRect r(QPoint(std::max(0, (width() - s.width()) / 2), y), s);
        if (w->geometry() != r)
            w->setGeometry(r);
        w->raise();
    };
    if (inspector_) {
        auto* bar = qobject_cast<InspectorBar*>(inspector_);
        if (bar)
            bar->fitWidth(room);
        QSize s = bar && bar->collapsed() ? bar->sizeHint() : fitted(inspector_);
        if (bar)
            s = bar->frameFor(s).boundedTo(QSize(std::max(room, s.width()), QWIDGETSIZE_MAX));
        centred(inspector_, 12 - (bar ? int(std::lround(bar->dropOffset())) : 0), s);
    }
    // The pill and the badge carry an 8 pt shadow margin inside their bounds.
    if (pill_) {
        pill_->fitWidth(room);
        const QSize s = fitted(pill_);
        const int y = height() - 14 + 8 - s.height();
        // An area too small for the pill beside or below the inspector: the pill gives way
        // (zoom keeps its keys) rather than lying over the inspector or being cut.
        const int below = inspector_ && !inspector_->isHidden() ? inspector_->geometry().bottom() + 1 : 0;
        const bool fits = s.width() <= width() && y >= below;
        if (fits)
            centred(pill_, y, s);
        if (pill_->isHidden() == fits)
            pill_->setVisible(fits);
    }
    if (badge_)
        centred(badge_, 64 - 8, fitted(badge_));
}

void CanvasArea::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    place();
}

EditorRootView::EditorRootView(EditorDocument& doc, QWidget* scrollView, const EditorActions& actions,
                               Parts parts, QWidget* parent)
    : QWidget(parent), doc_(doc), parts_(std::move(parts))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    header_ = new HeaderBar(doc, actions, parts_.header);
    column->addWidget(header_);
    body_ = new QHBoxLayout;
    body_->setContentsMargins(0, 0, 0, 0);
    body_->setSpacing(0);
    rail_ = new ToolRail(doc, parts_.help);
    area_ = new CanvasArea(scrollView);
    pill_ = new StatusPill(doc, actions);
    badge_ = new BusyBadge(doc);
    area_->setPill(pill_);
    area_->setBadge(badge_);
    area_->setInspector(parts_.inspector);
    header_->setPillZoom([pill = pill_] {
        return HeaderBar::PillZoom{pill->isVisible(), pill->isVisible() && pill->showsFit()};
    });
    body_->addWidget(rail_);
    body_->addWidget(area_, 1);
    column->addLayout(body_, 1);
    aiSlide_ = new QVariantAnimation(this);
    spring::SpringMotion<250, 85>::apply(aiSlide_);
    connect(aiSlide_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        if (!aiPanel_)
            return;
        aiPanel_->setFixedWidth(v.toInt());
        // Fades with the slide: clear where it starts to come in, opaque at its full width.
        if (auto* fade = qobject_cast<QGraphicsOpacityEffect*>(aiPanel_->graphicsEffect()))
            fade->setOpacity(std::clamp(v.toDouble() / std::max(1, aiTarget()), 0.0, 1.0));
    });
    connect(aiSlide_, &QVariantAnimation::finished, this, [this] {
        if (!aiPanel_)
            return;
        if (auto* fade = qobject_cast<QGraphicsOpacityEffect*>(aiPanel_->graphicsEffect()))
            fade->setEnabled(false);  // at rest the panel paints directly
        if (!aiShown_)
            aiPanel_->hide();
    });
    connect(&doc, &EditorDocument::changed, this, &EditorRootView::updateAIPanel);
    updateAIPanel();
}

void EditorRootView::updateAIPanel()
{
    const bool show = doc_.showAI() && parts_.aiPanel;
    if (show == aiShown_) {
        // Another tool may need another room for the inspector.
        refitAIPanel();
        return;
    }
    aiShown_ = show;
    if (show && !aiPanel_) {
        aiPanel_ = parts_.aiPanel();
        aiPanel_->setFixedWidth(0);
        auto* fade = new QGraphicsOpacityEffect(aiPanel_);
        fade->setOpacity(0);
        aiPanel_->setGraphicsEffect(fade);
        body_->addWidget(aiPanel_);
    }
    if (!aiPanel_)
        return;
    if (auto* fade = qobject_cast<QGraphicsOpacityEffect*>(aiPanel_->graphicsEffect())) {
        fade->setOpacity(std::clamp(double(aiPanel_->width()) / std::max(1, aiTarget()), 0.0, 1.0));
        fade->setEnabled(true);
    }
    // The panel slides in from the trailing edge and out again, the canvas area giving way.
    aiPanel_->show();
    aiSlide_->stop();
    aiSlide_->setStartValue(aiPanel_->width());
    aiSlide_->setEndValue(show ? aiTarget() : 0);
    aiSlide_->start();
}

int EditorRootView::aiPanelWidth(int width, int railWidth, const PanelNeeds& needs)
{
    const int rest = std::max(0, width - railWidth);
    const int w = std::max(std::min(std::max(rest / 2, needs.wants), rest - needs.keep), needs.least);
    return std::clamp(w, 0, std::min(rest, kAIPanelWidth));
}

int EditorRootView::aiTarget() const
{
    PanelNeeds needs;
    if (aiPanel_) {
        needs.least = std::max(0, aiPanel_->minimumSizeHint().width());
        needs.wants = std::max(needs.least, aiPanel_->sizeHint().width());
    }
    // Room for the inspector's narrowest arrangement, where its colours fold into one button.
    if (const QWidget* inspector = area_->findChild<InspectorBar*>(); inspector && !inspector->isHidden())
        needs.keep = std::max(0, inspector->minimumSizeHint().width()) + 2 * CanvasArea::kSideRoom;
    return aiPanelWidth(width(), rail_->width(), needs);
}

void EditorRootView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // An open panel keeps to its share of a window made narrower or wider.
    refitAIPanel();
}

void EditorRootView::refitAIPanel()
{
    if (!aiPanel_ || !aiShown_)
        return;
    if (aiSlide_->state() == QAbstractAnimation::Running)
        aiSlide_->setEndValue(aiTarget());
    else if (aiPanel_->width() != aiTarget())
        aiPanel_->setFixedWidth(aiTarget());
}

double EditorRootView::aiPanelOpacity() const
{
    if (!aiPanel_ || aiPanel_->isHidden())
        return 0;
    const auto* fade = qobject_cast<QGraphicsOpacityEffect*>(aiPanel_->graphicsEffect());
    return fade && fade->isEnabled() ? fade->opacity() : 1.0;
}

void EditorRootView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
}

}  // namespace kx
