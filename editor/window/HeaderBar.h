#pragma once
// The 52 pt strip across the top of the editor: undo and redo, add capture, backdrop,
// redact, OCR, palette, AI, upload, pin, share, more export options, save and the copy
// button. When the full row does not fit, the compact row drops most titles (Save keeps
// its); narrower still, the least needed buttons move into the "⋯" menu one by one, then
// Save's title, the divider after Redo and Copy's title go, so no two controls ever overlap
// and every command stays in reach. Buttons of features that are not available are disabled.

#include "editor/window/EditorActions.h"
#include "editor/window/controls/HeaderFit.h"

#include <QList>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <vector>

class QHBoxLayout;
class QMenu;

namespace kx {

class ChromeButton;
class CopyButton;
class EditorDocument;
class Popover;

class HeaderBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 52;
    // Native decorations: no room for window buttons is needed at the leading edge.
    static constexpr int kLeadingPadding = 12;
    static constexpr int kTrailingPadding = 12;

    struct Hooks {
        std::function<void()> undo;
        std::function<void()> redo;
        // Makes the backdrop popover's content; empty: the Backdrop button is disabled.
        std::function<QWidget*()> beautifyContent;
        // Which actions have a service behind them.
        bool addCapture = false, redact = false, ocr = false, palette = false, ai = false, upload = false,
             pin = false;
    };

    HeaderBar(EditorDocument& doc, const EditorActions& actions, Hooks hooks, QWidget* parent = nullptr);

    bool isCompact() const { return compact_; }
    // The arrangement for the current width, and what it was chosen from.
    HeaderFit fit() const { return fit_; }
    const HeaderFitWidths& fitWidths() const { return widths_; }
    // The buttons that move into the "⋯" menu, first to go first, each with its menu item
    // (none for the palette: the menu always has it).
    const std::vector<ChromeButton*>& foldOrder() const { return foldOrder_; }
    QAction* foldedItem(ChromeButton* button) const;
    // The width the full row needs.
    int fullWidth() const { return fullWidth_; }
    bool showBeautify() const { return showBeautify_; }
    void setShowBeautify(bool show);

    ChromeButton* undoButton() const { return undo_; }
    ChromeButton* redoButton() const { return redo_; }
    ChromeButton* addCaptureButton() const { return addCapture_; }
    ChromeButton* backdropButton() const { return backdrop_; }
    ChromeButton* redactButton() const { return redact_; }
    ChromeButton* ocrButton() const { return ocr_; }
    ChromeButton* paletteButton() const { return palette_; }
    ChromeButton* aiButton() const { return ai_; }
    ChromeButton* uploadButton() const { return upload_; }
    ChromeButton* pinButton() const { return pin_; }
    ChromeButton* shareButton() const { return share_; }
    ChromeButton* moreButton() const { return more_; }
    ChromeButton* saveButton() const { return save_; }
    CopyButton* copyButton() const { return copy_; }
    QMenu* addCaptureMenu() const { return addMenu_; }
    QMenu* moreMenu() const { return moreMenu_; }

    // What the status pill shows of the zoom controls; "⋯" offers the rest as it opens.
    struct PillZoom {
        bool steps = true;  // zoom out and in
        bool fit = true;    // Fit and 100%
    };
    void setPillZoom(std::function<PillZoom()> shown);
    // The zoom items of "⋯": zoom in, zoom out, fit, actual size.
    const std::vector<QAction*>& zoomItems() const { return zoomItems_; }

    // The narrowest arrangement: the window's minimum never follows the current one.
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void setCompact(bool compact);
    void apply(HeaderFit fit);
    void measure();
    // Where a popup belonging to `button` opens: the button, or "⋯" while it is folded.
    QWidget* anchorFor(ChromeButton* button) const;
    void refresh();

    EditorDocument& doc_;
    EditorActions actions_;
    Hooks hooks_;
    QHBoxLayout* row_ = nullptr;
    bool compact_ = false;
    int fullWidth_ = 0;
    bool showBeautify_ = false;
    QPointer<Popover> beautifyPopover_;
    // Buttons that lose their title in the compact row, with their full title.
    QList<QPair<ChromeButton*, QString>> titled_;
    QString saveTitle_;
    QString copyTitle_;
    HeaderFitWidths widths_;
    HeaderFit fit_;
    std::vector<ChromeButton*> foldOrder_;
    std::vector<QAction*> foldItems_;
    QAction* foldSeparator_ = nullptr;
    QWidget* leadDivider_ = nullptr;    // after Redo
    QWidget* exportDivider_ = nullptr;  // before Pin

    ChromeButton* undo_ = nullptr;
    ChromeButton* redo_ = nullptr;
    ChromeButton* addCapture_ = nullptr;
    ChromeButton* backdrop_ = nullptr;
    ChromeButton* redact_ = nullptr;
    ChromeButton* ocr_ = nullptr;
    ChromeButton* palette_ = nullptr;
    ChromeButton* ai_ = nullptr;
    ChromeButton* upload_ = nullptr;
    ChromeButton* pin_ = nullptr;
    ChromeButton* share_ = nullptr;
    ChromeButton* more_ = nullptr;
    ChromeButton* save_ = nullptr;
    CopyButton* copy_ = nullptr;
    QMenu* addMenu_ = nullptr;
    QMenu* moreMenu_ = nullptr;
    QAction* copy1x_ = nullptr;
    std::function<PillZoom()> pillZoom_;
    QAction* zoomSeparator_ = nullptr;
    std::vector<QAction*> zoomItems_;
};

}  // namespace kx
