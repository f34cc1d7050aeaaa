#pragma once
// The checkerboard behind anything that may be transparent (the backdrop preview and the
// transparent background swatch); its greys follow the light or dark appearance.
#include <QWidget>

namespace kx {

struct CheckerColors {
    QColor base;
    QColor squares;
};
CheckerColors checkerColors(bool dark);

// Fills `rect` with the base grey and squares of `cell` on the cells whose row plus column is
// even, starting top-left. A cell that is not a positive finite size draws the base only.
void paintChecker(QPainter& p, const QRectF& rect, qreal cell, bool dark);

class Checker : public QWidget {
    Q_OBJECT
public:
    explicit Checker(qreal cell, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    qreal cell_;
};

}  // namespace kx
