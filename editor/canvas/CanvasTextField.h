#pragma once
// The in-place field in which a text annotation is typed. It lays its text out in image
// pixels exactly as the annotation renderer draws it and scales with the canvas, so the
// committed text appears where it was typed. Plain text; Return adds a line break.

#include <QColor>
#include <QFont>
#include <QPointF>
#include <QSizeF>
#include <QString>
#include <QTextLayout>
#include <QWidget>
#include <memory>

namespace kx {

class CanvasTextField : public QWidget {
    Q_OBJECT

public:
    // `font` is sized in image pixels; `zoom` is screen points per image pixel.
    CanvasTextField(const QFont& font, const QColor& color, QWidget* parent = nullptr);
    ~CanvasTextField() override;

    QString text() const { return text_; }
    void setText(const QString& text);
    void selectAll();
    bool hasSelection() const { return anchor_ != cursor_; }

    const QFont& textFont() const { return font_; }
    // Size of the laid-out text in image pixels: widest line and total line height (one
    // line's height when empty).
    QSizeF usedSize() const;

    // Where the text's top-left corner lies in this widget, in widget points, and the zoom.
    void setPlacement(const QPointF& textOrigin, double zoom);

Q_SIGNALS:
    void textEdited();
    // Escape, or Ctrl+Return: keep the text and close the field.
    void commitRequested();
    // Keyboard focus went elsewhere inside the window.
    void editingFinished();

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void inputMethodEvent(QInputMethodEvent* e) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

private:
    void relayout();
    void insert(const QString& s);
    void removeSelection();
    void moveCursor(int position, bool extend);
    int positionAt(const QPointF& widgetPoint) const;
    int verticalNeighbour(int position, int direction) const;
    QRectF caretRect() const;  // image pixels
    QPointF toText(const QPointF& widgetPoint) const;
    bool isEditingKey(const QKeyEvent* e) const;

    QFont font_;
    QColor color_;
    QString text_;
    int cursor_ = 0;
    int anchor_ = 0;
    QPointF origin_;
    double zoom_ = 1;
    std::unique_ptr<QTextLayout> layout_;
};

}  // namespace kx
