#include "ui/FloatingPanel.h"

#include "ui/FloatingSurface.h"

#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#include <QGuiApplication>
#include <QRegion>
#include <QResizeEvent>
#include <cstdlib>
#include <memory>

namespace kx {

namespace {

// The X screen number of the display name ("host:0.1" -> 1).
int screenNumber()
{
    const QByteArray name = qgetenv("DISPLAY");
    const int colon = name.lastIndexOf(':');
    const int dot = name.indexOf('.', colon < 0 ? 0 : colon);
    return dot < 0 ? 0 : std::atoi(name.constData() + dot + 1);
}

}  // namespace

bool compositorRunning()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return true;
    xcb_connection_t* c = x11->connection();
    const QByteArray atomName = "_NET_WM_CM_S" + QByteArray::number(screenNumber());
    const auto atomCookie = xcb_intern_atom(c, 0, uint16_t(atomName.size()), atomName.constData());
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
        xcb_intern_atom_reply(c, atomCookie, nullptr), &std::free);
    if (!atom)
        return false;
    std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom->atom), nullptr), &std::free);
    return owner && owner->owner != XCB_NONE;
}

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
