#include "editor/window/controls/HeaderFit.h"

#include <cstddef>

namespace kx {

HeaderFit fitHeader(const HeaderFitWidths& w, int width)
{
    if (w.full <= width)
        return {};
    HeaderFit fit{.titles = false};
    int need = w.compact;
    while (need > width && fit.folded < int(w.foldSavings.size()))
        need -= w.foldSavings[std::size_t(fit.folded++)];
    fit.saveTitle = need <= width;
    return fit;
}

}  // namespace kx
