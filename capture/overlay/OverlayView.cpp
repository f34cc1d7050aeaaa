#include "capture/overlay/OverlayView.h"

#include "capture/overlay/SelectionSession.h"
#include "core/Prefault.h"
#include "core/Prefs.h"
#include "ui/Theme.h"

#include <QBackingStore>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

namespace kx {

OverlayView::OverlayView(QScreen* screen, const QImage& frozen, double scale, SelectionMode mode,
                         SelectionSession* session, QList<LocalWindow> windows, QWidget* parent)
    : QWidget(parent),
      screen_(screen),
      frozen_(frozen),
      scale_(scale),
      session_(session),
      state_(mode, screen ? QSizeF(screen->geometry().size()) : QSizeF(frozen.size()) / scale, frozen, scale,
             std::move(windows)),
      painter_(frozen, scale, mode)
{
    look_.showLoupe = Prefs::boolean(QStringLiteral("showLoupe"));
    look_.colorFormat = Prefs::colorFormat();
    look_.accent = Theme::accent(palette());
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::CrossCursor);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
}

template <typename Change>
void OverlayView::apply(Change change)
{
    const OverlayVisual before = painter_.visual(state_, look_);
    const OverlayReaction reaction = change();
    if (reaction.redraw) {
        const OverlayVisual after = painter_.visual(state_, look_);
        const QRegion dirty = OverlayVisual::changedArea(before, after, state_.bounds());
        if (!dirty.isEmpty())
            update(dirty);
    }
    if (reaction.end != OverlayReaction::End::none)
        end(reaction);
}

void OverlayView::end(const OverlayReaction& reaction)
{
    // A view whose session is gone keeps its own state and ends nothing.
    if (!session_)
        return;
    if (reaction.end == OverlayReaction::End::cancelled) {
        session_->finish(std::nullopt);
        return;
    }
    SelectionResult result;
    result.screen = screen_;
    result.rect = reaction.rect;
    result.frozen = frozen_;
    result.scale = scale_;
    result.window = reaction.window;
    result.color = reaction.color;
    session_->finish(result);
}

void OverlayView::setInitialPointer(QPointF point)
{
    if (point.x() >= 0 && point.y() >= 0 && point.x() < state_.bounds().width() &&
        point.y() < state_.bounds().height())
        apply([&] { return state_.mouseMoved(point); });
}

void OverlayView::paintEvent(QPaintEvent* event)
{
    QPainter p(this);
    painter_.paint(p, state_, look_, event->region());
}

QPointF OverlayView::pointOf(const QSinglePointEvent* event) const
{
    // Qt hands a child widget whole points, but the window's own position keeps the half
    // point of an odd device pixel at scale 2 (the loupe shows device pixels).
    return event->scenePosition() - QPointF(mapTo(window(), QPoint(0, 0)));
}

void OverlayView::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF point = pointOf(event);
    if (event->buttons() & Qt::LeftButton)
        apply([&] { return state_.mouseDragged(point, event->modifiers() & Qt::ShiftModifier); });
    else
        apply([&] { return state_.mouseMoved(point); });
}

void OverlayView::mousePressEvent(QMouseEvent* event)
{
    if (auto* w = qobject_cast<OverlayWindow*>(window()))
        w->takeKeyboard();
    if (event->button() == Qt::RightButton)
        apply([&] { return state_.rightPressed(); });
    else if (event->button() == Qt::LeftButton)
        apply([&] { return state_.mousePressed(pointOf(event)); });
}

void OverlayView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        apply([&] { return state_.mouseReleased(event->modifiers() & Qt::ShiftModifier); });
}

void OverlayView::enterEvent(QEnterEvent* event)
{
    // The keyboard follows the pointer from display to display.
    if (auto* w = qobject_cast<OverlayWindow*>(window()))
        w->takeKeyboard();
    apply([&] { return state_.mouseMoved(pointOf(event)); });
}

void OverlayView::leaveEvent(QEvent*)
{
    apply([&] { return state_.mouseExited(); });
}

void OverlayView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space) {
        if (!event->isAutoRepeat())
            apply([&] { return state_.spacePressed(); });
    } else if (event->key() == Qt::Key_Escape) {
        apply([&] { return state_.escapePressed(); });
    } else {
        QWidget::keyPressEvent(event);
    }
}

void OverlayView::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space) {
        if (!event->isAutoRepeat())
            apply([&] { return state_.spaceReleased(); });
    } else {
        QWidget::keyReleaseEvent(event);
    }
}

OverlayWindow::OverlayWindow(QScreen* screen, OverlayView* view) : view_(view)
{
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                   Qt::X11BypassWindowManagerHint);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setWindowTitle(QStringLiteral("Kaptorix Selection"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (view)
        layout->addWidget(view);
    if (screen) {
        setScreen(screen);
        setGeometry(screen->geometry());
    }
    winId();
    if (QWindow* handle = windowHandle())
        handle->installEventFilter(this);
}

OverlayWindow::~OverlayWindow()
{
    // The buffer goes with the window: no thread may be left touching it.
    prefault_.reset();
}

namespace {

// The window's pixel buffer as an image over its memory (the platform's own image).
const QImage* pixelsOf(QBackingStore* store)
{
    QPaintDevice* device = store ? store->paintDevice() : nullptr;
    if (!device || device->devType() != QInternal::Image)
        return nullptr;
    return static_cast<const QImage*>(device);
}

}  // namespace

void OverlayWindow::preparePixels()
{
    QBackingStore* store = backingStore();
    if (!store)
        return;
    prefault_.reset();
    if (store->size() != size())
        store->resize(size());
    if (const QImage* pixels = pixelsOf(store))
        prefault_ = std::make_unique<Prefault>(pixels->constBits(), size_t(pixels->sizeInBytes()));
}

bool OverlayWindow::releasePixels()
{
    prefault_.reset();
    const QImage* pixels = pixelsOf(backingStore());
    if (!pixels || pixels->isNull())
        return true;
    // The buffer keeps its place and size and only its pages go: the next use faults in fresh
    // ones, and the platform does not make the buffer anew (requests that cost the X server a
    // few milliseconds each way).
    return dropPages(pixels->constBits(), size_t(pixels->sizeInBytes()));
}

qsizetype OverlayWindow::pixelBytes()
{
    const QImage* pixels = pixelsOf(backingStore());
    return pixels ? pixels->sizeInBytes() : 0;
}

qsizetype OverlayWindow::residentPixelBytes()
{
    const QImage* pixels = pixelsOf(backingStore());
    return pixels ? qsizetype(residentBytes(pixels->constBits(), size_t(pixels->sizeInBytes()))) : 0;
}

void OverlayWindow::dropView()
{
    delete std::exchange(view_, nullptr);
}

void OverlayWindow::setView(OverlayView* view)
{
    dropView();
    view_ = view;
    layout()->addWidget(view);
}

namespace {
QPointer<OverlayWindow>& keyboardOwner()
{
    static QPointer<OverlayWindow> owner;
    return owner;
}
}  // namespace

bool OverlayWindow::holdsKeyboard() const
{
    return view_ && keyboardOwner() == this && QWidget::keyboardGrabber() == view_;
}

void OverlayWindow::takeKeyboard()
{
    keyboardOwner() = this;
    QWindow* handle = windowHandle();
    if (!view_ || !isVisible() || !handle || !handle->isExposed())
        return;  // taken on the first expose
    activateWindow();
    view_->setFocus(Qt::OtherFocusReason);
    view_->grabKeyboard();
}

bool OverlayWindow::nativeEvent(const QByteArray& type, void* message, qintptr* result)
{
    // Qt paints the whole overlay when the map is reported; the server's own exposes of the
    // map would send the screen-sized content once more.
    if (type == "xcb_generic_event_t" && mapExposes_.drop(message, uint32_t(internalWinId())))
        return true;
    return QWidget::nativeEvent(type, message, result);
}

bool OverlayWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (view_ && watched == windowHandle() && event->type() == QEvent::Expose && keyboardOwner() == this &&
        windowHandle()->isExposed() && QWidget::keyboardGrabber() != view_) {
        const bool result = QWidget::eventFilter(watched, event);
        takeKeyboard();
        return result;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace kx
