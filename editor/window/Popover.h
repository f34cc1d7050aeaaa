#pragma once
// The one popover of the editor: a Qt::Popup that holds a content widget below (or, with
// no room, above) an anchor. An outside click or Esc closes it; closing emits closed()
// so its owner clears its "open" flag, and the popover deletes itself.
//
//   auto* pop = new Popover(new ChoiceList(...), chevron);
//   connect(pop, &Popover::closed, this, [this] { showChoices_ = false; });
//   pop->showAt(chevron);

#include <QWidget>

namespace kx {

class Popover : public QWidget {
    Q_OBJECT

public:
    static constexpr int kGap = 6;     // between anchor and popover
    static constexpr int kMargin = 8;  // kept inside the screen's available area

    // Takes ownership of `content`; `owner` is the parent for lifetime only.
    Popover(QWidget* content, QWidget* owner);

    QWidget* content() const { return content_; }
    // Shows the popover under `anchor`, centred on it.
    void showAt(QWidget* anchor);
    // Where a popover of `size` goes for an anchor rectangle (global) on a screen area:
    // centred under it, else above it, and shifted to stay inside the area.
    static QPoint placement(const QRect& anchor, const QSize& size, const QRect& available);

Q_SIGNALS:
    void closed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* content_;
    bool closedSent_ = false;
};

}  // namespace kx
