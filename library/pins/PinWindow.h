#pragma once
// One pinned screenshot: a frameless window above all others on every desktop. A drag moves
// it, its edges resize it keeping the image's proportions, keys, the wheel, a pinch and the
// Size menu zoom it, Ctrl+Shift+wheel fades it, and click-through lets the pointer pass to the
// windows below. Owned by PinManager. GUI thread only.

#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <optional>

class QMenu;

namespace kx {

class PinWindow : public QWidget {
    Q_OBJECT
public:
    // `near`: the screen area (global logical coordinates) the pin should cover; without
    // it the pin is centred on the screen under the pointer.
    PinWindow(const QImage& image, double scale, const std::optional<QRect>& near);

    const QImage& image() const { return image_; }
    double imageScale() const { return scale_; }
    QSizeF baseSize() const { return base_; }
    double zoom() const { return zoom_; }

    // Clamps to 10-800 % and keeps the centre.
    void setZoom(double z);
    double alpha() const { return alpha_; }
    void setAlpha(double alpha);
    // Zoom or fade by a wheel delta (a click is 10).
    void wheelBy(double delta, bool fade);
    // The modifiers that turn the wheel into fading: Ctrl+Shift, which window managers leave
    // to the application (Alt+wheel switches desktops in openbox and others).
    static bool fades(Qt::KeyboardModifiers modifiers);
    bool clickThrough() const { return clickThrough_; }
    // Input passes to the windows below while on; the window stays mapped.
    void setClickThrough(bool on);
    // Asks the manager to remove this pin after the current event.
    void closePin();

    // The context menu's click-through item.
    static QString clickThroughTitle();
    // Where the click-through toast sends the user back: the tray menu's path.
    static QString clickThroughHint();
    // The context menu as a right click shows it (the caller owns it).
    QMenu* buildMenu();
    // The 20 pt close square near the top-right corner.
    QRect closeSquare() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool event(QEvent* event) override;

private:
    void applyMask();
    void enterClickThrough();
    void openEditor();

    QImage image_;
    double scale_ = 1.0;
    QSizeF base_;
    double zoom_ = 1.0;
    double alpha_ = 1.0;
    bool hovering_ = false;
    bool clickThrough_ = false;
    bool translucent_ = false;
    QPixmap scaled_;  // the image at the window's size, made once per size
    // An edge drag in progress (our own: window managers may ignore aspect hints), or a
    // move where the platform cannot move the window itself.
    Qt::Edges gripped_;
    bool moving_ = false;
    bool pressed_ = false;
    QRect pressFrame_;
    QPointF pressGlobal_;
};

}  // namespace kx
