#pragma once
// A row of controls that wraps onto further lines when its width is cut below the width of
// one line (the inspector over a canvas narrowed by the AI panel, the AI panel's buttons).
// Items keep their size hints, are centred vertically in their line, and lines are centred
// horizontally, or start at the left with setAlignment(Qt::AlignLeft).
#include <QLayout>
#include <QList>

namespace kx {

class WrapRow : public QLayout {
public:
    WrapRow(QWidget* parent, int spacing, int lineSpacing);
    ~WrapRow() override;

    void addItem(QLayoutItem* item) override { items_.append(item); }
    int count() const override { return int(items_.size()); }
    QLayoutItem* itemAt(int index) const override { return items_.value(index); }
    QLayoutItem* takeAt(int index) override;
    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return arrange(QRect(0, 0, width, 0), false); }
    // One line: every item side by side.
    QSize sizeHint() const override;
    // The widest item's minimum: narrower than that nothing fits.
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;
    // Lines the items take at `width` (margins included).
    int lineCount(int width) const;

private:
    struct Line {
        QList<QLayoutItem*> items;
        int width = 0;
        int height = 0;
    };
    static QSize sizeOf(QLayoutItem* item, int innerWidth);
    QList<Line> lines(int innerWidth) const;
    int arrange(const QRect& rect, bool apply) const;

    QList<QLayoutItem*> items_;
    int lineSpacing_;
};

}  // namespace kx
