#include "capture/overlay/SelectionSession.h"

#include "capture/overlay/OverlayView.h"
#include "core/Localisation.h"
#include "platform/WindowList.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

namespace kx {

QString selectionHint(SelectionMode mode)
{
    switch (mode) {
        case SelectionMode::area:
            return kx::tr("Drag to select · Space moves · Shift = square · Esc cancels",
                          "Húzással jelölj ki · Szóköz: mozgatás · Shift: négyzet · Esc: mégse",
                          "Ziehen zum Auswählen · Leertaste verschiebt · Shift = Quadrat · Esc bricht ab");
        case SelectionMode::window:
            return kx::tr("Click a window to capture it · Esc to cancel",
                          "Kattints egy ablakra a rögzítéshez · Esc: mégse",
                          "Klicke auf ein Fenster, um es aufzunehmen · Esc zum Abbrechen");
        case SelectionMode::colorPicker:
            return kx::tr("Click to copy the color · Esc to cancel",
                          "Kattints a szín másolásához · Esc: mégse",
                          "Klicke, um die Farbe zu kopieren · Esc zum Abbrechen");
        case SelectionMode::scrollArea:
            return kx::tr("Select the area to scroll-capture", "Jelöld ki a görgetve rögzítendő területet",
                          "Bereich für die Scroll-Aufnahme auswählen");
    }
    return {};
}

namespace {

QPointer<SelectionSession>& activeSession()
{
    static QPointer<SelectionSession> session;
    return session;
}

// Overlay windows wait hidden between sessions. A new window costs a native window and a
// screen-sized pixel buffer whose shared memory faults in page by page during the first paint
// (about 40 ms at 4K). After a session the window keeps its buffer for kParkMs, so the next
// capture paints at once; then it gives the buffer back and waits as a bare window, which
// holds next to nothing. prepareOverlays() sizes the buffers again and faults them in on other
// threads while the screens are grabbed.
constexpr int kParkMs = 10000;

struct Parking {
    QList<QPointer<OverlayWindow>> windows;
    QTimer* expiry = nullptr;
};

Parking& parking()
{
    static Parking p;
    if (!p.expiry) {
        p.expiry = new QTimer(qApp);
        p.expiry->setSingleShot(true);
        QObject::connect(p.expiry, &QTimer::timeout, [] { SelectionSession::releaseParkedWindows(); });
    }
    return p;
}

bool fits(const OverlayWindow* w, const QScreen* screen, const QRect& geometry)
{
    return w && w->screen() == screen && w->geometry() == geometry;
}

// One waiting window per display: an older one for the same display goes.
void park(OverlayWindow* window)
{
    Parking& p = parking();
    for (const QPointer<OverlayWindow>& w : std::exchange(p.windows, {})) {
        if (w && w->screen() == window->screen())
            delete w.data();
        else if (w)
            p.windows.append(w);
    }
    p.windows.append(window);
    p.expiry->start(kParkMs);
}

OverlayWindow* unpark(QScreen* screen, const QRect& geometry)
{
    Parking& p = parking();
    for (qsizetype i = 0; i < p.windows.size(); ++i) {
        OverlayWindow* w = p.windows[i];
        if (fits(w, screen, geometry)) {
            p.windows.removeAt(i);
            return w;
        }
    }
    return nullptr;
}

}  // namespace

SelectionSession::SelectionSession(SelectionMode mode, QList<FrozenScreen> frozen, QObject* parent)
    : SelectionSession(mode, std::move(frozen),
                       mode == SelectionMode::window ? WindowList::onScreen(false) : QList<WindowInfo>(),
                       parent)
{
}

SelectionSession::SelectionSession(SelectionMode mode, QList<FrozenScreen> frozen, QList<WindowInfo> windows,
                                   QObject* parent)
    : QObject(parent),
      mode_(mode),
      frozen_(std::move(frozen)),
      windows_(mode == SelectionMode::window ? std::move(windows) : QList<WindowInfo>())
{
}

SelectionSession::~SelectionSession()
{
    // Windows still up belong to a session that never finished; take them down with it.
    for (OverlayWindow* w : std::as_const(overlayWindows_))
        w->deleteLater();
}

SelectionSession* SelectionSession::active()
{
    return activeSession();
}

void SelectionSession::prepareOverlays()
{
    Parking& p = parking();
    const QList<QScreen*> screens = QGuiApplication::screens();
    // Windows of displays that went away or changed their geometry go.
    for (const QPointer<OverlayWindow>& w : std::exchange(p.windows, {})) {
        if (w && screens.contains(w->screen()) && w->geometry() == w->screen()->geometry())
            p.windows.append(w);
        else
            delete w.data();
    }
    for (QScreen* screen : screens) {
        OverlayWindow* window = nullptr;
        for (const QPointer<OverlayWindow>& w : std::as_const(p.windows)) {
            if (fits(w, screen, screen->geometry()))
                window = w;
        }
        if (!window) {
            window = new OverlayWindow(screen, nullptr);
            p.windows.append(window);
        }
        window->preparePixels();
    }
    // Prepared for a session that never came: given back after the idle time all the same.
    p.expiry->start(kParkMs);
}

void SelectionSession::releaseParkedWindows()
{
    Parking& p = parking();
    for (const QPointer<OverlayWindow>& w : std::exchange(p.windows, {})) {
        if (w && w->releasePixels())
            p.windows.append(w);
        else
            delete w.data();
    }
}

void SelectionSession::dropParkedWindows()
{
    for (const QPointer<OverlayWindow>& w : std::exchange(parking().windows, {}))
        delete w.data();
}

QList<OverlayWindow*> SelectionSession::parkedWindows()
{
    QList<OverlayWindow*> out;
    for (const QPointer<OverlayWindow>& w : std::as_const(parking().windows)) {
        if (w)
            out.append(w);
    }
    return out;
}

void SelectionSession::run(Completion done)
{
    done_ = std::move(done);
    activeSession() = this;
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, &SelectionSession::screenRemoved);
    if (frozen_.isEmpty()) {
        // Nothing to show means nothing can ever be chosen.
        finish(std::nullopt);
        return;
    }
    show();
}

void SelectionSession::show()
{
    const QPoint pointer = QCursor::pos();
    OverlayWindow* key = nullptr;
    for (const FrozenScreen& entry : std::as_const(frozen_)) {
        const QRect geometry = entry.screen
                                   ? entry.screen->geometry()
                                   : QRect(QPoint(0, 0), (QSizeF(entry.image.size()) / entry.scale).toSize());
        auto* view = new OverlayView(entry.screen, entry.image, entry.scale, mode_, this,
                                     localWindows(windows_, geometry.topLeft(), geometry.size()));
        OverlayWindow* window = entry.screen ? unpark(entry.screen, geometry) : nullptr;
        if (window)
            window->setView(view);
        else
            window = new OverlayWindow(entry.screen, view);
        overlayWindows_.append(window);
        if (!key && geometry.contains(pointer))
            key = window;
        view->setInitialPointer(QPointF(pointer - geometry.topLeft()));
    }
    if (!key)
        key = overlayWindows_.first();
    for (OverlayWindow* w : std::as_const(overlayWindows_))
        w->show();
    key->raise();
    key->takeKeyboard();
}

void SelectionSession::finish(std::optional<SelectionResult> result)
{
    if (finished_)
        return;
    finished_ = true;
    Completion done = std::move(done_);
    done_ = nullptr;
    const QList<OverlayWindow*> windows = std::exchange(overlayWindows_, {});
    // Not from inside the event handler that ended the session.
    QTimer::singleShot(0, qApp, [windows = QList<QPointer<OverlayWindow>>(windows.begin(), windows.end())] {
        for (const QPointer<OverlayWindow>& w : windows) {
            if (!w)
                continue;
            w->view()->releaseKeyboard();
            w->hide();
            if (w->screen()) {
                w->dropView();
                park(w);
            } else
                w->deleteLater();
        }
    });
    if (activeSession() == this)
        activeSession() = nullptr;
    if (done)
        done(std::move(result));
}

void SelectionSession::screenRemoved(QScreen* screen)
{
    for (const FrozenScreen& entry : std::as_const(frozen_))
        if (entry.screen == screen) {
            finish(std::nullopt);
            return;
        }
}

}  // namespace kx
