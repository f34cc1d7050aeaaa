#pragma once
// The floating bar over the editor's canvas: the drawing style of what the user works on
// (colour, width, fill, font size, strength, magnifier), a hint for the crop and select tools,
// and the crop buttons. It keeps no style of its own: it shows the document's style and writes
// every user edit back as the whole style; updates from the document never write back.
#include "editor/window/controls/InspectorModel.h"

#include <QMargins>
#include <QPointer>
#include <QRectF>
#include <QWidget>
#include <functional>

class QAbstractButton;
class QColorDialog;
class QGraphicsOpacityEffect;
class QVariantAnimation;
class QLabel;
class QLayout;
class QSlider;

namespace kx {

class ColorFoldButton;
class ColorWindow;
class EditorDocument;
class Popover;
class WrapRow;

class InspectorBar : public QWidget {
    Q_OBJECT
public:
    explicit InspectorBar(EditorDocument* doc, QWidget* parent = nullptr);
    ~InspectorBar() override;

    bool hasControls() const;
    std::optional<QString> hint() const;
    // The window's one colour dialog, made on first use, and the window that holds it.
    QColorDialog* colorDialog();
    ColorWindow* colorWindow() const;

    QSize sizeHint() const override;
    // Its narrowest arrangement: every group at its least, the colours folded.
    QSize minimumSizeHint() const override;
    // How far the bar still sits above its place while it moves in from the top (or out).
    double dropOffset() const;
    // 0 hidden … 1 shown: the opacity of the enter/leave transition.
    double reveal() const { return reveal_; }
    int lineCount() const;
    // The width the canvas leaves for the bar: narrower than the whole colour row asks for, the
    // row folds into one button that opens the swatches in a popover.
    void fitWidth(int room);
    bool colorsFolded() const { return folded_; }
    // The folded row's button, and its popover while open.
    QWidget* colorFold() const;
    Popover* colorPopover() const;
    void showColorPopover();
    // Narrower than its narrowest arrangement (beside the AI panel in a small window) the whole
    // bar folds into one button that opens every control, whole, in a popover.
    bool collapsed() const { return collapsed_; }
    QAbstractButton* unfoldButton() const { return unfold_; }
    Popover* controlsPopover() const;
    void showControlsPopover();
    // The bar's frame for the size its place allows: the target itself at rest, wide enough for
    // the old and the new size while the capsule springs between them.
    QSize frameFor(const QSize& target);
    bool springing() const;
    // The floating surface as drawn now, in the bar's coordinates.
    QRectF capsule() const;

Q_SIGNALS:
    void revealChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // The bar inside `owner`'s controls popover: no surface of its own, never folded into a
    // button, and the owner's colour dialog.
    InspectorBar(EditorDocument* doc, InspectorBar* owner, QWidget* parent);
    void makeUnfoldButton();
    struct Slider {
        QSlider* slider = nullptr;
        QLabel* readout = nullptr;
        std::function<inspector::Range()> range;
        std::function<double(const AnnotationStyle&)> get;
    };

    void documentChanged();
    void rebuild();
    // Shows or hides the bar; after the first time with a move from the top and a fade.
    void setShown(bool show);
    void setReveal(double value);
    void applyOpacity();
    void sync();
    void writeStyle(const std::function<void(AnnotationStyle&)>& edit);
    void addColorRow();
    // The eight swatches and the custom colour into `layout`; `picked` runs after a choice.
    QWidget* makeSwatches(QWidget* parent, QLayout* layout, const std::function<void()>& picked);
    void applyFold();
    QWidget* addSlider(const QString& symbol, const QString& objectName, int width, bool readout,
                       const QString& help, std::function<inspector::Range()> range,
                       std::function<double(const AnnotationStyle&)> get,
                       std::function<void(AnnotationStyle&, double)> set);
    void addFillButtons();
    void addMagnifier();
    void addHint(const QString& text);
    void addCropActions();

    QPointer<EditorDocument> doc_;
    WrapRow* row_ = nullptr;
    QGraphicsOpacityEffect* fade_ = nullptr;
    QVariantAnimation* transition_ = nullptr;
    double reveal_ = 1.0;
    QVariantAnimation* spring_ = nullptr;
    QSize springFrom_;
    QSize target_;
    double springT_ = 1.0;
    bool shown_ = true;
    bool built_ = false;
    QList<Slider> sliders_;
    QLabel* zoomText_ = nullptr;
    QPointer<QColorDialog> dialog_;
    QPointer<ColorWindow> colorWindow_;
    int room_ = QWIDGETSIZE_MAX;
    bool folded_ = false;
    QWidget* colors_ = nullptr;  // the whole row
    ColorFoldButton* fold_ = nullptr;
    QPointer<Popover> colorPopover_;
    // Room around the folded bar's one button: the surface's shadow and a 4 pt padding.
    static constexpr QMargins kFoldedMargins{6 + 4, 4 + 4, 6 + 4, 8 + 4};
    QPointer<InspectorBar> owner_;
    bool collapsed_ = false;
    QAbstractButton* unfold_ = nullptr;
    QPointer<Popover> controlsPopover_;
    // What the current children were built for.
    std::optional<std::pair<ToolKind, bool>> builtFor_;
};

}  // namespace kx
