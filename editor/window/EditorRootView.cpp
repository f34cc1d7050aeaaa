#include "editor/window/EditorRootView.h"

#include "editor/document/EditorDocument.h"
#include "editor/window/StatusPill.h"
#include "editor/window/ToolRail.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>
#include <QVariantAnimation>

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

void CanvasArea::place()
{
    scroll_->setGeometry(rect());
    const auto centred = [this](QWidget* w, int y) {
        const QSize s = w->sizeHint().expandedTo(w->minimumSizeHint());
        const QRect r(QPoint((width() - s.width()) / 2, y), s);
        if (w->geometry() != r)
            w->setGeometry(r);
        w->raise();
    };
    if (inspector_)
        centred(inspector_, 12);
    // The pill and the badge carry an 8 pt shadow margin inside their bounds.
    if (pill_)
        centred(pill_, height() - 14 + 8 - pill_->sizeHint().height());
    if (badge_)
        centred(badge_, 64 - 8);
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
    body_->addWidget(rail_);
    body_->addWidget(area_, 1);
    column->addLayout(body_, 1);
    aiSlide_ = new QVariantAnimation(this);
    aiSlide_->setDuration(250);
    aiSlide_->setEasingCurve(QEasingCurve::OutCubic);
    connect(aiSlide_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        if (aiPanel_)
            aiPanel_->setFixedWidth(v.toInt());
    });
    connect(aiSlide_, &QVariantAnimation::finished, this, [this] {
        if (aiPanel_ && !aiShown_)
            aiPanel_->hide();
    });
    connect(&doc, &EditorDocument::changed, this, &EditorRootView::updateAIPanel);
    updateAIPanel();
}

void EditorRootView::updateAIPanel()
{
    const bool show = doc_.showAI() && parts_.aiPanel;
    if (show == aiShown_)
        return;
    aiShown_ = show;
    if (show && !aiPanel_) {
        aiPanel_ = parts_.aiPanel();
        aiPanel_->setFixedWidth(0);
        body_->addWidget(aiPanel_);
    }
    if (!aiPanel_)
        return;
    // The panel slides in from the trailing edge and out again, the canvas area giving way.
    aiPanel_->show();
    aiSlide_->stop();
    aiSlide_->setStartValue(aiPanel_->width());
    aiSlide_->setEndValue(show ? kAIPanelWidth : 0);
    aiSlide_->start();
}

void EditorRootView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
}

}  // namespace kx
