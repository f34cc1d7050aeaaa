#pragma once
// How the editor's header row fits a width: titles first, then the least needed buttons
// move into the "⋯" menu one by one, then Save's title goes, then the divider after Redo,
// and Copy's title last (a small screen in German). Pure, so it can be checked over any width
// without a window.

#include <vector>

namespace kx {

struct HeaderFitWidths {
    int full = 0;     // the row with every title
    int compact = 0;  // the row with only Save's title
    // What folding each foldable button saves, in folding order.
    std::vector<int> foldSavings;
    int saveTitle = 0;  // what dropping Save's title saves
    int divider = 0;    // then the divider after Redo
    int copyTitle = 0;  // then Copy's title
};

struct HeaderFit {
    bool titles = true;     // every button shows its title
    int folded = 0;         // how many foldable buttons sit in the "⋯" menu, from the front of the order
    bool saveTitle = true;  // Save shows its title
    bool divider = true;    // the divider after Redo shows
    bool copyTitle = true;  // Copy shows its title
    bool operator==(const HeaderFit&) const = default;
};

// The arrangement that folds the least and still fits `width`; when nothing fits, everything
// foldable is folded.
HeaderFit fitHeader(const HeaderFitWidths& widths, int width);

}  // namespace kx
