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

CanvasArea::CanvasArea(QWidget* scrollView, QWidget* parent) : QWidget(parent), m_scroll(scrollView)
{
    scrollView->setParent(this);
}

void CanvasArea::setInspector(QWidget* inspector)
{
    m_inspector = inspector;
    if (inspector) {
        inspector->setParent(this);
        inspector->installEventFilter(this);
        inspector->show();
    }
    place();
}

void CanvasArea::setPill(StatusPill* pill)
{
    m_pill = pill;
    pill->setParent(this);
    pill->installEventFilter(this);
    place();
}

void CanvasArea::setBadge(BusyBadge* badge)
{
    m_badge = badge;
    badge->setParent(this);
    badge->installEventFilter(this);
    place();
}

bool CanvasArea::eventFilter(QObject* watched, QEvent* event)
{
    // A bar that changes its size stays centred.
    if (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Resize ||
        event->type() == QEvent::Show)
        if (watched == m_pill || watched == m_badge || watched == m_inspector)
            place();
    return QWidget::eventFilter(watched, event);
}

void CanvasArea::place()
{
    m_scroll->setGeometry(rect());
    const auto centred = [this](QWidget* w, int y) {
        const QSize s = w->sizeHint().expandedTo(w->minimumSizeHint());
        const QRect r(QPoint((width() - s.width()) / 2, y), s);
        if (w->geometry() != r)
            w->setGeometry(r);
        w->raise();
    };
    if (m_inspector)
        centred(m_inspector, 12);
    // The pill and the badge carry an 8 pt shadow margin inside their bounds.
    if (m_pill)
        centred(m_pill, height() - 14 + 8 - m_pill->sizeHint().height());
    if (m_badge)
        centred(m_badge, 64 - 8);
}

void CanvasArea::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    place();
}

EditorRootView::EditorRootView(EditorDocument& doc, QWidget* scrollView, const EditorActions& actions,
                               Parts parts, QWidget* parent)
    : QWidget(parent), m_doc(doc), m_parts(std::move(parts))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    m_header = new HeaderBar(doc, actions, m_parts.header);
    column->addWidget(m_header);
    m_body = new QHBoxLayout;
    m_body->setContentsMargins(0, 0, 0, 0);
    m_body->setSpacing(0);
    m_rail = new ToolRail(doc, m_parts.help);
    m_area = new CanvasArea(scrollView);
    m_pill = new StatusPill(doc, actions);
    m_badge = new BusyBadge(doc);
    m_area->setPill(m_pill);
    m_area->setBadge(m_badge);
    m_area->setInspector(m_parts.inspector);
    m_body->addWidget(m_rail);
    m_body->addWidget(m_area, 1);
    column->addLayout(m_body, 1);
    m_aiSlide = new QVariantAnimation(this);
    m_aiSlide->setDuration(250);
    m_aiSlide->setEasingCurve(QEasingCurve::OutCubic);
    connect(m_aiSlide, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        if (m_aiPanel)
            m_aiPanel->setFixedWidth(v.toInt());
    });
    connect(m_aiSlide, &QVariantAnimation::finished, this, [this] {
        if (m_aiPanel && !m_aiShown)
            m_aiPanel->hide();
    });
    connect(&doc, &EditorDocument::changed, this, &EditorRootView::updateAIPanel);
    updateAIPanel();
}

void EditorRootView::updateAIPanel()
{
    const bool show = m_doc.showAI() && m_parts.aiPanel;
    if (show == m_aiShown)
        return;
    m_aiShown = show;
    if (show && !m_aiPanel) {
        m_aiPanel = m_parts.aiPanel();
        m_aiPanel->setFixedWidth(0);
        m_body->addWidget(m_aiPanel);
    }
    if (!m_aiPanel)
        return;
    // The panel slides in from the trailing edge and out again, the canvas area giving way.
    m_aiPanel->show();
    m_aiSlide->stop();
    m_aiSlide->setStartValue(m_aiPanel->width());
    m_aiSlide->setEndValue(show ? kAIPanelWidth : 0);
    m_aiSlide->start();
}

void EditorRootView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
}

}  // namespace kx
