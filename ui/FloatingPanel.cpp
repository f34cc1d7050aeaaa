#include "ui/FloatingPanel.h"

#include "ui/FloatingSurface.h"

#include <QGuiApplication>
#include <QRegion>
#include <QResizeEvent>
#include <cstdlib>
#include <memory>

namespace kx {

FloatingPanel::FloatingPanel(SurfaceWidget* content, Input input)
    : QWidget(nullptr), content_(content), translucent_(compositorRunning())
{
    Qt::WindowFlags flags = Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                            Qt::WindowDoesNotAcceptFocus | Qt::X11BypassWindowManagerHint |
                            Qt::NoDropShadowWindowHint;
    if (input == Input::ignoresMouse)
        flags |= Qt::WindowTransparentForInput;
    setWindowFlags(flags);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11DoNotAcceptFocus);
    setFocusPolicy(Qt::NoFocus);
    if (translucent_) {
        setAttribute(Qt::WA_TranslucentBackground);
        setAttribute(Qt::WA_NoSystemBackground);
    }
    content_->setParent(this);
    content_->setFocusPolicy(Qt::NoFocus);
    content_->setCastsShadow(translucent_);
    refit();
}

void FloatingPanel::refit()
{
    const QSize size = content_->sizeHint().expandedTo(QSize(1, 1));
    content_->setGeometry(0, 0, size.width(), size.height());
    resize(size);
    applyMask();
}

void FloatingPanel::showAt(const QPoint& topLeft)
{
    move(topLeft);
    show();
}

void FloatingPanel::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    applyMask();
}

void FloatingPanel::applyMask()
{
    if (translucent_)
        return;
    // Without a compositor the corners would show black: cut the window to the surface.
    const QPolygon outline = content_->surfacePath().toFillPolygon().toPolygon();
    setMask(QRegion(outline));
}

}  // namespace kx
