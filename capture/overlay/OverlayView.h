#pragma once
// One display's overlay content: paints the frozen screen with the selection decorations
// and turns pointer and key input into the session's result.
#include "capture/overlay/OverlayPainter.h"
#include "capture/overlay/OverlayState.h"
#include "platform/MapExposeFilter.h"

#include <QPointer>
#include <QWidget>
#include <memory>

class QScreen;
class QSinglePointEvent;

namespace kx {

class Prefault;
class SelectionSession;

class OverlayView : public QWidget {
    Q_OBJECT
public:
    OverlayView(QScreen* screen, const QImage& frozen, double scale, SelectionMode mode,
                SelectionSession* session, QList<LocalWindow> windows, QWidget* parent = nullptr);

    QScreen* screen() const { return screen_; }
    const QImage& frozen() const { return frozen_; }
    double scale() const { return scale_; }
    OverlayState& state() { return state_; }
    const OverlayLook& look() const { return look_; }

    // The pointer is at `point` (view coordinates) when the overlays appear.
    void setInitialPointer(QPointF point);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    template <typename Change>
    void apply(Change change);
    void end(const OverlayReaction& reaction);
    // An event's point in view coordinates, to the device pixel.
    QPointF pointOf(const QSinglePointEvent* event) const;

    QScreen* screen_;
    QImage frozen_;
    double scale_;
    QPointer<SelectionSession> session_;
    OverlayState state_;
    OverlayPainter painter_;
    OverlayLook look_;
};

// A frameless, always-on-top window over one whole display, outside the window manager's
// control, holding that display's view.
class OverlayWindow : public QWidget {
    Q_OBJECT
public:
    // Without a view it waits hidden for a session (setView()).
    OverlayWindow(QScreen* screen, OverlayView* view);
    ~OverlayWindow() override;

    OverlayView* view() const { return view_; }
    // Deletes the view (and the frozen image it holds) of a window put aside for a later
    // session, and puts a new one in its place when that session comes.
    void dropView();
    void setView(OverlayView* view);
    // Takes the keyboard (now, or as soon as the window is on screen); the last overlay
    // asked holds it.
    void takeKeyboard();
    bool holdsKeyboard() const;

    // Gives the hidden window its screen-sized pixel buffer now and faults its pages in on
    // other threads, so the first paint finds it ready.
    void preparePixels();
    // Gives the memory of the buffer back; the hidden window then holds next to nothing.
    // False where that cannot be done (a buffer not in shared memory): such a window is
    // deleted instead.
    bool releasePixels();
    // Bytes of the window's pixel buffer, and how many of them are in memory now.
    qsizetype pixelBytes();
    qsizetype residentPixelBytes();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool nativeEvent(const QByteArray& type, void* message, qintptr* result) override;

private:
    OverlayView* view_;
    std::unique_ptr<Prefault> prefault_;
    MapExposeFilter mapExposes_;
};

}  // namespace kx
