#include "editor/window/Popover.h"

#include "ui/FloatingPanel.h"
#include "ui/FloatingSurface.h"
#include "ui/Theme.h"
#include "ui/WheelGuard.h"

#include <QBitmap>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
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
    scroll_ = new QScrollArea(this);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll_->setWidgetResizable(true);
    scroll_->viewport()->setAutoFillBackground(false);
    scroll_->setWidget(content);
    content->setAutoFillBackground(false);
    layout_->addWidget(scroll_);
    // A popover cut to a small screen scrolls: the wheel over a slider scrolls it too.
    WheelGuard::install(this);
    // The popover takes the size its content asks for, also when rows come and go while open.
    content->installEventFilter(this);
}

bool Popover::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == content_ && event->type() == QEvent::LayoutRequest && isVisible())
        QTimer::singleShot(0, this, &Popover::place);
    return QWidget::eventFilter(watched, event);
}

bool Popover::scrolls() const
{
    return placed_.height < naturalSize(scroll_->viewport()->width() + 2).height();
}

QSize Popover::naturalSize(int maxWidth) const
{
    // No wider than the room (content that can narrow wraps or shrinks), never narrower than
    // the content's minimum.
    const int width =
        std::max(content_->minimumSizeHint().width(), std::min(content_->sizeHint().width(), maxWidth - 2));
    int h = std::max(content_->sizeHint().height(), content_->minimumSizeHint().height());
    if (content_->hasHeightForWidth())
        h = std::max(content_->minimumSizeHint().height(), content_->heightForWidth(width));
    return {width + 2, h + 2 + kArrow};
}

Popover::Placement Popover::placement(const QRect& anchor, const QSize& size, const QRect& available)
{
    Placement p;
    p.height = size.height();
    int x = anchor.center().x() - size.width() / 2;
    int y = anchor.bottom() + 1 + kGap;
    const int roomBelow = available.bottom() + 1 - kMargin - y;
    const int roomAbove = anchor.top() - kGap - (available.top() + kMargin);
    if (size.height() > roomBelow) {
        // Above when it fits there, else on the roomier side, cut to its room.
        if (size.height() <= roomAbove || roomAbove > roomBelow) {
            p.above = true;
            p.height = std::min(size.height(), std::max(roomAbove, 0));
            y = anchor.top() - kGap - p.height;
        } else {
            p.height = std::max(roomBelow, 0);
        }
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
    const int room = available.width() - 2 * kMargin;
    QSize natural = naturalSize(room);
    placed_ = placement(a, natural, available);
    const bool cut = placed_.height < natural.height();
    if (cut) {
        // Cut to the room: the scroll bar takes its width beside the content, within the room.
        const int bar = scroll_->verticalScrollBar()->sizeHint().width();
        natural = QSize(naturalSize(room - bar).width() + bar, natural.height());
        placed_ = placement(a, natural, available);
    }
    // Whole, the content needs no scroll bar, which would otherwise cover its right edge
    // whenever the area misjudges the content's height by a pixel.
    scroll_->setVerticalScrollBarPolicy(cut ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    // The arrow's room is on the side that faces the anchor.
    const QMargins margins = placed_.above ? QMargins(1, 1, 1, 1 + kArrow) : QMargins(1, 1 + kArrow, 1, 1);
    if (layout_->contentsMargins() != margins)
        layout_->setContentsMargins(margins);
    const QSize size(natural.width(), placed_.height);
    if (this->size() != size)
        setFixedSize(size);
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
