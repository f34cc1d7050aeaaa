#pragma once
// One display's overlay content: paints the frozen screen with the selection decorations
// and turns pointer and key input into the session's result.
#include "capture/overlay/OverlayPainter.h"
#include "capture/overlay/OverlayState.h"

#include <QPointer>
#include <QWidget>

class QScreen;

namespace kx {

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
    OverlayWindow(QScreen* screen, OverlayView* view);

    OverlayView* view() const { return view_; }
    // Deletes the view (and the frozen image it holds) of a window put aside for a later
    // session, and puts a new one in its place when that session comes.
    void dropView();
    void setView(OverlayView* view);
    // Takes the keyboard (now, or as soon as the window is on screen); the last overlay
    // asked holds it.
    void takeKeyboard();
    bool holdsKeyboard() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    OverlayView* view_;
};

}  // namespace kx
