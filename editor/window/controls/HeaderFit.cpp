#include "editor/window/controls/HeaderFit.h"

#include <cstddef>
#include <utility>

namespace kx {

HeaderFit fitHeader(const HeaderFitWidths& w, int width)
{
    if (w.full <= width)
        return {};
    HeaderFit fit{.titles = false};
    int need = w.compact;
    while (need > width && fit.folded < int(w.foldSavings.size()))
        need -= w.foldSavings[std::size_t(fit.folded++)];
    // The rest goes in turn while the row is still too wide.
    for (auto [shown, saving] : {std::pair{&fit.saveTitle, w.saveTitle}, std::pair{&fit.divider, w.divider},
                                 std::pair{&fit.copyTitle, w.copyTitle}}) {
        if (need <= width)
            break;
        *shown = false;
        need -= saving;
    }
    return fit;
}

}  // namespace kx
