#pragma once
// The custom colour's window: Qt's own colour dialog, which has one fixed size (about 300 ×
// 300 pt), in a window that fits the work area and scrolls where the screen is smaller, so
// every field of it can still be reached.
#include <QWidget>

class QColorDialog;
class QScrollArea;

namespace kx {

class ColorWindow : public QWidget {
    Q_OBJECT
public:
    explicit ColorWindow(QWidget* parent);

    QColorDialog* dialog() const { return dialog_; }
    QScrollArea* scrollArea() const { return scroll_; }
    // Shows the window and gives it the focus; the first time, at the dialog's whole size
    // where the work area of the parent's screen has room for it, else as large as it has.
    void present();

private:
    QColorDialog* dialog_;
    QScrollArea* scroll_;
    bool placed_ = false;
};

}  // namespace kx
