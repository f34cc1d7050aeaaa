#pragma once
// Small pieces of the window chrome: the key cap, the coloured icon badge, the vertical
// divider, the drag area of title-less windows and the anchor that hands out its widget.
// Each piece has a static paint function for views that draw everything themselves.

#include <QColor>
#include <QWidget>

namespace kx {

// A keyboard-key label: the text in 11 pt semibold on a small rounded key.
class KeyCap : public QWidget {
public:
    explicit KeyCap(const QString& text, QWidget* parent = nullptr);
    void setText(const QString& text);
    QSize sizeHint() const override;

    static QSizeF sizeFor(const QString& text);
    static void paint(QPainter& p, const QRectF& rect, const QString& text, const QPalette& palette);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
};

// A symbol in white on a rounded square filled with a gradient of the tint.
class IconBadge : public QWidget {
public:
    IconBadge(const QString& symbol, const QColor& tint, qreal size, QWidget* parent = nullptr);
    QSize sizeHint() const override;

    static qreal cornerRadius(qreal size) { return size * 0.28; }
    static qreal symbolPoints(qreal size) { return size * 0.5; }
    static void paint(QPainter& p, const QRectF& rect, const QString& symbol, const QColor& tint);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString symbol_;
    QColor tint_;
    qreal size_;
};

// A 1 pt vertical rule of primary × 0.14 with 3 pt of room on each side.
class VDivider : public QWidget {
public:
    explicit VDivider(qreal height, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    qreal height_;
};

// An empty area by which a window without a title bar is dragged: a press on it hands
// the move to the window manager. Place it behind a header's controls.
class WindowDragArea : public QWidget {
public:
    explicit WindowDragArea(QWidget* parent = nullptr);

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

}  // namespace kx
