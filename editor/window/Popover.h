#pragma once
// The one popover of the editor: a Qt::Popup that holds a content widget below (or, with
// no room, above) an anchor, with an arrow pointing at the anchor's centre. It follows its
// content: when rows of the content show or hide it grows or shrinks and is placed again.
// It never leaves the screen's available area: it is no wider than the area (a content that
// can narrow does), and a content taller than the room on either side of the anchor scrolls
// inside it.
// An outside click or Esc closes it; closing emits closed() so its owner clears its "open"
// flag, and the popover deletes itself.
//
//   auto* pop = new Popover(new ChoiceList(...), chevron);
//   connect(pop, &Popover::closed, this, [this] { showChoices_ = false; });
//   pop->showAt(chevron);

#include <QPointer>
#include <QWidget>

class QPainterPath;
class QScrollArea;
class QVBoxLayout;

namespace kx {

class Popover : public QWidget {
    Q_OBJECT

public:
    static constexpr int kGap = 1;     // between anchor and arrow tip
    static constexpr int kArrow = 8;   // height of the arrow
    static constexpr int kMargin = 8;  // kept inside the screen's available area

    struct Placement {
        QPoint topLeft;
        bool above = false;  // the popover sits above the anchor, its arrow on its bottom edge
        int arrowX = 0;      // the arrow's tip, from the popover's left edge
        int height = 0;      // arrow included; less than asked for when the content must scroll
    };

    // Takes ownership of `content`; `owner` is the parent for lifetime only.
    Popover(QWidget* content, QWidget* owner);

    QWidget* content() const { return content_; }
    // Shows the popover under `anchor`, centred on it.
    void showAt(QWidget* anchor);
    // Where a popover of `size` (arrow included) goes for an anchor rectangle (global) on a
    // screen area: centred under it, else above it, shifted to stay inside the area; when it
    // fits on neither side, on the side with more room, cut to that room. The arrow points at
    // the anchor's centre as far as the rounded corners allow.
    static Placement placement(const QRect& anchor, const QSize& size, const QRect& available);
    const Placement& placed() const { return placed_; }
    // Whether the content is cut to the room and scrolls.
    bool scrolls() const;
    // The arrow's tip in global coordinates.
    QPoint arrowTip() const;
    // The popover's outline: rounded body and arrow, in its own coordinates.
    QPainterPath shape() const;

Q_SIGNALS:
    void closed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place();
    // The size the content asks for at most `maxWidth` wide, arrow and border included.
    QSize naturalSize(int maxWidth) const;

    QWidget* content_;
    QVBoxLayout* layout_;
    QScrollArea* scroll_;
    QPointer<QWidget> anchor_;
    Placement placed_;
    bool placing_ = false;
    bool closedSent_ = false;
};

}  // namespace kx
