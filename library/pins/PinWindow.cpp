#include "library/pins/PinWindow.h"

#include "core/CaptureResult.h"
#include "core/Localisation.h"
#include "core/ScreenGeometry.h"
#include "editor/Exporter.h"
#include "editor/window/EditorWindowController.h"
#include "library/pins/PinGeometry.h"
#include "library/pins/PinManager.h"
#include "platform/Clipboard.h"
#include "platform/Compositor.h"
#include "platform/WindowDesktop.h"
#include "ui/Symbols.h"
#include "ui/Toast.h"
#include "ui/ToastView.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QNativeGestureEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QWindow>
#include <cmath>

namespace kx {

namespace {

constexpr qreal kRadius = 10;
constexpr double kWheelClick = 10;  // the delta of one wheel notch
constexpr double kKeyStep = 1.1;

QScreen* screenFor(const std::optional<QRect>& near)
{
    QScreen* s = screenContaining(near ? QPointF(near->center()) : QPointF(QCursor::pos()));
    return s ? s : QGuiApplication::primaryScreen();
}

}  // namespace

PinWindow::PinWindow(const QImage& image, double scale, const std::optional<QRect>& near)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      image_(image),
      scale_(scale > 0 && std::isfinite(scale) ? scale : 1.0),
      base_(pin::baseSize(image.size(), scale_)),
      translucent_(compositorRunning())
{
    setAttribute(Qt::WA_DeleteOnClose, false);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    if (translucent_)
        setAttribute(Qt::WA_TranslucentBackground);
    setWindowTitle(kx::tr("Pin", "Kitűzés", "Angeheftet"));
    const QScreen* screen = screenFor(near);
    const QRectF available = screen ? QRectF(screen->availableGeometry()) : QRectF(0, 0, 1280, 800);
    const QRectF frame =
        pin::startFrame(base_, near ? std::optional<QRectF>(QRectF(*near)) : std::nullopt, available);
    zoom_ = pin::zoomOf(frame, base_);
    setGeometry(frame.toRect());
    winId();  // the window exists now, so the desktop property is there when it maps
    showOnAllDesktops(windowHandle());
}

void PinWindow::setZoom(double z)
{
    zoom_ = pin::clampZoom(z);
    setGeometry(pin::zoomedFrame(QRectF(geometry()), base_, zoom_).toRect());
}

void PinWindow::wheelBy(double delta, bool fade)
{
    if (fade)
        setAlpha(pin::fadedAlpha(alpha_, delta));
    else
        setZoom(pin::steppedZoom(pin::zoomOf(QRectF(geometry()), base_), 1 + delta * 0.01));
}

void PinWindow::setAlpha(double alpha)
{
    alpha_ = alpha;
    setWindowOpacity(alpha);  // stored in 1/255 steps: keep our own value for the menu
}

void PinWindow::setClickThrough(bool on)
{
    clickThrough_ = on;
    // Not by window flags: QWidget's would hide and re-map the window, and QWindow's take
    // the key events away on X11 for good.
    if (!setInputTransparent(windowHandle(), on) && windowHandle())
        windowHandle()->setFlag(Qt::WindowTransparentForInput, on);
    setAttribute(Qt::WA_TransparentForMouseEvents, on);
    if (on) {
        hovering_ = false;
        update();
    }
}

void PinWindow::closePin()
{
    QPointer<PinWindow> self(this);
    QMetaObject::invokeMethod(
        &PinManager::shared(),
        [self] {
            if (self)
                PinManager::shared().remove(self);
        },
        Qt::QueuedConnection);
}

QRect PinWindow::closeSquare() const
{
    return QRect(width() - 26, 6, 20, 20);
}

void PinWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    applyMask();
}

void PinWindow::applyMask()
{
    if (translucent_)
        return;
    // Without a compositor the corners would show black: cut the window to its shape.
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), kRadius, kRadius);
    setMask(QRegion(path.toFillPolygon().toPolygon()));
}

void PinWindow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal dpr = devicePixelRatioF();
    const QSize target = (QSizeF(size()) * dpr).toSize();
    if (scaled_.size() != target) {
        scaled_ = QPixmap::fromImage(image_.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        scaled_.setDevicePixelRatio(dpr);
    }
    const QRectF bounds(rect());
    QPainterPath clip;
    clip.addRoundedRect(bounds, kRadius, kRadius);
    p.setClipPath(clip);
    p.drawPixmap(QPointF(0, 0), scaled_);
    p.setClipping(false);
    p.setPen(QPen(QColor(255, 255, 255, int(0.28 * 255)), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(bounds.adjusted(0.5, 0.5, -0.5, -0.5), kRadius - 0.5, kRadius - 0.5);
    if (!hovering_)
        return;
    const QRectF sq(closeSquare());
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, int(0.4 * 255 * 0.5)));
    p.drawEllipse(sq.translated(0, 1).adjusted(-1, -1, 1, 1));  // a soft shadow below
    p.setBrush(QColor(0, 0, 0, int(0.62 * 255)));
    p.drawEllipse(sq);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, int(0.25 * 255)), 0.75));
    p.drawEllipse(sq.adjusted(0.4, 0.4, -0.4, -0.4));
    p.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap));
    const qreal i = 6.5;
    p.drawLine(QPointF(sq.left() + i, sq.top() + i), QPointF(sq.right() - i, sq.bottom() - i));
    p.drawLine(QPointF(sq.left() + i, sq.bottom() - i), QPointF(sq.right() - i, sq.top() + i));
}

void PinWindow::enterEvent(QEnterEvent*)
{
    hovering_ = true;
    update();
}

void PinWindow::leaveEvent(QEvent*)
{
    hovering_ = false;
    unsetCursor();
    update();
}

void PinWindow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    hovering_ = true;  // a press comes from inside, whether or not an enter was seen
    if (closeSquare().contains(event->position().toPoint())) {
        closePin();
        return;
    }
    activateWindow();
    setFocus();
    pressFrame_ = geometry();
    pressGlobal_ = event->globalPosition();
    gripped_ = pin::edgesAt(QSizeF(size()), event->position());
    pressed_ = true;
    if (gripped_)
        return;
    // A click already released by the time it is handled must not start a move: the window
    // manager would hold the pointer until the next click.
    QWindow* w = windowHandle();
    if (primaryButtonHeld() && w && w->startSystemMove())
        pressed_ = false;  // the window manager has the pointer until the release
    else
        moving_ = true;
}

void PinWindow::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF delta = event->globalPosition() - pressGlobal_;
    if (pressed_ && (event->buttons() & Qt::LeftButton)) {
        if (gripped_)
            setGeometry(pin::resizedFrame(QRectF(pressFrame_), gripped_, delta, base_).toRect());
        else if (moving_)
            move(pressFrame_.topLeft() + delta.toPoint());
        return;
    }
    const Qt::Edges e = pin::edgesAt(QSizeF(size()), event->position());
    if ((e & (Qt::LeftEdge | Qt::RightEdge)) && (e & (Qt::TopEdge | Qt::BottomEdge)))
        setCursor(e == (Qt::LeftEdge | Qt::TopEdge) || e == (Qt::RightEdge | Qt::BottomEdge)
                      ? Qt::SizeFDiagCursor
                      : Qt::SizeBDiagCursor);
    else if (e)
        setCursor(e & (Qt::LeftEdge | Qt::RightEdge) ? Qt::SizeHorCursor : Qt::SizeVerCursor);
    else
        unsetCursor();
    if (!hovering_) {
        hovering_ = true;
        update();
    }
}

void PinWindow::mouseReleaseEvent(QMouseEvent*)
{
    gripped_ = {};
    moving_ = false;
    pressed_ = false;
}

void PinWindow::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        closePin();
}

void PinWindow::wheelEvent(QWheelEvent* event)
{
    // A modifier may turn the wheel into a horizontal scroll: either axis will do.
    const QPoint a = event->angleDelta();
    const int raw = a.y() != 0 ? a.y() : a.x();
    if (raw == 0)
        return;
    wheelBy(raw / 120.0 * kWheelClick, fades(event->modifiers()));
    event->accept();
}

bool PinWindow::fades(Qt::KeyboardModifiers modifiers)
{
    const Qt::KeyboardModifiers both = Qt::ControlModifier | Qt::ShiftModifier;
    return (modifiers & both) == both;
}

void PinWindow::keyPressEvent(QKeyEvent* event)
{
    const QString text = event->text();
    if (event->key() == Qt::Key_Escape)
        closePin();
    else if (event->key() == Qt::Key_Plus || event->key() == Qt::Key_Equal || text == QLatin1String("+") ||
             text == QLatin1String("="))
        setZoom(pin::steppedZoom(pin::zoomOf(QRectF(geometry()), base_), kKeyStep));
    else if (event->key() == Qt::Key_Minus || text == QLatin1String("-"))
        setZoom(pin::steppedZoom(pin::zoomOf(QRectF(geometry()), base_), 1 / kKeyStep));
    else
        QWidget::keyPressEvent(event);
}

bool PinWindow::event(QEvent* event)
{
    if (event->type() == QEvent::NativeGesture) {
        const auto* g = static_cast<QNativeGestureEvent*>(event);
        if (g->gestureType() == Qt::ZoomNativeGesture) {
            setZoom(pin::steppedZoom(pin::zoomOf(QRectF(geometry()), base_), 1 + g->value()));
            return true;
        }
    }
    return QWidget::event(event);
}

void PinWindow::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* menu = buildMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

QMenu* PinWindow::buildMenu()
{
    auto* menu = new QMenu(this);
    menu->addAction(kx::tr("Copy", "Másolás", "Kopieren"), this, [this] { Clipboard::copy(image_, scale_); });
    menu->addAction(kx::tr("Save…", "Mentés…", "Sichern…"), this,
                    [this] { Exporter::saveWithPanel(image_, scale_, SourceKind::area, std::nullopt); });
    menu->addAction(kx::tr("Open in editor", "Megnyitás szerkesztőben", "Im Editor öffnen"), this,
                    &PinWindow::openEditor);
    menu->addSeparator();
    QMenu* opacity = menu->addMenu(kx::tr("Opacity", "Átlátszóság", "Deckkraft"));
    const int checked = pin::checkedOpacity(alpha_);
    for (const int v : pin::kOpacityItems) {
        QAction* a = opacity->addAction(QString::number(v) + QLatin1Char('%'), this,
                                        [this, v] { setAlpha(v / 100.0); });
        a->setCheckable(true);
        a->setChecked(v == checked);
        a->setData(v);
    }
    QMenu* size = menu->addMenu(kx::tr("Size", "Méret", "Größe"));
    for (const int v : pin::kSizeItems)
        size->addAction(QString::number(v) + QLatin1Char('%'), this, [this, v] { setZoom(v / 100.0); })
            ->setData(v);
    // Only a tray menu can bring a click-through pin back.
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        menu->addAction(clickThroughTitle(), this, &PinWindow::enterClickThrough);
    }
    menu->addSeparator();
    menu->addAction(kx::tr("Close", "Bezárás", "Schließen"), this, &PinWindow::closePin);
    return menu;
}

QString PinWindow::clickThroughTitle()
{
    return kx::tr("Click-through (restore from the tray menu)",
                  "Kattintás átengedése (a tálcamenüből visszaállítható)",
                  "Klickdurchlass (über das Tray-Menü wiederherstellbar)");
}

QString PinWindow::clickThroughHint()
{
    return kx::tr("Tray menu → Pins → Make pins clickable", "Tálcamenü → Kitűzések → Kattinthatóvá tétel",
                  "Tray-Menü → Angeheftet → Angeheftete Bilder anklickbar machen");
}

void PinWindow::enterClickThrough()
{
    setClickThrough(true);
    Toast::present(new ToastView(kx::tr("Pin is click-through", "A kitűzött kép átengedi a kattintást",
                                        "Angeheftete Bilder lassen Klicks durch"),
                                 clickThroughHint(), "pin"_sym),
                   3.0);
}

void PinWindow::openEditor()
{
    EditorWindowController::open(
        CaptureResult{image_, scale_, SourceKind::area, std::nullopt, QDateTime::currentDateTime()});
}

}  // namespace kx
