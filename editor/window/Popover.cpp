#include "editor/window/Popover.h"

#include "ui/FloatingPanel.h"
#include "ui/FloatingSurface.h"
#include "ui/Theme.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

namespace kx {

namespace {
constexpr int kRadius = 10;
}

Popover::Popover(QWidget* content, QWidget* owner)
    : QWidget(owner, Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint), content_(content)
{
    // The click on the owner's toggle that closes the popover must not reopen it.
    setAttribute(Qt::WA_NoMouseReplay);
    if (compositorRunning())
        setAttribute(Qt::WA_TranslucentBackground);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->addWidget(content);
}

QPoint Popover::placement(const QRect& anchor, const QSize& size, const QRect& available)
{
    int x = anchor.center().x() - size.width() / 2;
    int y = anchor.bottom() + 1 + kGap;
    if (y + size.height() > available.bottom() - kMargin &&
        anchor.top() - kGap - size.height() >= available.top())
        y = anchor.top() - kGap - size.height();
    x = std::clamp(x, available.left() + kMargin,
                   std::max(available.left() + kMargin, available.right() + 1 - kMargin - size.width()));
    return {x, y};
}

void Popover::showAt(QWidget* anchor)
{
    adjustSize();
    const QRect a(anchor->mapToGlobal(QPoint(0, 0)), anchor->size());
    QScreen* screen = anchor->screen() ? anchor->screen() : QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(a.topLeft(), QSize(4000, 4000));
    move(placement(a, size(), available));
    show();
    content_->setFocus(Qt::PopupFocusReason);
}

void Popover::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const QPainterPath shape = testAttribute(Qt::WA_TranslucentBackground) ? roundedRect(r, kRadius) : [&] {
        QPainterPath path;
        path.addRect(r);
        return path;
    }();
    p.fillPath(shape, palette().color(QPalette::Window));
    p.fillPath(shape, Theme::material(palette()));
    strokeInside(p, shape, Theme::primary(palette(), 0.14), 1.0);
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
