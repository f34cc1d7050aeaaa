#pragma once
// The standard toolbar button of the editor and preview chrome, and its style.
//
//   auto* b = new ChromeButton("doc.on.doc"_sym, kx::tr("Copy", ...), kx::tr("Copy to clipboard", ...),
//                              {}, "Ctrl+C", false, true, [this] { copy(); });
//
// A button without a title is square (at least size × size); with a title it grows with
// the text. The label can also be stacked (symbol above a caption) with a fixed frame, as
// in the preview card, and the symbol size and weight can be set per button.

#include "ui/Symbols.h"

#include <QAbstractButton>
#include <QColor>
#include <QSizeF>
#include <functional>

class QVariantAnimation;

namespace kx {

struct ChromeButtonStyle {
    bool selected = false;   // the button shows an active or on state
    bool prominent = false;  // the primary action of its group
    qreal size = 30;         // minimum height, and minimum width when square
    qreal radius = 9;        // corner radius of the background
    bool square = false;     // icon only: square minimum frame, no horizontal padding

    enum class Interaction { rest, hovered, pressed };
    // The background for an interaction state; `prominent` wins over `selected`, and a
    // pressed button shows its pressed colour whether hovered or not.
    QColor background(Interaction state, const QColor& accent, const QColor& primary) const;
    // White on prominent and selected buttons, else primary × 0.86.
    QColor foreground(const QColor& primary) const;
};

class ChromeButton : public QAbstractButton {
    Q_OBJECT
public:
    enum class LabelLayout { inline_, stacked };

    // The chrome button: symbol 13.5 pt medium, optional title 12.5 pt medium beside it,
    // style size 30, radius 9, square exactly when there is no title, with a hover tip of
    // `help`, `detail` and `key` (empty strings mean none).
    ChromeButton(const QString& symbol, const QString& title, const QString& help, const QString& detail,
                 const QString& key, bool selected, bool prominent, std::function<void()> action,
                 QWidget* parent = nullptr);
    // A button with any chrome style and no hover tip (add one with helpTip()).
    ChromeButton(const QString& symbol, const QString& title, const ChromeButtonStyle& style,
                 std::function<void()> action, QWidget* parent = nullptr);

    const ChromeButtonStyle& chromeStyle() const { return style_; }
    void setChromeStyle(const ChromeButtonStyle& style);
    void setSelected(bool selected);
    void setTitle(const QString& title);
    QString symbol() const { return symbol_; }
    QString title() const { return title_; }

    // Label options: symbol and title sizes in points, symbol weight, layout and spacing.
    void setLabelLayout(LabelLayout layout, qreal spacing);
    void setSymbolFont(qreal points, SymbolWeight weight);
    void setTitleFont(qreal points, QFont::Weight weight);
    // A fixed label frame (as 48 × 42 in the preview card); empty = natural label size.
    void setLabelFrame(const QSizeF& frame);

    ChromeButtonStyle::Interaction interaction() const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void init(std::function<void()> action);
    QSizeF labelSize() const;
    QColor targetBackground() const;
    void animateBackground();

    QString symbol_;
    QString title_;
    ChromeButtonStyle style_;
    LabelLayout layout_ = LabelLayout::inline_;
    qreal spacing_ = 6;
    qreal symbolPoints_ = 13.5;
    SymbolWeight symbolWeight_ = SymbolWeight::medium;
    qreal titlePoints_ = 12.5;
    QFont::Weight titleWeight_ = QFont::Medium;
    QSizeF labelFrame_;
    bool hovered_ = false;
    QColor shownBackground_;
    QVariantAnimation* fade_ = nullptr;
};

}  // namespace kx
