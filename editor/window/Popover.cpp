#include "editor/window/Popover.h"

#include "ui/FloatingPanel.h"
#include "ui/FloatingSurface.h"
#include "ui/Theme.h"

#include <QBitmap>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

namespace kx {

namespace {
constexpr int kRadius = 10;
constexpr int kArrowHalf = 9;  // half the arrow's base
}  // namespace

Popover::Popover(QWidget* content, QWidget* owner)
    : QWidget(owner, Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint), content_(content)
{
    // The click on the owner's toggle that closes the popover must not reopen it.
    setAttribute(Qt::WA_NoMouseReplay);
    if (compositorRunning())
        setAttribute(Qt::WA_TranslucentBackground);
    layout_ = new QVBoxLayout(this);
    layout_->setContentsMargins(1, 1 + kArrow, 1, 1);
    // The popover takes the size its content asks for, also when rows come and go while open.
    layout_->setSizeConstraint(QLayout::SetFixedSize);
    layout_->addWidget(content);
}

Popover::Placement Popover::placement(const QRect& anchor, const QSize& size, const QRect& available)
{
    Placement p;
    int x = anchor.center().x() - size.width() / 2;
    int y = anchor.bottom() + 1 + kGap;
    if (y + size.height() > available.bottom() - kMargin &&
        anchor.top() - kGap - size.height() >= available.top()) {
        y = anchor.top() - kGap - size.height();
        p.above = true;
    }
    x = std::clamp(x, available.left() + kMargin,
                   std::max(available.left() + kMargin, available.right() + 1 - kMargin - size.width()));
    p.topLeft = {x, y};
    const int lo = kRadius + kArrowHalf, hi = std::max(lo, size.width() - kRadius - kArrowHalf);
    p.arrowX = std::clamp(anchor.center().x() - x, lo, hi);
    return p;
}

QPoint Popover::arrowTip() const
{
    return mapToGlobal(QPoint(placed_.arrowX, placed_.above ? height() : 0));
}

QPainterPath Popover::shape() const
{
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const QRectF body = placed_.above ? r.adjusted(0, 0, 0, -kArrow) : r.adjusted(0, kArrow, 0, 0);
    // Without a compositor the mask cuts the same outline, with hard edges.
    const QPainterPath path = roundedRect(body, kRadius);
    QPainterPath arrow;
    const qreal x = placed_.arrowX;
    if (placed_.above)
        arrow.addPolygon(QPolygonF{
            {x - kArrowHalf, body.bottom() - 1}, {x, r.bottom()}, {x + kArrowHalf, body.bottom() - 1}});
    else
        arrow.addPolygon(
            QPolygonF{{x - kArrowHalf, body.top() + 1}, {x, r.top()}, {x + kArrowHalf, body.top() + 1}});
    arrow.closeSubpath();
    return path.united(arrow);
}

void Popover::place()
{
    if (!anchor_ || placing_)
        return;
    placing_ = true;
    const QRect a(anchor_->mapToGlobal(QPoint(0, 0)), anchor_->size());
    QScreen* screen = anchor_->screen() ? anchor_->screen() : QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(a.topLeft(), QSize(4000, 4000));
    placed_ = placement(a, size(), available);
    // The arrow's room is on the side that faces the anchor.
    const QMargins margins = placed_.above ? QMargins(1, 1, 1, 1 + kArrow) : QMargins(1, 1 + kArrow, 1, 1);
    if (layout_->contentsMargins() != margins)
        layout_->setContentsMargins(margins);
    if (pos() != placed_.topLeft)
        move(placed_.topLeft);
    if (!testAttribute(Qt::WA_TranslucentBackground))
        setMask(QRegion(shape().toFillPolygon().toPolygon()));
    update();
    placing_ = false;
}

void Popover::showAt(QWidget* anchor)
{
    anchor_ = anchor;
    adjustSize();
    place();
    show();
    place();  // a window manager may have moved it on mapping
    content_->setFocus(Qt::PopupFocusReason);
}

void Popover::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // Grown or shrunk with its content: placed again, so that it keeps to the anchor and
    // the screen.
    place();
}

void Popover::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPainterPath outline = shape();
    p.fillPath(outline, palette().color(QPalette::Window));
    p.fillPath(outline, Theme::material(palette()));
    strokeInside(p, outline, Theme::primary(palette(), 0.14), 1.0);
}

void Popover::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void Popover::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (!closedSent_) {
        closedSent_ = true;
        Q_EMIT closed();
    }
    // An outside click only hides a popup: it goes away all the same.
    deleteLater();
}

}  // namespace kx
