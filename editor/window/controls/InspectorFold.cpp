// Where the bar has less room than its content: the colour row folded into one button, or the
// whole bar folded into one button, each opening a popover.
#include "core/Localisation.h"
#include "editor/document/EditorDocument.h"
#include "editor/window/Popover.h"
#include "editor/window/controls/InspectorBar.h"
#include "editor/window/controls/StyleWidgets.h"
#include "ui/ChromeButton.h"
#include "ui/HelpTip.h"
#include "ui/Symbols.h"
#include "ui/WrapRow.h"

#include <QScreen>

namespace kx {

using namespace inspector;

void InspectorBar::showColorPopover()
{
    if (colorPopover_ || !fold_)
        return;
    // The swatches in as many lines as the screen needs; a pick closes the popover.
    auto* content = new QWidget;
    auto* grid = new WrapRow(content, 0, 0);
    grid->setAlignment(Qt::AlignLeft);
    grid->setContentsMargins(8, 6, 8, 6);
    colorPopover_ = new Popover(content, this);
    makeSwatches(content, grid, [pop = colorPopover_] {
        if (pop)
            pop->close();
    });
    colorPopover_->showAt(fold_);
}

QWidget* InspectorBar::colorFold() const
{
    return fold_;
}

Popover* InspectorBar::colorPopover() const
{
    return colorPopover_;
}

void InspectorBar::fitWidth(int room)
{
    if (room == room_)
        return;
    room_ = room;
    applyFold();
}

void InspectorBar::applyFold()
{
    const QMargins m = row_->contentsMargins();
    folded_ = colors_ && fold_ && colors_->sizeHint().width() + m.left() + m.right() > room_;
    // Narrower than its narrowest arrangement (beside the AI panel in a small window) the bar
    // would cut its controls: it folds into its one button instead.
    const bool collapse = unfold_ && room_ < minimumSizeHint().width();  // the popover's copy has none
    const bool changed = collapse != collapsed_;
    collapsed_ = collapse;
    for (int i = 0; i < row_->count(); ++i) {
        QWidget* w = row_->itemAt(i)->widget();
        if (!w)
            continue;
        const bool shows = !collapse && (w == colors_ ? !folded_ : w == fold_ ? folded_ : true);
        // Folded away, an item still counts for the narrowest arrangement.
        QSizePolicy policy = w->sizePolicy();
        if (policy.retainSizeWhenHidden() != collapse) {
            policy.setRetainSizeWhenHidden(collapse);
            w->setSizePolicy(policy);
        }
        if (w->isHidden() == shows)
            w->setVisible(shows);
    }
    if (unfold_ && unfold_->isHidden() == collapse)
        unfold_->setVisible(collapse);
    if ((!folded_ || collapse) && colorPopover_)
        colorPopover_->close();
    if (!collapse && controlsPopover_)
        controlsPopover_->close();
    if (changed) {
        updateGeometry();
        adjustSize();
    }
}

void InspectorBar::makeUnfoldButton()
{
    if (owner_)
        return;
    if (unfold_) {
        unfold_->hide();
        unfold_->deleteLater();
        unfold_ = nullptr;
    }
    const ToolKind kind = builtFor_->first;
    const bool colours = groups(kind).contains(Group::color);
    if (colours) {
        auto* b = new ColorFoldButton(this);
        b->setColor(doc_->style().color);
        helpTip(b, kx::tr("Style", "Stílus", "Stil"));
        unfold_ = b;
    } else if (visible(kind, builtFor_->second)) {
        unfold_ =
            smallChromeButton(kind == ToolKind::crop ? "crop"_sym : "cursorarrow.click.2"_sym, this, {});
        helpTip(unfold_, title(kind));
    } else {
        return;
    }
    unfold_->setObjectName(QStringLiteral("unfold"));
    unfold_->resize(unfold_->sizeHint());
    unfold_->hide();
    connect(unfold_, &QAbstractButton::clicked, this, &InspectorBar::showControlsPopover);
}

Popover* InspectorBar::controlsPopover() const
{
    return controlsPopover_;
}

void InspectorBar::showControlsPopover()
{
    if (controlsPopover_ || !doc_ || !unfold_)
        return;
    // A copy of the bar at the width of the screen, on the popover's surface.
    auto* controls = new InspectorBar(doc_, this, nullptr);
    controls->setObjectName(QStringLiteral("controls"));
    if (const QScreen* screen = unfold_->screen())
        controls->fitWidth(screen->availableGeometry().width() - 2 * Popover::kMargin - 2);
    controlsPopover_ = new Popover(controls, this);
    controlsPopover_->showAt(unfold_);
}

}  // namespace kx
